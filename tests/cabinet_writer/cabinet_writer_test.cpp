// Cabinets written here are read back by independent decoders: libmspack in
// process, and the cabextract and gcab programs when they are installed.

#include "posix_io.h"
#include "testenv.h"

#include <gtest/gtest.h>
#include <mspack.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <list>
#include <map>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
namespace fs = std::filesystem;

void saveFile(const std::string &path, const Bytes &data)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(data.data()),
              static_cast<std::streamsize>(data.size()));
}

Bytes loadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Prose-like text: a vocabulary with a skewed choice of words, where most
// words are followed by one of a few usual successors (so phrases recur at
// every distance, as in natural text), lines of varying length and some
// sentences repeated from anywhere earlier in the document.
Bytes makeText(std::size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    static const char *syllables[] = {"ka", "lo", "re",  "ti",  "on",  "an", "es",
                                      "ul", "mi", "dor", "be",  "sta", "ve", "nu",
                                      "pe", "ri", "so",  "tha", "gen", "wi"};
    const std::size_t vocabulary = 3000;
    std::vector<std::string> words;
    std::vector<std::array<std::size_t, 3>> successors;
    auto skewed = [&] {
        // Cubing a uniform value favours the front of the vocabulary.
        const double u = std::uniform_real_distribution<double>(0, 1)(rng);
        return static_cast<std::size_t>(u * u * u * vocabulary);
    };
    for (std::size_t i = 0; i < vocabulary; ++i) {
        std::string w;
        const int n = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < n; ++k)
            w += syllables[rng() % 20];
        words.push_back(w);
    }
    for (std::size_t i = 0; i < vocabulary; ++i)
        successors.push_back({skewed(), skewed(), skewed()});
    std::vector<std::string> sentences;
    Bytes out;
    std::size_t word = 0;
    while (out.size() < size) {
        std::string s;
        if (!sentences.empty() && rng() % 8 == 0) {
            s = sentences[rng() % sentences.size()];
        } else {
            const int n = 4 + static_cast<int>(rng() % 14);
            for (int k = 0; k < n; ++k) {
                word = rng() % 4 != 0 ? successors[word][rng() % 3] : skewed();
                s += words[word];
                s += k + 1 == n ? ".\n" : (rng() % 9 == 0 ? ", " : " ");
            }
            sentences.push_back(s);
        }
        out.insert(out.end(), s.begin(), s.end());
    }
    out.resize(size);
    return out;
}

Bytes makeRandom(std::size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes out(size);
    for (auto &b : out)
        b = static_cast<unsigned char>(rng());
    return out;
}

struct Source {
    std::string stored;
    Bytes data;
};

std::string codeName(int code)
{
    if (code == cab::kCompressionNone)
        return "none";
    if (code == cab::kCompressionMszip)
        return "mszip";
    return "lzx" + std::to_string(code >> 8);
}

