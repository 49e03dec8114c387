#pragma once

// Shared pieces of the registry tests: a private, empty system root per test and
// a runner for the brxreg tool as a second process.

#include "platform/registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace regtest {

// Gives each test its own empty system root (and the default Windows version);
// the previous root and version come back afterwards.
class FreshRoot : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    const std::string &root() const { return m_root; }

private:
    std::string m_root;
    std::string m_savedRoot;
    std::string m_savedVersion;
    bool m_hadVersion = false;
};

struct ToolResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs brxreg with args in the current environment and waits for it.
ToolResult runTool(const std::vector<std::string> &args, const std::string &input = {});

// Starts one brxreg per argument list, all before waiting for any, and collects
// their results in the same order.
std::vector<ToolResult> runToolsTogether(const std::vector<std::vector<std::string>> &argLists);

// Path of the brxreg program.
std::string toolPath();

// A string value's text (without the terminator) read through the registry API;
// empty with ok false when it cannot be read.
std::string readString(plat::HKEY root, const char *subKey, const char *name, bool *ok = nullptr);

} // namespace regtest
