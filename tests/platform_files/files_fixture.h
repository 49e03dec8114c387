#pragma once

// Shared helpers of the paths, drives and files tests: scratch folders seen from
// both sides, whole-file host I/O, and the sentinel of conformance checks.

#include "platform/drives.h"
#include "platform/errors.h"
#include "platform/path.h"
#include "testenv.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace filestest {

// Set before a call to see whether the call touched the last error.
constexpr plat::DWORD kSentinel = 0xDEADBEEF;

struct Scratch {
    std::string host; // host folder
    std::string win;  // the same folder as a Windows path
};

inline Scratch makeScratch(const std::string &name)
{
    Scratch s;
    s.host = brxtest::makeScratchDir(name);
    s.win = plat::hostToWindowsPath(s.host).value_or("");
    return s;
}

inline void writeHost(const std::string &path, const std::string &content)
{
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string readHost(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Tests that change the drive table get the default one back afterwards.
class DriveTableTest : public ::testing::Test {
protected:
    void TearDown() override { plat::resetDriveTable(); }
};

} // namespace filestest
