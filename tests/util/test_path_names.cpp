#include "brxutil.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

TEST(Catpath, JoinsWithOneSeparatorAndEndsWithTwoZeros)
{
    struct Case {
        const char *buffer, *name, *expected;
    } cases[] = {
        {"C:\\a", "b.txt", "C:\\a\\b.txt"},
        {"C:\\a\\", "b.txt", "C:\\a\\b.txt"},
        {"C:\\a/", "b.txt", "C:\\a/b.txt"},
        {"", "b.txt", "b.txt"},
    };
    for (const Case &c : cases) {
        char buffer[64];
        std::memset(buffer, 'x', sizeof buffer);
        std::strcpy(buffer, c.buffer);
        catpath(buffer, c.name);
        EXPECT_STREQ(buffer, c.expected) << c.buffer;
        EXPECT_EQ(buffer[std::strlen(c.expected) + 1], '\0') << c.buffer;
    }
}

TEST(PathSplitting, ExtensionNameAndFolder)
{
    struct Case {
        const char *path, *extension, *name, *dir;
    } cases[] = {
        {"C:\\a\\b.txt", ".txt", "b.txt", "C:\\a"},
        {"C:\\a.d\\b", nullptr, "b", "C:\\a.d"},
        {"C:\\a\\b.tar.gz", ".gz", "b.tar.gz", "C:\\a"},
        {"C:\\file", nullptr, "file", "C:"},
        {"plain.zip", ".zip", "plain.zip", "plain.zip"},
    };
    for (const Case &c : cases) {
        const char *ext = GetExtension(c.path);
        if (c.extension)
            EXPECT_STREQ(ext, c.extension) << c.path;
        else
            EXPECT_EQ(ext, nullptr) << c.path;
        EXPECT_STREQ(GetFileNameFromFullPath(c.path), c.name) << c.path;
        EXPECT_STREQ(GetDirFromFullPath(c.path), c.dir) << c.path;
    }
    EXPECT_EQ(IsFullPath("C:\\x"), 1);
    EXPECT_EQ(IsFullPath("x.zip"), 0);
}

TEST(IsValidFileName, Rules)
{
    struct Case {
        const char *path;
        int valid;
    } cases[] = {
        {"C:\\folder", 1},
        {"C:\\folder\\file.txt", 1},
        {"\\\\server\\share", 1},
        {"C:", 0},
        {"C:\\", 0},
        {"C:\\a:b", 0},
        {"C:\\a\\\\b", 0},
        {"C:\\what?", 0},
        {"C:\\a*", 0},
        {"C:\\a/b", 0},
        {"C:\\a\"b", 0},
        {"C:\\a<b", 0},
        {"C:\\a|b", 0},
        {":\\abc", 0},
        {"a", 0},
        {"folder\\x", 0},
        {"\\\\ab", 0},
        {"\\\\abc", 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsValidFileName(c.path), c.valid) << c.path;
}

TEST(MakeValidFileName, ReplacesOrRemovesInvalidCharacters)
{
    struct Case {
        const char *text;
        char replacement;
        int isPath;
        int result;
        const char *expected;
    } cases[] = {
        {"C:\\a?b\\c", 0, 1, 1, "C:\\ab\\c"},
        {"C:\\a?b\\c", '_', 1, 1, "C:\\a_b\\c"},
        {"C:\\a\\\\b", 0, 1, 1, "C:\\a\\b"},
        {"C:\\a:\\b", 0, 1, 1, "C:\\ab"},
        {"C:\\a:\\b", '_', 1, 1, "C:\\a__b"},
        {"\\\\srv\\share", 0, 1, 1, "\\\\srv\\share"},
        {"C:\\a", 0, 1, 0, "C:\\a"},
        {"\\ab", 0, 1, 0, "\\ab"},
        {"a\\b:c", 0, 0, 1, "abc"},
        {"a<b>c|d", '-', 0, 1, "a-b-c-d"},
        {"Files From 'C Drive'.zip", 0, 0, 1, "Files From 'C Drive'.zip"},
    };
    for (const Case &c : cases) {
        char buffer[64];
        std::strcpy(buffer, c.text);
        EXPECT_EQ(MakeValidFileName(buffer, c.replacement, c.isPath), c.result) << c.text;
        EXPECT_STREQ(buffer, c.expected) << c.text;
    }
}

TEST(FormatComma, IntegersAndDoubles)
{
    unsigned long seven = 1234567, zero = 0, three = 999, four = 1000;
    EXPECT_STREQ(FormatComma(&seven), "1,234,567");
    EXPECT_STREQ(FormatComma(&zero), "0");
    EXPECT_STREQ(FormatComma(&three), "999");
    EXPECT_STREQ(FormatComma(&four), "1,000");

    struct Case {
        double value;
        int decimals;
        const char *expected;
    } cases[] = {
        {1234567.891, 2, "1,234,567.89"}, {-1234.5, 1, "-1,234.5"}, {0.25, 2, "0.25"},
        {12.0, 0, "12"},                  {0.0, 0, "0"},            {999999.0, 0, "999,999"},
    };
    for (const Case &c : cases)
        EXPECT_STREQ(FormatComma(c.value, c.decimals), c.expected) << c.value;
}

TEST(PrepareMUFNMask, RewritesMaskIntoFormats)
{
    struct Case {
        const char *mask;
        int rewrite;
        const char *withExt, *noExt;
    } cases[] = {
        {"%f (%n)", 1, "%s\\%s (%d).%s", "%s\\%s (%d)"},
        {"%n-%f", 1, "%s\\%d-%s.%s", "%s\\%d-%s"},
        {"%f %x%n", 1, "%s\\%s %%x%d.%s", "%s\\%s %%x%d"},
        {"%f-%n%", 1, "%s\\%s-%d%%.%s", "%s\\%s-%d%%"},
        {"%s_%d", 0, "%s\\%s_%d.%s", "%s\\%s_%d"},
    };
    for (const Case &c : cases) {
        _RENAMEINFO info;
        PrepareMUFNMask(c.mask, &info, c.rewrite);
        EXPECT_STREQ(info.maskWithExt, c.withExt) << c.mask;
        EXPECT_STREQ(info.maskNoExt, c.noExt) << c.mask;
    }
}
