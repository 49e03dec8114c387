#include "compress_test_util.h"

using namespace comptest;

namespace {

class CompressDeleteAndComment : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!haveUnzip())
            GTEST_SKIP() << "unzip not installed";
    }
};

TEST_F(CompressDeleteAndComment, KeepListSurvivesAMatchingDelete)
{
    SourceTree tree("delete");
    Record add = newRecord(tree.archive(), tree.quotedAll());
    settings::write(settings::compression::Recurse, 1);
    ASSERT_EQ(runAdd(add.get()), 1);
    ASSERT_EQ(add->result, 0);

    Record del = newRecord(tree.archive(), "\"*.txt\"");
    del->keepList = heapText("\"b.txt\"");
    bool done = false;
    plat::ThreadObject *thread = plat::ThreadObject::current();
    thread->setHandler([&](plat::UINT msg, plat::WPARAM w, plat::LPARAM l) {
        done = msg == plat::WM_OPERATION_DONE && w == reinterpret_cast<plat::WPARAM>(del.get()) &&
               l == 1;
    });
    del->uiThread = thread;
    EXPECT_EQ(Delete(del.get()), 0);
    EXPECT_EQ(del->result, 0);
    EXPECT_EQ(del->commandReady, 1);
    EXPECT_EQ(del->command.function, ZIP_DELETE);
    EXPECT_EQ(del->progressWnd, nullptr);
    EXPECT_FALSE(done) << "completion must arrive through the message loop";
    EXPECT_TRUE(pumpUntil([&] { return done; }));
    thread->setHandler({});
    expectSound(tree.archive());
    EXPECT_EQ(names(tree.archive()), (std::set<std::string>{"b.txt", "sub/"}));
}

TEST_F(CompressDeleteAndComment, SetCommentReplacesTheComment)
{
    SourceTree tree("comment");
    Record add = newRecord(tree.archive(), tree.quotedAll());
    ASSERT_EQ(runAdd(add.get()), 1);
    ASSERT_EQ(add->result, 0);
    std::string path = win(tree.archive());
    char text[] = "first line\r\nsecond line";
    EXPECT_EQ(SetComment(path.data(), text), 1);
    expectSound(tree.archive());
    const std::string out = run("unzip -z '" + tree.archive() + "'");
    EXPECT_NE(out.find("second line"), std::string::npos) << out;

    std::string missing = win(tree.root) + "\\no-such-folder\\x.zip";
    EXPECT_EQ(SetComment(missing.data(), text), 0);
}

} // namespace
