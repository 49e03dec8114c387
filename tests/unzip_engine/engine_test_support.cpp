#include "engine_test_support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "dunzip.h"
#include "platform/path.h"
#include "pyzipkit.h"

namespace enginetest {
namespace {

int onMessage(int type, unsigned style, int n1, int n2, const char *text, int, void *ctx)
{
    auto *rec = static_cast<Recorder *>(ctx);
    Message m{type, style, n1, n2, text ? text : ""};
    rec->messages.push_back(m);
    rec->events.push_back("message " + std::to_string(type) + " " + std::to_string(n1));
    return rec->answer ? rec->answer(m) : 1;
}

int onStatus(const char *text, int, void *ctx)
{
    auto *rec = static_cast<Recorder *>(ctx);
    rec->statusLines.push_back(text);
    std::string t = text;
    std::size_t blank = t.find(' ', 5);
    rec->events.push_back("item " +
                          t.substr(5, blank == std::string::npos ? std::string::npos : blank - 5));
    return rec->onStatus ? rec->onStatus(t) : 0;
}

int onProgress(int, int percent, void *ctx)
{
    auto *rec = static_cast<Recorder *>(ctx);
    rec->percents.push_back(percent);
    rec->events.push_back("progress " + std::to_string(percent));
    return rec->onProgress ? rec->onProgress(percent) : 0;
}

} // namespace

std::vector<int> Recorder::statusCodes() const
{
    std::vector<int> out;
    for (const Message &m : messages)
        if (m.type == 11)
            out.push_back(m.n1);
    return out;
}

UnzipCommand extractCommand(const std::string &archive, const std::string &dest, Recorder &rec)
{
    static thread_local std::vector<std::string> keep; // the block points into these
    keep.push_back(archive);
    const char *a = keep.back().c_str();
    keep.push_back(dest);
    const char *d = keep.back().c_str();
    UnzipCommand cmd;
    initUnzipCommand(cmd);
    cmd.function = UNZIP_EXTRACT;
    cmd.archivePath = a;
    cmd.nameMask = "*.*";
    cmd.destination = dest.empty() ? nullptr : d;
    cmd.testOnly = dest.empty() ? 1 : 0;
    cmd.dropFolders = 0;
    cmd.overwrite = 1;
    cmd.neverPrompt = 1;
    cmd.nameFlags = UNZIP_BIT_EXTRACT1 | UNZIP_BIT_EXTRACT2;
    cmd.messageCallback = onMessage;
    cmd.messageContext = &rec;
    cmd.statusCallback = onStatus;
    cmd.statusContext = &rec;
    cmd.progressCallback = onProgress;
    cmd.progressContext = &rec;
    return cmd;
}

std::string win(const std::string &hostPath)
{
    return plat::hostToWindowsPath(hostPath).value_or("");
}

std::string fileText(const std::string &hostPath)
{
    std::ifstream in(hostPath, std::ios::binary);
    if (!in)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeText(const std::string &hostPath, const std::string &text)
{
    std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path());
    std::ofstream(hostPath, std::ios::binary) << text;
}

std::vector<std::string> listTree(const std::string &hostDir)
{
    std::vector<std::string> out;
    for (auto &e : std::filesystem::recursive_directory_iterator(hostDir))
        if (e.is_regular_file())
            out.push_back(std::filesystem::relative(e.path(), hostDir).generic_string());
    std::sort(out.begin(), out.end());
    return out;
}

std::string buildWithPython(const std::string &dir, const std::string &name,
                            const std::string &program)
{
    std::string path = dir + "/" + name;
    if (!unziptest::runPython(std::string(unziptest::kPyZipKit) + program, "'" + path + "'"))
        return {};
    return path;
}

} // namespace enginetest
