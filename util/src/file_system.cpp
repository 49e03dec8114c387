// Existence checks, folder creation and drive questions over the platform's files.

#include "brxutil.h"

#include "platform/drives.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/shellfolders.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

unsigned DoesFileExist(const char *path)
{
    if (plat::isPathRoot(path))
        return 3;
    std::string probe = path;
    if (!probe.empty() && probe.back() == '\\')
        probe.pop_back();
    plat::DWORD attributes = plat::getFileAttributes(probe.c_str());
    if (attributes == plat::INVALID_FILE_ATTRIBUTES)
        return 0;
    return (attributes & plat::FILE_ATTRIBUTE_DIRECTORY) ? 2 : 1;
}

int make_dirs(const char *path)
{
    std::string full = path;
    if (full.empty() || full.back() != '\\')
        full += '\\';
    // Backslashes inside the root ("C:\", "\\server\share") name nothing to create.
    size_t rootLength = plat::pathRootLength(full);
    for (size_t i = 1; i < full.size(); ++i) {
        if (full[i] != '\\' || i < rootLength || full[i - 1] == '\\')
            continue;
        bool closesDot = full[i - 1] == '.' && (i == 1 || full[i - 2] == '\\');
        if (closesDot)
            continue;
        std::string folder = full.substr(0, i);
        if (plat::createDirectory(folder.c_str()))
            continue;
        if (plat::getLastError() != plat::ERROR_ALREADY_EXISTS)
            return 0;
        // "Already exists" is only good news when a folder is what exists: a file
        // in the way means the path can never be created.
        plat::DWORD attributes = plat::getFileAttributes(folder.c_str());
        if (attributes == plat::INVALID_FILE_ATTRIBUTES ||
            !(attributes & plat::FILE_ATTRIBUTE_DIRECTORY))
            return 0;
    }
    return 1;
}

int CheckIfRemovable(const char *path)
{
    if (!path || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':')
        return 0;
    if (path[2] != '\0' && path[2] != '\\')
        return 0;
    char root[4] = {path[0], ':', '\\', '\0'};
    return plat::getDriveType(root) == plat::DRIVE_REMOVABLE ? 1 : 0;
}

int GetSpecialDirectory(int csidl, char *buffer)
{
    char found[260] = {};
    if (!plat::getSpecialFolderPath(csidl, found, false))
        return 0;
    std::snprintf(buffer, 260, "%s", found);
    return 1;
}
