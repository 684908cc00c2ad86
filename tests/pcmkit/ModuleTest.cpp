// The built plug-in as a host sees it: one export, the network library found
// beside it, and its settings dialog in a library of its own.

#include "platform/dynlib.h"
#include "platform/folders.h"
#include "platform/profile.h"
#include "platform/winmsg.h"
#include "player/plugin_api.h"

#include "support/TempDir.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>

#include <filesystem>

namespace {

const std::string kPlugin = std::string(ORVELLA_PROGRAM_DIR) + "Plugins/in_pcmkit.so";

} // namespace

TEST(Module, ExportsOnlyItsEntryPoint)
{
    QProcess nm;
    nm.start("nm", {"-D", "--defined-only", QString::fromStdString(kPlugin)});
    ASSERT_TRUE(nm.waitForFinished(10000));
    QStringList symbols = QString(nm.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(symbols.size(), 1);
    EXPECT_TRUE(symbols[0].endsWith(" T tovarroGetInModule2"));

    platform::DynamicLibrary library;
    ASSERT_TRUE(library.open(kPlugin)) << library.error();
    auto get = library.function<GetInModuleFunc>(PLUGIN_EXPORT_NAME);
    ASSERT_NE(get, nullptr);
    TInModule* m = get();
    ASSERT_EQ(m, get()); // the same record every time
    EXPECT_EQ(m->Version, 0x100);
    EXPECT_EQ(m->MainWindow, nullptr); // the host's fields are left to the host
}

TEST(Module, UsesTheNetworkLibraryFoundBesideIt)
{
    testsupport::TempDir dir;
    std::filesystem::copy_file(kPlugin, dir.file("in_pcmkit.so"));
    std::filesystem::copy_file(std::string(ORVELLA_PROGRAM_DIR) + "../tests/netfetch/netfetch.so",
                               dir.file("netfetch.so"));
    platform::DynamicLibrary library;
    ASSERT_TRUE(library.open(dir.file("in_pcmkit.so"))) << library.error();
    TInModule* m = library.function<GetInModuleFunc>(PLUGIN_EXPORT_NAME)();
    HWND window = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    m->MainWindow = window;
    m->DLLInstance = library.handle();
    m->Init();

    char title[256];
    int length = 0;
    m->GetFileInfo("fake:one second", title, &length);
    EXPECT_EQ(length, 1000);
    EXPECT_STREQ(title, "fake:one second");
    platform::DynamicLibrary fake;
    ASSERT_TRUE(fake.open(dir.file("netfetch.so")));
    EXPECT_EQ(fake.function<int (*)()>("netfetchTagAtOpen")(), 0);
    m->GetFileInfo("elsewhere:one second", title, &length); // not the library's: a missing file
    EXPECT_EQ(length, 0);

    m->Quit();
    DestroyWindow(window);
}

TEST(Module, SettingsDialogChangesThePluginItLoadsFrom)
{
    // The plug-in keeps its settings beside the host program.
    std::string ini = platform::ProgramPath();
    ini = ini.substr(0, ini.rfind('.') > ini.rfind('/') ? ini.rfind('.') : ini.size()) + ".ini";
    std::remove(ini.c_str());
    platform::DynamicLibrary library;
    ASSERT_TRUE(library.open(kPlugin)) << library.error();
    TInModule* m = library.function<GetInModuleFunc>(PLUGIN_EXPORT_NAME)();
    HWND window = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    m->MainWindow = window;
    m->DLLInstance = library.handle();
    m->Init();
    ASSERT_STREQ(m->FileExtensions, "WAV");

    // Downmix on and WAV off, then OK, once the dialog is up.
    bool seen = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || seen)
            return;
        seen = true;
        dialog->findChild<QCheckBox*>("cfg_mono")->setChecked(true);
        dialog->findChild<QListWidget*>("cfg_ext_mask")->item(0)->setSelected(false);
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    driver.start(10);
    m->Config(window);
    driver.stop();
    EXPECT_TRUE(seen);
    EXPECT_STREQ(m->FileExtensions, "VOC"); // the list offered to the host follows at once

    m->Quit();
    DestroyWindow(window);
    EXPECT_EQ(platform::ProfileFile(ini).readString("IN_PCMKIT", "cfg_mono", ""), "1");
    std::remove(ini.c_str());
}
