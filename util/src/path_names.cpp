// Path splitting helpers: pure text work on Windows paths.

#include "brxutil.h"

#include <cstring>

namespace {
thread_local char t_dirBuffer[260];
}

void catpath(char *buffer, const char *name)
{
    size_t len = std::strlen(buffer);
    if (len > 0 && buffer[len - 1] != '\\' && buffer[len - 1] != '/')
        buffer[len++] = '\\';
    size_t nameLen = std::strlen(name);
    std::memcpy(buffer + len, name, nameLen);
    buffer[len + nameLen] = '\0';
    buffer[len + nameLen + 1] = '\0';
}

const char *GetExtension(const char *path)
{
    const char *dot = std::strrchr(path, '.');
    const char *slash = std::strrchr(path, '\\');
    if (!dot || (slash && dot < slash))
        return nullptr;
    return dot;
}

char *GetExtension(char *path) { return const_cast<char *>(GetExtension(const_cast<const char *>(path))); }

const char *GetFileNameFromFullPath(const char *path)
{
    const char *slash = std::strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

char *GetFileNameFromFullPath(char *path)
{
    return const_cast<char *>(GetFileNameFromFullPath(const_cast<const char *>(path)));
}

const char *GetDirFromFullPath(const char *path)
{
    std::strncpy(t_dirBuffer, path, sizeof t_dirBuffer - 1);
    t_dirBuffer[sizeof t_dirBuffer - 1] = '\0';
    if (char *slash = std::strrchr(t_dirBuffer, '\\'))
        *slash = '\0';
    return t_dirBuffer;
}

int IsFullPath(const char *path) { return std::strchr(path, '\\') ? 1 : 0; }
