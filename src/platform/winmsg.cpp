// Message windows over one queue drained on the user-interface thread.
//
// Posting pushes onto the queue, wakes a thread blocked in WaitMessage and,
// when an event loop is attached (MessageLoop.h), has that loop deliver. Whoever
// drains (the loop, PumpMessages) takes one item at a time with the lock
// released around the procedure, so procedures may pump.

#include "winmsg.h"

#include "MessageLoop.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace platform {
namespace {

struct WindowRecord {
    MessageHandler handler;
};

struct SendState {
    std::mutex mutex;           // guards done and result
    std::condition_variable cv; // signalled when done becomes true
    bool done = false;
    LRESULT result = 0;

    void finish(LRESULT r)
    {
        std::lock_guard lock(mutex);
        result = r;
        done = true;
        cv.notify_all();
    }
};

struct QueuedMessage {
    uintptr_t window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::shared_ptr<SendState> send; // set for SendMessage from another thread
};

struct MessageSystem {
    // Guards everything below.
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<WindowRecord>> windows;
    std::deque<QueuedMessage> sent; // cross-thread SendMessage, served first
    std::deque<QueuedMessage> posted;
    std::condition_variable queued; // signalled when sent or posted grows
    uintptr_t nextId = 0x10000;
    std::thread::id uiThread;
    bool uiThreadKnown = false;
    std::atomic<MessageLoop*> loop{nullptr};
};

MessageSystem& messageSystem()
{
    static MessageSystem* s = new MessageSystem; // outlives every static destructor
    return *s;
}

uintptr_t idOf(HWND window)
{
    return reinterpret_cast<uintptr_t>(window);
}

// Caller holds the lock.
std::shared_ptr<WindowRecord> findLocked(MessageSystem& s, uintptr_t id)
{
    auto it = s.windows.find(id);
    return it == s.windows.end() ? nullptr : it->second;
}

// Called after queueing, with the lock released.
void wakeUiThread(MessageSystem& s)
{
    s.queued.notify_all();
    if (MessageLoop* loop = s.loop.load())
        loop->wake();
}

// Runs one queued message; false when the queues are empty.
bool dispatchOne(MessageSystem& s)
{
    QueuedMessage item;
    std::shared_ptr<WindowRecord> record;
    {
        std::lock_guard lock(s.mutex);
        std::deque<QueuedMessage>& queue = s.sent.empty() ? s.posted : s.sent;
        if (queue.empty())
            return false;
        item = std::move(queue.front());
        queue.pop_front();
        record = findLocked(s, item.window);
    }
    LRESULT result = 0;
    if (record)
        result = record->handler(reinterpret_cast<HWND>(item.window), item.message, item.wParam, item.lParam);
    if (item.send)
        item.send->finish(result);
    return true;
}

void drain(MessageSystem& s)
{
    while (dispatchOne(s)) {
    }
}

} // namespace

void AttachMessageLoop(MessageLoop* loop)
{
    messageSystem().loop = loop;
}

void DeliverMessages()
{
    drain(messageSystem());
}

bool IsUiThread()
{
    MessageSystem& s = messageSystem();
    if (MessageLoop* loop = s.loop.load(); loop && loop->running())
        return loop->onLoopThread();
    std::lock_guard lock(s.mutex);
    return !s.uiThreadKnown || s.uiThread == std::this_thread::get_id();
}

HWND CreateMessageWindow(MessageHandler handler)
{
    if (!handler)
        return nullptr;
    MessageSystem& s = messageSystem();
    std::lock_guard lock(s.mutex);
    if (!s.uiThreadKnown) {
        s.uiThread = std::this_thread::get_id();
        s.uiThreadKnown = true;
    }
    const uintptr_t id = s.nextId++;
    s.windows.emplace(id, std::make_shared<WindowRecord>(WindowRecord{std::move(handler)}));
    return reinterpret_cast<HWND>(id);
}

bool PumpWait(int maxPasses, int sleepMs, const std::function<bool()>& done)
{
    for (int pass = 0; pass < maxPasses; ++pass) {
        if (done())
            return true;
        ::PumpMessages();
        ::Sleep(static_cast<DWORD>(sleepMs));
    }
    return done();
}

} // namespace platform

using namespace platform;

HWND CreateMessageWindow(MessageProc procedure, void* user)
{
    if (!procedure)
        return nullptr;
    return platform::CreateMessageWindow(
        [procedure, user](HWND w, UINT m, WPARAM wp, LPARAM lp) { return procedure(user, w, m, wp, lp); });
}

BOOL DestroyWindow(HWND window)
{
    MessageSystem& s = messageSystem();
    std::vector<std::shared_ptr<SendState>> abandoned;
    {
        std::lock_guard lock(s.mutex);
        if (s.windows.erase(idOf(window)) == 0)
            return FALSE;
        for (auto it = s.sent.begin(); it != s.sent.end();) {
            if (it->window == idOf(window)) {
                abandoned.push_back(it->send);
                it = s.sent.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& send : abandoned)
        send->finish(0);
    return TRUE;
}

BOOL IsWindow(HWND window)
{
    MessageSystem& s = messageSystem();
    std::lock_guard lock(s.mutex);
    return s.windows.count(idOf(window)) ? TRUE : FALSE;
}

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    MessageSystem& s = messageSystem();
    {
        std::lock_guard lock(s.mutex);
        if (!s.windows.count(idOf(window)))
            return FALSE;
        s.posted.push_back({idOf(window), message, wParam, lParam, nullptr});
    }
    wakeUiThread(s);
    return TRUE;
}

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    MessageSystem& s = messageSystem();
    if (IsUiThread()) {
        std::shared_ptr<WindowRecord> record;
        {
            std::lock_guard lock(s.mutex);
            record = findLocked(s, idOf(window));
        }
        return record ? record->handler(window, message, wParam, lParam) : 0;
    }
    auto send = std::make_shared<SendState>();
    {
        std::lock_guard lock(s.mutex);
        if (!s.windows.count(idOf(window)))
            return 0;
        s.sent.push_back({idOf(window), message, wParam, lParam, send});
    }
    wakeUiThread(s);
    std::unique_lock lock(send->mutex);
    send->cv.wait(lock, [&] { return send->done; });
    return send->result;
}

void PumpMessages(void)
{
    if (!IsUiThread())
        return;
    MessageSystem& s = messageSystem();
    drain(s);
    if (MessageLoop* loop = s.loop.load())
        loop->processEvents();
}

BOOL WaitMessage(void)
{
    if (!IsUiThread())
        return FALSE;
    MessageSystem& s = messageSystem();
    std::unique_lock lock(s.mutex);
    s.queued.wait(lock, [&] { return !s.sent.empty() || !s.posted.empty(); });
    return TRUE;
}

void Sleep(DWORD milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD GetTickCount(void)
{
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
