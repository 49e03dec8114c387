// Inputs the fuzzer found (and the seed archives) replayed through the same
// path the fuzz target runs, so every build checks them.

#include <gtest/gtest.h>

#include <filesystem>

#include "central_directory.h"
#include "testenv.h"
#include "unzip_fuzz_input.h"
#include "unzip_test_support.h"

using namespace unziptest;

TEST(FuzzRegression, FoundInputsRunCleanly)
{
    namespace fs = std::filesystem;
    int replayed = 0;
    for (const auto &e : fs::directory_iterator(brxtest::fixturePath("unzip-fuzz"))) {
        if (e.path().extension() != ".zip")
            continue;
        SCOPED_TRACE(e.path().filename().string());
        Bytes b = readBytes(e.path().string());
        EXPECT_EQ(runUnzipFuzzInput(b.data(), b.size()), 0);
        ++replayed;
    }
    if (replayed == 0)
        GTEST_SKIP() << "no saved fuzz findings";
}

TEST(FuzzRegression, SeedArchivesParse)
{
    namespace fs = std::filesystem;
    for (const auto &e : fs::directory_iterator(brxtest::fixturePath("unzip-seeds"))) {
        if (e.path().extension() != ".zip")
            continue;
        SCOPED_TRACE(e.path().filename().string());
        Parsed p = parse(readBytes(e.path().string()));
        EXPECT_EQ(p.error, unzip::Error::Ok);
    }
}
