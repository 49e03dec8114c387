#include "brxutil.h"

#include "testenv.h"

#include "platform/path.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string winPath(const fs::path &host) { return plat::hostToWindowsPath(host.string()).value(); }

void write(const fs::path &p, const std::string &text)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text;
}

std::string read(const fs::path &p)
{
    std::ifstream in(p);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Double-zero list of Windows paths.
std::string list(std::initializer_list<std::string> items)
{
    std::string out;
    for (const std::string &item : items) {
        out += item;
        out += '\0';
    }
    out += '\0';
    return out;
}

} // namespace

TEST(ShellFileOp, CopyMoveRenameAndDelete)
{
    fs::path dir = brxtest::makeScratchDir("fileop");
    write(dir / "src/a.txt", "alpha");
    write(dir / "src/sub/b.txt", "beta");
    fs::create_directories(dir / "dst");

    EXPECT_EQ(ShellFileOp(FO_COPY, list({winPath(dir / "src")}).c_str(),
                          list({winPath(dir / "dst")}).c_str(), nullptr, 1, 0),
              0);
    EXPECT_EQ(read(dir / "dst/src/sub/b.txt"), "beta");

    EXPECT_EQ(ShellFileOp(FO_MOVE, list({winPath(dir / "src/a.txt")}).c_str(),
                          list({winPath(dir / "dst")}).c_str(), nullptr, 1, 0),
              0);
    EXPECT_FALSE(fs::exists(dir / "src/a.txt"));
    EXPECT_EQ(read(dir / "dst/a.txt"), "alpha");

    EXPECT_EQ(ShellFileOp(FO_RENAME, list({winPath(dir / "dst/a.txt")}).c_str(),
                          list({winPath(dir / "dst/renamed.txt")}).c_str(), nullptr, 1, 0),
              0);
    EXPECT_TRUE(fs::exists(dir / "dst/renamed.txt"));

    // Files only through a wildcard, folders stay.
    EXPECT_EQ(ShellFileOp(FO_DELETE, list({winPath(dir / "dst") + "\\*.*"}).c_str(), nullptr,
                          nullptr, 1, 0),
              0);
    EXPECT_FALSE(fs::exists(dir / "dst/renamed.txt"));
    EXPECT_FALSE(fs::exists(dir / "dst/src")) << "a wildcard matches folders too";
}

TEST(ShellFileOp, DeleteWithUndoGoesToTheTrash)
{
    fs::path dir = brxtest::makeScratchDir("trash");
    fs::path data = brxtest::makeScratchDir("trash-home");
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    write(dir / "old.zip", "zip bytes");

    EXPECT_EQ(ShellFileOp(FO_DELETE, list({winPath(dir / "old.zip")}).c_str(), nullptr, nullptr,
                          1, 1),
              0);
    EXPECT_FALSE(fs::exists(dir / "old.zip"));
    EXPECT_EQ(read(data / "Trash/files/old.zip"), "zip bytes");
    EXPECT_NE(read(data / "Trash/info/old.zip.trashinfo").find("Path=" + (dir / "old.zip").string()),
              std::string::npos);
}

TEST(ShellFileOp, MissingSourceFails)
{
    fs::path dir = brxtest::makeScratchDir("fileop-missing");
    EXPECT_NE(ShellFileOp(FO_COPY, list({winPath(dir / "nothing.txt")}).c_str(),
                          list({winPath(dir / "x.txt")}).c_str(), nullptr, 1, 0),
              0);
}
