// The program's message box presenter: real dialogs with Qt Widgets.

#include "msgbox.h"

#include "text.h"
#include "winmsg.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace platform {
namespace {

int logToFile(const char* path, const MessageBoxRequest& box)
{
    static std::mutex logMutex;
    std::lock_guard lock(logMutex);
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "{\"caption\": %s, \"text\": %s, \"type\": %u}\n", JsonString(box.caption).c_str(),
                     JsonString(box.text).c_str(), box.type);
        std::fclose(f);
    }
    return DefaultMessageBoxAnswer(box.type);
}

QMessageBox::Icon qtIcon(UINT icon)
{
    switch (icon) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

QMessageBox::StandardButton qtButton(int answer)
{
    switch (answer) {
    case IDOK:
        return QMessageBox::Ok;
    case IDCANCEL:
        return QMessageBox::Cancel;
    case IDABORT:
        return QMessageBox::Abort;
    case IDRETRY:
        return QMessageBox::Retry;
    case IDIGNORE:
        return QMessageBox::Ignore;
    case IDYES:
        return QMessageBox::Yes;
    case IDNO:
        return QMessageBox::No;
    default:
        return QMessageBox::NoButton;
    }
}

void buildQtBox(QMessageBox& dialog, const MessageBoxRequest& box)
{
    QString text = DisplayString(box.text);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    dialog.setIcon(qtIcon(box.icon()));
    dialog.setWindowTitle(DisplayString(box.caption));
    dialog.setText(text);
    const std::vector<int> answers = MessageBoxAnswers(box.type);
    for (int answer : answers)
        dialog.addButton(qtButton(answer));
    dialog.setDefaultButton(qtButton(DefaultMessageBoxAnswer(box.type)));
    if (answers.size() > 1 && std::find(answers.begin(), answers.end(), IDCANCEL) != answers.end())
        dialog.setEscapeButton(QMessageBox::Cancel);
}

QWidget* boxParent(const MessageBoxRequest& box)
{
    QWidget* parent = WindowWidget(box.owner);
    return parent ? parent : QApplication::activeWindow();
}

void showModelessQtBox(const MessageBoxRequest& box)
{
    auto* dialog = new QMessageBox(boxParent(box));
    buildQtBox(*dialog, box);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::NonModal);
    dialog->show();
}

int showQtBox(const MessageBoxRequest& box)
{
    QMessageBox dialog(boxParent(box));
    buildQtBox(dialog, box);
    const std::vector<int> answers = MessageBoxAnswers(box.type);
    dialog.exec();
    QAbstractButton* clicked = dialog.clickedButton();
    for (int answer : answers)
        if (clicked == dialog.button(qtButton(answer)))
            return answer;
    // Closed by the window manager: as Windows does, Cancel if offered, else the only button.
    if (std::find(answers.begin(), answers.end(), IDCANCEL) != answers.end())
        return IDCANCEL;
    return answers.size() == 1 ? answers.front() : DefaultMessageBoxAnswer(box.type);
}

int presentWithQt(const MessageBoxRequest& box)
{
    if (const char* log = std::getenv("ORVELLA_MSGBOX_LOG"); log && *log)
        return logToFile(log, box);
    QCoreApplication* app = QCoreApplication::instance();
    if (!qobject_cast<QApplication*>(app))
        return AnswerOnTerminal(box);
    if (box.modeless) {
        QMetaObject::invokeMethod(app, [box] { showModelessQtBox(box); });
        return IDOK;
    }
    if (QThread::currentThread() == app->thread())
        return showQtBox(box);
    int answer = DefaultMessageBoxAnswer(box.type);
    QMetaObject::invokeMethod(
        app, [&box, &answer] { answer = showQtBox(box); }, Qt::BlockingQueuedConnection);
    return answer;
}

} // namespace

void InstallQtMessageBoxPresenter()
{
    SetMessageBoxPresenter(presentWithQt);
}

} // namespace platform
