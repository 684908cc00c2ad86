// Tplayl: the playlist window. The playlist is two parallel lists: ListBox1,
// the hidden paths (its selection is the entry Play starts), and realbox, the
// visible captions and times (its selection is the user's highlight). Entry k
// is line k of both.
//
// The playlist commands live here as methods; each is also a QAction named
// after the command (commandAction), run through the command guard, for the
// main window's command list and this window's menus. What needs the player
// is asked for through signals.
#pragma once

#include "FileDialogs.h"
#include "PathList.h"
#include "RealboxModel.h"
#include "Shuffle.h"
#include "TitleRefresh.h"

#include "controls/DropTarget.h"

#include <QHash>
#include <QString>
#include <QTreeView>
#include <QWidget>

#include <functional>
#include <string>
#include <utility>

class QLabel;
class QMenu;
class QPushButton;

namespace playlist {

// The list view of realbox; files dropped onto it arrive through DropFileTarget1.
class RealboxView : public QTreeView {
    Q_OBJECT
  public:
    explicit RealboxView(QWidget* parent);
};

// Where the open-files and open-playlist dialogs start, and the keeper of the
// folder of the files chosen (savedpath); the program keeps them with its
// settings. A dialog without a folder starts in the current one.
struct DialogFolders {
    std::function<std::string()> files;
    std::function<std::string()> playlists;
    std::function<void(const std::string& firstChosenFile)> rememberFiles;
};

// Runs one command; shows an error that escapes it and ends the command.
using CommandGuard = std::function<void(const std::function<void()>& command)>;
// The general error box: caption "Orvella", the error's text, the error icon.
void RunShowingErrors(const std::function<void()>& command);

class Tplayl : public QWidget {
    Q_OBJECT
  public:
    explicit Tplayl(QWidget* parent = nullptr);

    TPathList ListBox1;
    TFileDialog OpenDialog1;
    TFileDialog openplay1;
    TFileDialog Saveplaydialog1;
    TDropFileTarget DropFileTarget1; // on realbox

    // Set by each caller right before procusme.
    int RefreshFirst = 0;
    int RefreshLast = -1;
    bool RefreshTimes = false;
    bool RefreshRenumber = false;

    RealboxView* realbox() const { return realbox_; }
    const RealboxModel& realboxItems() const { return *realboxModel_; }
    int Count() const { return ListBox1.Count(); }
    int Highlighted() const; // the highlighted realbox row, -1 for none
    void Highlight(int row); // -1 clears the highlight

    // The index of the entry last started, as decimal text ("0" at start).
    // Setting it marks that entry in realbox as the playing one.
    const QString& playindex() const { return playindex_; }
    void setPlayindex(const QString& text);

    // From the preferences: title format 0 to 4, numbering, "Shuffle And Go".
    int titleFormat() const { return titleFormat_; }
    void setTitleFormat(int index) { titleFormat_ = index; }
    bool numbering() const { return numbering_; }
    void setNumbering(bool on) { numbering_ = on; }
    bool shuffleAndGo() const { return shuffleAndGo_; }
    void setShuffleAndGo(bool on) { shuffleAndGo_ = on; }
    // Replaces the run's clock seed of the shuffle, for a known order.
    void setShuffleSeed(uint32_t seed) { shuffleGenerator_ = ShuffleGenerator(seed); }

    // The player's native and plug-in extension lists ("*.wav;*.mp3;"), asked
    // for whenever the open-files dialog is built.
    void setFileExtensions(std::function<std::pair<QString, QString>()> source) { fileExts_ = std::move(source); }
    // Asked by the title refresh for entries that no reader recognises.
    void setPluginFileInfo(PluginFileInfoSource source) { pluginFileInfo_ = std::move(source); }
    void setCommandGuard(CommandGuard guard) { guard_ = std::move(guard); }
    void setDialogFolders(DialogFolders folders) { dialogFolders_ = std::move(folders); }
    // "clearplaylistbt1", "deletebt1", "cropbt1", "openbt1", "additemsbt1",
    // "shuffleact", "loadplbt1", "saveplbt1", "playnow", "deletenow"; null for
    // any other name.
    QAction* commandAction(const QString& name) const { return actions_.value(name); }

    // Commands.
    void clearplaylistbt1();
    void deletebt1();
    void cropbt1();
    void openbt1();
    void additemsbt1();
    void loadfiles1();
    void addaction1();
    void shuffleact();
    void procusme();
    void renumber();
    void loadplaction();
    void loadmultipl1();
    void loadplbt1();
    void saveplbt1();
    void savedpath();
    void playnow();
    void deletenow() { deletebt1(); }
    void realboxDblClick();
    void DropFileTarget1Drop(const QStringList& files);

    // Appends the entries of a playlist file named from elsewhere (command
    // line, another instance, a drop) through openplay1 and loadplaction.
    void AddPlaylistFile(const QString& fileName);

    // The saved playlist: captions and times come back as they were shown,
    // without reading the audio files.
    void RestoreSavedPlaylist(const std::string& folder);
    void SaveSavedPlaylist(const std::string& folder) const;

    // Where a button's pop-up menu opens, in screen coordinates.
    QPoint PopupPosition(const QPushButton* button, const QMenu* menu) const;

  signals:
    void playRequested();         // playbt1
    void playSelectedRequested(); // realbxdblclick1: stop, then Play

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void createControls();
    void createActions();
    void createMenus();
    void layoutControls(); // the panels at the bottom, the list above them
    QAction* addCommand(const QString& name, const QString& caption, void (Tplayl::*command)());
    void runGuarded(const std::function<void()>& command);
    bool showOpenFilesDialog(const QString& title);
    void selectBoth(int index);
    // playindex back to "0" when the list is rebuilt: no entry is marked.
    void resetPlayindex();

    RealboxModel* realboxModel_;
    RealboxView* realbox_;
    QWidget* Panel1_;
    QWidget* Panel2_;
    QLabel* makerLabel_;
    QPushButton* pladd1_;
    QPushButton* plrem1_;
    QPushButton* plshf1_;
    QPushButton* plmng1_;
    QMenu* addpop_;
    QMenu* rempop_;
    QMenu* miscpop_;
    QMenu* playpop_;
    QHash<QString, QAction*> actions_;

    QString playindex_ = QStringLiteral("0");
    int titleFormat_ = 0;
    bool numbering_ = true;
    bool shuffleAndGo_ = false;
    ShuffleGenerator shuffleGenerator_ = ShuffleGenerator::FromClock();
    std::function<std::pair<QString, QString>()> fileExts_;
    PluginFileInfoSource pluginFileInfo_;
    DialogFolders dialogFolders_;
    CommandGuard guard_ = RunShowingErrors;
};

} // namespace playlist
