#pragma once

// Windows paths: UTF-8 text with `\` separators and drive letters. The text
// helpers follow the Windows rules literally; the conversions to and from host
// paths go through the drive table (drives.h) and are used at the edges only
// (command line, file dialogs, drops, handing a path to a host program).

#include "platform/types.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace plat {

inline bool isPathSeparator(char c)
{
    return c == '\\' || c == '/';
}

// True for a root: a drive root "X:\", a single "\", or a network share
// "\\server\share" with at most one further backslash after the leading two.
bool isPathRoot(std::string_view path);

// Length of the root part of a path: 3 for "X:\...", 2 for "X:..." (drive
// relative), 1 for "\...", the whole "\\server\share" plus one separator for a
// share, 0 for a relative path. `/` counts as a separator.
std::size_t pathRootLength(std::string_view path);

// True when the path has no root at all ("a\b", "b.txt").
bool isPathRelative(std::string_view path);

// Every `/` replaced by `\`.
std::string toBackslashes(std::string_view path);

// Lexical clean-up: separators become `\`, doubled separators collapse, "."
// components go and ".." removes the previous component (never the root). A
// trailing separator stays. Relative paths stay relative.
std::string normalizePath(std::string_view path);

// folder + `\` + name; a name with a root replaces the folder; an empty side
// gives the other.
std::string joinPath(std::string_view folder, std::string_view name);

// Folder part: before the last separator, keeping a root whole ("C:\a.txt" →
// "C:\", "a.txt" → "").
std::string pathFolder(std::string_view path);

// Name part: after the last separator (and after "X:" of a drive-relative path).
std::string pathFileName(std::string_view path);

// Extension of the name part including its dot (".txt"); "" when the name has
// no dot.
std::string pathExtension(std::string_view path);

// The path without the extension of its name part.
std::string removeExtension(std::string_view path);

// The path with a trailing `\` (unchanged when it has one or is empty).
std::string addBackslash(std::string_view path);

// The path without a trailing `\`, except on a root ("C:\" stays).
std::string removeBackslash(std::string_view path);

// The current directory of the process, a Windows path without trailing `\`
// (except a root). Starts as the host working folder converted.
std::string currentDirectory();

// Sets the current directory; TRUE on success, FALSE with ERROR_PATH_NOT_FOUND
// (or the lookup's error) when the folder does not exist.
BOOL setCurrentDirectoryPath(std::string_view path);

// Absolute form of a Windows path: relative and drive-relative paths are
// completed from the current directory, then normalizePath() applies and
// trailing dots and blanks of the last name go. "" with
// ERROR_INVALID_NAME for an empty path.
std::string fullPathName(std::string_view path);

// Host path of a Windows path through the drive table. Each component that
// exists is matched case-insensitively when the exact name is missing; the
// rest keeps the case given. nullopt and the last error set when the path
// cannot be mapped: ERROR_PATH_NOT_FOUND (no such drive), ERROR_NOT_READY
// (removable drive without medium), ERROR_BAD_NETPATH (network share),
// ERROR_INVALID_NAME (characters Windows forbids).
std::optional<std::string> windowsToHostPath(std::string_view windowsPath);

// Windows path of a host path (relative host paths are taken from the host
// working folder): the drive whose folder holds the path most closely gives the
// letter. nullopt with ERROR_PATH_NOT_FOUND when no drive holds it.
std::optional<std::string> hostToWindowsPath(std::string_view hostPath);

// Host folders of the system root's Windows and Temp folders (created on demand).
std::string hostWindowsFolder();
std::string hostTempFolder();

// The same folders as Windows paths (no trailing `\`).
std::string windowsFolderPath();

} // namespace plat
