#pragma once

// Shared pieces of the cabinet creation tests: records, running DoCab to its
// completion message, incompressible sources, and two independent readers of
// what was written: cabextract, and a small header parser of our own that
// reads the fields cabextract does not show (names, labels, reserve, folders).

#include "brxcomp.h"
#include "common/settings.h"
#include "platform/drives.h"
#include "platform/messages.h"
#include "platform/path.h"
#include "testenv.h"

#include <QElapsedTimer>
#include <QWidget>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace cabtest {

namespace fs = std::filesystem;
namespace cc = settings::cabcompression;
namespace co = settings::caboptions;

inline std::string run(const std::string &command, int *status = nullptr)
{
    return brxtest::runCommand(command, status);
}

inline bool haveCabextract()
{
    return brxtest::haveTool("cabextract");
}

inline std::string win(const std::string &host)
{
    return plat::hostToWindowsPath(host).value_or("");
}

inline std::string readAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Whether two host files hold the same bytes (both must exist); compared
// here so that a mismatch does not print megabytes of noise.
inline ::testing::AssertionResult sameFile(const std::string &a, const std::string &b)
{
    if (!fs::exists(a) || !fs::exists(b))
        return ::testing::AssertionFailure() << (fs::exists(a) ? b : a) << " missing";
    const std::string x = readAll(a), y = readAll(b);
    if (x != y)
        return ::testing::AssertionFailure() << a << " (" << x.size() << " bytes) differs from "
                                             << b << " (" << y.size() << " bytes)";
    return ::testing::AssertionSuccess();
}

