// Cabinets on a simulated removable drive A: with a capacity: the
// multi-volume dialog, the first-disk prompt, the disk's capacity as the
// free-space threshold, deleting and formatting, and prompts for following
// disks answered by putting another medium in.

#include "cab_test_util.h"
#include "scripted_responder.h"

#include "platform/modal.h"

#include <functional>
#include <mutex>

using namespace cabtest;

namespace {

// Records every request and lets the test act on it (change the medium)
// before answering.
class DiskResponder {
public:
    using Handler = std::function<plat::ModalAnswer(const plat::ModalRequest &)>;
    explicit DiskResponder(Handler handler) : m_handler(std::move(handler))
    {
        m_previous = plat::setModalResponder([this](const plat::ModalRequest &request) {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
            return m_handler(request);
        });
    }
    ~DiskResponder() { plat::setModalResponder(std::move(m_previous)); }
    std::vector<plat::ModalRequest> requests() const
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }
    std::vector<plat::UINT> ids() const
    {
        std::vector<plat::UINT> result;
        for (const auto &request : requests())
            result.push_back(request.id);
        return result;
    }

private:
    Handler m_handler;
    mutable std::mutex m_mutex;
    std::vector<plat::ModalRequest> m_requests;
    plat::ModalResponder m_previous;
};

class DoCabDisk : public CabTest {
protected:
    void SetUp() override
    {
        CabTest::SetUp();
        settings::write(cc::Path, 0);
    }
    // Drive A: with a medium of `capacity` bytes; returns its host folder.
    std::string insertDisk(const std::string &name, std::uint64_t capacity)
    {
        const std::string medium = brxtest::makeScratchDir(name);
        EXPECT_TRUE(plat::defineDrive({'A', plat::DRIVE_REMOVABLE, medium, capacity}));
        return medium;
    }
    std::string sources(const std::string &name, std::size_t bytes)
    {
        const std::string root = brxtest::makeScratchDir(name);
        writeFile(root + "/a.bin", noise(bytes, 21));
        return win(root) + "\\a.bin";
    }
};

TEST_F(DoCabDisk, CancelledDialogOrFirstDiskPrompt)
{
    const std::string disk = insertDisk("cancel-disk", 65536);
    const std::string source = sources("cancel-src", 100);
    {
        brxtest::ScriptedResponder responder;
        responder.answer(54, plat::IDCANCEL);
        Record cab = newRecord(disk + "/x.cab", {source});
        EXPECT_EQ(runCab(cab.get()), 0);
        EXPECT_EQ(cab->progressWnd, nullptr);
    }
    {
        brxtest::ScriptedResponder responder;
        responder.answer(54, plat::IDOK);
        responder.answer(57370, plat::IDCANCEL);
        Record cab = newRecord(disk + "/x.cab", {source});
        ASSERT_EQ(runCab(cab.get()), 1);
        EXPECT_EQ(cab->failed, 1u);
        EXPECT_EQ(cab->volumeMode, 0);
        const auto requests = responder.requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[1].text, "Please insert the first disk");
        EXPECT_EQ(requests[1].style & plat::MB_TYPEMASK, plat::MB_OKCANCEL);
    }
    EXPECT_TRUE(filesIn(disk).empty());
}

// Unlimited size: the cabinet stays one file named as asked, but the disk's
// capacity becomes the threshold, so a file already on the disk leads to
// the question whether to delete files first.
TEST_F(DoCabDisk, UnlimitedSizeTakesTheDiskCapacityAsThreshold)
{
    const std::string disk = insertDisk("capacity-disk", 65536);
    writeFile(disk + "/old.txt", "old");
    brxtest::ScriptedResponder responder;
    responder.answer(54, plat::IDOK);
    responder.answer(57370, plat::IDOK);
    responder.answer(65479, plat::IDYES);
    Record cab = newRecord(disk + "/big.cab", {sources("capacity-src", 20000)});
    ASSERT_EQ(runCab(cab.get()), 1);
    EXPECT_EQ(cab->failed, 0u);
    EXPECT_EQ(cab->maxCabinetSize, 65536u);
    EXPECT_EQ(cab->singleCabinet, 0);
    const auto requests = responder.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[2].id, 65479u);
    EXPECT_EQ(requests[2].text, "There is not enough free space in A:\\ for the Cabinet file.  Do "
                                "you want to delete files in the drive before proceed?");
    EXPECT_EQ(requests[2].style & plat::MB_TYPEMASK, plat::MB_YESNOCANCEL);
    EXPECT_EQ(filesIn(disk), (std::set<std::string>{"big.cab"}));
    expectSound(disk + "/big.cab");
}

