#pragma once

// Internal: running work on a window's thread for the other areas of the layer.

#include "platform/messages.h"

#include <functional>

namespace plat::detail {

enum class CallResult { Ran, NoWindow };

// Runs `fn` on the thread of window `hwnd` (directly when that is the calling
// thread, else waiting for it). NoWindow when `hwnd` is not a window or is
// destroyed before `fn` could run.
CallResult callOnWindowThread(HWND hwnd, const std::function<void()> &fn);

} // namespace plat::detail
