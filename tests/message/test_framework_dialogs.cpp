// The framework pieces the message library stands on: numbered dialogs run
// through the gateway, and the message-box presenter.

#include "framework/dialog.h"
#include "framework/gui.h"
#include "message_test_util.h"
#include "scripted_responder.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace plat;

namespace {

// A dialog that refuses OK while its name field is empty.
class NameDialog : public framework::CDialogBase {
public:
    explicit NameDialog(QWidget *parent = nullptr) : CDialogBase("BRXMSG.DLL", 4711, parent)
    {
        setWindowTitle("Name");
        name = setControlId(new QLineEdit(this), 1000);
        check = setControlId(new QCheckBox(this), 1001);
        addButton(IDOK, "OK");
        addButton(IDCANCEL, "Cancel");
    }
    void onCommand(int id) override
    {
        if (id == IDOK && name->text().isEmpty())
            return;
        accepted = name->text();
        endDialog(id);
    }
    QLineEdit *name;
    QCheckBox *check;
    QString accepted;
};

TEST(MessageFramework, ResponderFillsFieldsAndPressesButtons)
{
    brxtest::ScriptedResponder responder;
    responder.answer(4711, IDOK, {{1000, "typed"}, {1001, "1"}});
    responder.answer(4711, IDOK, {});
    NameDialog dialog;
    dialog.name->setText("start");
    EXPECT_EQ(dialog.doModal(nullptr), IDOK);
    EXPECT_EQ(dialog.accepted, "typed");
    EXPECT_TRUE(dialog.check->isChecked());
    const ModalRequest first = responder.requests().at(0);
    EXPECT_EQ(first.kind, ModalKind::Dialog);
    EXPECT_EQ(first.fields.at(1000), "start");
    EXPECT_EQ(first.fields.at(1001), "0");
    EXPECT_EQ(first.caption, "Name");

    // OK refused by the dialog's own check: a scripted run ends as cancelled.
    NameDialog empty;
    EXPECT_EQ(empty.doModal(nullptr), IDCANCEL);
}

TEST(MessageFramework, DialogMadeOnTheGuiThreadForAWorker)
{
    brxtest::ScriptedResponder responder;
    responder.answer(4711, IDCANCEL);
    std::atomic<int> result{-1};
    std::thread worker([&] {
        result = framework::doModalOnUiThread(nullptr, "BRXMSG.DLL", 4711, [](QWidget *parent) {
            return std::make_unique<NameDialog>(parent);
        });
    });
    ASSERT_TRUE(msgtest::pumpUntil([&] { return result.load() != -1; }));
    worker.join();
    EXPECT_EQ(result.load(), IDCANCEL);
}

TEST(MessageFramework, PresenterButtonsAndDefaults)
{
    ASSERT_TRUE(framework::installGuiPresenter());
    struct Case {
        UINT style;
        int enterAnswer; // the default button
        int escapeAnswer;
    };
    const Case cases[] = {
        {MB_OK, IDOK, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL, IDCANCEL},
        {MB_YESNO | MB_ICONQUESTION, IDYES, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL, IDCANCEL},
        {MB_RETRYCANCEL | MB_ICONHAND, IDRETRY, IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY, IDABORT},
    };
    const ModalResponder saved = setModalResponder({});
    for (const Case &c : cases) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            SCOPED_TRACE(testing::Message() << c.style << " key " << key);
            QTimer::singleShot(50, [key] {
                if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                    QTest::keyClick(box, key);
            });
            const int answer = messageBox(nullptr, "text", "caption", c.style);
            EXPECT_EQ(answer, key == Qt::Key_Return ? c.enterAnswer : c.escapeAnswer);
        }
    }
    setModalResponder(saved);
}

} // namespace
