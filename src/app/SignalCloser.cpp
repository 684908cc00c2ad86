#include "SignalCloser.h"

#include <QSocketNotifier>
#include <QWidget>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};

// Signal context: only write a byte to wake the event loop.
void onUnixSignal(int signo)
{
    char byte = static_cast<char>(signo);
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &byte, 1);
}
} // namespace

SignalCloser::SignalCloser()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return;
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalCloser::onSignal);
    struct sigaction action {};
    action.sa_handler = onUnixSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    // The terminal the program was started from closing; a start under nohup
    // keeps ignoring it.
    struct sigaction hangup {};
    sigaction(SIGHUP, nullptr, &hangup);
    if (hangup.sa_handler != SIG_IGN)
        sigaction(SIGHUP, &action, nullptr);
}

SignalCloser::~SignalCloser()
{
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    struct sigaction hangup {};
    sigaction(SIGHUP, nullptr, &hangup);
    if (hangup.sa_handler == onUnixSignal)
        signal(SIGHUP, SIG_DFL);
}

void SignalCloser::onSignal()
{
    char buffer[16];
    while (::read(signalPipe[0], buffer, sizeof buffer) > 0) {
    }
    if (window_)
        window_->close();
}
