#include "DesktopIntegration.h"

#include "platform/atomicfile.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/text.h"

#include <QStringList>

#include <algorithm>
#include <map>

namespace shell {
namespace {

// As the shared MIME database names them.
const std::map<std::string, std::vector<std::string>>& mimeTable()
{
    static const std::map<std::string, std::vector<std::string>> table = {
        {"MP3", {"audio/mpeg"}},
        {"OGG", {"audio/ogg", "audio/x-vorbis+ogg"}},
        {"WMA", {"audio/x-ms-wma"}},
        {"FLAC", {"audio/flac"}},
        {"WAV", {"audio/x-wav"}},
        {"AAC", {"audio/aac"}},
        {"MID", {"audio/midi"}},
        {"MIDI", {"audio/midi"}},
        {"MP4", {"video/mp4"}},
        {"M4A", {"audio/mp4"}},
        {"MP1", {"audio/mpeg"}},
        {"MP2", {"audio/mp2"}},
        {"ASF", {"application/vnd.ms-asf"}},
        {"KAR", {"audio/midi"}},
        {"RMI", {"audio/midi"}},
        {"APE", {"audio/x-ape"}},
        {"PLS", {"audio/x-scpls"}},
        {"M3U", {"audio/x-mpegurl"}},
    };
    return table;
}

bool contains(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

// The audio MIME types of the file types, each once.
std::vector<std::string> audioMimeTypesOf(const std::vector<std::string>& fileTypes)
{
    std::vector<std::string> types;
    for (const std::string& fileType : fileTypes)
        for (const std::string& mime : MimeTypesOf(fileType))
            if (mime.starts_with("audio/") && !contains(types, mime))
                types.push_back(mime);
    return types;
}

// A string value of a desktop entry: backslash and control characters escaped.
std::string desktopString(const std::string& text)
{
    return platform::BackslashEscaped(text, {{'\\', '\\'}, {'\n', 'n'}, {'\t', 't'}, {'\r', 'r'}});
}

std::string withOurEntry(const std::string& list)
{
    std::string entry = std::string(kDesktopFileName) + ";";
    if (list.find(entry) == 0 || list.find(";" + entry) != std::string::npos)
        return list;
    return entry + list;
}

void notifyDesktop(const std::string& applicationsFolder)
{
    // The cache rebuild takes a second or more; nothing here needs its result,
    // so it runs on its own rather than holding up the first start's window.
    // Without the tool the desktop finds the entry on its next scan.
    platform::StartDetached("update-desktop-database", {"-q", applicationsFolder});
}

} // namespace

DesktopPaths DefaultDesktopPaths()
{
    return {platform::XdgFolder("XDG_DATA_HOME", ".local/share") + "applications/",
            platform::XdgFolder("XDG_CONFIG_HOME", ".config") + "mimeapps.list"};
}

std::vector<std::string> MimeTypesOf(const std::string& fileType)
{
    auto it = mimeTable().find(fileType);
    return it == mimeTable().end() ? std::vector<std::string>{} : it->second;
}

std::vector<std::string> FileTypesOfExtensionList(const std::string& extensions)
{
    std::vector<std::string> types;
    for (QString pattern : QString::fromStdString(extensions).split(';', Qt::SkipEmptyParts)) {
        pattern = pattern.trimmed();
        if (pattern.startsWith(QLatin1String("*.")))
            pattern.remove(0, 2);
        const std::string type = pattern.toUpper().toStdString();
        if (!type.empty() && !contains(types, type))
            types.push_back(type);
    }
    return types;
}

std::vector<std::string> ClaimableFileTypes(const std::vector<std::string>& associated,
                                            const std::vector<std::string>& playable)
{
    std::vector<std::string> claimable;
    for (const std::string& type : associated)
        if (contains(playable, type) || type == "PLS" || type == "M3U")
            claimable.push_back(type);
    return claimable;
}

std::string DesktopExecArgument(const std::string& argument)
{
    static const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
    const std::string escaped =
        platform::BackslashEscaped(argument, {{'"', '"'}, {'`', '`'}, {'$', '$'}, {'\\', '\\'}});
    bool quote = argument.empty() || argument.find_first_of(reserved) != std::string::npos;
    std::string out = quote ? "\"" + escaped + "\"" : escaped;
    // A literal percent sign is written twice in an Exec line.
    std::string result;
    for (char c : out) {
        result += c;
        if (c == '%')
            result += '%';
    }
    return result;
}

std::string DesktopEntryText(const std::string& programPath, const std::string& iconPath,
                             const std::vector<std::string>& fileTypes)
{
    const std::string program = DesktopExecArgument(programPath);
    std::string mime;
    for (const std::string& type : audioMimeTypesOf(fileTypes))
        mime += type + ";";
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Orvella\n"
                       "GenericName=Audio Player\n"
                       "Comment=Play audio files one after another\n";
    text += "Exec=" + desktopString(program + " %F") + "\n";
    text += "Icon=" + desktopString(iconPath) + "\n";
    text += "Terminal=false\n"
            "Categories=AudioVideo;Audio;Player;\n";
    if (!mime.empty())
        text += "MimeType=" + mime + "\n";
    text += "Actions=Play;Enqueue;\n"
            "\n[Desktop Action Play]\n"
            "Name=Play In Orvella\n";
    text += "Exec=" + desktopString(program + " %F") + "\n";
    text += "\n[Desktop Action Enqueue]\n"
            "Name=Enqueue In Orvella\n";
    text += "Exec=" + desktopString(program + " --enqueue %F") + "\n";
    return text;
}

bool UpdateDesktopIntegration(const DesktopPaths& paths, const std::string& programPath, const std::string& iconPath,
                              const std::vector<std::string>& fileTypes, std::string* failedFile)
{
    auto fail = [&](const std::string& file) {
        if (failedFile)
            *failedFile = file;
        return false;
    };
    const std::string entry = paths.applicationsFolder + kDesktopFileName;
    if (!platform::EnsureFolder(paths.applicationsFolder) ||
        !platform::WriteFileAtomically(entry, DesktopEntryText(programPath, iconPath, fileTypes), 0644))
        return fail(entry);

    std::string configFolder = paths.mimeappsList.substr(0, paths.mimeappsList.rfind('/'));
    if (!platform::EnsureFolder(configFolder))
        return fail(paths.mimeappsList);
    platform::ProfileFile mimeapps(paths.mimeappsList);
    std::vector<std::pair<std::string, std::string>> defaults, added;
    for (const std::string& type : audioMimeTypesOf(fileTypes)) {
        defaults.emplace_back(type, std::string(kDesktopFileName) + ";");
        added.emplace_back(type, withOurEntry(mimeapps.readString("Added Associations", type, "")));
    }
    if (!mimeapps.writeStrings("Default Applications", defaults) || !mimeapps.writeStrings("Added Associations", added))
        return fail(paths.mimeappsList);
    notifyDesktop(paths.applicationsFolder);
    return true;
}

} // namespace shell
