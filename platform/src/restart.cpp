// Renames and deletions carried out at the next restart (WININIT.INI).

#include "platform/restart.h"

#include "fs_internal.h"
#include "ini_internal.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/sysroot.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <unistd.h>

namespace plat {
namespace {

constexpr const char *kSection = "rename";

std::string markerPath()
{
    return systemRootHostDir() + "/restart.pending";
}
std::string wininitPath()
{
    return hostWindowsFolder() + "/WININIT.INI";
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Clears read-only so that the operation the user asked for can replace it.
void makeWritable(const std::string &path)
{
    DWORD attrs = getFileAttributes(path.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY) &&
        !(attrs & FILE_ATTRIBUTE_DIRECTORY))
        setFileAttributes(path.c_str(), attrs & ~DWORD(FILE_ATTRIBUTE_READONLY));
}

bool deletePending(const std::string &path)
{
    DWORD attrs = getFileAttributes(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES)
        return getLastError() == ERROR_FILE_NOT_FOUND; // already gone
    if (attrs & FILE_ATTRIBUTE_DIRECTORY)
        return removeDirectory(path.c_str());
    makeWritable(path);
    return deleteFile(path.c_str());
}

bool movePending(const std::string &source, const std::string &target)
{
    if (getFileAttributes(source.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    makeWritable(target);
    return moveFileEx(source.c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
}

} // namespace

BOOL scheduleAtRestart(const char *source, const char *target)
{
    if (!source || !*source || (target && !*target)) {
        setLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    detail::IniDocument doc;
    std::string file = wininitPath();
    if (!doc.load(file))
        return FALSE;
    doc.appendLine(kSection, std::string(target ? target : "NUL") + "=" + source);
    return doc.save(file) ? TRUE : FALSE;
}

BOOL requestRestart()
{
    std::error_code ec;
    std::filesystem::create_directories(systemRootHostDir(), ec);
    return detail::writeHostFileAtomically(markerPath(), "restart requested\n") ? TRUE : FALSE;
}

bool isRestartRequested()
{
    return ::access(markerPath().c_str(), F_OK) == 0;
}

BOOL completeRestart(DWORD *done, DWORD *failed)
{
    DWORD ok = 0, bad = 0, firstError = ERROR_SUCCESS;
    if (done)
        *done = 0;
    if (failed)
        *failed = 0;
    if (!isRestartRequested())
        return TRUE;
    std::string file = wininitPath();
    detail::IniDocument doc;
    if (!doc.load(file))
        return FALSE;
    for (const std::string &line : doc.dataLines(kSection)) {
        std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string target(trimmed(std::string_view(line).substr(0, eq)));
        std::string source(trimmed(std::string_view(line).substr(eq + 1)));
        bool success = detail::sameNameNoCase(target, "NUL") ? deletePending(source)
                                                             : movePending(source, target);
        if (success) {
            ++ok;
        } else {
            if (bad++ == 0)
                firstError = getLastError();
        }
    }
    if (::access(file.c_str(), F_OK) == 0) {
        std::string backup = hostWindowsFolder() + "/WININIT.BAK";
        if (::rename(file.c_str(), backup.c_str()) != 0 && bad++ == 0)
            firstError = errorFromErrno(errno);
    }
    ::unlink(markerPath().c_str());
    if (done)
        *done = ok;
    if (failed)
        *failed = bad;
    if (bad) {
        setLastError(firstError);
        return FALSE;
    }
    return TRUE;
}

void startPlatform()
{
    static std::once_flag once;
    std::call_once(once, [] {
        initSystemRoot();
        if (isRestartRequested())
            completeRestart(nullptr, nullptr);
    });
}

} // namespace plat
