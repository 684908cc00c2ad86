// Qt's side of the message windows: QCoreApplication's event loop delivers
// their messages, and a handle can name the real window behind it.

#include "MessageLoop.h"
#include "winmsg.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace platform {
namespace {

// Receives the deliveries on the loop thread. Its event is made inside Qt, so
// nothing of ours is written by the posting thread and read by the loop thread
// under Qt's locks only, which the thread sanitizer cannot see.
class DeliveryReceiver final : public QObject {
  public:
    static constexpr QEvent::Type kDeliver = QEvent::User;
    std::atomic<bool> pending{false};

    // Runs what is queued; a wake from now on asks for a new delivery.
    void deliver()
    {
        pending = false;
        DeliverMessages();
    }

  protected:
    bool event(QEvent* event) override
    {
        if (event->type() != kDeliver)
            return QObject::event(event);
        deliver();
        return true;
    }
};

class QtMessageLoop final : public MessageLoop {
  public:
    bool running() override { return QCoreApplication::instance() != nullptr; }

    bool onLoopThread() override
    {
        QCoreApplication* app = QCoreApplication::instance();
        return app && QThread::currentThread() == app->thread();
    }

    // At most one delivery is outstanding.
    void wake() override
    {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app || receiver_.pending.exchange(true))
            return;
        if (receiver_.thread() == app->thread()) {
            if (QThread::currentThread() == app->thread() && deliverOnNextTurn())
                return;
            QCoreApplication::postEvent(&receiver_, new QEvent(DeliveryReceiver::kDeliver));
            return;
        }
        // Loaded on a thread other than the application's.
        QMetaObject::invokeMethod(
            app, [this] { receiver_.deliver(); }, Qt::QueuedConnection);
    }

    void processEvents() override
    {
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::AllEvents);
    }

  private:
    // A message the loop thread posts to itself is delivered as its loop comes
    // round again, before it waits, rather than through the event queue, which
    // would wake the loop only to deliver it: the spectrum does that 30 times
    // a second. Every pass of the loop begins with one of these two signals.
    bool deliverOnNextTurn()
    {
        QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
        if (!dispatcher)
            return false;
        if (dispatcher != hooked_) {
            hooked_ = dispatcher;
            const auto onTurn = [this] {
                if (!deliveryOnTurn_)
                    return;
                deliveryOnTurn_ = false;
                receiver_.deliver();
            };
            QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &receiver_, onTurn);
            QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, &receiver_, onTurn);
        }
        deliveryOnTurn_ = true;
        return true;
    }

    // Made as this library loads, which in a Qt program is at its start, on the
    // thread that goes on to make the application.
    DeliveryReceiver receiver_;
    QPointer<QAbstractEventDispatcher> hooked_; // the loop thread's, once connected
    bool deliveryOnTurn_ = false;               // loop thread only
};

// Attached while this library is loaded, which is for good: it is linked with
// -z nodelete, so the loop never points into unmapped code.
const bool attached = [] {
    AttachMessageLoop(new QtMessageLoop);
    return true;
}();

struct WindowObjects {
    std::mutex mutex; // guards objects
    std::unordered_map<HWND, QPointer<QObject>> objects;
};

WindowObjects& windowObjects()
{
    static WindowObjects* w = new WindowObjects; // outlives every static destructor
    return *w;
}

} // namespace

void SetWindowObject(HWND window, QObject* object)
{
    WindowObjects& w = windowObjects();
    std::lock_guard lock(w.mutex);
    // Handles are never reused, so what destroyed windows left is only dropped.
    std::erase_if(w.objects, [](const auto& entry) { return !IsWindow(entry.first); });
    if (IsWindow(window))
        w.objects[window] = object;
}

QObject* WindowObject(HWND window)
{
    WindowObjects& w = windowObjects();
    std::lock_guard lock(w.mutex);
    auto it = w.objects.find(window);
    return it != w.objects.end() && IsWindow(window) ? it->second.data() : nullptr;
}

} // namespace platform
