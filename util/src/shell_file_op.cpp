// Shell file operations: copy, move, delete (optionally to the desktop's trash)
// and rename over double-zero-terminated lists of Windows paths. Items may hold
// wildcards, which match files and folders in their folder.

#include "brxutil.h"

#include "platform/errors.h"
#include "platform/file.h"
#include "platform/path.h"

#include <QDateTime>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;
using namespace plat;

namespace {

std::vector<std::string> splitDoubleZeroList(const char *list)
{
    std::vector<std::string> items;
    if (!list)
        return items;
    for (const char *p = list; *p; p += std::strlen(p) + 1)
        items.emplace_back(p);
    return items;
}

bool hasWildcard(const std::string &path) { return path.find_first_of("*?") != std::string::npos; }

// Files and folders an item stands for.
std::vector<std::string> expandItem(const std::string &item)
{
    if (!hasWildcard(item))
        return {item};
    std::vector<std::string> matches;
    WIN32_FIND_DATA data;
    HANDLE search = findFirstFile(item.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return matches;
    std::string folder = pathFolder(item);
    do {
        std::string name = data.cFileName;
        if (name != "." && name != "..")
            matches.push_back(joinPath(folder, name));
    } while (findNextFile(search, &data));
    findClose(search);
    return matches;
}

bool isFolder(const std::string &path)
{
    DWORD attributes = getFileAttributes(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool copyTree(const std::string &from, const std::string &to)
{
    if (!isFolder(from))
        return copyFile(from.c_str(), to.c_str(), FALSE) != 0;
    if (!createDirectory(to.c_str()) && getLastError() != ERROR_ALREADY_EXISTS)
        return false;
    for (const std::string &child : expandItem(joinPath(from, "*")))
        if (!copyTree(child, joinPath(to, pathFileName(child))))
            return false;
    return true;
}

bool deleteTree(const std::string &path)
{
    if (!isFolder(path)) {
        setFileAttributes(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return deleteFile(path.c_str()) != 0;
    }
    for (const std::string &child : expandItem(joinPath(path, "*")))
        if (!deleteTree(child))
            return false;
    return removeDirectory(path.c_str()) != 0;
}

bool moveItem(const std::string &from, const std::string &to)
{
    if (moveFile(from.c_str(), to.c_str()))
        return true;
    // Across drives a move is a copy followed by a delete.
    return copyTree(from, to) && deleteTree(from);
}

fs::path trashDir()
{
    if (const char *xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return fs::path(xdg) / "Trash";
    const char *home = std::getenv("HOME");
    return fs::path(home ? home : "/tmp") / ".local/share/Trash";
}

// Moves a file or folder into the desktop's trash (freedesktop.org layout), so
// that the file manager can restore it.
bool moveToTrash(const std::string &path)
{
    std::optional<std::string> host = windowsToHostPath(path);
    if (!host)
        return false;
    fs::path source = *host;
    fs::path trash = trashDir();
    std::error_code ec;
    fs::create_directories(trash / "files", ec);
    fs::create_directories(trash / "info", ec);
    std::string name = source.filename().string();
    fs::path target = trash / "files" / name;
    for (int n = 2; fs::exists(fs::symlink_status(target, ec)) || fs::exists(trash / "info" / (target.filename().string() + ".trashinfo")); ++n)
        target = trash / "files" / (name + "." + std::to_string(n));
    {
        std::ofstream info(trash / "info" / (target.filename().string() + ".trashinfo"));
        info << "[Trash Info]\nPath=" << fs::absolute(source).string() << "\nDeletionDate="
             << QDateTime::currentDateTime().toString(Qt::ISODate).toStdString() << "\n";
    }
    fs::rename(source, target, ec);
    if (ec) {
        // The trash lives on another file system: copy there, then remove.
        fs::copy(source, target, fs::copy_options::recursive, ec);
        if (!ec)
            fs::remove_all(source, ec);
    }
    if (ec) {
        fs::remove(trash / "info" / (target.filename().string() + ".trashinfo"), ec);
        return false;
    }
    return true;
}

} // namespace

int ShellFileOp(unsigned operation, const char *from, const char *to, HWND /*owner*/,
                int /*silent*/, int allowUndo)
{
    // Confirmations and progress are always off (the system passes the
    // no-confirmation flags), so nothing here waits for a person.
    const std::vector<std::string> sources = splitDoubleZeroList(from);
    const std::vector<std::string> targets = splitDoubleZeroList(to);
    if (sources.empty())
        return ERROR_INVALID_PARAMETER;

    if (operation == FO_RENAME) {
        if (targets.empty())
            return ERROR_INVALID_PARAMETER;
        return moveFile(sources[0].c_str(), targets[0].c_str()) ? 0 : int(getLastError());
    }

    if (operation == FO_DELETE) {
        for (const std::string &item : sources)
            for (const std::string &path : expandItem(item)) {
                bool ok = allowUndo ? moveToTrash(path) : deleteTree(path);
                if (!ok)
                    return getLastError() ? int(getLastError()) : int(ERROR_ACCESS_DENIED);
            }
        return 0;
    }

    if (operation != FO_COPY && operation != FO_MOVE)
        return ERROR_INVALID_FUNCTION;
    if (targets.empty())
        return ERROR_INVALID_PARAMETER;
    // One target per source ("multiple destinations"), or one folder for all.
    const bool pairwise = targets.size() == sources.size() && targets.size() > 1;
    for (size_t i = 0; i < sources.size(); ++i) {
        for (const std::string &path : expandItem(sources[i])) {
            std::string target = pairwise ? targets[i] : targets[0];
            if (!pairwise && (isFolder(target) || sources.size() > 1 || hasWildcard(sources[i]))) {
                createDirectory(target.c_str());
                target = joinPath(target, pathFileName(path));
            }
            bool ok = operation == FO_COPY ? copyTree(path, target) : moveItem(path, target);
            if (!ok)
                return getLastError() ? int(getLastError()) : int(ERROR_ACCESS_DENIED);
        }
    }
    return 0;
}
