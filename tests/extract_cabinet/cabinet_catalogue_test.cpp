// The cabinet catalogue: entry counts and entry records of cabinets from the
// fixtures, from our writer and from gcab, compared with what the cabinets
// hold; damaged cabinets give no count and no records.

#include "cabinet_catalogue.h"
#include "posix_io.h"
#include "testenv.h"

#include "platform/path.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string winPath(const std::string &host)
{
    auto w = plat::hostToWindowsPath(host);
    return w ? *w : std::string();
}

std::string fixture(const std::string &name)
{
    return winPath(brxtest::fixturePath("cab/" + name));
}

// Both catalogue calls the way the extract library's callers make them: the
// count first, then that many records in an array full of leftovers.
struct Listing {
    int countResult = -9;
    int count = -9;
    int loadResult = -9;
    int cabInfo = -9;
    std::vector<ZIPINFOEX> records;
};

Listing list(const std::string &path)
{
    Listing l;
    l.countResult = cabinetFileCount(path.c_str(), &l.count);
    if (l.countResult == 0 && l.count > 0) {
        l.records.resize(static_cast<std::size_t>(l.count));
        std::memset(static_cast<void *>(l.records.data()), 0xAB,
                    l.records.size() * sizeof(ZIPINFOEX));
        l.loadResult = cabinetLoadFile(path.c_str(), l.count, l.records.data(), &l.cabInfo);
    }
    return l;
}

// Fields of the packed record, read by value (a reference to one may be misaligned).
template <class T> T value(T field)
{
    return field;
}

bool isCleared(const ZIPINFOEX &r)
{
    static const ZIPINFOEX zero{};
    return std::memcmp(&r, &zero, sizeof r) == 0;
}

struct Expected {
    std::string name;
    std::uint64_t size = 0;
    std::string dateTime; // "mm/dd/yyyy hh:mm"
    std::uint32_t attributes = 0;
};

bool haveGcab()
{
    return std::system("gcab --version >/dev/null 2>&1") == 0;
}

// gcab's detailed listing of a cabinet: "name size yyyy-mm-dd hh:mm:ss 0xattr"
// per file, the name possibly holding blanks.
std::vector<Expected> gcabListing(const std::string &hostPath)
{
    std::vector<Expected> out;
    const std::string cmd = "gcab -l '" + hostPath + "' 2>/dev/null";
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char line[4096];
    while (std::fgets(line, sizeof line, p)) {
        std::string s(line);
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
            s.pop_back();
        std::vector<std::string> tail;
        std::string rest = s;
        for (int k = 0; k < 4; ++k) {
            const std::size_t blank = rest.rfind(' ');
            if (blank == std::string::npos)
                break;
            tail.insert(tail.begin(), rest.substr(blank + 1));
            rest.resize(blank);
        }
        if (tail.size() != 4 || tail[1].size() != 10 || tail[2].size() != 8)
            continue;
        Expected e;
        e.name = rest;
        e.size = std::stoull(tail[0]);
        const std::string &d = tail[1];
        e.dateTime = d.substr(5, 2) + "/" + d.substr(8, 2) + "/" + d.substr(0, 4) + " " +
                     tail[2].substr(0, 5);
        e.attributes = static_cast<std::uint32_t>(std::stoul(tail[3], nullptr, 16));
        out.push_back(e);
    }
    pclose(p);
    return out;
}

// Every record against the files expected, in order; records past them stay
// cleared.
void expectRecords(const Listing &l, const std::vector<Expected> &files)
{
    ASSERT_EQ(l.loadResult, 0);
    ASSERT_GE(l.records.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].name);
        const ZIPINFOEX &r = l.records[i];
        EXPECT_EQ(value(r.entryIndex), static_cast<int>(i));
        EXPECT_STREQ(r.path, files[i].name.c_str());
        EXPECT_EQ(value(r.uncompressedSize), files[i].size);
        EXPECT_EQ(value(r.compressedSize), files[i].size);
        EXPECT_EQ(value(r.attributes), files[i].attributes);
        EXPECT_STREQ(r.dateTime, files[i].dateTime.c_str());
        const bool partial = files[i].name.rfind("Partial ", 0) == 0;
        const bool folder = !partial && files[i].name.find('\\') != std::string::npos;
        EXPECT_EQ(value(r.hasFolder), folder ? 1 : 0);
        // Fields a cabinet has no value for are not filled from leftovers.
        EXPECT_EQ(value(r.reserved0), 0u);
        EXPECT_EQ(value(r.crc32), 0u);
        EXPECT_EQ(value(r.method), 0u);
    }
    for (std::size_t i = files.size(); i < l.records.size(); ++i)
        EXPECT_TRUE(isCleared(l.records[i])) << "record " << i;
}

