#include "brxutil.h"
#include "cab_run.h"

#include "platform/file.h"
#include "platform/path.h"

#include <cctype>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>

namespace {

bool hasWildcard(const std::string &text)
{
    return text.find_first_of("*?") != std::string::npos;
}

std::string folderOf(const std::string &pattern)
{
    const std::size_t slash = pattern.rfind('\\');
    return slash == std::string::npos ? std::string() : pattern.substr(0, slash + 1);
}

// Host identity of a folder, so a link back up the tree is walked only once.
std::string folderIdentity(const std::string &windowsPath)
{
    const std::optional<std::string> host = plat::windowsToHostPath(windowsPath);
    if (!host)
        return windowsPath;
    std::error_code ec;
    const std::filesystem::path canonical = std::filesystem::canonical(*host, ec);
    return ec ? *host : canonical.string();
}

struct Walk {
    CabRun &run;
    std::set<std::string> visited;

    // Files of `folder` matching `mask`, then (with recurse) the same mask in
    // each subfolder, depth first.
    void walk(const std::string &folder, const std::string &mask)
    {
        if (cabCancelled(run))
            return;
        if (!visited.insert(folderIdentity(folder.empty() ? "." : folder)).second)
            return;
        plat::WIN32_FIND_DATA data;
        plat::HANDLE search = plat::findFirstFile((folder + mask).c_str(), &data);
        if (search != plat::INVALID_HANDLE_VALUE) {
            do {
                if (!(data.dwFileAttributes & plat::FILE_ATTRIBUTE_DIRECTORY))
                    run.files.push_back(folder + data.cFileName);
            } while (plat::findNextFile(search, &data));
            plat::findClose(search);
        }
        if (!run.cab->recurse)
            return;
        std::vector<std::string> subfolders;
        search = plat::findFirstFile((folder + "*.*").c_str(), &data);
        if (search != plat::INVALID_HANDLE_VALUE) {
            do {
                const std::string name = data.cFileName;
                if ((data.dwFileAttributes & plat::FILE_ATTRIBUTE_DIRECTORY) && name != "." &&
                    name != "..")
                    subfolders.push_back(folder + name + "\\");
            } while (plat::findNextFile(search, &data));
            plat::findClose(search);
        }
        for (const std::string &sub : subfolders) {
            if (cabCancelled(run))
                return;
            walk(sub, mask);
        }
    }
};

// Items of a file list: quoted texts separated by blanks (an unquoted item
// runs to the next blank).
std::vector<std::string> splitList(const char *list)
{
    std::vector<std::string> items;
    if (!list)
        return items;
    const char *p = list;
    while (*p) {
        while (*p == ' ')
            ++p;
        if (!*p)
            break;
        std::string item;
        if (*p == '"') {
            const char *end = std::strchr(p + 1, '"');
            if (!end)
                end = p + std::strlen(p);
            item.assign(p + 1, end);
            p = *end ? end + 1 : end;
        } else {
            const char *end = std::strchr(p, ' ');
            if (!end)
                end = p + std::strlen(p);
            item.assign(p, end);
            p = end;
        }
        if (!item.empty())
            items.push_back(std::move(item));
    }
    return items;
}

bool startsWithIgnoringCase(const std::string &text, const std::string &prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

} // namespace

void gatherFiles(CabRun &run)
{
    Walk walk{run, {}};
    for (const std::string &item : splitList(run.cab->fileList)) {
        if (cabCancelled(run))
            return;
        if (hasWildcard(item)) {
            const std::string folder = folderOf(item);
            walk.visited.clear();
            walk.walk(folder, item.substr(folder.size()));
            continue;
        }
        const unsigned kind = DoesFileExist(item.c_str());
        if (kind == 2 || kind == 3) {
            walk.visited.clear();
            walk.walk(item.back() == '\\' ? item : item + "\\", "*.*");
        } else {
            run.files.push_back(item);
        }
    }
}

std::string storedName(const std::string &path, unsigned pathMode, const char *baseFolder)
{
    if (pathMode == 0) {
        const std::size_t slash = path.rfind('\\');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }
    const std::string base = baseFolder ? baseFolder : "";
    if (pathMode == 1 && !base.empty()) {
        // The base folder must end at a separator of the path: C:\data is
        // not the start of C:\database\x.txt.
        const bool inside =
            startsWithIgnoringCase(path, base) &&
            (base.back() == '\\' || path.size() == base.size() || path[base.size()] == '\\');
        if (!inside)
            return path;
        std::string rest = path.substr(base.size());
        const bool leading = !rest.empty() && rest.front() == '\\';
        const bool deeper = rest.find('\\', leading ? 1 : 0) != std::string::npos;
        if (leading && !deeper)
            rest.erase(0, 1);
        else if (!leading && deeper)
            rest.insert(0, 1, '\\');
        return rest;
    }
    std::string name = path;
    const std::size_t colon = name.rfind(':');
    if (colon != std::string::npos)
        name.erase(0, colon + 1);
    if (name.size() >= 2 && name[0] == '\\' && name[1] == '\\')
        name.erase(0, 1);
    return name;
}
