// Searching folders with Windows wildcards.

#include "fs_internal.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/path.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace plat {
namespace {

enum class Token { Literal, Star, DosStar, DosQm, DosDot };

struct PatternItem {
    Token token;
    char32_t ch = 0;
};

// The Windows reading of a pattern: `?` may match nothing at a dot or the end; a
// `.` followed only by wildcards also matches the end of the name; a `*` before
// a `.` does not swallow the name's last dot.
std::vector<PatternItem> compile(const std::u32string &pattern)
{
    std::vector<PatternItem> items;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        char32_t c = pattern[i];
        if (c == U'*') {
            bool beforeDot = i + 1 < pattern.size() && pattern[i + 1] == U'.';
            items.push_back({beforeDot ? Token::DosStar : Token::Star});
        } else if (c == U'?') {
            items.push_back({Token::DosQm});
        } else if (c == U'.') {
            bool onlyWild = true;
            for (std::size_t j = i + 1; j < pattern.size(); ++j)
                onlyWild = onlyWild && (pattern[j] == U'*' || pattern[j] == U'?');
            items.push_back(onlyWild ? PatternItem{Token::DosDot} : PatternItem{Token::Literal, c});
        } else {
            items.push_back({Token::Literal, c});
        }
    }
    return items;
}

bool matchCompiled(const std::vector<PatternItem> &p, const std::u32string &name)
{
    const std::size_t P = p.size(), N = name.size();
    std::size_t lastDot = name.rfind(U'.');
    // can[i][j]: pattern from i matches name from j. Filled backwards.
    std::vector<std::vector<char>> can(P + 1, std::vector<char>(N + 1, 0));
    can[P][N] = 1;
    for (std::size_t i = P; i-- > 0;) {
        for (std::size_t j = N + 1; j-- > 0;) {
            bool atEnd = j == N;
            bool ok = false;
            switch (p[i].token) {
            case Token::Literal: ok = !atEnd && name[j] == p[i].ch && can[i + 1][j + 1]; break;
            case Token::Star: ok = can[i + 1][j] || (!atEnd && can[i][j + 1]); break;
            case Token::DosStar:
                ok = can[i + 1][j] || (!atEnd && j != lastDot && can[i][j + 1]);
                break;
            case Token::DosQm:
                ok = (!atEnd && name[j] != U'.') ? bool(can[i + 1][j + 1]) : bool(can[i + 1][j]);
                break;
            case Token::DosDot:
                ok = (!atEnd && name[j] == U'.' && can[i + 1][j + 1]) || (atEnd && can[i + 1][j]);
                break;
            }
            can[i][j] = ok;
        }
    }
    return can[0][0];
}

struct Found {
    std::string name;
    std::u32string folded;
    WIN32_FIND_DATA data;
};

class FindObject final : public KernelObject {
public:
    bool closableByCloseHandle() const override { return false; }
    std::vector<Found> entries;
    std::size_t next = 0;
};

bool fillData(const std::string &host, const std::string &name, WIN32_FIND_DATA *data)
{
    struct stat st;
    if (::stat(host.c_str(), &st) != 0 && ::lstat(host.c_str(), &st) != 0)
        return false;
    *data = WIN32_FIND_DATA{};
    data->dwFileAttributes = detail::attributesOf(host, st);
    data->ftCreationTime = detail::creationTimeOfPath(host);
    data->ftLastAccessTime = fileTimeFromUnix(st.st_atim.tv_sec, st.st_atim.tv_nsec);
    data->ftLastWriteTime = fileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    if (!S_ISDIR(st.st_mode)) {
        data->nFileSizeHigh = DWORD(std::uint64_t(st.st_size) >> 32);
        data->nFileSizeLow = DWORD(std::uint64_t(st.st_size) & 0xFFFFFFFF);
    }
    std::memcpy(data->cFileName, name.c_str(), name.size() + 1);
    return true;
}

} // namespace

bool matchesWildcard(std::string_view pattern, std::string_view name)
{
    return matchCompiled(compile(detail::foldName(pattern)), detail::foldName(name));
}

HANDLE findFirstFile(const char *pattern, WIN32_FIND_DATA *data)
{
    if (!pattern || !data) {
        setLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // The name part is matched as given: completing the path would drop the
    // trailing dot of "*.".
    std::string spec = pathFileName(pattern);
    if (spec.empty() || !detail::isValidNameComponent(spec, true)) {
        // "C:\folder\" names no entry; Windows answers "not found".
        setLastError(spec.empty() ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    std::string folder = pathFolder(pattern);
    auto r = detail::resolvePath(folder.empty() ? std::string_view(".") : std::string_view(folder));
    if (!r)
        return INVALID_HANDLE_VALUE;
    struct stat st;
    if (!r->exists || ::stat(r->host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        setLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    DIR *dir = ::opendir(r->host.c_str());
    if (!dir) {
        detail::failErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
    auto compiled = compile(detail::foldName(spec));
    auto search = std::make_shared<FindObject>();
    std::vector<std::string> names;
    while (dirent *e = ::readdir(dir))
        names.emplace_back(e->d_name);
    ::closedir(dir);
    for (const std::string &name : names) {
        bool dots = name == "." || name == "..";
        if (dots && r->isRoot)
            continue; // a drive root has no "." and ".."
        if (!dots && !detail::isValidNameComponent(name, false))
            continue; // Windows could not address it
        if (name.size() >= sizeof(data->cFileName))
            continue;
        std::u32string folded = detail::foldName(name);
        if (!matchCompiled(compiled, folded))
            continue;
        Found f{name, std::move(folded), {}};
        std::string host = r->host + (r->host.back() == '/' ? "" : "/") + name;
        if (fillData(host, name, &f.data))
            search->entries.push_back(std::move(f));
    }
    if (search->entries.empty()) {
        setLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // "." and ".." first, then names in case-insensitive order.
    auto rank = [](const Found &f) { return f.name == "." ? 0 : f.name == ".." ? 1 : 2; };
    std::sort(search->entries.begin(), search->entries.end(), [&](const Found &a, const Found &b) {
        if (rank(a) != rank(b))
            return rank(a) < rank(b);
        return a.folded != b.folded ? a.folded < b.folded : a.name < b.name;
    });
    *data = search->entries[0].data;
    search->next = 1;
    return insertHandle(search);
}

BOOL findNextFile(HANDLE handle, WIN32_FIND_DATA *data)
{
    auto search = referenceHandleAs<FindObject>(handle);
    if (!search)
        return FALSE;
    if (!data) {
        setLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (search->next >= search->entries.size()) {
        setLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *data = search->entries[search->next++].data;
    return TRUE;
}

BOOL findClose(HANDLE handle)
{
    if (!referenceHandleAs<FindObject>(handle))
        return FALSE;
    removeHandle(handle);
    return TRUE;
}

} // namespace plat
