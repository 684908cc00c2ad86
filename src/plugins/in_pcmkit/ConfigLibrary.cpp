#include "ConfigLibrary.h"

#include "platform/msgbox.h"
#include "platform/siblinglib.h"

#include <dlfcn.h>
#include <string>

namespace pcmkit {

void show_config_dialog(HWND parent)
{
    static const auto entry = reinterpret_cast<config_dialog_entry>(platform::SymbolBeside(
        reinterpret_cast<const void*>(&show_config_dialog), kConfigLibraryName, kConfigEntryName));
    if (!entry) {
        const char* why = dlerror();
        const std::string text = std::string("Cannot show the settings: ") + (why ? why : kConfigLibraryName);
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