inline void writeFile(const fs::path &path, const std::string &bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// Bytes that no compressor shrinks, the same for the same seed.
inline std::string noise(std::size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char &c : bytes)
        c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

using brxtest::heapText;

struct RecordDeleter {
    void operator()(CAB *cab) const
    {
        std::free(cab->fileList);
        std::free(cab);
    }
};
using Record = std::unique_ptr<CAB, RecordDeleter>;

// A record for the cabinet at host path `cabinetHost` and a list of Windows
// paths, each put in quotes.
inline Record newRecord(const std::string &cabinetHost, const std::vector<std::string> &items)
{
    Record cab(static_cast<CAB *>(std::calloc(1, sizeof(CAB))));
    std::snprintf(cab->cabinetPath, sizeof cab->cabinetPath, "%s", win(cabinetHost).c_str());
    std::string list;
    for (const std::string &item : items)
        list += (list.empty() ? "\"" : " \"") + item + "\"";
    cab->fileList = heapText(list);
    return cab;
}

using brxtest::pumpUntil;

// Runs DoCab with the test thread as UI thread; for a result of 1 waits for
// WM_OPERATION_DONE (record, 4) and closes the progress window as the
// completion handler would, noting its last caption in *caption.
inline int runCab(CAB *cab, std::string *caption = nullptr)
{
    bool done = false;
    plat::ThreadObject *thread = plat::ThreadObject::current();
    thread->setHandler([&](plat::UINT msg, plat::WPARAM wParam, plat::LPARAM lParam) {
        if (msg == plat::WM_OPERATION_DONE && wParam == reinterpret_cast<plat::WPARAM>(cab) &&
            lParam == OPERATION_CABINET)
            done = true;
    });
    cab->uiThread = thread;
    const int result = DoCab(cab);
    if (result == 1) {
        EXPECT_TRUE(pumpUntil([&] { return done; })) << "no WM_OPERATION_DONE";
        if (auto *window = qobject_cast<QWidget *>(cab->progressWnd); window && caption)
            *caption = window->windowTitle().toStdString();
        if (cab->progressWnd)
            plat::sendMessage(cab->progressWnd, plat::WM_PROGRESS_CLOSE, 0, 0);
    }
    thread->setHandler({});
    return result;
}

// Names of the files directly in a host folder.
inline std::set<std::string> filesIn(const std::string &folder)
{
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        if (entry.is_regular_file())
            names.insert(entry.path().filename().string());
    return names;
}

// What our own parser reads from one cabinet file.
struct CabInfo {
    bool valid = false;
    std::uint16_t flags = 0, setId = 0, index = 0;
    std::uint16_t reserveHeader = 0;
    std::string prevCab, prevDisk, nextCab, nextDisk;
    std::vector<std::uint16_t> folderTypes;
    std::vector<std::string> names;
};

inline CabInfo readCab(const std::string &hostPath)
{
    CabInfo info;
    const std::string b = readAll(hostPath);
    auto u16 = [&](std::size_t at) {
        return at + 2 <= b.size()
                   ? static_cast<std::uint16_t>(std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8)
                   : std::uint16_t{0};
    };
    auto u32 = [&](std::size_t at) {
        return std::uint32_t(u16(at)) | std::uint32_t(u16(at + 2)) << 16;
    };
    auto str = [&](std::size_t &at) {
        const std::size_t end = b.find('\0', at);
        if (end == std::string::npos) {
            at = b.size();
            return std::string();
        }
        std::string s = b.substr(at, end - at);
        at = end + 1;
        return s;
    };
    if (b.size() < 36 || b.compare(0, 4, "MSCF") != 0)
        return info;
    const std::uint32_t coffFiles = u32(16);
    const std::uint16_t folders = u16(26), files = u16(28);
    info.flags = u16(30);
    info.setId = u16(32);
    info.index = u16(34);
    std::size_t at = 36;
    std::size_t folderReserve = 0;
    if (info.flags & 4) {
        info.reserveHeader = u16(36);
        folderReserve = std::uint8_t(b[38]);
        at = 40 + info.reserveHeader;
    }
    if (info.flags & 1) {
        info.prevCab = str(at);
        info.prevDisk = str(at);
    }
    if (info.flags & 2) {
        info.nextCab = str(at);
        info.nextDisk = str(at);
    }
    for (unsigned i = 0; i < folders; ++i, at += 8 + folderReserve)
        info.folderTypes.push_back(u16(at + 6));
    at = coffFiles;
    for (unsigned i = 0; i < files && at + 16 <= b.size(); ++i) {
        at += 16;
        info.names.push_back(str(at));
    }
    info.valid = info.names.size() == files;
    return info;
}

// cabextract tests the cabinet (and the set it starts) and unpacks it into
// `into`; the test fails when either reports a problem.
inline void expectSound(const std::string &firstCabHost, const std::string &into = "")
{
    int status = -1;
    std::string out = run("cabextract -t '" + firstCabHost + "'", &status);
    EXPECT_EQ(status, 0) << out;
    if (!into.empty()) {
        out = run("cabextract -q -d '" + into + "' '" + firstCabHost + "'", &status);
        EXPECT_EQ(status, 0) << out;
    }
}

// Every CAB setting at a known value: unlimited size, no compression, names
// relative to the base folder, nothing moved.
inline void resetCabSettings()
{
    settings::write(cc::Recurse, 0);
    settings::write(cc::Path, 1);
    settings::write(cc::Move, 0);
    settings::write(cc::MultiVolume, 1);
    settings::write(cc::SkipLock, 0);
    settings::write(co::Disk, "");
    settings::write(co::MaxDiskSize, "");
    settings::write(co::MaxDiskType, 0);
    settings::write(co::MaxDiskUnit, 0);
    settings::write(co::ReservedSize, "");
    settings::write(co::ReservedUnit, 0);
    settings::write(co::CompressionType, 0);
    settings::write(co::CompressionLevel, 0);
    settings::write(co::NameStartingNumber, 0);
    settings::write(co::DiskStartingNumber, 0);
    settings::write(co::Folder, 0);
}

class CabTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!haveCabextract())
            GTEST_SKIP() << "cabextract not installed";
        resetCabSettings();
        // Files deleted "with undo" go to a trash of this test.
        setenv("XDG_DATA_HOME", brxtest::makeScratchDir("trash").c_str(), 1);
    }
    void TearDown() override { plat::resetDriveTable(); }
};

} // namespace cabtest
