// zipbench add ARCHIVE FOLDER FACTOR   adds FOLDER\*.* recursively (relative names)
// zipbench delete ARCHIVE NAME         deletes one entry
// Host paths; prints nothing; exits with dzipS's result.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/records.h"
#include "platform/path.h"

extern "C" int dzipS(ZipCommand *cmd);

int main(int argc, char **argv)
{
    if (argc != 5 && argc != 4) {
        std::fprintf(stderr, "usage: zipbench add ARCHIVE FOLDER FACTOR | delete ARCHIVE NAME\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::string archive = plat::hostToWindowsPath(argv[2]).value_or(argv[2]);
    ZipCommand cmd;
    initZipCommand(cmd);
    cmd.archivePath = archive.c_str();
    cmd.reserved44 = 1;
    std::string list;
    if (mode == "add" && argc == 5) {
        list = "\"" + plat::hostToWindowsPath(argv[3]).value_or(argv[3]) + "\\*.*\"";
        cmd.function = ZIP_ADD;
        cmd.recurse = 1;
        cmd.options = ZIP_OPT_RELATIVE_FOLDERS;
        cmd.factor = std::atoi(argv[4]);
        cmd.reserved120 = cmd.reserved124 = cmd.reserved188 = 1;
    } else if (mode == "delete" && argc == 4) {
        list = std::string("\"") + argv[3] + "\"";
        cmd.function = ZIP_DELETE;
    } else {
        return 2;
    }
    cmd.fileList = list.c_str();
    return dzipS(&cmd);
}
