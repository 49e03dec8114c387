// The replace question: its texts and its five answers, answered by the
// gateway's responder and by pressing the real buttons.

#include "brxmsg.h"
#include "framework/gui.h"
#include "message_test_util.h"
#include "scripted_responder.h"
#include "testenv.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <utime.h>

using namespace plat;

namespace {

class MessageConfirm : public ::testing::Test {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const std::string dir = brxtest::makeScratchDir("confirm");
        hostPath = dir + "/report.txt";
        QFile file(QString::fromStdString(hostPath));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(12345, 'x'));
        file.close();
        const QDateTime when(QDate(2023, 11, 20), QTime(9, 41, 33));
        utimbuf times{when.toSecsSinceEpoch(), when.toSecsSinceEpoch()};
        ASSERT_EQ(utime(hostPath.c_str(), &times), 0);
        path = msgtest::winPath(hostPath);
        ASSERT_FALSE(path.empty());

        std::memset(&entry, 0, sizeof entry);
        entry.uncompressedSize = 0x100001234ull; // only the low 32 bits are shown
        std::strcpy(entry.dateTime, "03/05/2024 14:07");
        std::strcpy(entry.path, "docs\\report.txt");
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    std::string hostPath;
    std::string path;
    ZIPINFOEX entry;
};

// Short formats of the locale, whatever blank it puts before AM/PM.
std::string usTime(const char *hhmm, const char *ampm)
{
    return std::string(hhmm) +
           QLocale().toString(QTime(0, 0), QLocale::ShortFormat).mid(5, 1).toStdString() + ampm;
}

TEST_F(MessageConfirm, ResponderAnswersEveryButtonAndSeesTheTexts)
{
    struct Case {
        int button;
        int answer;
    };
    const Case cases[] = {{IDYES, 0}, {5, 1}, {IDNO, 2}, {11, 3}, {IDCANCEL, 4}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.button);
        brxtest::ScriptedResponder responder;
        responder.answer(131, c.button);
        EXPECT_EQ(Confirm(path.c_str(), &entry, nullptr), c.answer);
        ASSERT_EQ(responder.requests().size(), 1u);
        const ModalRequest request = responder.requests()[0];
        EXPECT_EQ(request.kind, ModalKind::Dialog);
        EXPECT_EQ(request.module, "BRXMSG.DLL");
        EXPECT_EQ(request.caption, "Brindle Dovozoz - Confirm File Replace");
        std::map<int, std::string> fields = request.fields;
        EXPECT_EQ(fields[1009], "The file '" + path + "' already exists.");
        EXPECT_EQ(fields[1004], "12,345 bytes");
        EXPECT_EQ(fields[1005], "modified on 11/20/23 " + usTime("9:41", "AM"));
        EXPECT_EQ(fields[1007], "4,660 bytes");
        EXPECT_EQ(fields[1008], "modified on 3/5/24 " + usTime("2:07", "PM"));
        EXPECT_EQ(fields[6], "Yes");
        EXPECT_EQ(fields[5], "Yes To All");
        EXPECT_EQ(fields[7], "No");
        EXPECT_EQ(fields[11], "No To All");
        EXPECT_EQ(fields[2], "Cancel");
    }
}

TEST_F(MessageConfirm, MissingFileAndOddEntryDateStillAsk)
{
    brxtest::ScriptedResponder responder;
    responder.answer(131, IDNO);
    std::strcpy(entry.dateTime, "13/45/2024 99:99");
    const std::string missing = path + ".gone";
    EXPECT_EQ(Confirm(missing.c_str(), &entry, nullptr), 2);
    std::map<int, std::string> fields = responder.requests().at(0).fields;
    EXPECT_EQ(fields[1004], "");
    EXPECT_EQ(fields[1005], "");
    EXPECT_EQ(fields[1008], "modified on 13/45/2024 99:99");
    // No entry at all: the entry's side stays empty.
    EXPECT_EQ(Confirm(path.c_str(), nullptr, nullptr), 2);
    fields = responder.requests().at(1).fields;
    EXPECT_EQ(fields[1007], "");
    EXPECT_EQ(fields[1004], "12,345 bytes");
}

