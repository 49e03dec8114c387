#pragma once

// What every command shares: exit codes of the program's own, the archive
// argument, prompt options from the command line, and messages.

#include "args.h"
#include "prompts.h"

#include <optional>
#include <string>

namespace brx {

// Exit codes of the program itself; every other code is a result code of
// the libraries (see README.md).
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;       // an operation failed that reports no code of its own
constexpr int kExitNotArchive = 3;   // not an archive, or its catalogue cannot be read
constexpr int kExitNoArchive = 9;    // the archive does not exist
constexpr int kExitNothingToDo = 11; // no entry matches the names given
constexpr int kExitUsage = 64;       // malformed command line

// Prints "brx: <text>" to standard error.
void errorLine(const std::string &text);

// Handles --help and parse errors. Returns an exit code when the command
// must end now (help printed: 0; error: kExitUsage), else nullopt.
std::optional<int> checkArgs(const CommandSyntax &syntax, const ParsedArgs &args);

// A usage error: message, hint to --help, kExitUsage.
int usageError(const CommandSyntax &syntax, const std::string &text);

struct ArchiveArg {
    std::string windowsPath;
    int kind = 0; // ARCHIVE_*
};

// An existing archive named on the command line. On failure prints why and
// sets *exitCode.
std::optional<ArchiveArg> existingArchive(const std::string &text, int *exitCode);

// Windows path of any path argument; prints why and returns nullopt when it
// cannot be mapped.
std::optional<std::string> windowsPathArg(const std::string &text);

// The option entries for answering questions, shared by several commands.
OptionSyntax passwordOption(const std::string &help);
OptionSyntax diskOption();

// Prompt options from --password, --disk and the terminal state; false with
// a message when a value is malformed.
bool promptOptionsFrom(const ParsedArgs &args, PromptOptions *out);

// Host path of a new empty folder below the system's temporary folder, and
// its Windows path; empty on failure.
struct TempFolder {
    std::string host, windows;
    TempFolder();
    ~TempFolder(); // removes the folder and whatever is left in it
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
};

// Heap copy of a text, the way the libraries take file lists.
char *heapText(const std::string &text);

} // namespace brx
