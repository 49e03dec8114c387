#pragma once

// Operations "at the next restart", the way Windows 9x setup programs do them:
// moveFileEx(..., MOVEFILE_DELAY_UNTIL_REBOOT) appends a line to the "[rename]"
// section of WININIT.INI in the Windows folder, "target=source" for a move and
// "NUL=path" for a deletion. A restart is requested with requestRestart(); the
// next platform start afterwards carries the lines out in order, deletes the
// section's file (keeping it as WININIT.BAK) and clears the request.

#include "platform/types.h"

namespace plat {

// Appends one pending operation (full Windows paths; a null target = delete the
// source). FALSE with the INI file's error.
BOOL scheduleAtRestart(const char *source, const char *target);

// Marks that the system is to restart. FALSE with the error of writing the
// mark into the system root.
BOOL requestRestart();

// Whether a restart has been requested and not yet carried out.
bool isRestartRequested();

// When a restart was requested: carries out the pending operations of
// WININIT.INI in order (a move replaces an existing target; a deletion removes
// a file or an empty folder), renames WININIT.INI to WININIT.BAK and clears the
// request. Counts go to *done and *failed (either may be null). TRUE when no
// operation failed (also when nothing was pending); FALSE with the error of the
// first failed operation, which is left out and not retried.
BOOL completeRestart(DWORD *done, DWORD *failed);

// Start of the platform in a process; every program calls it first thing in
// main. The first call initialises a new system root and carries out a
// requested restart (completeRestart); later calls in the same process do
// nothing.
void startPlatform();

} // namespace plat
