// Runs one input through the unzip engine's command block as the extract
// library would: count, every entry record, the comment, then function 8 in
// test mode with a decryption code. The input is written to a temporary file
// first, since the engine opens archives by path.

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "dunzip.h"
#include "platform/path.h"

namespace {

int answer(int, unsigned, int, int, const char *, int, void *)
{
    return 2; // cancel any disk prompt
}

const std::string &archivePath()
{
    static const std::string path = [] {
        std::string host = "/tmp/brx-unzip-engine-fuzz-" + std::to_string(::getpid()) + ".zip";
        return host;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string &host = archivePath();
    if (FILE *f = std::fopen(host.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }
    static const std::string path = plat::hostToWindowsPath(host).value_or("");
    UnzipCommand cmd;
    initUnzipCommand(cmd);
    cmd.function = UNZIP_COUNT;
    cmd.archivePath = path.c_str();
    cmd.messageCallback = answer;
    if (dunzipS(&cmd) != 0)
        return 0;
    int count = cmd.count;
    std::vector<ZIPINFOEX> records(static_cast<std::size_t>(std::min(count, 64)));
    initUnzipCommand(cmd);
    cmd.function = UNZIP_ENTRY;
    cmd.archivePath = path.c_str();
    for (auto &r : records) {
        cmd.entryOut = &r;
        dunzipS(&cmd);
    }
    initUnzipCommand(cmd);
    cmd.function = UNZIP_COMMENT_LENGTH;
    cmd.archivePath = path.c_str();
    if (dunzipS(&cmd) == 0 && cmd.count > 0) {
        std::vector<char> text(static_cast<std::size_t>(cmd.count) + 1);
        cmd.function = UNZIP_COMMENT;
        cmd.commentBuffer = text.data();
        dunzipS(&cmd);
    }
    initUnzipCommand(cmd);
    cmd.function = UNZIP_EXTRACT;
    cmd.archivePath = path.c_str();
    cmd.nameMask = "*.*";
    cmd.testOnly = 1;
    cmd.useDecryptCode = 1;
    cmd.decryptCode = "password";
    cmd.messageCallback = answer;
    dunzipS(&cmd);
    return 0;
}
