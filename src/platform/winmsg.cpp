// Message windows over one queue drained on the user-interface thread.
//
// Posting pushes onto the queue and, when a Qt application exists, posts one
// wake-up event to a dispatcher object on the user-interface thread (at most one
// is outstanding). Whoever drains (the wake-up or PumpMessages) takes one item at
// a time with the lock released around the procedure, so procedures may pump.

#include "winmsg.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace platform {
namespace {

struct WindowRecord {
    MessageHandler handler;
    QPointer<QObject> window; // the real window behind the handle, if any
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

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class Dispatcher : public QObject {
  public:
    bool event(QEvent* e) override;
};

struct MessageSystem {
    // Guards everything below.
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<WindowRecord>> windows;
    std::deque<QueuedMessage> sent; // cross-thread SendMessage, served first
    std::deque<QueuedMessage> posted;
    uintptr_t nextId = 0x10000;
    std::thread::id uiThread;
    bool uiThreadKnown = false;
    Dispatcher* dispatcher = nullptr; // lives on the UI thread, never deleted
    std::atomic<bool> wakePending{false};
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

void wakeUiThread(MessageSystem& s)
{
    Dispatcher* dispatcher;
    {
        std::lock_guard lock(s.mutex);
        dispatcher = s.dispatcher;
    }
    if (dispatcher && QCoreApplication::instance() && !s.wakePending.exchange(true))
        QCoreApplication::postEvent(dispatcher, new QEvent(kWakeEvent));
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

bool Dispatcher::event(QEvent* e)
{
    if (e->type() != kWakeEvent)
        return QObject::event(e);
    MessageSystem& s = messageSystem();
    s.wakePending = false;
    drain(s);
    return true;
}

} // namespace

bool IsUiThread()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        return QThread::currentThread() == app->thread();
    MessageSystem& s = messageSystem();
    std::lock_guard lock(s.mutex);
    return !s.uiThreadKnown || s.uiThread == std::this_thread::get_id();
}

HWND CreateMessageWindow(MessageHandler handler)
{
    if (!handler)
        return nullptr;
    MessageSystem& s = messageSystem();
    bool needDispatcher = false;
    uintptr_t id;
    {
        std::lock_guard lock(s.mutex);
        if (!s.uiThreadKnown) {
            s.uiThread = std::this_thread::get_id();
            s.uiThreadKnown = true;
        }
        id = s.nextId++;
        s.windows.emplace(id, std::make_shared<WindowRecord>(WindowRecord{std::move(handler), {}}));
        needDispatcher = !s.dispatcher && QCoreApplication::instance();
    }
    if (needDispatcher) {
        auto* dispatcher = new Dispatcher;
        dispatcher->moveToThread(QCoreApplication::instance()->thread());
        std::lock_guard lock(s.mutex);
        if (s.dispatcher)
            dispatcher->deleteLater();
        else
            s.dispatcher = dispatcher;
    }
    return reinterpret_cast<HWND>(id);
}

void SetWindowObject(HWND window, QObject* object)
{
    MessageSystem& s = messageSystem();
    std::lock_guard lock(s.mutex);
    if (auto record = findLocked(s, idOf(window)))
        record->window = object;
}

QObject* WindowObject(HWND window)
{
    MessageSystem& s = messageSystem();
    std::lock_guard lock(s.mutex);
    auto record = findLocked(s, idOf(window));
    return record ? record->window.data() : nullptr;
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
    drain(messageSystem());
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
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
