// DZIPS32.DLL: the zip engine. One export, dzipS, carries out a command block.

#include <new>

#include "common/export.h"
#include "common/records.h"
#include "zip_job.h"
#include "zip_result.h"

// Adds, freshens, updates or deletes entries of a ZIP archive, or sets its
// comment, as the block says. 0 on success; the other results are listed in
// engines/zip/README.md. Nothing escapes as an exception.
BRX_EXPORT_C int dzipS(ZipCommand *cmd) noexcept
{
    if (!cmd)
        return zipengine::kBadCommand;
    try {
        return zipengine::runCommand(*cmd);
    } catch (const std::bad_alloc &) {
        return zipengine::kOutOfMemory;
    } catch (...) {
        return zipengine::kBadCommand;
    }
}
