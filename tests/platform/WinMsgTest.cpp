#include "platform/winmsg.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool onUiThread;
};

// A message window that keeps what it receives.
class Recorder {
  public:
    Recorder()
    {
        hwnd = platform::CreateMessageWindow([this](HWND, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            received.push_back({m, w, l, platform::IsUiThread()});
            return static_cast<LRESULT>(w + 1);
        });
    }
    ~Recorder() { DestroyWindow(hwnd); }

    HWND hwnd;
    std::vector<Received> received;
};

} // namespace

TEST(MessageWindows, PostsFromManyThreadsArriveInPerThreadOrderOnTheUiThread)
{
    Recorder window;
    constexpr int kThreads = 8, kPerThread = 2000;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i)
                if (!PostMessage(window.hwnd, WM_USER + 2, static_cast<WPARAM>(t), i))
                    ++failures;
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(failures, 0);

    // The Qt event loop alone delivers them.
    for (int i = 0; i < 100 && window.received.size() < kThreads * kPerThread; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(window.received.size(), static_cast<std::size_t>(kThreads * kPerThread));

    std::vector<LPARAM> next(kThreads, 0);
    for (const Received& r : window.received) {
        ASSERT_TRUE(r.onUiThread);
        ASSERT_EQ(r.message, WM_USER + 2);
        ASSERT_LT(r.wParam, static_cast<WPARAM>(kThreads));
        ASSERT_EQ(r.lParam, next[r.wParam]) << "thread " << r.wParam << " out of order";
        ++next[r.wParam];
    }
}

// As the spectrum posts each frame from a timer: what the user-interface
// thread posts to itself arrives while its loop runs, and posts of other
// threads still come through meanwhile.
TEST(MessageWindows, PostsOfTheUiThreadToItselfArriveFromTheRunningLoop)
{
    QEventLoop loop;
    std::vector<int> order;
    HWND hwnd = nullptr;
    hwnd = platform::CreateMessageWindow([&](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
        order.push_back(static_cast<int>(m));
        if (m < 3)
            PostMessage(hwnd, m + 1, 0, 0);
        else if (m == 3)
            QTimer::singleShot(20, [&] { std::thread([&] { PostMessage(hwnd, 100, 0, 0); }).join(); });
        else if (m == 100)
            loop.quit();
        return 0;
    });
    QTimer::singleShot(0, [&] { PostMessage(hwnd, 1, 0, 0); });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit); // a bound on a lost message
    loop.exec();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 100}));

    // One pass of the loop that does not wait delivers as well.
    PostMessage(hwnd, 7, 0, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(order.back(), 7);
    DestroyWindow(hwnd);
}

TEST(MessageWindows, PostingToADestroyedWindowIsRefusedAndQueuedMessagesAreDropped)
{
    auto* window = new Recorder;
    HWND hwnd = window->hwnd;
    ASSERT_TRUE(PostMessage(hwnd, 1026, 0, 0));
    delete window; // destroys the window with a message still queued
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(PostMessage(hwnd, 1026, 0, 0));
    std::thread([&] { EXPECT_FALSE(PostMessage(hwnd, 1131, 0, 0)); }).join();
    PumpMessages(); // must not reach the deleted recorder
    EXPECT_FALSE(PostMessage(nullptr, 1, 0, 0));
    EXPECT_EQ(SendMessage(hwnd, 1, 0, 0), 0);
}

TEST(MessageWindows, SendMessageCallsDirectlyOnTheUiThreadAndWaitsFromOthers)
{
    Recorder window;
    EXPECT_EQ(SendMessage(window.hwnd, WM_USER, 41, 240), 42);
    ASSERT_EQ(window.received.size(), 1u);

    std::atomic<LRESULT> fromWorker{-1};
    std::thread worker([&] { fromWorker = SendMessage(window.hwnd, WM_USER, 9, 240); });
    EXPECT_TRUE(platform::PumpWait(200, 5, [&] { return fromWorker != -1; }));
    worker.join();
    EXPECT_EQ(fromWorker, 10);
    ASSERT_EQ(window.received.size(), 2u);
    EXPECT_TRUE(window.received[1].onUiThread);
}