bool hasProgram(const char *name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<std::string> listDir(const std::string &dir)
{
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class CabinetWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char &c : name) {
            if (c == '/')
                c = '_';
        }
        root_ = brxtest::makeScratchDir(name);
        srcDir_ = root_ + "/src";
        cabDir_ = root_ + "/cab/";
        io_.tempDir = root_ + "/tmp";
        fs::create_directories(srcDir_);
        fs::create_directories(cabDir_);
        fs::create_directories(io_.tempDir);
    }

    // Writes the sources and stores them in one folder with `code`.
    bool build(const std::vector<Source> &files, int code, cab::CCAB ccab, cab::Error &err)
    {
        cab::Writer *w = cab::create(&err, cabtest::posixCallbacks(), ccab, &io_);
        if (!w)
            return false;
        bool ok = true;
        for (std::size_t i = 0; ok && i < files.size(); ++i) {
            const std::string path = srcDir_ + "/f" + std::to_string(i);
            saveFile(path, files[i].data);
            ok = cab::addFile(w, path.c_str(), files[i].stored.c_str(), false, code);
        }
        ok = ok && cab::flushCabinet(w, false);
        const bool destroyed = cab::destroy(w);
        return ok && destroyed;
    }

    cab::CCAB ccab(const std::string &name, unsigned maxSize = 0x7FFFFFFF)
    {
        io_.cabinets = {name};
        return cabtest::makeCcab(cabDir_, name, maxSize);
    }

    // Reads every file of the set starting at `first` with libmspack.
    std::map<std::string, Bytes> decodeMspack(const std::string &first)
    {
        std::map<std::string, Bytes> out;
        mscab_decompressor *d = mspack_create_cab_decompressor(nullptr);
        EXPECT_NE(d, nullptr);
        if (!d)
            return out;
        std::vector<mscabd_cabinet *> cabs;
        // libmspack keeps the name pointers it was given, so they must outlive it.
        std::list<std::string> paths{cabDir_ + first};
        mscabd_cabinet *cabinet = d->open(d, paths.back().c_str());
        EXPECT_NE(cabinet, nullptr) << "libmspack error " << d->last_error(d);
        if (cabinet) {
            cabs.push_back(cabinet);
            while (cabs.back()->nextname) {
                paths.push_back(cabDir_ + cabs.back()->nextname);
                mscabd_cabinet *next = d->open(d, paths.back().c_str());
                EXPECT_NE(next, nullptr) << cabs.back()->nextname;
                if (!next)
                    break;
                EXPECT_EQ(d->append(d, cabs.back(), next), MSPACK_ERR_OK);
                cabs.push_back(next);
            }
            const std::string outPath = root_ + "/mspack.out";
            for (mscabd_file *f = cabinet->files; f; f = f->next) {
                EXPECT_EQ(d->extract(d, f, outPath.c_str()), MSPACK_ERR_OK) << f->filename;
                out[f->filename] = loadFile(outPath);
            }
        }
        // Closing one cabinet of a joined set releases the whole set.
        if (!cabs.empty())
            d->close(d, cabs.front());
        mspack_destroy_cab_decompressor(d);
        return out;
    }

    // Extracts with an external program into a fresh folder; empty when the
    // program failed.
    std::map<std::string, Bytes> decodeTool(const std::string &tool, const std::string &first)
    {
        static int runs = 0;
        const std::string out = root_ + "/" + tool + std::to_string(++runs);
        fs::create_directories(out);
        const std::string cmd =
            tool == "cabextract"
                ? "cabextract -q -d '" + out + "' '" + cabDir_ + first + "' >/dev/null 2>&1"
                : "gcab -x -C '" + out + "' '" + cabDir_ + first + "' >/dev/null 2>&1";
        std::map<std::string, Bytes> files;
        if (std::system(cmd.c_str()) != 0) {
            ADD_FAILURE() << cmd;
            return files;
        }
        for (const auto &e : fs::recursive_directory_iterator(out)) {
            if (e.is_regular_file())
                files[fs::relative(e.path(), out).string()] = loadFile(e.path().string());
        }
        return files;
    }

    void expectSame(const std::vector<Source> &files, const std::map<std::string, Bytes> &got,
                    const std::string &who)
    {
        ASSERT_EQ(got.size(), files.size()) << who;
        for (const Source &s : files) {
            auto it = got.find(s.stored);
            ASSERT_NE(it, got.end()) << who << " lacks " << s.stored;
            EXPECT_TRUE(it->second == s.data)
                << who << " changed " << s.stored << " (" << it->second.size() << " of "
                << s.data.size() << " bytes)";
        }
    }

    std::string root_, srcDir_, cabDir_;
    cabtest::Io io_;
};

// --- Round trips through three decoders, for every compression code --------

class CabinetWriterRoundTrip : public CabinetWriterTest,
                               public ::testing::WithParamInterface<int> {};

TEST_P(CabinetWriterRoundTrip, MixedFolderReadsBackIdentically)
{
    const int code = GetParam();
    const std::vector<Source> files = {
        {"empty.txt", {}},
        {"small.txt", makeText(10000, 1)},
        {"big.txt", makeText(3 * 1024 * 1024 + 12345, 2)},
        {"random.bin", makeRandom(200000, 3)},
        {"frame.bin", makeText(32768, 4)},
        {"one.bin", {0x42}},
    };
    cab::Error err{};
    ASSERT_TRUE(build(files, code, ccab("t.cab"), err)) << cab::writerErrorText(err.code);
    EXPECT_FALSE(err.present);
    expectSame(files, decodeMspack("t.cab"), "libmspack");
    if (hasProgram("cabextract"))
        expectSame(files, decodeTool("cabextract", "t.cab"), "cabextract");
    if (hasProgram("gcab"))
        expectSame(files, decodeTool("gcab", "t.cab"), "gcab");
    EXPECT_TRUE(listDir(io_.tempDir).empty());
}

INSTANTIATE_TEST_SUITE_P(Codes, CabinetWriterRoundTrip,
                         ::testing::Values(cab::kCompressionNone, cab::kCompressionMszip,
                                           cab::compressionLzx(15), cab::compressionLzx(16),
                                           cab::compressionLzx(17), cab::compressionLzx(18),
                                           cab::compressionLzx(19), cab::compressionLzx(20),
                                           cab::compressionLzx(21)),
                         [](const auto &info) { return codeName(info.param); });

