#pragma once

// The message library: the progress window, the replace confirmation and the
// engines' message callbacks.
//
// The progress window lives on the user-interface thread; workers drive it
// with the WM_PROGRESS_* messages of platform/messages.h (postMessage for
// steps and names, sendMessage for the cancel query, the final step and
// WM_PROGRESS_DONE). Every question goes through the modal-UI gateway.

#include "common/export.h"
#include "common/records.h"

// Creates the progress window (dialog 129) for init->operation (1 compress,
// 2 extract, 3 test), disables init->parent while it exists, and with
// init->show shows it in front. Callable from any thread (the window is made
// on the GUI thread). Returns the window; null for a null record or in a
// process without a GUI application.
BRX_EXPORT HWND CreateProgress(_PROGRESS_INIT *init);

// Starts the display of one archive: total bar at 0 with range
// totalMin*100..totalMax*100, file bar range fileMin..fileMax, caption =
// title, status "Please wait...". Callable from any thread (sent to the
// window). Returns 1, or 0 when `window` is no progress window.
BRX_EXPORT int InitProgress(HWND window, int totalMin, int totalMax, int fileMin, int fileMax,
                            const char *title);

// Handles every message waiting for the calling (GUI) thread, so a caller
// working on that thread keeps the window answering.
BRX_EXPORT void ProgressPump(HWND window);

// Asks whether `path` may be replaced by the archive entry `entry` (dialog
// 131, owned by `owner`). Callable from a worker (it waits for the answer).
// Returns 0 Yes, 1 Yes To All, 2 No, 3 No To All, 4 Cancel (also when closed
// or when the dialog cannot be shown).
BRX_EXPORT int Confirm(const char *path, const ZIPINFOEX *entry, HWND owner);

// The engines' message callbacks (EngineMessageCallback), also bound by
// ordinal 1, 2, 3: context = the _ADD record, the _EXTRACT record, unused.
// Return the answer for the engine.
BRX_EXPORT_C int MessageDisplayAdd(int type, unsigned style, int number1, int number2,
                                   const char *text, int ignored, void *context);
BRX_EXPORT_C int MessageDisplayExtract(int type, unsigned style, int number1, int number2,
                                       const char *text, int ignored, void *context);
BRX_EXPORT_C int MessageDisplayFIZI(int type, unsigned style, int number1, int number2,
                                    const char *text, int ignored, void *context);

// Frees a block the library allocated (it hands none out today); returns 0.
BRX_EXPORT int MessageDelete(void *block, int ignored);
