#pragma once

// The system root: one host folder per user that holds the Windows side of the
// system (registry hives, the Windows folder, Start Menu, Desktop, program files).

#include <string>

namespace plat {

// Host folder of the system root: $BRX_ROOT when set, else
// $XDG_DATA_HOME/brindle-dovozoz/root (~/.local/share/... without XDG_DATA_HOME).
std::string systemRootHostDir();

// Host folder inside the system root (created on demand), e.g. "registry".
std::string systemRootSubdir(const char *name);

} // namespace plat
