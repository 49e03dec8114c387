#include "brxutil.h"

#include "common/guids.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

using namespace plat;

TEST(RegistryHelpers, StringsRoundTripAndRefuseOtherCases)
{
    EXPECT_EQ(RegSetSZ(HKEY_CURRENT_USER, "Software\\Test\\Helpers", "Name", "value"), 0);
    EXPECT_STREQ(RegReadSZ(HKEY_CURRENT_USER, "Software\\Test\\Helpers", "Name"), "value");
    EXPECT_STREQ(RegReadSZ(HKEY_CURRENT_USER, "Software\\Test\\Helpers", "name"), "value");

    EXPECT_STREQ(RegReadSZ(HKEY_CURRENT_USER, "Software\\Test\\Missing", "Name"), "");
    EXPECT_STREQ(RegReadSZ(HKEY_CURRENT_USER, "Software\\Test\\Helpers", "Missing"), "");

    const std::uint8_t bytes[] = {1, 2, 3};
    EXPECT_EQ(RegSetBinary(HKEY_CURRENT_USER, "Software\\Test\\Helpers", "Bin", bytes, 3), 0);
    EXPECT_STREQ(RegReadSZ(HKEY_CURRENT_USER, "Software\\Test\\Helpers", "Bin"), "")
        << "a binary value is not a string";

    std::string longText(300, 'x');
    EXPECT_EQ(RegSetSZ(HKEY_CURRENT_USER, "Software\\Test\\Helpers", "Long", longText.c_str()), 0);
    EXPECT_STREQ(RegReadSZ(HKEY_CURRENT_USER, "Software\\Test\\Helpers", "Long"), "")
        << "too long for the 260-character buffer";
}

TEST(RegistryHelpers, BinaryValues)
{
    const std::uint8_t bytes[] = {0, 0xFF, 7, 0};
    ASSERT_EQ(RegSetBinary(HKEY_CURRENT_USER, "Software\\Test\\Bin", "Data", bytes, 4), 0);
    std::uint32_t size = 99;
    std::uint8_t *copy = RegReadBinary(HKEY_CURRENT_USER, "Software\\Test\\Bin", "Data", &size);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::memcmp(copy, bytes, 4), 0);
    EXPECT_EQ(BrxutilDelete(copy, 0), 0);

    RegSetSZ(HKEY_CURRENT_USER, "Software\\Test\\Bin", "Text", "abc");
    EXPECT_EQ(RegReadBinary(HKEY_CURRENT_USER, "Software\\Test\\Bin", "Text", &size), nullptr);
    EXPECT_EQ(RegReadBinary(HKEY_CURRENT_USER, "Software\\Test\\None", "Data", &size), nullptr);
}

TEST(RegistryHelpers, DeleteValue)
{
    RegSetSZ(HKEY_CURRENT_USER, "Software\\Test\\Del", "Gone", "x");
    EXPECT_EQ(RegDelValue(HKEY_CURRENT_USER, "Software\\Test\\Del", "Gone"), 0);
    EXPECT_STREQ(RegReadSZ(HKEY_CURRENT_USER, "Software\\Test\\Del", "Gone"), "");
    EXPECT_EQ(RegDelValue(HKEY_CURRENT_USER, "Software\\Test\\Del", "Gone"), ERROR_FILE_NOT_FOUND);
    // Refused arguments and a missing key answer 0.
    EXPECT_EQ(RegDelValue(nullptr, "Software\\Test\\Del", "Gone"), 0);
    EXPECT_EQ(RegDelValue(HKEY_CURRENT_USER, "", "Gone"), 0);
    EXPECT_EQ(RegDelValue(HKEY_CURRENT_USER, "Software\\Test\\Del", ""), 0);
    EXPECT_EQ(RegDelValue(HKEY_CURRENT_USER, "Software\\Test\\NoKey", "Gone"), 0);
}

TEST(Associations, MakeThenCheckAndDetectChanges)
{
    RegSetSZ(HKEY_CLASSES_ROOT, ".zip\\OpenWithProgids", "Other.Zip", "");
    MakeAssociations();
    EXPECT_EQ(CheckAssociations(), 1);
    EXPECT_STREQ(RegReadSZ(HKEY_CLASSES_ROOT, ".zip\\OpenWithProgids", "Other.Zip"), "")
        << "other programs' subkeys below .zip are removed";

    // Without the installation value the commands point at this program's folder.
    std::string open = RegReadSZ(HKEY_CLASSES_ROOT, "BrindleX.Document\\shell\\open\\command", "");
    EXPECT_NE(open.find("\\BRINDLEX.EXE /Oe"), std::string::npos);
    EXPECT_EQ(open.rfind("C:\\", 0), 0u);

    struct Change {
        const char *key, *name, *data;
    } changes[] = {
        {"BrindleX.Document\\shell\\open\\command", "", "C:\\Other\\OTHER.EXE"},
        {".cab", "Content Type", "application/octet-stream"},
        {".zip", "", "OtherArchiver.zip"},
        {"Directory\\shellex\\DragDropHandlers\\Brxext", "", "{00000000-0000-0000-0000-000000000000}"},
    };
    for (const Change &c : changes) {
        MakeAssociations();
        ASSERT_EQ(CheckAssociations(), 1);
        RegSetSZ(HKEY_CLASSES_ROOT, c.key, c.name, c.data);
        EXPECT_EQ(CheckAssociations(), 0) << c.key;
    }

    // Case does not matter in the comparison.
    MakeAssociations();
    RegSetSZ(HKEY_CLASSES_ROOT, ".zip", "", "brindlex.document");
    EXPECT_EQ(CheckAssociations(), 1);
}

TEST(Associations, InstallationFolderComesFromTheMachineKey)
{
    RegSetSZ(HKEY_LOCAL_MACHINE, "Software\\Nordvale\\Brindle Dovozoz", "", "C:\\Apps\\BX\\");
    MakeAssociations();
    EXPECT_STREQ(RegReadSZ(HKEY_CLASSES_ROOT, "BrindleX.Document\\shell\\open\\command", ""),
                 "C:\\Apps\\BX\\BRINDLEX.EXE /Oe");
    EXPECT_STREQ(RegReadSZ(HKEY_CLASSES_ROOT, "BrindleX.Document\\DefaultIcon", ""),
                 "C:\\Apps\\BX\\BRINDLEX.EXE,1");
    EXPECT_STREQ(RegReadSZ(HKEY_CLASSES_ROOT,
                           (std::string("CLSID\\") + kShellExtensionClsid + "\\InProcServer32").c_str(),
                           ""),
                 "C:\\Apps\\BX\\Brxext1.dll");
    EXPECT_EQ(CheckAssociations(), 1);
}