// "Delete existing files" removes the files (into the trash), not folders;
// "Format disk" empties the medium.
TEST_F(DoCabDisk, DeleteAndFormatModes)
{
    settings::write(co::MaxDiskType, 7);
    settings::write(co::MaxDiskSize, "8");
    settings::write(co::MaxDiskUnit, 1);
    const std::string trash = std::getenv("XDG_DATA_HOME");
    for (int mode : {1, 2}) {
        SCOPED_TRACE(mode);
        const std::string disk = insertDisk("mode-disk" + std::to_string(mode), 65536);
        writeFile(disk + "/old.txt", "old");
        writeFile(disk + "/keep/inner.txt", "inner");
        brxtest::ScriptedResponder responder;
        responder.answer(54, plat::IDOK, {{mode == 1 ? 1015 : 1016, "1"}});
        responder.answer(57370, plat::IDOK);
        Record cab = newRecord(disk + "/m.cab", {sources("mode-src", 3000)});
        ASSERT_EQ(runCab(cab.get()), 1);
        EXPECT_EQ(cab->failed, 0u);
        EXPECT_EQ(cab->volumeMode, mode);
        EXPECT_EQ(responder.requests().size(), 2u);
        EXPECT_EQ(filesIn(disk), (std::set<std::string>{"m.cab"}));
        EXPECT_EQ(fs::exists(disk + "/keep/inner.txt"), mode == 1);
        if (mode == 1) {
            EXPECT_EQ(readAll(trash + "/Trash/files/old.txt"), "old");
        }
        expectSound(disk + "/m.cab");
    }
}

// When deleting cannot free enough (a folder is left), the user is asked
// again instead of the disk being wiped over and over.
TEST_F(DoCabDisk, DeletingThatFreesTooLittleAsksAgain)
{
    settings::write(co::MaxDiskType, 7);
    settings::write(co::MaxDiskSize, "60");
    settings::write(co::MaxDiskUnit, 1);
    const std::string disk = insertDisk("little-disk", 65536);
    writeFile(disk + "/keep/big.bin", noise(10000, 2));
    brxtest::ScriptedResponder responder;
    responder.answer(54, plat::IDOK, {{1015, "1"}});
    responder.answer(57370, plat::IDOK);
    responder.answer(57370, plat::IDOK);
    responder.answer(57370, plat::IDCANCEL);
    Record cab = newRecord(disk + "/l.cab", {sources("little-src", 100)});
    ASSERT_EQ(runCab(cab.get()), 1);
    EXPECT_EQ(cab->failed, 1u);
    std::vector<plat::UINT> ids;
    for (const auto &request : responder.requests())
        ids.push_back(request.id);
    EXPECT_EQ(ids, (std::vector<plat::UINT>{54, 57370, 57370, 57370}));
    EXPECT_TRUE(fs::exists(disk + "/keep/big.bin"));
    EXPECT_FALSE(fs::exists(disk + "/l.cab"));
}

// A set across three media: the prompt names the next disk by its label, or
// as "Disk n" without one; each medium gets its cabinet and the joined set
// reads back.
TEST_F(DoCabDisk, FollowingDisksArePromptedByLabel)
{
    settings::write(co::MaxDiskType, 7);
    settings::write(co::MaxDiskSize, "30");
    settings::write(co::MaxDiskUnit, 1);
    settings::write(co::DiskStartingNumber, 1);
    const std::pair<const char *, std::vector<std::string>> cases[] = {
        {"Backup", {"Backup2", "Backup3"}}, {"", {"Disk 2", "Disk 3"}}};
    int n = 0;
    for (const auto &[label, names] : cases) {
        SCOPED_TRACE(label);
        settings::write(co::Disk, label);
        const std::string tag = std::to_string(n++);
        std::vector<std::string> media = {insertDisk("follow-a" + tag, 40960),
                                          brxtest::makeScratchDir("follow-b" + tag),
                                          brxtest::makeScratchDir("follow-c" + tag)};
        std::size_t inserted = 0;
        DiskResponder responder([&](const plat::ModalRequest &request) {
            if (request.id == 57371 && inserted + 1 < media.size())
                plat::changeMedium('A', media[++inserted]);
            return plat::ModalAnswer{plat::IDOK, {}};
        });
        const std::string source = sources("follow-src" + tag, 70 * 1024);
        Record cab = newRecord(media[0] + "/s1.cab", {source});
        ASSERT_EQ(runCab(cab.get()), 1);
        EXPECT_EQ(cab->failed, 0u);
        EXPECT_EQ(responder.ids(), (std::vector<plat::UINT>{54, 57370, 57371, 57371}));
        const auto requests = responder.requests();
        ASSERT_EQ(requests.size(), 4u);
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(requests[2 + i].text, "The disk in the destination drive is full. Please "
                                            "insert " +
                                                names[i] + " to continue.");
        EXPECT_EQ(filesIn(media[0]), (std::set<std::string>{"s1.cab"}));
        EXPECT_EQ(filesIn(media[1]), (std::set<std::string>{"s2.cab"}));
        EXPECT_EQ(filesIn(media[2]), (std::set<std::string>{"s3.cab"}));
        const std::string joined = brxtest::makeScratchDir("follow-joined" + tag);
        for (int i = 0; i < 3; ++i) {
            const std::string name = "s" + std::to_string(i + 1) + ".cab";
            fs::copy_file(media[i] + "/" + name, joined + "/" + name);
        }
        const std::string extracted = brxtest::makeScratchDir("follow-x" + tag);
        expectSound(joined + "/s1.cab", extracted);
        const std::string sourceHost = plat::windowsToHostPath(source).value_or("");
        EXPECT_TRUE(sameFile(extracted + "/a.bin", sourceHost));
    }
}

} // namespace
