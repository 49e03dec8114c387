#pragma once

// The command-line answerer of the modal-UI gateway. Every question the
// libraries ask (replace a file, decryption code, insert a disk, overwrite a
// cabinet, plain messages) arrives here: it is answered from the command's
// options, or asked on the terminal when standard input is one, or refused
// with a clear message on standard error. Nothing ever waits for input that
// cannot come.

#include <optional>
#include <string>

namespace brx {

enum class DiskAnswer { Ask, Ready, Cancel };
enum class ReplaceAnswer { Ask, All, None };

struct PromptOptions {
    bool interactive = false;            // standard input is a terminal
    std::optional<std::string> password; // decryption code / password to give
    DiskAnswer disk = DiskAnswer::Ask;
    ReplaceAnswer replace = ReplaceAnswer::Ask;
    // Multi-volume choice on removable drives: 0 keep existing files,
    // 1 delete them, 2 format the disk; -1 not given.
    int volumes = -1;
};

// Installs the answerer for the rest of the process with these options.
void installPrompts(const PromptOptions &options);
// Replaces the options of the installed answerer.
void setPromptOptions(const PromptOptions &options);

// Reads a line from the terminal after writing `question` to standard error;
// without echo for secrets. nullopt at end of input.
std::optional<std::string> askLine(const std::string &question, bool secret = false);

} // namespace brx