// Our writer with chosen dates, times and attributes per source file.
struct Source {
    std::string stored;
    std::string data;
    std::uint16_t date = 0, time = 0, attributes = 0x20;
    bool execute = false;
};

std::map<std::string, Source> g_sources; // host path -> what its open reports

std::intptr_t openSource(const char *name, std::uint16_t *date, std::uint16_t *time,
                         std::uint16_t *attribs, int *err, void *)
{
    const int fd = ::open(name, O_RDONLY);
    if (fd < 0) {
        *err = errno;
        return -1;
    }
    const Source &s = g_sources.at(name);
    *date = s.date;
    *time = s.time;
    *attribs = s.attributes;
    return fd;
}

// Writes `sources` into the cabinet `dir`/`name` with MSZIP; each file in a
// folder of its own when asked. Returns the cabinet's Windows path.
std::string writeCabinet(const std::string &dir, const std::string &name,
                         const std::vector<Source> &sources, bool folderPerFile)
{
    cabtest::Io io;
    io.tempDir = dir;
    cab::Callbacks cb = cabtest::posixCallbacks();
    cb.getOpenInfo = openSource;
    cab::Error err{};
    cab::Writer *w = cab::create(&err, cb, cabtest::makeCcab(dir + "/", name), &io);
    EXPECT_NE(w, nullptr);
    if (!w)
        return {};
    bool ok = true;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const std::string src = dir + "/src" + std::to_string(i);
        std::ofstream(src, std::ios::binary) << sources[i].data;
        g_sources[src] = sources[i];
        ok = ok && cab::addFile(w, src.c_str(), sources[i].stored.c_str(), sources[i].execute,
                                cab::kCompressionMszip);
        if (folderPerFile)
            ok = ok && cab::flushFolder(w);
    }
    ok = ok && cab::flushCabinet(w, false);
    EXPECT_TRUE(cab::destroy(w));
    EXPECT_TRUE(ok) << cab::writerErrorText(err.code);
    return winPath(dir + "/" + name);
}

constexpr std::uint16_t dosDate(unsigned y, unsigned m, unsigned d)
{
    return static_cast<std::uint16_t>(((y - 1980) << 9) | (m << 5) | d);
}
constexpr std::uint16_t dosTime(unsigned h, unsigned m, unsigned s)
{
    return static_cast<std::uint16_t>((h << 11) | (m << 5) | (s / 2));
}

} // namespace

// Sound fixtures, each with the cabinet information its folder and file counts give.
TEST(CabinetCatalogueFixtures, SoundFixturesListLikeGcab)
{
    if (!haveGcab())
        GTEST_SKIP() << "gcab not installed";
    const std::pair<const char *, int> cases[] = {
        {"mszip_lzx_qtm.cab", 1},         {"normal_255c_filename.cab", 1},
        {"normal_2files_1folder.cab", 0}, {"normal_2files_2folders.cab", 0},
        {"reserve_---.cab", 0},           {"reserve_--D.cab", 0},
        {"reserve_-F-.cab", 0},           {"reserve_-FD.cab", 0},
        {"reserve_H--.cab", 0},           {"reserve_H-D.cab", 0},
        {"reserve_HF-.cab", 0},           {"reserve_HFD.cab", 0},
    };
    for (const auto &[name, cabInfo] : cases) {
        SCOPED_TRACE(name);
        const auto expected = gcabListing(brxtest::fixturePath(std::string("cab/") + name));
        ASSERT_FALSE(expected.empty());
        const Listing l = list(fixture(name));
        ASSERT_EQ(l.countResult, 0);
        EXPECT_EQ(l.count, static_cast<int>(expected.size()));
        expectRecords(l, expected);
        EXPECT_EQ(l.cabInfo, cabInfo);
    }
}

TEST(CabinetCatalogueFixtures, FileRecordsAreFoundThroughTheHeaderOffset)
{
    // Two decoy records directly follow the folder; the header points past them.
    const Listing l = list(fixture("hidden-files.cab"));
    ASSERT_EQ(l.count, 2);
    expectRecords(l, {{"hidden1.txt", 0, "03/12/1997 11:13", 0x20},
                      {"hidden2.txt", 0, "03/12/1997 11:13", 0x20}});
}

