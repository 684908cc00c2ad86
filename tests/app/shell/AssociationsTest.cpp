#include "Associations.h"
#include "DesktopIntegration.h"

#include "platform/folders.h"
#include "platform/profile.h"
#include "support/TempDir.h"

#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <sys/stat.h>

using platform::Registry;
using platform::RegistryRoot;
using shell::Associations;
using testsupport::TempDir;

namespace {
constexpr auto HKCR = RegistryRoot::ClassesRoot;
const std::string X = "/opt/Orvella Player/orvella";
} // namespace

TEST(Associations, OneExtensionWritesEveryEntryWithItsExactValue)
{
    TempDir dir;
    Registry reg(dir.file("registry"));
    Associations assoc(reg, X, "orvella");
    assoc.AssociateExtension(".MP3");

    const std::string ft = "Orvella Audio File";
    const std::vector<std::pair<std::string, std::string>> expected = {
        {".MP3", ft},
        {ft, "Orvella Media"},
        {ft + "\\shell\\Play In Orvella\\command", X + " \"%1\""},
        {ft + "\\shell\\Play In Orvella\\ddeexec", "[Open(\"%1\")]"},
        {ft + "\\shell\\Play In Orvella\\ddeexec\\Application", "orvella"},
        {ft + "\\shell\\Play In Orvella\\ddeexec\\topic", "Macros"},
        {ft + "\\shell\\Enqueue In Orvella\\command", X + " \"%1\""},
        {ft + "\\shell\\Enqueue In Orvella\\ddeexec", "[Enqueue(\"%1\")]"},
        {ft + "\\shell\\Enqueue In Orvella\\ddeexec\\Application", "orvella"},
        {ft + "\\shell\\Enqueue In Orvella\\ddeexec\\topic", "Macros"},
        {ft + "\\shell\\Open\\command", X + " \"%1\""},
        {ft + "\\shell\\Open\\ddeexec", "[Open(\"%1\")]"},
        {ft + "\\shell\\Open\\ddeexec\\Application", "orvella"},
        {ft + "\\shell\\Open\\ddeexec\\topic", "Macros"},
        {ft + "\\DefaultIcon", X + ",0"},
    };
    for (const auto& [key, value] : expected)
        EXPECT_EQ(reg.readString(HKCR, key, ""), value) << key;
    EXPECT_EQ(reg.subKeys(HKCR, ft + "\\shell"),
              (std::vector<std::string>{"Enqueue In Orvella", "Open", "Play In Orvella"}));
    EXPECT_EQ(assoc.AssociatedFileTypes(), std::vector<std::string>{"MP3"});
}

TEST(Associations, RemovingAnAssociationLeavesAnotherProgramsFileType)
{
    TempDir dir;
    Registry reg(dir.file("registry"));
    reg.writeString(HKCR, ".OGG", "", "OtherPlayer.ogg");
    reg.writeString(HKCR, "OtherPlayer.ogg\\shell\\open\\command", "", "/usr/bin/other %1");
    Associations assoc(reg, X, "orvella");
    assoc.AssociateExtension(".OGG");
    EXPECT_EQ(reg.readString(HKCR, ".OGG", ""), "Orvella Audio File");
    EXPECT_EQ(reg.readString(HKCR, "OtherPlayer.ogg\\shell\\open\\command", ""), "/usr/bin/other %1");

    assoc.RemoveAssociation(".OGG");
    EXPECT_FALSE(reg.keyExists(HKCR, ".OGG"));
    EXPECT_FALSE(reg.keyExists(HKCR, "Orvella Audio File")); // ours goes with it
    EXPECT_THROW(assoc.RemoveAssociation(""), shell::RegistryError);
    try {
        assoc.RemoveAssociation("");
    } catch (const shell::RegistryError& e) {
        EXPECT_STREQ(e.what(), "FileType has not been set");
    }
}

TEST(Associations, AKeyThatCannotBeCreatedStopsWithTheRightsMessage)
{
    TempDir dir;
    std::string store = dir.file("registry");
    Registry reg(store);
    reg.writeString(RegistryRoot::CurrentUser, "Software", "", "");
    ::chmod(store.c_str(), 0444);
    Associations assoc(reg, X, "orvella");
    try {
        assoc.AssociateExtension(".WAV");
        FAIL() << "no error";
    } catch (const shell::RegistryError& e) {
        EXPECT_STREQ(e.what(), "Cannot create key .WAV, the user account may not have the required rights to "
                               "create registry keys under HKEY_CLASSES_ROOT.");
    }
}

