#pragma once

// Ctrl-C and termination requests during an operation: instead of dying with
// the archive half written and the run's settings left in the store, brx
// closes the libraries' progress window, answers its "cancel?" question with
// yes and lets the operation end the way a cancel ends it. A second request
// ends the process at once.

namespace brx {

// Installs the signal handlers and the watcher; needs the Qt application.
void installInterruptHandling();

// True once an interrupt was requested.
bool interruptRequested();

} // namespace brx