TEST(CabinetCatalogueFixtures, DamagedHeadersGiveNoCountAndNoRecords)
{
    const char *damaged[] = {
        "bad_folderindex.cab",
        "bad_nofiles.cab",
        "bad_nofolders.cab",
        "bad_signature.cab",
        "cve-2015-4470-mszip-over-read.cab",
        "cve-2015-4471-lzx-under-read.cab",
        "cve-2017-11423-fname-overread.cab",
        "filename-read-violation-1.cab",
        "hidden-file-bad-folderid.cab",
        "hidden-file-beyond-eof.cab",
        "partial_nofiles.cab",
        "partial_nofolder.cab",
        "partial_shortextheader.cab",
        "partial_shortfile1.cab",
        "partial_shortfile2.cab",
        "partial_shortfolder.cab",
        "partial_shortheader.cab",
        "partial_str_nofname.cab",
        "partial_str_noninfo.cab",
        "partial_str_nonname.cab",
        "partial_str_nopinfo.cab",
        "partial_str_nopname.cab",
        "partial_str_shortfname.cab",
        "partial_str_shortninfo.cab",
        "partial_str_shortnname.cab",
        "partial_str_shortpinfo.cab",
        "partial_str_shortpname.cab",
        "search_basic.cab",
        "search_tricky1.cab",
    };
    for (const char *name : damaged) {
        SCOPED_TRACE(name);
        int count = 7;
        EXPECT_EQ(cabinetFileCount(fixture(name).c_str(), &count), 3);
        EXPECT_EQ(count, -1);
        // Callers that skip the count still get no records and no leftovers.
        std::vector<ZIPINFOEX> records(3);
        std::memset(static_cast<void *>(records.data()), 0xAB, records.size() * sizeof(ZIPINFOEX));
        EXPECT_EQ(cabinetLoadFile(fixture(name).c_str(), 3, records.data(), nullptr), 3);
        for (const ZIPINFOEX &r : records)
            EXPECT_TRUE(isCleared(r));
    }
}

TEST(CabinetCatalogueFixtures, DamagedDataStillLists)
{
    // Listing decodes nothing, so damage inside compressed data or a part
    // number beyond any real set does not stop it.
    const struct {
        const char *name;
        const char *first;
        std::uint64_t size;
        int cabInfo;
    } cases[] = {
        {"cve-2010-2800-mszip-infinite-loop.cab", "file.txt", 16, 1},
        {"cve-2014-9556-qtm-infinite-loop.cab", "limerick", 4294967231u, 1},
        {"lzx-premature-matches.cab", "file.txt", 2, 1},
        {"partial_nodata.cab", "hello.c", 77, 0},
        {"filename-read-violation-3.cab", nullptr, 1174405124, static_cast<int>(0x80000001u)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Listing l = list(fixture(c.name));
        ASSERT_EQ(l.countResult, 0);
        ASSERT_EQ(l.loadResult, 0);
        if (c.first) {
            EXPECT_STREQ(l.records[0].path, c.first);
        }
        EXPECT_EQ(value(l.records[0].uncompressedSize), c.size);
        EXPECT_EQ(l.cabInfo, c.cabInfo);
    }
}

TEST(CabinetCatalogueSet, ContinuedFilesAreListedAsPartial)
{
    // Part 1 starts three files that run on into part 2; parts 2 to 5 hold
    // only their continuations.
    const std::string date = "03/12/1997 11:13";
    const Listing first = list(fixture("cabd_multi_basic_pt1.cab"));
    ASSERT_EQ(first.count, 3);
    expectRecords(first, {{"test1.txt", 76, date, 0x20},
                          {"test2.txt", 38, date, 0x20},
                          {"test3.txt", 76, date, 0x20}});
    EXPECT_EQ(first.cabInfo, 0);
    for (int part = 2; part <= 5; ++part) {
        SCOPED_TRACE(part);
        const Listing l = list(fixture("cabd_multi_basic_pt" + std::to_string(part) + ".cab"));
        // The count includes one more for the continued file; that record
        // stays cleared.
        ASSERT_EQ(l.count, 4);
        expectRecords(l, {{"Partial test1.txt", 76, date, 0x20},
                          {"Partial test2.txt", 38, date, 0x20},
                          {"Partial test3.txt", 76, date, 0x20}});
        EXPECT_EQ(l.cabInfo, (part - 1) * 65536);
    }
}

// A set written without disk labels has empty disk names in its headers;
// every part still lists, including one holding only the middle of a file.
TEST(CabinetCatalogueSet, PartsWithoutDiskLabelsList)
{
    const std::string dir = brxtest::makeScratchDir("unlabelled-set");
    std::string data(150000, '\0');
    std::uint32_t x = 12345;
    for (char &c : data) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24); // incompressible: the file spans three parts
    }
    cabtest::Io io;
    io.tempDir = dir;
    io.diskLabels = false;
    cab::Callbacks cb = cabtest::posixCallbacks();
    cb.getOpenInfo = openSource;
    cab::CCAB ccab = cabtest::makeCcab(dir + "/", "set1.cab", 64 * 1024);
    ccab.szDisk[0] = '\0';
    const std::string src = dir + "/big.src";
    std::ofstream(src, std::ios::binary) << data;
    g_sources[src] = Source{"big.bin", data};
    cab::Error err{};
    cab::Writer *w = cab::create(&err, cb, ccab, &io);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(cab::addFile(w, src.c_str(), "big.bin", false, cab::kCompressionNone));
    EXPECT_TRUE(cab::flushCabinet(w, false));
    EXPECT_TRUE(cab::destroy(w));
    ASSERT_EQ(io.cabinets.size(), 2u); // set2.cab and set3.cab follow set1.cab

    const char *expected[] = {"big.bin", "Partial big.bin", "Partial big.bin"};
    for (int part = 1; part <= 3; ++part) {
        SCOPED_TRACE(part);
        const Listing l = list(winPath(dir + "/set" + std::to_string(part) + ".cab"));
        ASSERT_EQ(l.countResult, 0);
        ASSERT_EQ(l.loadResult, 0);
        EXPECT_STREQ(l.records[0].path, expected[part - 1]);
        EXPECT_EQ(value(l.records[0].uncompressedSize), data.size());
    }
}

