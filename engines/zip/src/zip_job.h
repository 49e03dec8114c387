#pragma once

#include "common/records.h"

namespace zipengine {

// Carries out one command block; returns a result code of zip_result.h.
int runCommand(const ZipCommand &cmd);

} // namespace zipengine
