#pragma once

// DUNZIPS32.DLL: the unzip engine's one entry. The command block and its
// callbacks are described in common/records.h; result codes in
// engines/unzip/README.md.

#include "common/export.h"
#include "common/records.h"

// Carries out the function named in cmd->function. 0 on success, 49 when an
// extraction finished but skipped encrypted entries, any other value a failure.
BRX_EXPORT_C int dunzipS(UnzipCommand *cmd);
