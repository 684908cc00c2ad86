// Tprefform: the preferences window. A tree on the left picks one of three
// pages: the input plug-ins (available, loaded, their dialogs, priority), the
// playlist (shuffle, randomity, title format, numbering) and the file types
// the program is associated with. Plain settings are read and written by the
// main window as PreferenceValues; the buttons act here or ask the main
// window through signals.
#pragma once

#include "PreferenceValues.h"

#include "platform/wintypes.h"
#include "player/AudioPlayer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QStringList>
#include <QTableWidget>
#include <QTreeWidget>
#include <QWidget>

class TUrlLabel;
class WindowMover;

class Tprefform : public QWidget {
    Q_OBJECT
  public:
    // The grid's rows, the header row included.
    static constexpr int GridRowCount = 9;

    explicit Tprefform(player::TAudioPlayer& player, QWidget* parent = nullptr);
    ~Tprefform() override;

    QTreeWidget* TreeView1;
    QGroupBox* PreferencesBox;
    QStackedWidget* plugincontrol1;
    QWidget *inputplug, *shuffler, *filtypprefs; // the pages

    // "Plugins"
    QTableWidget* plugingrid; // rows 1..8 of the grid; its header is row 0
    QListWidget* pluginlist;
    QPushButton* uninstallButton() const { return Button1; }
    QPushButton* installButton() const { return Button2; }
    QPushButton* configureButton() const { return Button3; }
    QPushButton* aboutButton() const { return Button4; }
    QPushButton* essentialButton() const { return Button5; }
    QCheckBox* plugcheck;
    TUrlLabel* UrlLabel1;

    // "Playlist"
    QCheckBox *shuffgo, *smoothshuff, *numplay1;
    QSlider* TrackBar1;
    QComboBox* playparse1;
    QPushButton* playparapply;

    // "File Types"
    QListWidget* CheckfileBox;
    QPushButton* allTypesButton() const { return Button9; }
    QPushButton* noTypesButton() const { return Button8; }
    QPushButton* associateButton() const { return Button6; }
    QList<QLabel*> FileTypePictures;

    static const QStringList& FileTypeNames();
    static const QStringList& TitleFormatNames();

    // Grid rows in use: 0 until the "Plugins" page was first filled.
    int LoadedRows() const { return loadedRows_; }
    // The text of a grid cell; row 1..8 below the header, column 0..2.
    QString GridCell(int row, int column) const;
    // The selected grid row (1..8), 0 for none.
    int SelectedGridRow() const;
    void SelectGridRow(int row);

    // The settings the controls hold, and setting them all (as the user
    // would, so the window's signals follow).
    PreferenceValues values() const;
    void setValues(const PreferenceValues& values);

    // Shows the page of that name ("Plugins", "Playlist", "File Types") as the tree would.
    void ShowPage(const QString& name);

    // Buttons.
    void FillPluginsPage();
    void InstallPlugin();
    void UninstallPlugin();
    void ConfigurePlugin();
    void AboutPlugin();
    void LoadEssentialPlugins();
    void CheckAllFileTypes(bool checked);

    // Where the plug-in libraries are: Plugins/ below the program folder.
    static QString PluginFolder();

  signals:
    void applyTitleFormatRequested(); // "Apply": refresh every title, renumbering
    void associateRequested();        // "Associate"
    void settingsChanged();           // "Shuffle And Go", numbering or title format changed

  private:
    void createControls();
    void createPluginsPage();
    void createPlaylistPage();
    void createFileTypesPage();
    void connectControls();
    void treeSelectionChanged();
    void refillGrid();
    void clearGridRows();
    QStringList pluginFiles(const QString& pattern) const;
    // The file name of the selected grid row, empty when none or an empty row is selected.
    QString selectedPluginFile() const;
    void confirm(const char* text) const;
    // The plug-in's settings or about dialog, over this window.
    using PluginDialog = void (*TInModule::*)(HWND parent);
    void showPluginDialog(const char* noneLoaded, const char* noneSelected, PluginDialog dialog);

    player::TAudioPlayer& player_;
    HWND handle_; // the owner the plug-ins' dialogs and the message boxes open over
    int loadedRows_ = 0;
    WindowMover* mover_;
    QPushButton *Button1, *Button2, *Button3, *Button4, *Button5; // "Plugins"
    QPushButton *Button9, *Button8, *Button6;                     // "File Types"
};
