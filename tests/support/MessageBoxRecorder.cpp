#include "MessageBoxRecorder.h"

#include "platform/winmsg.h"

#include <chrono>

namespace testsupport {

MessageBoxRecorder::MessageBoxRecorder()
{
    previous_ = platform::SetMessageBoxPresenter([this](const platform::MessageBoxRequest& box) { return present(box); });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    platform::SetMessageBoxPresenter(previous_);
}

int MessageBoxRecorder::present(const platform::MessageBoxRequest& box)
{
    std::lock_guard lock(mutex_);
    boxes_.push_back(box);
    int answer = platform::DefaultMessageBoxAnswer(box.type);
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    }
    changed_.notify_all();
    return answer;
}

void MessageBoxRecorder::answerNext(int answer)
{
    std::lock_guard lock(mutex_);
    answers_.push_back(answer);
}

std::vector<platform::MessageBoxRequest> MessageBoxRecorder::boxes() const
{
    std::lock_guard lock(mutex_);
    return boxes_;
}

std::size_t MessageBoxRecorder::count() const
{
    std::lock_guard lock(mutex_);
    return boxes_.size();
}

void MessageBoxRecorder::clear()
{
    std::lock_guard lock(mutex_);
    boxes_.clear();
}

bool MessageBoxRecorder::waitForBoxes(std::size_t n, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (count() >= n)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        if (platform::IsUiThread()) {
            PumpMessages();
            Sleep(5);
        } else {
            std::unique_lock lock(mutex_);
            changed_.wait_until(lock, deadline, [&] { return boxes_.size() >= n; });
        }
    }
}

} // namespace testsupport
