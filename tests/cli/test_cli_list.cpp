// brx list: the list view's columns and formats on ZIP archives and cabinets.

#include "cli_test_util.h"
#include "testenv.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>

using namespace clitest;

namespace {

std::string crcText(const std::string &data)
{
    char text[16];
    std::snprintf(
        text, sizeof text, "%lX",
        crc32(0, reinterpret_cast<const Bytef *>(data.data()), static_cast<uInt>(data.size())));
    return text;
}

const std::map<std::string, std::string> *
rowNamed(const std::vector<std::map<std::string, std::string>> &rows, const std::string &name)
{
    for (const auto &row : rows)
        if (row.at("Name") == name)
            return &row;
    return nullptr;
}

long long number(const std::string &withCommas)
{
    std::string digits;
    for (char c : withCommas)
        if (c != ',')
            digits += c;
    return std::stoll(digits);
}

} // namespace

TEST(CliList, ZipColumnsAndFormats)
{
    const std::string root = brxtest::makeScratchDir("list-zip");
    const std::string big(12345, 'x');
    writeFile(root + "/dir/big.txt", big);
    writeFile(root + "/dir/deeper/same.txt", "same");
    writeFile(root + "/plain.txt", "plain stored");
    ASSERT_EQ(sh("cd '" + root +
                 "' && touch -t 202401021304 dir/big.txt plain.txt && "
                 "zip -q -r -X a.zip dir && zip -q -0 -X a.zip plain.txt"),
              0);
    const auto rows = listRows(root + "/a.zip");
    // dir/ and dir/deeper/ are folder records: not listed.
    ASSERT_EQ(rows.size(), 3u);

    const auto *bigRow = rowNamed(rows, "big.txt");
    ASSERT_NE(bigRow, nullptr);
    EXPECT_EQ(bigRow->at("Size"), "12,345");
    EXPECT_EQ(bigRow->at("Path"), "dir");
    EXPECT_EQ(bigRow->at("Method"), "Deflated");
    EXPECT_EQ(bigRow->at("CRC-32"), crcText(big));
    EXPECT_EQ(bigRow->at("Modified"), "2 Jan 2024 13:04");
    const long long packed = number(bigRow->at("Compressed Size"));
    ASSERT_LT(packed, 12345);
    EXPECT_EQ(bigRow->at("Ratio"), std::to_string((12345 - packed) * 100 / 12345) + "%");

    const auto *plainRow = rowNamed(rows, "plain.txt");
    ASSERT_NE(plainRow, nullptr);
    EXPECT_EQ(plainRow->at("Method"), "Stored");
    EXPECT_EQ(plainRow->at("Ratio"), "00%");
    EXPECT_EQ(plainRow->at("Path"), "");
    EXPECT_EQ(plainRow->at("Attributes").substr(0, 4).find_first_not_of("RHSA-"),
              std::string::npos);

    const auto *sameRow = rowNamed(rows, "same.txt");
    ASSERT_NE(sameRow, nullptr);
    EXPECT_EQ(sameRow->at("Path"), "dir\\deeper");

    // Index is the position among all records, folders included.
    std::string order;
    sh("unzip -Z1 '" + root + "/a.zip'", &order);
    int position = 0;
    std::istringstream in(order);
    for (std::string line; std::getline(in, line); ++position) {
        if (line == "plain.txt") {
            EXPECT_EQ(plainRow->at("Index"), std::to_string(position));
        }
    }
}

TEST(CliList, EncryptedEntriesAndTotals)
{
    const std::string root = brxtest::makeScratchDir("list-enc");
    writeFile(root + "/s.txt", std::string(3000, 's'));
    ASSERT_EQ(sh("cd '" + root + "' && zip -q -X -P pw e.zip s.txt"), 0);
    const auto rows = listRows(root + "/e.zip");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NE(rows[0].at("Attributes").find("EN"), std::string::npos);

    const Result r = brx({"list", root + "/e.zip"});
    EXPECT_EQ(r.exitCode, 0);
    // 3000 bytes round up to 3KB.
    EXPECT_NE(r.out.find("1 file(s), 3KB ("), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ZIP Archive"), std::string::npos);
}

TEST(CliList, CabinetEntries)
{
    const std::string root = brxtest::makeScratchDir("list-cab");
    writeFile(root + "/d/one.txt", "one one one");
    writeFile(root + "/two.txt", std::string(2500, 't'));
    ASSERT_EQ(sh("cd '" + root + "' && gcab -c -z c.cab d/one.txt two.txt"), 0);
    const auto rows = listRows(root + "/c.cab");
    ASSERT_EQ(rows.size(), 2u);
    const auto *one = rowNamed(rows, "one.txt");
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->at("Path"), "d");
    EXPECT_EQ(one->at("Ratio"), "00%");
    EXPECT_EQ(one->at("Size"), one->at("Compressed Size"));
    const auto *two = rowNamed(rows, "two.txt");
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->at("Size"), "2,500");
    EXPECT_EQ(two->at("CRC-32"), "");
}

TEST(CliList, SortColumnsAndTies)
{
    const std::string root = brxtest::makeScratchDir("list-sort");
    writeFile(root + "/b.txt", "333");
    writeFile(root + "/x/a.txt", "333");
    writeFile(root + "/a.txt", "333");
    writeFile(root + "/big.txt", "4444");
    ASSERT_EQ(sh("cd '" + root + "' && zip -q -X -D s.zip b.txt x/a.txt a.txt big.txt"), 0);
    // Descending by size: equal sizes by name A to Z, equal names by folder in
    // the column's direction. Descending by name: equal names by folder A to Z.
    struct Case {
        std::string column, expected;
    } cases[] = {
        {"size", "big.txt\t\na.txt\tx\na.txt\t\nb.txt\t\n"},
        {"name", "big.txt\t\nb.txt\t\na.txt\t\na.txt\tx\n"},
    };
    for (const Case &c : cases) {
        const Result r = brx({"list", "--tab", "--no-header", "--columns", "name,path", "--sort",
                              c.column, "--reverse", root + "/s.zip"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, c.expected) << c.column;
    }
}

TEST(CliList, RefusesWhatIsNoArchive)
{
    const std::string root = brxtest::makeScratchDir("list-bad");
    writeFile(root + "/t.txt", "text");
    struct Case {
        std::vector<std::string> args;
        int exitCode;
    } cases[] = {
        {{"list", root + "/t.txt"}, 3},
        {{"list", root + "/missing.zip"}, 9},
        {{"list", "--columns", "name,colour", root + "/t.txt"}, 64},
        {{"list"}, 64},
    };
    for (const Case &c : cases) {
        const Result r = brx(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.back() << ": " << r.err;
        EXPECT_FALSE(r.err.empty());
    }
}
