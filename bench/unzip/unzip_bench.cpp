// Times one engine operation on one archive (host paths on the command line):
//   unzip_bench list ARCHIVE          GetFileCount + LoadFile
//   unzip_bench extract ARCHIVE DEST  function 8, overwrite, keep folders
//   unzip_bench test ARCHIVE          function 8, test only
// Prints the seconds taken; exit status 0 when the engine succeeded.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "brxextrc.h"
#include "engine_extract.h"
#include "platform/path.h"

namespace {

std::string win(const char *host)
{
    return plat::hostToWindowsPath(host).value_or("");
}

int extract(const std::string &archive, const char *dest)
{
    const std::string destination = dest ? win(dest) : std::string();
    return engineExtract(archive.c_str(), dest ? destination.c_str() : nullptr);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s list|extract|test ARCHIVE [DEST]\n", argv[0]);
        return 2;
    }
    std::string mode = argv[1];
    std::string archive = win(argv[2]);
    auto start = std::chrono::steady_clock::now();
    int result = 0;
    if (mode == "list") {
        int count = 0;
        result = GetFileCount(archive.c_str(), &count);
        if (result == 0 && count > 0) {
            // As the callers do: the array is not cleared before the records are filled.
            std::unique_ptr<ZIPINFOEX[]> records(new ZIPINFOEX[static_cast<std::size_t>(count)]);
            ZIPINFOEX *array = records.get();
            result = LoadFile(archive.c_str(), count, &array, nullptr);
        }
    } else if (mode == "extract" && argc > 3) {
        result = extract(archive, argv[3]);
    } else if (mode == "test") {
        result = extract(archive, nullptr);
    } else {
        std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
        return 2;
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f\n", seconds);
    if (result != 0)
        std::fprintf(stderr, "engine result %d\n", result);
    return result == 0 ? 0 : 1;
}
