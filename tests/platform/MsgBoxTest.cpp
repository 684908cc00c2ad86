#include "platform/msgbox.h"
#include "platform/winmsg.h"

#include "support/MessageBoxRecorder.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

using testsupport::MessageBoxRecorder;

TEST(MessageBoxes, TheRecorderCapturesABoxRaisedOnAWorkerThread)
{
    MessageBoxRecorder recorder;
    recorder.answerNext(IDCANCEL);
    int answer = 0;
    std::thread worker([&] { answer = MessageBox(nullptr, "Write error : No Space", "Error", MB_OKCANCEL); });
    worker.join();
    EXPECT_EQ(answer, IDCANCEL);
    ASSERT_EQ(recorder.count(), 1u);
    const platform::MessageBoxRequest box = recorder.boxes()[0];
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.text, "Write error : No Space");
    EXPECT_EQ(box.buttons(), MB_OKCANCEL);

    MessageBox(nullptr, "Player is not ready !", "Confirm", MB_OK | MB_ICONWARNING);
    EXPECT_EQ(recorder.boxes()[1].icon(), MB_ICONWARNING);
}

TEST(MessageBoxes, DefaultAnswersFollowTheButtonsAndDefaultButton)
{
    EXPECT_EQ(platform::DefaultMessageBoxAnswer(MB_OK), IDOK);
    EXPECT_EQ(platform::DefaultMessageBoxAnswer(MB_OKCANCEL), IDOK);
    EXPECT_EQ(platform::DefaultMessageBoxAnswer(MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    EXPECT_EQ(platform::DefaultMessageBoxAnswer(MB_YESNO | MB_ICONWARNING), IDYES);
    EXPECT_EQ(platform::DefaultMessageBoxAnswer(MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(platform::DefaultMessageBoxAnswer(MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    EXPECT_EQ(platform::DefaultMessageBoxAnswer(MB_OK | MB_DEFBUTTON3), IDOK); // no third button
}

TEST(MessageBoxes, WithoutAPresenterTheDefaultButtonAnswers)
{
    auto previous = platform::SetMessageBoxPresenter(nullptr);
    EXPECT_EQ(MessageBox(nullptr, "t", "c", MB_YESNO | MB_DEFBUTTON2), IDNO);
    platform::SetMessageBoxPresenter(previous);
}

TEST(MessageBoxes, TheQtPresenterShowsARealDialogAndReturnsTheButtonPressed)
{
    auto previous = platform::SetMessageBoxPresenter(nullptr);
    platform::InstallQtMessageBoxPresenter();
    QString seenText, seenTitle;
    QTimer::singleShot(50, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seenText = box->text();
        seenTitle = box->windowTitle();
        box->button(QMessageBox::No)->click();
    });
    int answer =
        MessageBox(nullptr, "Reset every setting?\r\nThis cannot be undone.", "Confirm", MB_YESNO | MB_ICONWARNING);
    platform::SetMessageBoxPresenter(previous);
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(seenTitle, "Confirm");
    EXPECT_EQ(seenText, "Reset every setting?\nThis cannot be undone.");
}

TEST(MessageBoxes, AModelessMessageShowsWithoutWaitingButAQuestionStillWaits)
{
    auto previous = platform::SetMessageBoxPresenter(nullptr);
    platform::InstallQtMessageBoxPresenter();
    int answer = 0;
    {
        const platform::ModelessMessageBoxes modeless;
        answer = MessageBox(nullptr, "Can't play the file\r\n(error code: 2)", "Error", MB_OK | MB_ICONERROR);
    }
    EXPECT_EQ(answer, IDOK);
    QPointer<QMessageBox> shown;
    (void)QTest::qWaitFor(
        [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                    shown = box;
            return !shown.isNull();
        },
        2000);
    ASSERT_FALSE(shown.isNull()) << "the box shows once the event loop runs";
    EXPECT_FALSE(shown->isModal());
    EXPECT_EQ(shown->windowTitle(), "Error");
    EXPECT_EQ(shown->text(), "Can't play the file\n(error code: 2)");
    shown->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown.isNull(); }, 2000)) << "gone once closed";

    {
        const platform::ModelessMessageBoxes modeless;
        QTimer::singleShot(50, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->button(QMessageBox::No)->click();
        });
        EXPECT_EQ(MessageBox(nullptr, "Go on?", "Confirm", MB_YESNO), IDNO) << "a choice waits for its answer";
    }
    platform::SetMessageBoxPresenter(previous);

    MessageBoxRecorder recorder;
    {
        const platform::ModelessMessageBoxes modeless;
        MessageBox(nullptr, "a", "Error", MB_OK);
    }
    MessageBox(nullptr, "b", "Error", MB_OK);
    ASSERT_EQ(recorder.count(), 2u);
    EXPECT_TRUE(recorder.boxes()[0].modeless);
    EXPECT_FALSE(recorder.boxes()[1].modeless) << "only while the scope lasts";
}

TEST(MessageBoxes, TheQtPresenterWritesToTheLogWhenAskedToRunUnattended)
{
    testsupport::TempDir dir;
    std::string log = dir.file("boxes.jsonl");
    setenv("ORVELLA_MSGBOX_LOG", log.c_str(), 1);
    auto previous = platform::SetMessageBoxPresenter(nullptr);
    platform::InstallQtMessageBoxPresenter();
    int answer = MessageBox(nullptr, "Can't play the file\r\n(error code: 2)", "Error", MB_OK | MB_ICONERROR);
    platform::SetMessageBoxPresenter(previous);
    unsetenv("ORVELLA_MSGBOX_LOG");
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(testsupport::ReadFile(log),
              "{\"caption\": \"Error\", \"text\": \"Can't play the file\\r\\n(error code: 2)\", \"type\": 16}\n");
}
