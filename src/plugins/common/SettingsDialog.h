// What every plug-in's settings dialog shares: the title after the plug-in's
// description, and a message window of its own as the owner of the boxes the
// dialog raises, so they sit over the dialog rather than the host.
#pragma once

#include "platform/winmsg.h"

#include <QDialog>
#include <QString>

namespace plugin {

class SettingsDialog : public QDialog {
  public:
    SettingsDialog(const char* description, QWidget* parent) : QDialog(parent)
    {
        setWindowTitle(QString::fromUtf8(description) + " configuration");
        boxOwner_ = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
        platform::SetWindowWidget(boxOwner_, this);
    }
    ~SettingsDialog() override { DestroyWindow(boxOwner_); }
    SettingsDialog(const SettingsDialog&) = delete;
    SettingsDialog& operator=(const SettingsDialog&) = delete;

  protected:
    HWND boxOwner() const { return boxOwner_; }

  private:
    HWND boxOwner_ = nullptr;
};

// Runs a plug-in's dialog modally over the host's window.
template <typename Dialog> void RunModal(HWND parent)
{
    Dialog dialog(platform::WindowWidget(parent));
    dialog.exec();
}

} // namespace plugin
