// The settings dialog is a library of its own beside the plug-in, loaded when
// the host first asks for it, so that decoding never maps Qt Widgets.
#pragma once

#include "Settings.h"

#include "platform/wintypes.h"

namespace pcmkit {

constexpr const char* kConfigLibraryName = "pcmkit_config.so";
constexpr const char* kConfigEntryName = "pcmkit_config_dialog";

// The dialog library's entry: shows the dialog modally over parent on the
// values given and leaves in them what the dialog took (on OK, or a reset
// before Cancel). Returns true on OK. User-interface thread only.
using config_dialog_entry = bool (*)(HWND parent, settings_values* values);

// The plug-in's side: runs the dialog on the plug-in's settings and, on OK,
// rebuilds the list offered to the host. A box says so when the library is
// missing.
void show_config_dialog(HWND parent);

} // namespace pcmkit
