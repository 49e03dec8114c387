#pragma once

// Running the built brx as a child process (standard input a closed pipe,
// never a terminal) with the test's private system root, and the small
// fixtures the command tests share.

#include <map>
#include <set>
#include <string>
#include <vector>

namespace clitest {

struct Result {
    int exitCode = -1;
    bool finished = false; // false: brx hung and was killed
    std::string out, err;
};

// Runs brx with these arguments in `workDir` (empty: the test's folder).
Result brx(const std::vector<std::string> &args, const std::string &workDir = "");

// Runs a shell command; its combined output into *output.
int sh(const std::string &command, std::string *output = nullptr);

void writeFile(const std::string &path, const std::string &text);
std::string readFile(const std::string &path);

// Windows path of a host path through the drive table.
std::string win(const std::string &host);

// Entry names of a ZIP archive (unzip -Z1).
std::set<std::string> zipNames(const std::string &archive);

// `brx list --tab` rows by name (header left out): column name -> cell.
std::vector<std::map<std::string, std::string>>
listRows(const std::string &archive, const std::vector<std::string> &extra = {});

// A source tree: d/a.txt ("alpha"), d/b.log ("bravo log"), d/sub/c.txt ("charlie").
std::string makeTree(const std::string &name);

} // namespace clitest