TEST_F(CabinetWriterTest, OnlyEmptyFilesMakeAValidCabinet)
{
    const std::vector<Source> files = {{"a", {}}, {"b", {}}};
    cab::Error err{};
    ASSERT_TRUE(build(files, cab::compressionLzx(21), ccab("e.cab"), err));
    expectSame(files, decodeMspack("e.cab"), "libmspack");
    if (hasProgram("cabextract"))
        expectSame(files, decodeTool("cabextract", "e.cab"), "cabextract");
}

// LZX must earn its keep: clearly smaller than MSZIP on real text. The
// licence texts every Debian system carries share long passages far apart,
// which only the large window can reach.
TEST_F(CabinetWriterTest, LzxBeatsMszipOnText)
{
    const std::string dir = "/usr/share/common-licenses";
    if (!fs::is_directory(dir))
        GTEST_SKIP() << "no licence texts to compress";
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir)) {
        if (e.is_regular_file() && !e.is_symlink())
            names.push_back(e.path().string());
    }
    std::sort(names.begin(), names.end());
    Bytes text;
    for (const std::string &n : names) {
        const Bytes b = loadFile(n);
        text.insert(text.end(), b.begin(), b.end());
    }
    ASSERT_GT(text.size(), 100000u);
    const std::vector<Source> files = {{"licences.txt", text}};
    cab::Error err{};
    ASSERT_TRUE(build(files, cab::kCompressionMszip, ccab("m.cab"), err));
    const auto mszip = fs::file_size(cabDir_ + "m.cab");
    ASSERT_TRUE(build(files, cab::compressionLzx(21), ccab("l.cab"), err));
    const auto lzx = fs::file_size(cabDir_ + "l.cab");
    expectSame(files, decodeMspack("l.cab"), "libmspack");
    RecordProperty("mszip", std::to_string(mszip));
    RecordProperty("lzx21", std::to_string(lzx));
    EXPECT_LE(lzx * 100, mszip * 88) << "MSZIP " << mszip << ", LZX " << lzx;
}

// --- Sets spanning several cabinets ---------------------------------------

class CabinetWriterSpanning : public CabinetWriterTest,
                              public ::testing::WithParamInterface<int> {};

TEST_P(CabinetWriterSpanning, SmallMaximumSizeMakesAChainedSet)
{
    const int code = GetParam();
    const std::vector<Source> files = {
        {"a.txt", makeText(150000, 11)}, {"b.bin", makeRandom(70000, 12)},
        {"c.txt", makeText(5000, 13)},   {"d.txt", {}},
        {"e.txt", makeText(90000, 14)},
    };
    cab::Error err{};
    const unsigned maxSize = 40000;
    io_.setPrefix = "set";
    ASSERT_TRUE(build(files, code, ccab("set1.cab", maxSize), err)) << cab::writerErrorText(err.code);
    const auto &cabs = io_.cabinets;
    ASSERT_GE(cabs.size(), 3u);
    for (std::size_t i = 0; i < cabs.size(); ++i) {
        EXPECT_LE(fs::file_size(cabDir_ + cabs[i]), maxSize) << cabs[i];
        if (i > 0) {
            EXPECT_EQ(io_.nextICab[i - 1], static_cast<int>(i + 1)); // counted up from iCab 1
            EXPECT_EQ(io_.nextIDisk[i - 1], static_cast<int>(i + 1));
        }
    }
    expectSame(files, decodeMspack("set1.cab"), "libmspack");
    if (hasProgram("cabextract"))
        expectSame(files, decodeTool("cabextract", "set1.cab"), "cabextract");

    // Each cabinet names its neighbours; files continued are placed twice.
    const Bytes second = loadFile(cabDir_ + cabs[1]);
    const std::uint16_t flags = static_cast<std::uint16_t>(second[30] | second[31] << 8);
    EXPECT_EQ(flags & 3, 3);
    const std::string names(second.begin() + 36, second.begin() + 66);
    EXPECT_EQ(names, std::string("set1.cab\0Disk1\0set3.cab\0Disk3\0", 30));
    bool continuation = false;
    for (const std::string &p : io_.placed) {
        continuation = continuation || p.back() == '+';
    }
    EXPECT_TRUE(continuation);
    EXPECT_TRUE(listDir(io_.tempDir).empty());
}

