#pragma once

// Function 8 of the engine: extract or test the entries a command block
// selects, honouring every option and callback of the block.

#include "archive_access.h"
#include "common/records.h"

namespace unzip {

// Runs the extraction or test described by cmd over an opened archive.
// Returns an engine code (engine_codes.h).
int runExtract(const UnzipCommand &cmd, OpenArchive &archive);

} // namespace unzip
