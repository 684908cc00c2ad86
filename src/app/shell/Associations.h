// The program's file-type entries in the registry: for each associated
// extension, the file type "Orvella Audio File" with the verbs "Play In
// Orvella", "Enqueue In Orvella" and "Open" (each with its command and its
// command-channel macro) and the default icon.
#pragma once

#include "platform/registry.h"

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

namespace shell {

// The file types the preferences offer for association, in list order.
inline constexpr std::array<const char*, 20> kFileTypeList = {
    "MP3", "OGG", "WMA", "FLAC", "WAV", "AAC", "MID", "MIDI", "MP4", "M4A",
    "MP1", "MP2", "ASF", "MDZ", "KAR", "RMI", "APE", "CDA", "PLS", "M3U"};

inline constexpr const char* kFileType = "Orvella Audio File";
inline constexpr const char* kFileTypeDescription = "Orvella Media";
inline constexpr const char* kQuotedArgument = "\"%1\"";            // Q1
inline constexpr const char* kOpenMacro = "[Open(\"%1\")]";          // M1
inline constexpr const char* kEnqueueMacro = "[Enqueue(\"%1\")]";    // M2
inline constexpr const char* kVerbPlay = "Play In Orvella";
inline constexpr const char* kVerbEnqueue = "Enqueue In Orvella";
inline constexpr const char* kVerbOpen = "Open";
inline constexpr const char* kMacroTopic = "Macros";

class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Associations {
public:
    // programPath: the running executable (X); service: its command-channel name (S).
    Associations(platform::Registry& registry, std::string programPath, std::string service);

    // Opens the key, creating it when missing; throws RegistryError when it cannot.
    void OpenKeyOrFail(const std::string& key);
    void RegisterVerbCommand(const std::string& extension, const std::string& fileType, const std::string& description,
                             const std::string& command, const std::string& verb);
    void RegisterVerb(const std::string& extension, const std::string& fileType, const std::string& description,
                      const std::string& parameter, const std::string& verb);
    void RegisterDdeExec(const std::string& fileType, const std::string& verb, const std::string& macro);
    void RegisterDefaultIcon(const std::string& fileType, const std::string& file, int index);
    // Removes the extension's key. The file type it named is removed only when it
    // is ours: another program's type may serve other extensions.
    void RemoveAssociation(const std::string& extension);

    // Makes the program the handler of one extension (".MP3").
    void AssociateExtension(const std::string& extension);
    // The same for file types of the list ("MP3") in turn, with the registry
    // read and written once; throws RegistryError naming the first when the
    // store cannot be written, which then keeps what it held.
    void AssociateFileTypes(const std::vector<std::string>& types);
    // Extensions of the list whose key names our file type.
    std::vector<std::string> AssociatedFileTypes() const;

private:
    void writeDefault(const std::string& key, const std::string& value);

    platform::Registry& registry_;
    std::string programPath_;
    std::string service_;
};

// The command-channel service of an executable: its file name up to the first ".".
std::string ServiceName(const std::string& executablePath);

} // namespace shell
