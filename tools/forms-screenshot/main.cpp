// Shows the equalizer, presets, preferences (each page) and about windows one
// after another and saves a picture of each: forms-screenshot FOLDER
#include "equalizer/EqualizerWindow.h"
#include "equalizer/PresetsWindow.h"
#include "platform/folders.h"
#include "platform/msgbox.h"
#include "player/AudioPlayer.h"
#include "player/PluginHost.h"
#include "prefs/AboutBox.h"
#include "prefs/PreferencesWindow.h"

#include <QApplication>
#include <QDir>
#include <QThread>

#include <cstdio>

namespace {

bool shoot(QWidget& window, const QString& folder, const QString& name)
{
    window.show();
    window.raise();
    for (int pass = 0; pass < 10; ++pass) {
        QApplication::processEvents();
        QThread::msleep(20);
    }
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    const bool saved = window.grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(path));
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    platform::InstallQtMessageBoxPresenter();
    // The windows and the player look for their files in the program folder, beside tools/.
    platform::SetProgramFolder(
        QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../orvella")).absolutePath().toStdString() +
        "/");

    player::TAudioPlayer player;
    player::LoadPlugin("in_pcmkit.so");
    bool ok = true;

    TEqualizerform equalizer(player);
    // A curve, so the bands show their range.
    const int curve[10] = {22, 20, 17, 15, 13, 12, 14, 17, 21, 24};
    for (int n = 1; n <= 10; ++n)
        equalizer.band(n)->setValue(curve[n - 1]);
    equalizer.eqcheck->setChecked(true);
    equalizer.EchoSlider->setValue(12);
    equalizer.ReverbSlider->setValue(20);
    equalizer.cbreverb->setChecked(true);
    ok &= shoot(equalizer, folder, QStringLiteral("equalizer"));

    Tpresetform& presets = *equalizer.presetform();
    ok &= shoot(presets, folder, QStringLiteral("presets"));
    presets.hide();
    equalizer.hide();

    Tprefform prefs(player);
    prefs.ShowPage(QStringLiteral("Plugins"));
    prefs.SelectGridRow(1);
    ok &= shoot(prefs, folder, QStringLiteral("preferences-plugins"));
    prefs.ShowPage(QStringLiteral("Playlist"));
    prefs.shuffgo->setChecked(true);
    prefs.TrackBar1->setValue(60);
    ok &= shoot(prefs, folder, QStringLiteral("preferences-playlist"));
    prefs.ShowPage(QStringLiteral("File Types"));
    for (int k : {0, 1, 2, 4, 18, 19})
        prefs.CheckfileBox->item(k)->setCheckState(Qt::Checked);
    ok &= shoot(prefs, folder, QStringLiteral("preferences-filetypes"));
    prefs.hide();

    TForm2 about;
    ok &= shoot(about, folder, QStringLiteral("about"));
    return ok ? 0 : 1;
}
