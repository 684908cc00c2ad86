// The built plug-in as a host sees it: one export, and the network library
// found beside it.

#include "platform/dynlib.h"
#include "platform/winmsg.h"
#include "player/plugin_api.h"

#include "support/TempDir.h"

#include <QProcess>
#include <gtest/gtest.h>

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