TEST(CabinetCatalogueSet, ListingNeverLeavesTheCabinet)
{
    // Alone in its folder, without the parts it names, a part still lists.
    for (const char *name : {"cabd_multi_basic_pt1.cab", "cabd_multi_basic_pt3.cab"}) {
        SCOPED_TRACE(name);
        const std::string dir = brxtest::makeScratchDir(std::string("alone-") + name);
        fs::copy_file(brxtest::fixturePath(std::string("cab/") + name), dir + "/" + name);
        const Listing l = list(winPath(dir + "/" + name));
        EXPECT_EQ(l.countResult, 0);
        EXPECT_EQ(l.loadResult, 0);
        EXPECT_EQ(value(l.records[2].entryIndex), 2);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    }
}

TEST(CabinetCatalogueWritten, RecordsCarryNamesDatesAndAttributes)
{
    const std::string dir = brxtest::makeScratchDir("written");
    std::vector<Source> sources = {
        {"readme.txt", "hello, world\n", dosDate(1997, 3, 12), dosTime(11, 13, 52), 0x21},
        {"docs\\guide.txt", std::string(70000, 'g'), dosDate(2107, 12, 31), dosTime(23, 59, 58),
         0x07},
        {"a\\b\\empty.dat", "", dosDate(1980, 1, 1), dosTime(0, 0, 0), 0x00},
        {"tool.exe", "MZ", dosDate(2024, 2, 29), dosTime(9, 5, 0), 0x20, true},
    };
    const std::string cab = writeCabinet(dir, "written.cab", sources, false);
    const Listing l = list(cab);
    ASSERT_EQ(l.countResult, 0);
    ASSERT_EQ(l.count, 4);
    expectRecords(l, {{"readme.txt", 13, "03/12/1997 11:13", 0x21},
                      {"docs\\guide.txt", 70000, "12/31/2107 23:59", 0x07},
                      {"a\\b\\empty.dat", 0, "01/01/1980 00:00", 0x00},
                      // The cabinet's own run-after-extraction bit rides along.
                      {"tool.exe", 2, "02/29/2024 09:05", 0x60}});
    EXPECT_EQ(l.cabInfo, 0);
}

