#pragma once

// Shared pieces of the compress library tests: a scratch tree of sources, a
// way to run an add to completion, and the unzip oracle.

#include "brxcomp.h"
#include "common/settings.h"
#include "platform/messages.h"
#include "platform/path.h"
#include "testenv.h"

#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace comptest {

namespace fs = std::filesystem;

inline std::string run(const std::string &command, int *status = nullptr)
{
    return brxtest::runCommand(command, status);
}

inline bool haveUnzip()
{
    return brxtest::haveTool("unzip");
}

// `unzip -t` passes on the archive.
inline void expectSound(const std::string &hostArchive, const std::string &password = "")
{
    int status = -1;
    const std::string out = run("unzip -t " + (password.empty() ? "" : "-P " + password + " ") +
                                    "'" + hostArchive + "'",
                                &status);
    EXPECT_EQ(status, 0) << out;
}

// Entry names in the archive.
inline std::set<std::string> names(const std::string &hostArchive)
{
    std::istringstream in(run("unzip -Z1 '" + hostArchive + "'"));
    std::set<std::string> result;
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            result.insert(line);
    return result;
}

inline void writeFile(const fs::path &path, const std::string &text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

inline std::string win(const std::string &host)
{
    return plat::hostToWindowsPath(host).value_or("");
}

using brxtest::heapText;

struct RecordDeleter {
    void operator()(_ADD *add) const
    {
        std::free(add->fileList);
        std::free(add->keepList);
        std::free(add);
    }
};
using Record = std::unique_ptr<_ADD, RecordDeleter>;

inline Record newRecord(const std::string &archiveHost, const std::string &fileList)
{
    Record add(static_cast<_ADD *>(std::calloc(1, sizeof(_ADD))));
    std::snprintf(add->archivePath, sizeof add->archivePath, "%s", win(archiveHost).c_str());
    add->fileList = heapText(fileList);
    return add;
}

using brxtest::pumpUntil;

// Runs Add with the test thread as UI thread and waits for its completion;
// returns what Add returned (the completion is awaited only for 1).
inline int runAdd(_ADD *add, bool *completed = nullptr)
{
    bool done = false;
    plat::ThreadObject *thread = plat::ThreadObject::current();
    thread->setHandler([&](plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam) {
        if (msg == plat::WM_OPERATION_DONE && wParam == reinterpret_cast<plat::WPARAM>(add) &&
            lParam == 1)
            done = true;
    });
    add->uiThread = thread;
    const int started = Add(add);
    if (started == 1) {
        const bool ok = pumpUntil([&] { return done; });
        if (completed)
            *completed = ok;
        EXPECT_TRUE(ok) << "no WM_OPERATION_DONE";
        if (add->progressWnd)
            plat::sendMessage(add->progressWnd, plat::WM_PROGRESS_CLOSE, 0, 0);
    }
    thread->setHandler({});
    return started;
}

// A scratch folder with a.txt, b.txt and sub/c.txt.
struct SourceTree {
    explicit SourceTree(const std::string &name) : root(brxtest::makeScratchDir(name))
    {
        writeFile(root + "/src/a.txt", std::string(2000, 'a'));
        writeFile(root + "/src/b.txt", "bee");
        writeFile(root + "/src/sub/c.txt", "sea");
    }
    std::string quotedAll() const { return "\"" + win(root + "/src") + "\\*.*\""; }
    std::string archive() const { return root + "/out.zip"; }
    std::string root;
};

} // namespace comptest
