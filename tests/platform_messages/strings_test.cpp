// String tables by number, the missing-resource handler and the formatters.
#include "platform/errors.h"
#include "platform/strings.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace plat;

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

const StringEntry kStrings[] = {
    {57344, "Brindle Dovozoz"},
    {65192, "This folder %s does not exist.  Do you want to create it?"},
    {1, ""},
};

// Replaces the test mains' failing handler with one that records.
class MissingStrings : public ::testing::Test {
protected:
    struct Report {
        std::string kind, module;
        UINT id;
    };
    void SetUp() override
    {
        m_saved = setMissingResourceHandler(
            [this](std::string_view kind, std::string_view module, UINT id) {
                reports.push_back({std::string(kind), std::string(module), id});
            });
    }
    void TearDown() override { setMissingResourceHandler(std::move(m_saved)); }

    std::vector<Report> reports;

private:
    MissingResourceHandler m_saved;
};

TEST(Strings, LookupByNumberIgnoresCaseOfTheModule)
{
    StringTableRegistrar registrar("STRTEST.DLL", kStrings);
    EXPECT_EQ(loadString("STRTEST.DLL", 57344), "Brindle Dovozoz");
    EXPECT_EQ(loadString("strtest.dll", 65192),
              "This folder %s does not exist.  Do you want to create it?");
    EXPECT_EQ(loadString("StrTest.Dll", 1), ""); // an empty text is a text, not a missing one
    EXPECT_TRUE(hasString("STRTEST.DLL", 1));

    char buffer[8];
    setLastError(kSentinel);
    EXPECT_EQ(loadString("STRTEST.DLL", 57344, buffer, sizeof buffer), 7);
    EXPECT_STREQ(buffer, "Brindle");
    EXPECT_EQ(getLastError(), kSentinel);
    EXPECT_EQ(loadString("STRTEST.DLL", 57344, nullptr, 8), 0);
    EXPECT_EQ(getLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Strings, TablesFollowTheirRegistrarAndMerge)
{
    const StringEntry more[] = {{2, "second table"}, {57344, "a second text for 57344"}};
    {
        StringTableRegistrar first("MERGED.DLL", kStrings);
        StringTableRegistrar second("MERGED.DLL", more);
        EXPECT_EQ(loadString("MERGED.DLL", 2), "second table");
        EXPECT_EQ(loadString("MERGED.DLL", 57344), "Brindle Dovozoz"); // first text kept
    }
    EXPECT_FALSE(hasString("MERGED.DLL", 2));
    EXPECT_FALSE(hasString("MERGED.DLL", 57344));
    EXPECT_FALSE(hasString(nullptr, 57344));
}

TEST_F(MissingStrings, MissingNumberReportsAndShowsAPlaceholder)
{
    StringTableRegistrar registrar("STRTEST.DLL", kStrings);
    const std::string text = loadString("STRTEST.DLL", 999);
    EXPECT_NE(text.find("999"), std::string::npos);
    EXPECT_NE(text.find("STRTEST.DLL"), std::string::npos);

    char buffer[64] = "unchanged";
    setLastError(kSentinel);
    EXPECT_EQ(loadString("NOTLOADED.DLL", 57344, buffer, sizeof buffer), 0);
    EXPECT_EQ(getLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(std::string(buffer), missingResourceText("string", "NOTLOADED.DLL", 57344));

    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].kind, "string");
    EXPECT_EQ(reports[0].module, "STRTEST.DLL");
    EXPECT_EQ(reports[0].id, 999u);
    EXPECT_EQ(reports[1].module, "NOTLOADED.DLL");
    EXPECT_EQ(reports[1].id, 57344u);
}

TEST(Strings, FormatsThePrintfStyleTextsSafely)
{
    const struct {
        const char *format;
        std::string expected;
        std::string got;
    } cases[] = {
        {"%s bytes", "1,234 bytes", formatText("%s bytes", "1,234")},
        {"file %d of %u", "file -3 of 4294967295", formatText("file %d of %u", -3, 4294967295u)},
        {"%u of -1", "4294967295", formatText("%u", -1)},
        {"widths", "[   42|42   |00042]", formatText("[%5d|%-5d|%05d]", 42, 42, 42)},
        {"hex", "ff FF 0xff", formatText("%x %X %#x", 255, 255, 255)},
        {"char", "drive A:", formatText("drive %c:", 'A')},
        {"percent", "100%", formatText("100%%")},
        {"precision", "ab", formatText("%.2s", "abc")},
        {"star width", "   7", formatText("%*d", 4, 7)},
        {"long prefixes", "5 6 7", formatText("%ld %lu %I64d", 5L, 6UL, 7LL)},
        {"64-bit", "18446744073709551615", formatText("%llu", ~0ULL)},
        {"std::string", "x=y", formatText("%s=%s", std::string("x"), std::string_view("y"))},
        // Mismatches and missing arguments never read past what was given.
        {"number for %s", "12 bytes", formatText("%s bytes", 12)},
        {"text for %d", "0 files", formatText("%d files", "many")},
        {"missing argument", "a and ", formatText("%s and %s", "a")},
        {"null text", "(null)", formatText("%s", static_cast<const char *>(nullptr))},
        {"trailing percent", "50%", formatText("50%")},
        {"unknown conversion", "%q", formatText("%q", 1)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.got, c.expected) << c.format;

    char small[6];
    EXPECT_EQ(formatInto(small, sizeof small, "%s", {"truncated"}), 5);
    EXPECT_STREQ(small, "trunc");
    EXPECT_EQ(formatInto(nullptr, 4, "%s", {"x"}), 0);
}

TEST(Strings, PositionalFormattingOfFrameworkTexts)
{
    EXPECT_EQ(formatPositional("Save changes to %1?", {"C:\\a.zip"}), "Save changes to C:\\a.zip?");
    EXPECT_EQ(formatPositional("%2 before %1, 100%%", {"one", "two"}), "two before one, 100%");
    EXPECT_EQ(formatPositional("%3 stays", {"one"}), "%3 stays");
}

} // namespace
