// Turns SIGTERM and SIGINT into an ordinary close of the main window, so that a
// terminated program still saves its state on the way out.
#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

class SignalCloser : public QObject {
    Q_OBJECT
public:
    explicit SignalCloser(QWidget* window);
    ~SignalCloser() override;

private:
    void onSignal();

    QWidget* window_;
    QSocketNotifier* notifier_ = nullptr;
};
