// Turns SIGTERM, SIGINT and SIGHUP into an ordinary close of the main window, so
// that a terminated program still saves its state on the way out.
#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

class SignalCloser : public QObject {
    Q_OBJECT
  public:
    // Installed before the window exists, so that a signal during start-up is
    // not a hard kill: it waits in the pipe until the event loop runs.
    SignalCloser();
    ~SignalCloser() override;

    void setWindow(QWidget* window) { window_ = window; }

  private:
    void onSignal();

    QWidget* window_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
};
