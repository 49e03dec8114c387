#include "platform/path.h"

#include "fs_internal.h"
#include "platform/drives.h"
#include "platform/errors.h"
#include "platform/sysroot.h"

#include <QString>

#include <cctype>
#include <dirent.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace plat {
namespace {

bool isDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::vector<std::string_view> splitComponents(std::string_view rest)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || isPathSeparator(rest[i])) {
            if (i > start)
                parts.push_back(rest.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

std::mutex g_cwdMutex;
std::string g_cwd; // empty until first use

std::string initialDirectory()
{
    std::error_code ec;
    auto host = std::filesystem::current_path(ec);
    if (!ec) {
        DWORD saved = getLastError();
        auto win = hostToWindowsPath(host.string());
        setLastError(saved);
        if (win)
            return *win;
    }
    return "C:\\";
}

std::string lockedCurrentDirectory()
{
    if (g_cwd.empty())
        g_cwd = initialDirectory();
    return g_cwd;
}

bool isHostDir(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string hostJoin(const std::string &dir, std::string_view name)
{
    std::string out = dir;
    if (out.empty() || out.back() != '/')
        out += '/';
    out.append(name);
    return out;
}

// A directory entry of `dir` equal to `name` ignoring case; the first in byte
// order when several differ only in case, so the choice is stable.
std::optional<std::string> findNoCase(const std::string &dir, std::string_view name)
{
    DIR *d = ::opendir(dir.c_str());
    if (!d)
        return std::nullopt;
    std::u32string want = detail::foldName(name);
    std::optional<std::string> best;
    while (dirent *e = ::readdir(d)) {
        std::string_view entry(e->d_name);
        if (entry == "." || entry == "..")
            continue;
        if (detail::foldName(entry) == want && (!best || entry < *best))
            best = std::string(entry);
    }
    ::closedir(d);
    return best;
}

} // namespace

bool isPathRoot(std::string_view path)
{
    if (path.size() == 1)
        return isPathSeparator(path[0]);
    if (path.size() == 3 && isDriveLetter(path[0]) && path[1] == ':' && isPathSeparator(path[2]))
        return true;
    if (path.size() >= 2 && isPathSeparator(path[0]) && isPathSeparator(path[1])) {
        int further = 0;
        for (char c : path.substr(2))
            further += isPathSeparator(c) ? 1 : 0;
        return further <= 1;
    }
    return false;
}

std::size_t pathRootLength(std::string_view path)
{
    if (path.size() >= 2 && isDriveLetter(path[0]) && path[1] == ':')
        return path.size() >= 3 && isPathSeparator(path[2]) ? 3 : 2;
    if (path.size() >= 2 && isPathSeparator(path[0]) && isPathSeparator(path[1])) {
        std::size_t server = path.find_first_of("\\/", 2);
        if (server == std::string_view::npos)
            return path.size();
        std::size_t share = path.find_first_of("\\/", server + 1);
        return share == std::string_view::npos ? path.size() : share + 1;
    }
    if (!path.empty() && isPathSeparator(path[0]))
        return 1;
    return 0;
}

bool isPathRelative(std::string_view path)
{
    return pathRootLength(path) == 0;
}

std::string toBackslashes(std::string_view path)
{
    std::string out(path);
    for (char &c : out)
        if (c == '/')
            c = '\\';
    return out;
}

std::string normalizePath(std::string_view path)
{
    std::size_t rootLen = pathRootLength(path);
    std::string out = toBackslashes(path.substr(0, rootLen));
    bool trailing = path.size() > rootLen && isPathSeparator(path.back());
    std::vector<std::string_view> kept;
    for (std::string_view part : splitComponents(path.substr(rootLen))) {
        if (part == ".")
            continue;
        if (part == "..") {
            if (!kept.empty() && kept.back() != "..")
                kept.pop_back();
            else if (rootLen == 0)
                kept.push_back(part); // a relative path may climb
            continue;
        }
        kept.push_back(part);
    }
    if (rootLen > 2 && out.back() != '\\' && !kept.empty())
        out += '\\'; // "\\server\share" followed by more
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (i)
            out += '\\';
        out.append(kept[i]);
    }
    if (trailing && !kept.empty())
        out += '\\';
    return out;
}

std::string joinPath(std::string_view folder, std::string_view name)
{
    if (folder.empty())
        return std::string(name);
    if (name.empty())
        return std::string(folder);
    if (!isPathRelative(name))
        return std::string(name);
    std::string out(folder);
    if (!isPathSeparator(out.back()) && !(out.size() == 2 && out[1] == ':'))
        out += '\\';
    out.append(name);
    return out;
}

std::string pathFolder(std::string_view path)
{
    std::size_t rootLen = pathRootLength(path);
    std::size_t last = path.find_last_of("\\/");
    if (last == std::string_view::npos || last < rootLen)
        return std::string(path.substr(0, rootLen));
    return std::string(path.substr(0, last));
}

std::string pathFileName(std::string_view path)
{
    std::size_t last = path.find_last_of("\\/");
    std::size_t start = last == std::string_view::npos ? 0 : last + 1;
    if (start == 0 && path.size() >= 2 && isDriveLetter(path[0]) && path[1] == ':')
        start = 2;
    return std::string(path.substr(start));
}

std::string pathExtension(std::string_view path)
{
    std::string name = pathFileName(path);
    std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string removeExtension(std::string_view path)
{
    std::size_t extLen = pathExtension(path).size();
    return std::string(path.substr(0, path.size() - extLen));
}

std::string addBackslash(std::string_view path)
{
    std::string out(path);
    if (!out.empty() && !isPathSeparator(out.back()))
        out += '\\';
    return out;
}

std::string removeBackslash(std::string_view path)
{
    std::string out(path);
    if (!out.empty() && isPathSeparator(out.back()) && !isPathRoot(out))
        out.pop_back();
    return out;
}

std::string currentDirectory()
{
    std::lock_guard lock(g_cwdMutex);
    return lockedCurrentDirectory();
}

BOOL setCurrentDirectoryPath(std::string_view path)
{
    auto r = detail::resolvePath(path);
    if (!r)
        return FALSE;
    if (!r->exists) {
        setLastError(r->parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (!isHostDir(r->host)) {
        setLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    std::lock_guard lock(g_cwdMutex);
    g_cwd = removeBackslash(r->windows);
    return TRUE;
}

std::string fullPathName(std::string_view path)
{
    if (path.empty()) {
        setLastError(ERROR_INVALID_NAME);
        return {};
    }
    std::string cwd = currentDirectory();
    std::string absolute;
    std::size_t rootLen = pathRootLength(path);
    if (rootLen == 2) { // "X:name": relative to the current directory of that drive
        char letter = char(std::toupper(static_cast<unsigned char>(path[0])));
        if (std::toupper(static_cast<unsigned char>(cwd[0])) == letter)
            absolute = joinPath(cwd, path.substr(2));
        else
            absolute = std::string(1, path[0]) + ":\\" + std::string(path.substr(2));
    } else if (rootLen == 1) {
        absolute = cwd.substr(0, 2) + std::string(path);
    } else if (rootLen == 0) {
        absolute = joinPath(cwd, path);
    } else {
        absolute = std::string(path);
    }
    bool trailing = isPathSeparator(path.back());
    std::string normal = normalizePath(absolute);
    // A name ending in a single period loses it ("a." is "a"; "..." stays).
    std::size_t outRoot = pathRootLength(normal);
    std::string out = normal.substr(0, outRoot);
    auto parts = splitComponents(std::string_view(normal).substr(outRoot));
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string_view part = parts[i];
        if (part.size() >= 2 && part.back() == '.' && part[part.size() - 2] != '.')
            part.remove_suffix(1);
        if (i)
            out += '\\';
        out.append(part);
    }
    if (trailing && !parts.empty())
        out += '\\';
    if (!trailing) {
        // Windows drops trailing dots and blanks of the last name.
        std::size_t nameStart = out.find_last_of('\\') + 1;
        std::size_t keep = out.size();
        while (keep > nameStart && (out[keep - 1] == '.' || out[keep - 1] == ' '))
            --keep;
        if (keep == nameStart && keep < out.size())
            keep = nameStart > pathRootLength(out) ? nameStart - 1 : nameStart;
        out.resize(keep);
    }
    return out;
}

namespace detail {

std::u32string foldName(std::string_view utf8)
{
    bool ascii = true;
    for (unsigned char c : utf8)
        ascii = ascii && c < 0x80;
    if (ascii) {
        std::u32string out;
        out.reserve(utf8.size());
        for (unsigned char c : utf8)
            out += char32_t(std::tolower(c));
        return out;
    }
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toCaseFolded().toStdU32String();
}

bool sameNameNoCase(std::string_view a, std::string_view b)
{
    return foldName(a) == foldName(b);
}

bool isValidNameComponent(std::string_view name, bool allowWildcards)
{
    if (name.empty())
        return false;
    for (unsigned char c : name) {
        if (c < 32 || c == '<' || c == '>' || c == ':' || c == '"' || c == '/' || c == '\\' ||
            c == '|')
            return false;
        if (!allowWildcards && (c == '?' || c == '*'))
            return false;
    }
    return true;
}

std::optional<Resolved> resolvePath(std::string_view windowsPath)
{
    Resolved r;
    r.windows = fullPathName(windowsPath);
    if (r.windows.empty())
        return std::nullopt;
    if (r.windows.size() < 2 || r.windows[1] != ':') {
        setLastError(ERROR_BAD_NETPATH); // network shares have no host folder here
        return std::nullopt;
    }
    auto drive = driveInfo(r.windows[0]);
    if (!drive) {
        setLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    r.drive = *drive;
    if (drive->hostDir.empty()) {
        setLastError(ERROR_NOT_READY);
        return std::nullopt;
    }
    auto parts = splitComponents(
        std::string_view(r.windows).substr(std::min<std::size_t>(3, r.windows.size())));
    for (std::string_view part : parts) {
        if (!isValidNameComponent(part, false)) {
            setLastError(ERROR_INVALID_NAME);
            return std::nullopt;
        }
    }
    r.isRoot = parts.empty();
    // Most lookups name a path that exists as written, or a new file in an
    // existing folder: one stat each settles those without a walk.
    if (!parts.empty()) {
        std::string parent = drive->hostDir;
        for (std::size_t i = 0; i + 1 < parts.size(); ++i)
            parent = hostJoin(parent, parts[i]);
        std::string whole = hostJoin(parent, parts.back());
        struct stat st;
        if (::lstat(whole.c_str(), &st) == 0) {
            r.exists = r.parentExists = true;
            r.host = std::move(whole);
            return r;
        }
        if (::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            if (auto match = findNoCase(parent, parts.back())) {
                r.exists = r.parentExists = true;
                r.host = hostJoin(parent, *match);
            } else {
                r.parentExists = true;
                r.host = std::move(whole);
            }
            return r;
        }
    }
    std::string cur = drive->hostDir;
    if (!isHostDir(cur)) {
        bool media = drive->type == DRIVE_REMOVABLE || drive->type == DRIVE_CDROM;
        setLastError(media ? ERROR_NOT_READY : ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    bool exists = true;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string candidate = hostJoin(cur, parts[i]);
        if (exists) {
            struct stat st;
            if (::lstat(candidate.c_str(), &st) == 0) {
                cur = std::move(candidate);
                continue;
            }
            if (auto match = findNoCase(cur, parts[i])) {
                cur = hostJoin(cur, *match);
                continue;
            }
            exists = false;
            r.parentExists = i + 1 == parts.size() && isHostDir(cur);
        }
        cur = std::move(candidate);
    }
    r.exists = exists;
    if (exists)
        r.parentExists = true;
    r.host = std::move(cur);
    return r;
}

void setMissingError(const Resolved &r)
{
    setLastError(r.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
}

} // namespace detail

std::optional<std::string> windowsToHostPath(std::string_view windowsPath)
{
    auto r = detail::resolvePath(windowsPath);
    if (!r)
        return std::nullopt;
    return r->host;
}

std::optional<std::string> hostToWindowsPath(std::string_view hostPath)
{
    namespace fs = std::filesystem;
    fs::path p(hostPath);
    std::error_code ec;
    if (p.is_relative())
        p = fs::current_path(ec) / p;
    std::string abs = p.lexically_normal().string();
    while (abs.size() > 1 && abs.back() == '/')
        abs.pop_back();
    const DriveInfo *best = nullptr;
    std::size_t bestLen = 0;
    auto table = driveTable();
    for (const DriveInfo &d : table) {
        const std::string &dir = d.hostDir;
        if (dir.empty())
            continue;
        bool inside = dir == "/" || abs == dir ||
                      (abs.size() > dir.size() && abs.compare(0, dir.size(), dir) == 0 &&
                       abs[dir.size()] == '/');
        if (inside && (!best || dir.size() > bestLen)) {
            best = &d;
            bestLen = dir.size();
        }
    }
    if (!best) {
        setLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    std::string rest =
        best->hostDir == "/" ? abs.substr(1) : abs.substr(std::min(abs.size(), bestLen + 1));
    std::string out = std::string(1, best->letter) + ":\\" + toBackslashes(rest);
    return out;
}

std::string hostWindowsFolder()
{
    return systemRootSubdir("Windows");
}

std::string hostTempFolder()
{
    return systemRootSubdir("Temp");
}

std::string windowsFolderPath()
{
    return hostToWindowsPath(hostWindowsFolder()).value_or("");
}

} // namespace plat