TEST_F(MessageConfirm, AskedFromAWorkerOnTheOwnersThread)
{
    brxtest::ScriptedResponder responder;
    responder.answer(131, 11);
    _PROGRESS_INIT init{0, 2, nullptr};
    HWND progress = CreateProgress(&init);
    ASSERT_NE(progress, nullptr);
    std::atomic<int> answer{-1};
    std::thread worker([&] { answer = Confirm(path.c_str(), &entry, progress); });
    ASSERT_TRUE(msgtest::pumpUntil([&] { return answer.load() != -1; }));
    worker.join();
    EXPECT_EQ(answer.load(), 3);
    EXPECT_EQ(responder.requests().at(0).owner, progress);
    sendMessage(progress, WM_PROGRESS_CLOSE, 0, 0);
}

// Without a responder the real dialog runs; a timer presses its buttons.
class MessageConfirmClicks : public MessageConfirm {
protected:
    void SetUp() override
    {
        MessageConfirm::SetUp();
        framework::installGuiPresenter();
        saved = setModalResponder({});
    }
    void TearDown() override
    {
        setModalResponder(std::move(saved));
        MessageConfirm::TearDown();
    }
    // Runs Confirm while `act` handles the open dialog.
    int confirmWith(const std::function<void(QDialog *)> &act)
    {
        bool acted = false;
        QTimer timer;
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog || acted)
                return;
            acted = true;
            act(dialog);
        });
        timer.start();
        const int answer = Confirm(path.c_str(), &entry, nullptr);
        EXPECT_TRUE(acted);
        return answer;
    }
    ModalResponder saved;
};

TEST_F(MessageConfirmClicks, EveryButtonOfTheRealDialog)
{
    struct Case {
        const char *button;
        int answer;
        const char *tip;
    };
    const Case cases[] = {
        {"6", 0, "Press to overwrite the existing file."},
        {"5", 1, "Press if you want to overwrite all existing files."},
        {"7", 2, "Press if you do not want to overwrite the existing file."},
        {"11", 3, "Press if you do not want to overwrite any existing files."},
        {"2", 4, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.button);
        const int answer = confirmWith([&](QDialog *dialog) {
            EXPECT_EQ(dialog->objectName(), "131");
            auto *button = dialog->findChild<QPushButton *>(c.button);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->toolTip().toStdString(), c.tip);
            auto *text = dialog->findChild<QLabel *>("1009");
            ASSERT_NE(text, nullptr);
            EXPECT_EQ(text->toolTip(), text->text());
            QTest::mouseClick(button, Qt::LeftButton);
        });
        EXPECT_EQ(answer, c.answer);
    }
}

TEST_F(MessageConfirmClicks, EscapeAndEnter)
{
    EXPECT_EQ(confirmWith([](QDialog *d) { QTest::keyClick(d, Qt::Key_Escape); }), 4);
    // Yes is the default button.
    EXPECT_EQ(confirmWith([](QDialog *d) { QTest::keyClick(d, Qt::Key_Return); }), 0);
}

// A long path wraps inside the question instead of stretching the dialog
// across the screen; the control still holds the whole text.
TEST_F(MessageConfirmClicks, LongPathKeepsTheDialogNarrow)
{
    path = "C:\\" + std::string(40, 'f') + "\\" + std::string(60, 'g') + "\\" +
           std::string(50, 'h') + ".txt";
    confirmWith([&](QDialog *dialog) {
        auto *question = dialog->findChild<QLabel *>("1009");
        ASSERT_NE(question, nullptr);
        EXPECT_EQ(question->text().toStdString(), "The file '" + path + "' already exists.");
        EXPECT_LE(dialog->width(), 640);
        // Three or more rows of text fit into the question's height.
        EXPECT_GE(question->height(), 3 * question->fontMetrics().lineSpacing());
        msgtest::saveScreenshot(dialog, "confirm_long_path.png");
        dialog->reject();
    });
}

TEST_F(MessageConfirmClicks, Screenshot)
{
    confirmWith([](QDialog *dialog) {
        msgtest::saveScreenshot(dialog, "confirm_replace.png");
        dialog->reject();
    });
}

} // namespace
