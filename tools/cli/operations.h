#pragma once

// Running the libraries' requests to their end on the program's (UI)
// thread: the request is started, the thread keeps handling events (so the
// libraries' questions and progress window are served) until
// WM_OPERATION_DONE for that request arrives, then the progress window is
// closed. Records are the caller's and stay alive throughout.

#include "common/records.h"

namespace brx {

// Extract or test; returns the request's result, or -1 when the worker
// could not be started.
int runExtract(_EXTRACT &request);

// Add; *started is false when Add refused to start (a dialog was cancelled).
// Returns the record's result (9 when nothing was started).
int runAdd(_ADD &request, bool *started);

// Delete; returns the engine's result.
int runDelete(_ADD &request);

// Cabinet creation (DoCab). Returns 0 when the cabinet was made, 1 when the
// run failed, 9 when it was cancelled before it started.
int runCabinet(CAB &request);

} // namespace brx