TEST(CabinetCatalogueWritten, CabinetInfoTellsAFolderPerFile)
{
    const std::string dir = brxtest::makeScratchDir("folders");
    std::vector<Source> sources;
    for (int i = 0; i < 3; ++i)
        sources.push_back({"f" + std::to_string(i) + ".txt", std::string(100 + i, 'x'),
                           dosDate(2001, 1, 1), 0, 0x20});
    const struct {
        const char *name;
        std::vector<Source> files;
        bool folderPerFile;
        int cabInfo;
    } cases[] = {
        {"perfile.cab", sources, true, 1},
        {"shared.cab", sources, false, 0},
        {"single.cab", {sources[0]}, false, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Listing l = list(writeCabinet(dir, c.name, c.files, c.folderPerFile));
        ASSERT_EQ(l.loadResult, 0);
        EXPECT_EQ(l.count, static_cast<int>(c.files.size()));
        EXPECT_EQ(l.cabInfo, c.cabInfo);
    }
}

TEST(CabinetCatalogueWritten, RecordsStopAtTheCountGiven)
{
    // A cabinet that gained files since it was counted must not make the
    // catalogue write past the caller's array.
    const std::string dir = brxtest::makeScratchDir("short-array");
    std::vector<Source> sources;
    for (int i = 0; i < 3; ++i)
        sources.push_back({"n" + std::to_string(i), "data", dosDate(2010, 6, 1), 0, 0x20});
    const std::string cab = writeCabinet(dir, "three.cab", sources, false);
    std::vector<ZIPINFOEX> records(3);
    std::memset(static_cast<void *>(records.data()), 0xAB, records.size() * sizeof(ZIPINFOEX));
    int cabInfo = -1;
    EXPECT_EQ(cabinetLoadFile(cab.c_str(), 2, records.data(), &cabInfo), 0);
    EXPECT_STREQ(records[0].path, "n0");
    EXPECT_STREQ(records[1].path, "n1");
    const unsigned char *tail = reinterpret_cast<const unsigned char *>(&records[2]);
    for (std::size_t i = 0; i < sizeof(ZIPINFOEX); ++i)
        ASSERT_EQ(tail[i], 0xAB) << "byte " << i;
}

TEST(CabinetCatalogueWritten, GcabCabinetsList)
{
    if (!haveGcab())
        GTEST_SKIP() << "gcab not installed";
    const std::string dir = brxtest::makeScratchDir("gcab");
    fs::create_directories(dir + "/in/sub");
    std::ofstream(dir + "/in/top.txt") << "top level\n";
    std::ofstream(dir + "/in/sub/inner.txt") << std::string(50000, 'i');
    for (const char *flags : {"-c", "-c -z"}) {
        SCOPED_TRACE(flags);
        const std::string cab = dir + "/g" + std::to_string(std::strlen(flags)) + ".cab";
        const std::string cmd = "cd '" + dir + "/in' && gcab " + flags + " '" + cab +
                                "' top.txt sub/inner.txt >/dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        const auto expected = gcabListing(cab);
        ASSERT_EQ(expected.size(), 2u);
        EXPECT_EQ(expected[1].name, "sub\\inner.txt");
        const Listing l = list(winPath(cab));
        ASSERT_EQ(l.count, 2);
        expectRecords(l, expected);
        EXPECT_EQ(l.cabInfo, 0);
    }
}

TEST(CabinetCatalogueErrors, NoFilesOrNoCabinetGiveNoCount)
{
    const std::string dir = brxtest::makeScratchDir("nofiles");
    // A complete header that lists no folders and no files.
    unsigned char header[36] = {'M', 'S', 'C', 'F'};
    header[8] = 36;  // cbCabinet
    header[16] = 36; // coffFiles
    header[24] = 3;  // versionMinor
    header[25] = 1;  // versionMajor
    {
        std::ofstream out(dir + "/empty.cab", std::ios::binary);
        out.write(reinterpret_cast<const char *>(header), sizeof header);
    }
    std::ofstream(dir + "/text.cab") << "not a cabinet at all";
    for (const std::string &path :
         {winPath(dir + "/empty.cab"), winPath(dir + "/text.cab"), winPath(dir + "/missing.cab"),
          std::string("Q:\\nowhere\\x.cab"), std::string("")}) {
        SCOPED_TRACE(path);
        int count = 5;
        EXPECT_EQ(cabinetFileCount(path.c_str(), &count), 3);
        EXPECT_EQ(count, -1);
        ZIPINFOEX record;
        EXPECT_EQ(cabinetLoadFile(path.c_str(), 1, &record, nullptr), 3);
    }
    int count = 5;
    EXPECT_EQ(cabinetFileCount(nullptr, &count), 3);
    EXPECT_EQ(count, -1);
    EXPECT_EQ(cabinetFileCount(fixture("normal_2files_1folder.cab").c_str(), nullptr), 3);
    EXPECT_EQ(cabinetLoadFile(fixture("normal_2files_1folder.cab").c_str(), 0, nullptr, nullptr),
              3);
}

TEST(CabinetCatalogueErrors, PathWithoutFolderIsTakenFromTheCurrentFolder)
{
    const std::string dir = winPath(brxtest::fixturePath("cab"));
    ASSERT_TRUE(plat::setCurrentDirectoryPath(dir));
    const Listing l = list("normal_2files_1folder.cab");
    EXPECT_EQ(l.countResult, 0);
    ASSERT_EQ(l.loadResult, 0);
    EXPECT_STREQ(l.records[1].path, "welcome.c");
}
