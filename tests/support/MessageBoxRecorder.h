// Records every message box while it lives and answers from a script (the
// box's default button when the script is empty). Boxes raised on any thread
// are recorded.
#pragma once

#include "platform/msgbox.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace testsupport {

class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    void answerNext(int answer); // queued: each box takes the oldest answer
    std::vector<platform::MessageBoxRequest> boxes() const;
    std::size_t count() const;
    void clear();
    // Waits (pumping messages on the UI thread) until count() >= n or timeoutMs passes.
    bool waitForBoxes(std::size_t n, int timeoutMs);

private:
    int present(const platform::MessageBoxRequest& box);

    mutable std::mutex mutex_; // guards boxes_ and answers_
    std::condition_variable changed_;
    std::vector<platform::MessageBoxRequest> boxes_;
    std::deque<int> answers_;
    platform::MessageBoxPresenter previous_;
};

} // namespace testsupport
