#pragma once

// Helpers of the zip engine tests: a command block filled like the compress
// library fills it, files in scratch folders, the installed tools as
// independent checkers, and reading an archive back through the reader core.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/records.h"

extern "C" int dzipS(ZipCommand *cmd);

namespace ziptest {

using Bytes = std::vector<std::uint8_t>;

bool haveTool(const std::string &name);
// Runs a shell command; its exit status.
int run(const std::string &command);
std::string shellQuote(const std::string &s);

Bytes readBytes(const std::string &hostPath);
void writeBytes(const std::string &hostPath, const Bytes &bytes);
void writeText(const std::string &hostPath, const std::string &text);
Bytes toBytes(const std::string &s);
bool exists(const std::string &hostPath);
// Sets a file's modification time (seconds since 1970).
void setMtime(const std::string &hostPath, long seconds);
// Text of deterministic, compressible content.
std::string sampleText(std::size_t length, unsigned seed);

std::string win(const std::string &hostPath);

// A command block for function `function` on `archive` (host path).
struct Command {
    Command(int function, const std::string &archiveHost);
    ZipCommand cmd;
    std::string archive, list, comment, password, include, exclude, date, temp;
    // Quotes and adds host paths (converted to Windows paths) to the list.
    Command &files(const std::vector<std::string> &hostPaths);
    int run();
};

// Entry name -> contents, read through the reader core (password for encrypted).
std::map<std::string, Bytes> readArchive(const std::string &hostPath,
                                         const std::string &password = {});

// Checks the archive with unzip -t, 7zz t and Python's zipfile (each only when
// installed); returns a description of the first failure, empty when all pass.
// Python decrypts in pure Python: `python` false leaves it out for big encrypted data.
std::string checkWithTools(const std::string &hostPath, const std::string &password = {},
                           bool python = true);

// Files in a host folder (recursively), relative names.
std::vector<std::string> listFiles(const std::string &hostDir);

} // namespace ziptest
