#include "msgbox.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace platform {
namespace {

std::mutex presenterMutex; // guards presenter
MessageBoxPresenter presenter;

thread_local bool modelessBoxes = false;

} // namespace

int AnswerOnTerminal(const MessageBoxRequest& box)
{
    std::fprintf(stderr, "[%s] %s\n", box.caption.c_str(), box.text.c_str());
    return DefaultMessageBoxAnswer(box.type);
}

std::vector<int> MessageBoxAnswers(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    default:
        return {IDOK};
    }
}

int DefaultMessageBoxAnswer(UINT type)
{
    const std::vector<int> answers = MessageBoxAnswers(type);
    std::size_t index = (type & MB_DEFMASK) >> 8;
    return answers[index < answers.size() ? index : 0];
}

ModelessMessageBoxes::ModelessMessageBoxes() : previous_(modelessBoxes)
{
    modelessBoxes = true;
}

ModelessMessageBoxes::~ModelessMessageBoxes()
{
    modelessBoxes = previous_;
}

MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter newPresenter)
{
    std::lock_guard lock(presenterMutex);
    std::swap(presenter, newPresenter);
    return newPresenter;
}

} // namespace platform

int MessageBox(HWND owner, const char* text, const char* caption, UINT type)
{
    platform::MessageBoxRequest box{owner, text ? text : "", caption ? caption : "Error", type};
    box.modeless = platform::modelessBoxes && box.buttons() == MB_OK;
    platform::MessageBoxPresenter current;
    {
        std::lock_guard lock(platform::presenterMutex);
        current = platform::presenter;
    }
    const int answer = current ? current(box) : platform::AnswerOnTerminal(box);
    return box.modeless ? IDOK : answer;
}