TEST(MessageWindows, ASenderIsReleasedWhenItsWindowIsDestroyed)
{
    auto* window = new Recorder;
    HWND hwnd = window->hwnd;
    std::atomic<LRESULT> result{-1};
    std::thread worker([&] { result = SendMessage(hwnd, WM_USER, 5, 0); });
    Sleep(50); // the worker's request is queued by now; destroy without pumping
    delete window;
    worker.join();
    EXPECT_EQ(result, 0);
}

TEST(MessageWindows, PumpingFromAnotherThreadRunsNothing)
{
    Recorder window;
    PostMessage(window.hwnd, WM_USER, 0, 0);
    std::thread([] { PumpMessages(); }).join();
    EXPECT_TRUE(window.received.empty());
    PumpMessages();
    EXPECT_EQ(window.received.size(), 1u);
}

TEST(MessageWindows, AProcedureThatPumpsKeepsTheOrder)
{
    std::vector<int> order;
    HWND hwnd = nullptr;
    hwnd = platform::CreateMessageWindow([&](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
        order.push_back(static_cast<int>(m));
        if (m == 1)
            PumpMessages(); // a bounded wait inside a handler
        return 0;
    });
    for (UINT m = 1; m <= 4; ++m)
        PostMessage(hwnd, m, 0, 0);
    PumpMessages();
    DestroyWindow(hwnd);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST(MessageWindows, PumpWaitStopsEarlyOrAfterItsPasses)
{
    Recorder window;
    std::thread poster([&] {
        Sleep(30);
        PostMessage(window.hwnd, 1125, 0, 0);
    });
    int passes = 0;
    EXPECT_TRUE(platform::PumpWait(100, 10, [&] {
        ++passes;
        return !window.received.empty();
    }));
    poster.join();
    EXPECT_LT(passes, 100);

    DWORD start = GetTickCount();
    EXPECT_FALSE(platform::PumpWait(3, 20, [] { return false; }));
    EXPECT_GE(GetTickCount() - start, 55u);
}

TEST(MessageWindows, WaitMessageReturnsOnceSomethingIsQueued)
{
    Recorder window;
    std::thread poster([&] {
        Sleep(30);
        PostMessage(window.hwnd, 1125, 7, 0);
    });
    EXPECT_TRUE(WaitMessage());
    poster.join();
    EXPECT_TRUE(window.received.empty()); // waiting delivers nothing by itself
    PumpMessages();
    ASSERT_EQ(window.received.size(), 1u);

    // A request from another thread wakes the waiter too, and one already queued
    // does not wait at all.
    std::atomic<LRESULT> fromWorker{-1};
    std::thread sender([&] { fromWorker = SendMessage(window.hwnd, WM_USER, 2, 0); });
    EXPECT_TRUE(WaitMessage());
    EXPECT_TRUE(WaitMessage());
    PumpMessages();
    sender.join();
    EXPECT_EQ(fromWorker, 3);

    std::thread([] { EXPECT_FALSE(WaitMessage()); }).join();
}

TEST(MessageWindows, TheObjectBehindAHandleIsForgottenWithEitherOfThem)
{
    HWND first = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    HWND second = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    QObject kept;
    auto* deleted = new QObject;
    platform::SetWindowObject(first, &kept);
    platform::SetWindowObject(second, deleted);
    EXPECT_EQ(platform::WindowObject(first), &kept);
    EXPECT_EQ(platform::WindowObject(second), deleted);

    delete deleted;
    EXPECT_EQ(platform::WindowObject(second), nullptr);
    DestroyWindow(first);
    EXPECT_EQ(platform::WindowObject(first), nullptr);
    platform::SetWindowObject(first, &kept); // a destroyed handle takes none
    EXPECT_EQ(platform::WindowObject(first), nullptr);
    DestroyWindow(second);
}
