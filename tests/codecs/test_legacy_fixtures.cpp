// Every entry of the legacy-method fixtures decodes to data with the stored
// CRC-32, whether the input arrives in one piece or in tiny odd-sized reads.

#include "codec_test_support.h"
#include "testenv.h"

#include "codecs/decoders.h"

#include <gtest/gtest.h>

using namespace codectest;
using codecs::Result;

namespace {

const char *const kLegacyFixtures[] = {
    "cc-SHRUNK.ZIP",
    "cc-imploding-4Kdict-2trees.zip",
    "cc-imploding-8Kdict-3trees.zip",
    "cc-lorem-ipsum-implode.zip",
    "cc-lorem-ipsum-deflate64.zip",
    "cc-moby-imploded.zip",
    "z2-shrink.zip",
    "z2-reduce.zip",
    "z2-implode.zip",
};

class LegacyFixture : public ::testing::TestWithParam<const char *> {
protected:
    std::vector<ZipEntry> entries()
    {
        return readZip(brxtest::fixturePath(std::string("zip-legacy/") + GetParam()));
    }
};

TEST_P(LegacyFixture, EveryEntryMatchesItsCrc)
{
    auto list = entries();
    ASSERT_FALSE(list.empty());
    for (const ZipEntry &e : list) {
        Bytes out;
        EXPECT_EQ(decode(e, e.compressed, out), Result::Ok) << e.name;
        EXPECT_EQ(out.size(), e.uncompressedSize) << e.name;
        EXPECT_EQ(crcOf(out), e.crc) << e.name << " method " << e.method;
    }
}

TEST_P(LegacyFixture, TinyReadsGiveTheSameOutput)
{
    for (const ZipEntry &e : entries()) {
        Bytes whole, ones, sevens;
        ASSERT_EQ(decode(e, e.compressed, whole), Result::Ok) << e.name;
        EXPECT_EQ(decode(e, e.compressed, ones, 1), Result::Ok) << e.name;
        EXPECT_EQ(decode(e, e.compressed, sevens, 7), Result::Ok) << e.name;
        EXPECT_EQ(ones, whole) << e.name;
        EXPECT_EQ(sevens, whole) << e.name;
    }
}

INSTANTIATE_TEST_SUITE_P(ZipLegacy, LegacyFixture, ::testing::ValuesIn(kLegacyFixtures),
                         [](const auto &info) {
                             std::string name = info.param;
                             for (char &c : name)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(LegacyFixtures, ShrinkReduceAndImplodeGiveTheKnownText)
{
    Bytes expected = readFile(brxtest::fixturePath("zip-legacy/z2-first.txt"));
    ASSERT_FALSE(expected.empty());
    for (const char *file : {"z2-shrink.zip", "z2-reduce.zip", "z2-implode.zip"}) {
        auto list = readZip(brxtest::fixturePath(std::string("zip-legacy/") + file));
        ASSERT_EQ(list.size(), 1u) << file;
        Bytes out;
        EXPECT_EQ(decode(list[0], list[0].compressed, out), Result::Ok) << file;
        EXPECT_EQ(out, expected) << file;
    }
}

} // namespace
