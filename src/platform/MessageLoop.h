// The event loop that delivers the messages of the message windows besides
// PumpMessages. The message windows themselves need no Qt; libplatform.so
// attaches the Qt event loop when it is loaded, so that whatever links Qt's
// side of the platform gets its messages from QCoreApplication's loop.
#pragma once

namespace platform {

class MessageLoop {
  public:
    virtual ~MessageLoop() = default;
    // Whether the loop runs in this process now; while it does, its thread is
    // the user-interface thread.
    virtual bool running() = 0;
    virtual bool onLoopThread() = 0;
    // Any thread: have DeliverMessages run on the loop thread soon.
    virtual void wake() = 0;
    // The loop thread, from PumpMessages: run the loop's own pending events.
    virtual void processEvents() = 0;
};

// The loop must outlive every message window; null detaches.
void AttachMessageLoop(MessageLoop* loop);
// Runs what is queued for the windows; the user-interface thread only.
void DeliverMessages();

} // namespace platform
