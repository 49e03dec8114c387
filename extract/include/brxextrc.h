#pragma once

// The extract library: archive type detection, the entry catalogue, comment
// reading, and extraction or testing of ZIP and cabinet entries.

#include "common/export.h"
#include "common/records.h"

// Archive kind of a file by its name (and, for ".exe", by probing it):
// ARCHIVE_UNKNOWN, ARCHIVE_ZIP or ARCHIVE_CABINET.
BRX_EXPORT int DetermineFileType(const char *path);
// Number of entries into *count; 0 on success, else nonzero with *count = -1.
BRX_EXPORT int GetFileCount(const char *path, int *count);
// Fills count records of *entries (allocated by the caller, count * 2150 bytes);
// for cabinets *cabInfo = set number * 65536 + (1 when every file has its own
// folder). 0 when the records are filled, else nonzero.
BRX_EXPORT int LoadFile(const char *path, int count, ZIPINFOEX **entries, int *cabInfo);
// Name of an archive kind ("ZIP Archive", "Cabinet File", "Unknown Type").
BRX_EXPORT const char *GetTypeString(int kind);
// The archive comment in a movable global block (zero-terminated), or null.
BRX_EXPORT HGLOBAL GetZipComment(const char *path);
// Frees a block the extract library allocated; returns 0.
BRX_EXPORT int ExtractDelete(void *block, int ignored);
// Extracts or tests the request's entries of every archive in its source
// list. With EXF_SYNC: runs on the calling thread and returns the result
// (0 success, 40 cancelled, 41 encrypted entry skipped at the prompt, 48
// nothing processed or cancelled at the prompt, 49 the engine skipped
// encrypted entries, 1 a cabinet pass failed, else an engine failure).
// Otherwise starts a worker and returns 0 (-1 when it could not start); the
// result then arrives in req->result and with WM_OPERATION_DONE.
BRX_EXPORT int Extract(_EXTRACT *req);
