#pragma once

#include <functional>
#include <string>

namespace brxtest {

// Gives this process a private, empty system root (BRX_ROOT) in a fresh
// temporary folder that is removed at exit. Called by the test mains before
// anything touches the platform layer.
void prepareProcessEnvironment();

// Makes resource and modal-UI mistakes fail the running test: a lookup of a
// missing string (or other resource), and a message box or dialog that no
// ScriptedResponder answers. Called by the test mains after GoogleTest starts.
void installTestGuards();

// Host folder of this process's scratch area (beside the system root).
const std::string &scratchDir();

// A new empty host folder below the scratch area.
std::string makeScratchDir(const std::string &name);

// Host path of a fixture file below tests/fixtures.
std::string fixturePath(const std::string &relative);

// Folder of the built deliverables (build/bin).
std::string binDir();

// Runs a shell command and returns what it wrote to standard output and
// standard error; its wait status goes to *status when given.
std::string runCommand(const std::string &command, int *status = nullptr);

// Whether a program of that name is on the PATH.
bool haveTool(const std::string &name);

// Pumps the calling thread's platform messages until `done` holds; false
// when `milliseconds` passed first.
bool pumpUntil(const std::function<bool()> &done, int milliseconds = 8000);

// A calloc'ed copy of text, as the receivers of WM_OPERATION_DONE free it.
char *heapText(const std::string &text);

} // namespace brxtest