INSTANTIATE_TEST_SUITE_P(Codes, CabinetWriterSpanning,
                         ::testing::Values(cab::kCompressionNone, cab::kCompressionMszip,
                                           cab::compressionLzx(16), cab::compressionLzx(21)),
                         [](const auto &info) { return codeName(info.param); });

// --- Reserves and folders -----------------------------------------------------

TEST_F(CabinetWriterTest, ReservedAreasArePresentAndSkippedByReaders)
{
    cab::CCAB c = ccab("r.cab");
    c.cbReserveCFHeader = 6000;
    c.cbReserveCFFolder = 17;
    c.cbReserveCFData = 9;
    const std::vector<Source> files = {{"x.txt", makeText(100000, 21)}};
    cab::Error err{};
    ASSERT_TRUE(build(files, cab::kCompressionMszip, c, err));
    const Bytes cabinet = loadFile(cabDir_ + "r.cab");
    ASSERT_GT(cabinet.size(), 6100u);
    EXPECT_EQ(cabinet[30] & 4, 4);
    EXPECT_EQ(cabinet[36] | cabinet[37] << 8, 6000);
    EXPECT_EQ(cabinet[38], 17);
    EXPECT_EQ(cabinet[39], 9);
    // The first folder record follows the reserved area, and its data the files.
    const std::size_t folder = 40 + 6000;
    const std::uint32_t dataStart = cabinet[folder] | cabinet[folder + 1] << 8 |
                                    cabinet[folder + 2] << 16 |
                                    std::uint32_t(cabinet[folder + 3]) << 24;
    EXPECT_EQ(dataStart, folder + 8 + 17 + 16 + std::strlen("x.txt") + 1);
    expectSame(files, decodeMspack("r.cab"), "libmspack");
    if (hasProgram("cabextract"))
        expectSame(files, decodeTool("cabextract", "r.cab"), "cabextract");
}

TEST_F(CabinetWriterTest, FoldersFollowFlushesThresholdAndCodeChanges)
{
    cab::CCAB c = ccab("f.cab");
    c.cbFolderThresh = 5000;
    cab::Error err{};
    cab::Writer *w = cab::create(&err, cabtest::posixCallbacks(), c, &io_);
    ASSERT_NE(w, nullptr);
    const std::vector<Source> files = {{"1", makeText(60000, 1)},
                                       {"2", makeText(500, 2)},
                                       {"3", makeText(700, 3)},
                                       {"4", makeText(900, 4)}};
    const int codes[] = {cab::kCompressionMszip, cab::kCompressionMszip, cab::compressionLzx(15),
                         cab::compressionLzx(15)};
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string path = srcDir_ + "/" + files[i].stored;
        saveFile(path, files[i].data);
        ASSERT_TRUE(cab::addFile(w, path.c_str(), files[i].stored.c_str(), i == 3, codes[i]));
        if (i == 1) {
            ASSERT_TRUE(cab::flushFolder(w));
        }
    }
    ASSERT_TRUE(cab::flushCabinet(w, false));
    ASSERT_TRUE(cab::destroy(w));
    // 1 passes the threshold, 2 is closed by hand, 3 changes the code.
    const Bytes cabinet = loadFile(cabDir_ + "f.cab");
    EXPECT_EQ(cabinet[26] | cabinet[27] << 8, 3);
    expectSame(files, decodeMspack("f.cab"), "libmspack");
    // The execute flag is kept with the file's attributes.
    mscab_decompressor *d = mspack_create_cab_decompressor(nullptr);
    mscabd_cabinet *cabs = d->open(d, (cabDir_ + "f.cab").c_str());
    ASSERT_NE(cabs, nullptr);
    for (mscabd_file *f = cabs->files; f; f = f->next) {
        EXPECT_EQ((f->attribs & MSCAB_ATTRIB_EXEC) != 0, std::string(f->filename) == "4")
            << f->filename;
    }
    d->close(d, cabs);
    mspack_destroy_cab_decompressor(d);
}

// --- Failures -------------------------------------------------------------------

TEST_F(CabinetWriterTest, UnknownCompressionCodesAreRefused)
{
    const std::string path = srcDir_ + "/s";
    saveFile(path, makeText(100, 1));
    for (int code : {2, 4, 0x0F, 0x0E03, 0x1603, 0x1513, -1, 0x10001}) {
        cab::Error err{};
        cab::Writer *w = cab::create(&err, cabtest::posixCallbacks(), ccab("u.cab"), &io_);
        ASSERT_NE(w, nullptr);
        EXPECT_FALSE(cab::addFile(w, path.c_str(), "s", false, code)) << code;
        EXPECT_TRUE(err.present);
        EXPECT_EQ(err.code, cab::kErrBadCompressionType) << code;
        EXPECT_STREQ(cab::writerErrorText(err.code), "Unknown compression type");
        EXPECT_TRUE(cab::destroy(w));
    }
    EXPECT_TRUE(listDir(io_.tempDir).empty());
}

