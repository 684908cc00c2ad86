// The dialog library's one export (see ConfigLibrary.h).

#include "ConfigDialog.h"
#include "ConfigLibrary.h"

#include "platform/winmsg.h"

#include <type_traits>

extern "C" __attribute__((visibility("default"))) bool pcmkit_config_dialog(HWND parent,
                                                                            pcmkit::settings_values* values)
{
    pcmkit::apply_settings(*values);
    pcmkit::ConfigDialog dialog(platform::WindowWidget(parent));
    const bool accepted = dialog.exec() == QDialog::Accepted;
    *values = pcmkit::capture_settings();
    return accepted;
}

static_assert(std::is_same_v<decltype(&pcmkit_config_dialog), pcmkit::config_dialog_entry>);
