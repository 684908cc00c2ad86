/* Message boxes. One entry point for the program, its libraries and plug-ins;
 * who answers is decided by the installed presenter: the program shows real
 * dialogs, tests record the boxes and answer from a script. Callable from any
 * thread. */
#ifndef ORVELLA_PLATFORM_MSGBOX_H
#define ORVELLA_PLATFORM_MSGBOX_H

#include "wintypes.h"

/* Buttons */
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
/* Icons */
#define MB_ICONERROR 0x00000010u
#define MB_ICONHAND MB_ICONERROR
#define MB_ICONSTOP MB_ICONERROR
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONEXCLAMATION MB_ICONWARNING
#define MB_ICONINFORMATION 0x00000040u
#define MB_ICONASTERISK MB_ICONINFORMATION
/* Default button */
#define MB_DEFBUTTON1 0x00000000u
#define MB_DEFBUTTON2 0x00000100u
#define MB_DEFBUTTON3 0x00000200u

#define MB_TYPEMASK 0x0000000Fu
#define MB_ICONMASK 0x000000F0u
#define MB_DEFMASK 0x00000F00u

/* Answers */
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

/* Shows text under caption with the buttons and icon of type; returns the
 * button pressed. A null caption reads "Error". */
PLATFORM_API int MessageBox(HWND owner, const char* text, const char* caption, UINT type);

#ifdef __cplusplus
#include <functional>
#include <string>
#include <vector>

namespace platform {

struct MessageBoxRequest {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT type = MB_OK;
    // Shown without waiting for it to be closed (see ModelessMessageBoxes).
    bool modeless = false;

    UINT buttons() const { return type & MB_TYPEMASK; }
    UINT icon() const { return type & MB_ICONMASK; }
};

using MessageBoxPresenter = std::function<int(const MessageBoxRequest&)>;

// Installs the presenter for every later box and returns the previous one. With
// none installed a box is written to standard error and answered by its default
// button.
MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter);

// While one lives, the boxes raised on this thread that offer only OK are
// shown without waiting for them: MessageBox returns IDOK at once. For a
// message that must not hold up what goes on, such as a file that playback
// skips.
class ModelessMessageBoxes {
  public:
    ModelessMessageBoxes();
    ~ModelessMessageBoxes();
    ModelessMessageBoxes(const ModelessMessageBoxes&) = delete;
    ModelessMessageBoxes& operator=(const ModelessMessageBoxes&) = delete;

  private:
    bool previous_;
};

// What happens with no presenter: the box is written to standard error and
// answered by its default button.
int AnswerOnTerminal(const MessageBoxRequest& box);

// The answer of the default button of a box of this type.
int DefaultMessageBoxAnswer(UINT type);

// The buttons a box of this type offers, as answers, left to right.
std::vector<int> MessageBoxAnswers(UINT type);

// The program's presenter: a modal QMessageBox on the user-interface thread,
// owned by the owner's window; a call from another thread is handed to the
// user-interface thread and waits for the answer. When ORVELLA_MSGBOX_LOG names
// a file, boxes are appended to it as JSON lines and answered by their default
// button instead, so the program can run unattended. In platform_widgets.
void InstallQtMessageBoxPresenter();

} // namespace platform
#endif

#endif
