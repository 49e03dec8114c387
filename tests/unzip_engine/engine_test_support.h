#pragma once

// Helpers of the unzip engine tests: command blocks, recording callbacks,
// files seen through the platform layer.

#include <functional>
#include <string>
#include <vector>

#include "common/records.h"
#include "unzip_test_support.h"

namespace enginetest {

// One call of the message callback.
struct Message {
    int type;
    unsigned style;
    int n1, n2;
    std::string text;
};

// Records every callback and answers as told.
struct Recorder {
    std::vector<Message> messages;
    std::vector<std::string> statusLines;
    std::vector<int> percents;
    std::vector<std::string> events; // "item N", "progress P", "message T N1" in call order
    std::function<int(const Message &)> answer;       // message answers (default 1)
    std::function<int(const std::string &)> onStatus; // nonzero cancels
    std::function<int(int)> onProgress;               // nonzero cancels

    std::vector<int> statusCodes() const; // n1 of every type-11 message
};

// A command block for function 8 on `archive` (Windows path) into `dest`
// (Windows path; empty for test mode), with every callback going to rec.
UnzipCommand extractCommand(const std::string &archive, const std::string &dest, Recorder &rec);

// Windows path of a host path.
std::string win(const std::string &hostPath);

// Contents of a host file, or "<missing>".
std::string fileText(const std::string &hostPath);
void writeText(const std::string &hostPath, const std::string &text);

// Every file below a host folder, relative, with '/' separators, sorted.
std::vector<std::string> listTree(const std::string &hostDir);

// Runs a Python program (kPyZipKit prepended) that writes an archive to argv[1].
std::string buildWithPython(const std::string &dir, const std::string &name,
                            const std::string &program);

} // namespace enginetest
