#pragma once

// The unzip engine's whole-archive run as the benchmarks time it: every entry,
// folders kept, existing files replaced, nothing asked. Windows paths; a null
// destination tests instead of writing.

#include "dunzip.h"

inline int engineExtract(const char *archive, const char *destination)
{
    UnzipCommand cmd;
    initUnzipCommand(cmd);
    cmd.function = UNZIP_EXTRACT;
    cmd.archivePath = archive;
    cmd.nameMask = "*.*";
    cmd.dropFolders = 0;
    cmd.overwrite = 1;
    cmd.neverPrompt = 1;
    cmd.nameFlags = UNZIP_BIT_EXTRACT1 | UNZIP_BIT_EXTRACT2;
    cmd.testOnly = destination ? 0 : 1;
    cmd.destination = destination;
    return dunzipS(&cmd);
}
