#include "zip_engine_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <utime.h>

#include "archive_file.h"
#include "central_directory.h"
#include "entry_reader.h"
#include "platform/path.h"

namespace ziptest {

namespace fs = std::filesystem;

bool haveTool(const std::string &name)
{
    return run("command -v " + name + " >/dev/null 2>&1") == 0;
}

int run(const std::string &command)
{
    const int rc = std::system(command.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

std::string shellQuote(const std::string &s)
{
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

Bytes readBytes(const std::string &hostPath)
{
    std::ifstream in(hostPath, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string &hostPath, const Bytes &bytes)
{
    fs::create_directories(fs::path(hostPath).parent_path());
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void writeText(const std::string &hostPath, const std::string &text)
{
    writeBytes(hostPath, toBytes(text));
}

Bytes toBytes(const std::string &s)
{
    return Bytes(s.begin(), s.end());
}

bool exists(const std::string &hostPath)
{
    return fs::exists(hostPath);
}

void setMtime(const std::string &hostPath, long seconds)
{
    struct utimbuf t {
        seconds, seconds
    };
    ::utime(hostPath.c_str(), &t);
}

std::string sampleText(std::size_t length, unsigned seed)
{
    static const char *words[] = {"archive ", "entry ",   "folder ", "deflate ",
                                  "window ",  "brindle ", "record ", "disk ",
                                  "\n",       "header ",  "value ",  "1998 "};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < length)
        s += words[rng() % 12];
    s.resize(length);
    return s;
}

std::string win(const std::string &hostPath)
{
    return plat::hostToWindowsPath(hostPath).value_or(hostPath);
}

Command::Command(int function, const std::string &archiveHost) : archive(win(archiveHost))
{
    initZipCommand(cmd);
    cmd.function = function;
    cmd.reserved44 = 1;
    if (function != ZIP_DELETE) {
        cmd.reserved120 = cmd.reserved124 = cmd.reserved188 = 1;
    }
}

Command &Command::files(const std::vector<std::string> &hostPaths)
{
    for (const auto &p : hostPaths) {
        if (!list.empty())
            list += ' ';
        list += '"' + win(p) + '"';
    }
    return *this;
}

int Command::run()
{
    cmd.archivePath = archive.c_str();
    cmd.fileList = list.c_str();
    if (!comment.empty() || cmd.setComment)
        cmd.comment = comment.c_str();
    if (!password.empty()) {
        cmd.usePassword = 1;
        cmd.password = password.c_str();
    }
    if (!include.empty()) {
        cmd.useInclude = 1;
        cmd.include = include.c_str();
    }
    if (!exclude.empty()) {
        cmd.useExclude = 1;
        cmd.exclude = exclude.c_str();
    }
    if (!date.empty()) {
        cmd.useDateFilter = 1;
        cmd.dateFilter = date.c_str();
    }
    if (!temp.empty()) {
        cmd.useTempFolder = 1;
        cmd.tempFolder = temp.c_str();
    }
    return dzipS(&cmd);
}

namespace {
class VectorSink final : public codecs::Sink {
public:
    bool write(const std::uint8_t *data, std::size_t len) override
    {
        bytes.insert(bytes.end(), data, data + len);
        return true;
    }
    Bytes bytes;
};
} // namespace

std::map<std::string, Bytes> readArchive(const std::string &hostPath, const std::string &password)
{
    std::map<std::string, Bytes> out;
    unzip::Error err;
    auto file = unzip::HostArchiveFile::open(hostPath, err);
    if (!file)
        return out;
    unzip::ArchiveDirectory dir;
    if (unzip::readArchiveDirectory(*file, dir) != unzip::Error::Ok)
        return out;
    for (std::size_t i = 0; i < dir.entries.size(); ++i) {
        const auto n = dir.name(dir.entries[i]);
        VectorSink sink;
        std::optional<std::string_view> pw;
        if (!password.empty())
            pw = password;
        if (unzip::readEntry(*file, dir, i, sink, pw) != unzip::Error::Ok)
            sink.bytes = toBytes("<unreadable>");
        out[std::string(n.begin(), n.end())] = std::move(sink.bytes);
    }
    return out;
}

std::string checkWithTools(const std::string &hostPath, const std::string &password, bool python)
{
    const std::string q = shellQuote(hostPath);
    const std::string pw = password.empty() ? "" : " -P " + shellQuote(password);
    if (haveTool("unzip") && run("unzip -tqq" + pw + " " + q + " >/dev/null 2>&1") != 0)
        return "unzip -t failed";
    const std::string pw7 = password.empty() ? "" : " " + shellQuote("-p" + password);
    if (haveTool("7zz") && run("7zz t" + pw7 + " " + q + " >/dev/null 2>&1") != 0)
        return "7zz t failed";
    if (python && haveTool("python3")) {
        const std::string py = "import sys, zipfile\n"
                               "z = zipfile.ZipFile(sys.argv[1])\n"
                               "if len(sys.argv) > 2: z.setpassword(sys.argv[2].encode())\n"
                               "sys.exit(1 if z.testzip() is not None else 0)\n";
        const std::string cmd = "python3 -c " + shellQuote(py) + " " + q +
                                (password.empty() ? "" : " " + shellQuote(password)) +
                                " >/dev/null 2>&1";
        if (run(cmd) != 0)
            return "python zipfile failed";
    }
    return {};
}

std::vector<std::string> listFiles(const std::string &hostDir)
{
    std::vector<std::string> names;
    if (!fs::exists(hostDir))
        return names;
    for (const auto &e : fs::recursive_directory_iterator(hostDir))
        if (e.is_regular_file())
            names.push_back(fs::relative(e.path(), hostDir).string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace ziptest
