#pragma once

// Paths given on the command line: host paths ("/tmp/a.zip", "docs/x.txt")
// and Windows paths ("C:\tmp\a.zip", "C:/tmp/a.zip") are both accepted and
// turned into the Windows paths the libraries take, through the drive table.

#include <optional>
#include <string>

namespace brx {

// True when the text is written as a Windows path: a drive letter with a
// colon, or a network path starting with two backslashes.
bool looksLikeWindowsPath(const std::string &text);

// Full Windows path of a command-line path (wildcards are kept as text).
// nullopt with a reason in *error when no drive holds it or it is empty.
std::optional<std::string> toWindowsPath(const std::string &text, std::string *error);

// Host path of a Windows path for messages to the user; the Windows path
// itself when it cannot be mapped.
std::string toHostPath(const std::string &windowsPath);

} // namespace brx
