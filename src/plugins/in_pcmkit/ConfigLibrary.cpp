#include "ConfigLibrary.h"

#include "Sources.h"

#include "platform/dynlib.h"
#include "platform/msgbox.h"

#include <string>

namespace pcmkit {

void show_config_dialog(HWND parent)
{
    // Kept loaded once used: Qt keeps references into a widget library's code.
    static HMODULE library = nullptr;
    if (!library)
        library = LoadLibrary((plugin_folder() + kConfigLibraryName).c_str());
    auto entry = library ? reinterpret_cast<config_dialog_entry>(GetProcAddress(library, kConfigEntryName)) : nullptr;
    if (!entry) {
        std::string text = "Cannot show the settings: ";
        text += library ? std::string("no dialog in ") + kConfigLibraryName : GetLoadLibraryError();
        MessageBox(parent, text.c_str(), "Error", MB_ICONERROR);
        return;
    }
    settings_values values = capture_settings();
    const bool accepted = entry(parent, &values);
    apply_settings(values);
    if (accepted)
        build_extension_list(extension_list, sizeof extension_list);
}

} // namespace pcmkit