TEST_F(CabinetWriterTest, ErrorTextsFollowTheTable)
{
    EXPECT_STREQ(cab::writerErrorText(0), "No error");
    EXPECT_STREQ(cab::writerErrorText(1), "Failure opening file to be stored in cabinet");
    EXPECT_STREQ(cab::writerErrorText(2), "Failure reading file to be stored in cabinet");
    EXPECT_STREQ(cab::writerErrorText(3), "Insufficient memory in FCI");
    EXPECT_STREQ(cab::writerErrorText(4), "Could not create a temporary file");
    EXPECT_STREQ(cab::writerErrorText(6), "Could not create cabinet file");
    EXPECT_STREQ(cab::writerErrorText(7), "Client requested abort");
    EXPECT_STREQ(cab::writerErrorText(8), "Failure compressing data");
    EXPECT_STREQ(cab::writerErrorText(9), "Unknown error");
    EXPECT_STREQ(cab::writerErrorText(-1), "Unknown error");
}

TEST_F(CabinetWriterTest, MissingSourceIsAnOpenFailure)
{
    cab::Error err{};
    cab::Writer *w = cab::create(&err, cabtest::posixCallbacks(), ccab("m.cab"), &io_);
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(cab::addFile(w, (srcDir_ + "/absent").c_str(), "absent", false, 1));
    EXPECT_EQ(err.code, cab::kErrOpenSource);
    EXPECT_EQ(err.crtErrno, ENOENT);
    EXPECT_TRUE(cab::destroy(w));
    EXPECT_TRUE(listDir(io_.tempDir).empty());
}

TEST_F(CabinetWriterTest, TempFileNameFailureFailsCreate)
{
    io_.failTempNameAt = 1;
    cab::Error err{};
    EXPECT_EQ(cab::create(&err, cabtest::posixCallbacks(), ccab("t.cab"), &io_), nullptr);
    EXPECT_TRUE(err.present);
    EXPECT_EQ(err.code, cab::kErrTempFile);
}

// Every write can fail: into the temporary file or into the cabinet itself.
TEST_F(CabinetWriterTest, FailingWriteEndsCleanly)
{
    const std::vector<Source> files = {{"a.txt", makeText(200000, 5)},
                                       {"b.txt", makeText(1000, 6)}};
    int total = 0;
    {
        cab::Error err{};
        ASSERT_TRUE(build(files, cab::compressionLzx(17), ccab("w.cab"), err));
        total = io_.writes;
        fs::remove(cabDir_ + "w.cab");
    }
    ASSERT_GT(total, 3);
    for (int failAt : {1, 2, total / 2, total - 1, total}) {
        io_.writes = 0;
        io_.failWriteAt = failAt;
        cab::Error err{};
        EXPECT_FALSE(build(files, cab::compressionLzx(17), ccab("w.cab"), err)) << failAt;
        EXPECT_TRUE(err.present);
        EXPECT_TRUE(err.code == cab::kErrTempFile || err.code == cab::kErrCabFile) << err.code;
        EXPECT_EQ(err.crtErrno, ENOSPC);
        EXPECT_TRUE(listDir(io_.tempDir).empty()) << failAt;
        EXPECT_FALSE(fs::exists(cabDir_ + "w.cab")) << failAt;
    }
}

TEST_F(CabinetWriterTest, StatusAbortIsClientAbort)
{
    io_.abortOnStatus = true;
    cab::Error err{};
    EXPECT_FALSE(
        build({{"a.txt", makeText(100000, 8)}}, cab::kCompressionMszip, ccab("s.cab"), err));
    EXPECT_EQ(err.code, cab::kErrUserAbort);
    EXPECT_STREQ(cab::writerErrorText(err.code), "Client requested abort");
    EXPECT_TRUE(listDir(io_.tempDir).empty());
}

TEST_F(CabinetWriterTest, ReserveLimitsAreChecked)
{
    cab::CCAB c = ccab("x.cab");
    c.cbReserveCFHeader = 60001;
    cab::Error err{};
    EXPECT_EQ(cab::create(&err, cabtest::posixCallbacks(), c, &io_), nullptr);
    EXPECT_TRUE(err.present);
    EXPECT_TRUE(listDir(io_.tempDir).empty());
}

} // namespace
