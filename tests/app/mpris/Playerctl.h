// playerctl aimed at our player. The event loop keeps turning while it runs,
// so a service in this very process can answer it.
#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

struct PlayerctlRun {
    int exitCode = -1;
    QString out;
};

inline PlayerctlRun playerctl(const QStringList& args)
{
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10'000, &loop, &QEventLoop::quit);
    process.start("playerctl", QStringList{"--player=orvella"} + args);
    loop.exec();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()).trimmed()};
}

// The output of a playerctl command that must succeed.
inline QString ask(const QStringList& args)
{
    PlayerctlRun run = playerctl(args);
    EXPECT_EQ(run.exitCode, 0) << "playerctl " << args.join(' ').toStdString();
    return run.out;
}

// Lets events run for a while.
inline void settle(int ms = 150)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Polls until the condition holds or the time is up.
inline bool eventually(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        settle(20);
    }
    return true;
}

// Readable failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