TEST(Associations, ServiceNameIsTheFileNameUpToItsFirstDot)
{
    EXPECT_EQ(shell::ServiceName("/opt/x.y/orvella"), "orvella");
    EXPECT_EQ(shell::ServiceName("/opt/bin/orvella.real.bin"), "orvella");
    EXPECT_EQ(shell::ServiceName("orvella"), "orvella");
}

TEST(DesktopIntegration, TheEntryValidatesAndQuotesAwkwardPaths)
{
    TempDir dir;
    const std::string program = "/opt/My \"Best\" $Apps 100%/orvella";
    std::string text = shell::DesktopEntryText(program, "/opt/icons/orvella.svg", {"MP3", "OGG", "CDA", "M3U"});
    EXPECT_NE(text.find("Exec=\"/opt/My \\\\\"Best\\\\\" \\\\$Apps 100%%/orvella\" %F\n"), std::string::npos) << text;
    EXPECT_NE(text.find("MimeType=audio/mpeg;audio/ogg;audio/x-vorbis+ogg;audio/x-mpegurl;\n"), std::string::npos);
    EXPECT_NE(text.find("[Desktop Action Enqueue]\nName=Enqueue In Orvella\n"), std::string::npos);
    EXPECT_NE(text.find("--enqueue %F"), std::string::npos);

    QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    ASSERT_FALSE(validator.isEmpty()) << "desktop-file-utils is missing";
    testsupport::WriteFile(dir.file("orvella.desktop"), text);
    QProcess check;
    check.start(validator, {QString::fromStdString(dir.file("orvella.desktop"))});
    ASSERT_TRUE(check.waitForFinished(10000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString();
    EXPECT_TRUE(check.readAllStandardOutput().trimmed().isEmpty()); // not even a hint
}

TEST(DesktopIntegration, LineBreaksInPathsCannotAddKeysToTheEntry)
{
    const std::string text = shell::DesktopEntryText("/opt/orvella", "/opt/icons\nNoDisplay=true\r\t.svg", {"MP3"});
    EXPECT_NE(text.find("Icon=/opt/icons\\nNoDisplay=true\\r\\t.svg\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("\nNoDisplay="), std::string::npos);
}

TEST(DesktopIntegration, DefaultsAreSetAndOtherProgramsEntriesKept)
{
    TempDir dir;
    shell::DesktopPaths paths{dir.path() + "share/applications/", dir.path() + "config/mimeapps.list"};
    platform::EnsureFolder(dir.path() + "config");
    testsupport::WriteFile(paths.mimeappsList, "[Default Applications]\ntext/plain=editor.desktop;\n"
                                               "audio/mpeg=other.desktop;\n[Added Associations]\n"
                                               "audio/mpeg=other.desktop;\n");
    ASSERT_TRUE(shell::UpdateDesktopIntegration(paths, X, "/opt/orvella.svg", {"MP3", "WAV"}));
    EXPECT_TRUE(testsupport::FileExists(paths.applicationsFolder + "orvella.desktop"));
    platform::ProfileFile mimeapps(paths.mimeappsList);
    EXPECT_EQ(mimeapps.readString("Default Applications", "audio/mpeg", ""), "orvella.desktop;");
    EXPECT_EQ(mimeapps.readString("Default Applications", "audio/x-wav", ""), "orvella.desktop;");
    EXPECT_EQ(mimeapps.readString("Default Applications", "text/plain", ""), "editor.desktop;");
    EXPECT_EQ(mimeapps.readString("Added Associations", "audio/mpeg", ""), "orvella.desktop;other.desktop;");
    ASSERT_TRUE(shell::UpdateDesktopIntegration(paths, X, "/opt/orvella.svg", {"MP3"}));
    EXPECT_EQ(mimeapps.readString("Added Associations", "audio/mpeg", ""), "orvella.desktop;other.desktop;");
}
