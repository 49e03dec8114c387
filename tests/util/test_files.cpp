#include "brxutil.h"

#include "testenv.h"

#include "platform/drives.h"
#include "platform/path.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string winPath(const fs::path &host)
{
    return plat::hostToWindowsPath(host.string()).value();
}

void touch(const fs::path &p)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
}

} // namespace

TEST(DoesFileExist, RootsFoldersAndFiles)
{
    fs::path dir = brxtest::makeScratchDir("exist");
    touch(dir / "file.txt");
    fs::create_directories(dir / "Sub");

    EXPECT_EQ(DoesFileExist("C:\\"), 3u);
    EXPECT_EQ(DoesFileExist("\\"), 3u);
    EXPECT_EQ(DoesFileExist("\\\\server\\share"), 3u);
    EXPECT_EQ(DoesFileExist(winPath(dir / "file.txt").c_str()), 1u);
    EXPECT_EQ(DoesFileExist((winPath(dir / "Sub") + "\\").c_str()), 2u);
    EXPECT_EQ(DoesFileExist(winPath(dir / "sub").c_str()), 2u); // case-insensitive lookup
    EXPECT_EQ(DoesFileExist(winPath(dir / "missing").c_str()), 0u);
}

TEST(DoesFileExist, RemovableDriveWithAndWithoutMedium)
{
    fs::path medium = brxtest::makeScratchDir("floppy");
    touch(medium / "disk1.zip");
    ASSERT_TRUE(plat::defineDrive({'A', plat::DRIVE_REMOVABLE, medium.string(), 1457664}));
    EXPECT_EQ(DoesFileExist("A:\\disk1.zip"), 1u);
    EXPECT_EQ(CheckIfRemovable("A:"), 1);
    EXPECT_EQ(CheckIfRemovable("a:\\disk1.zip"), 1);
    EXPECT_EQ(CheckIfRemovable("C:\\x"), 0);
    EXPECT_EQ(CheckIfRemovable("Ax"), 0);

    ASSERT_TRUE(plat::defineDrive({'A', plat::DRIVE_REMOVABLE, "", 1457664}));
    EXPECT_EQ(DoesFileExist("A:\\disk1.zip"), 0u);
    plat::resetDriveTable();
}

TEST(MakeDirs, CreatesEveryLevel)
{
    fs::path dir = brxtest::makeScratchDir("dirs");
    std::string base = winPath(dir);
    EXPECT_EQ(make_dirs((base + "\\a\\b\\c").c_str()), 1);
    EXPECT_TRUE(fs::is_directory(dir / "a/b/c"));
    EXPECT_EQ(make_dirs((base + "\\a\\.\\d\\").c_str()), 1);
    EXPECT_TRUE(fs::is_directory(dir / "a/d"));
    EXPECT_EQ(make_dirs((base + "\\a\\b\\c").c_str()), 1) << "existing folders are fine";
}

TEST(MakeDirs, FileInTheWayFails)
{
    fs::path dir = brxtest::makeScratchDir("blocked");
    touch(dir / "block");
    std::string base = winPath(dir);
    EXPECT_EQ(make_dirs((base + "\\block\\inner").c_str()), 0);
    EXPECT_EQ(make_dirs((base + "\\block").c_str()), 0);
}

TEST(MakeUniqueFileName, CountsPastExistingCopies)
{
    fs::path dir = brxtest::makeScratchDir("unique");
    std::string base = winPath(dir);
    _RENAMEINFO info;
    PrepareMUFNMask("%f (%n)", &info, 1);

    std::string free = base + "\\new.txt";
    EXPECT_STREQ(MakeUniqueFileName(free.c_str(), &info), free.c_str());

    touch(dir / "a.txt");
    EXPECT_EQ(std::string(MakeUniqueFileName((base + "\\a.txt").c_str(), &info)),
              base + "\\a (2).txt");
    touch(dir / "a (2).txt");
    touch(dir / "a (3).txt");
    EXPECT_EQ(std::string(MakeUniqueFileName((base + "\\a.txt").c_str(), &info)),
              base + "\\a (4).txt");

    touch(dir / "README");
    EXPECT_EQ(std::string(MakeUniqueFileName((base + "\\README").c_str(), &info)),
              base + "\\README (2)");
    fs::create_directories(dir / "folder");
    EXPECT_EQ(std::string(MakeUniqueFileName((base + "\\folder").c_str(), &info)),
              base + "\\folder (2)");

    EXPECT_STREQ(MakeUniqueFileName("plain.txt", &info), "plain.txt");
}

TEST(MakeUniqueFileName, OtherPercentLettersStayLiteralAndBadMasksEndEmpty)
{
    fs::path dir = brxtest::makeScratchDir("unique-mask");
    std::string base = winPath(dir);
    touch(dir / "a.txt");
    _RENAMEINFO info;
    PrepareMUFNMask("%f %x%n", &info, 1);
    EXPECT_EQ(std::string(MakeUniqueFileName((base + "\\a.txt").c_str(), &info)),
              base + "\\a %x2.txt");

    // A mask that does not change with the copy number can never find a free
    // name: the search ends with the empty text instead of an existing name.
    PrepareMUFNMask("x", &info, 0);
    touch(dir / "x.a");
    EXPECT_STREQ(MakeUniqueFileName((base + "\\a.txt").c_str(), &info), "");
    // An unrewritten mask with stray conversions is filled safely.
    PrepareMUFNMask("%s%s%s%s%n%p", &info, 0);
    EXPECT_NO_FATAL_FAILURE(MakeUniqueFileName((base + "\\a.txt").c_str(), &info));
}

TEST(GetSpecialDirectory, DesktopIsAFolderOfTheRoot)
{
    char buffer[260] = "sentinel";
    ASSERT_EQ(GetSpecialDirectory(0x0010 /* desktop directory */, buffer), 1);
    EXPECT_EQ(DoesFileExist(buffer), 2u);
    char virtualFolder[260] = "sentinel";
    EXPECT_EQ(GetSpecialDirectory(0x0011 /* my computer */, virtualFolder), 0);
}
