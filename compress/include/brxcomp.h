#pragma once

// The compress library: turns an add or delete request (_ADD) into one run of
// the zip engine, with the password and multi-volume dialogs, the progress
// window and the mail step; builds cabinets from a CAB request.

#include "common/export.h"
#include "common/records.h"

// Prepares `add` from the compression settings (unless commandReady), asks
// for a password / multi-volume options when needed, makes the progress
// window and starts the worker. 1 = started (the record belongs to the
// operation until WM_OPERATION_DONE), 0 = the user cancelled a dialog.
BRX_EXPORT int Add(_ADD *add);
// Removes the entries named by fileList (keepList survives) on the calling
// thread, posts WM_OPERATION_DONE to uiThread and returns the engine result.
BRX_EXPORT int Delete(_ADD *add);
// Replaces the archive comment; 1 when the engine succeeded, else 0.
BRX_EXPORT int SetComment(char *archivePath, char *comment);
// Frees a block the library allocated; returns 0.
BRX_EXPORT int CompressDelete(void *block, int ignored);
// Builds the cabinet (or numbered set) of `cab` from the cabinet settings on
// the calling thread, with a progress window. 0 = the multi-volume dialog was
// cancelled (nothing started, the caller keeps the record); 1 = the run has
// ended, `failed` tells how, and WM_OPERATION_DONE (record, 4) was posted to
// uiThread, else to parentWnd.
BRX_EXPORT int DoCab(CAB *cab);
