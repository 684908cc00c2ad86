#include "PlaylistWindow.h"

#include "FolderFiles.h"
#include "OpenFilter.h"
#include "PlaylistFiles.h"
#include "PlaylistText.h"
#include "SavedPlaylist.h"
#include "Shuffle.h"
#include "TitleRefresh.h"

#include "controls/FormBuilder.h"
#include "controls/OuterGeometry.h"
#include "controls/WindowMover.h"
#include "platform/folders.h"
#include "platform/msgbox.h"
#include "platform/text.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include <algorithm>
#include <exception>

namespace playlist {
namespace {

constexpr int PanelHeight = 28;
constexpr int Panel2Width = 150;
constexpr int TimeColumnWidth = 42;
constexpr int SongsColumnMargin = 68; // window width minus the "Songs" column
const QString MakerName = QStringLiteral("KORVANE");

QString folderFrom(const std::function<std::string()>& source)
{
    return source ? platform::PathString(source()) : QString();
}

} // namespace

void RunShowingErrors(const std::function<void()>& command)
{
    try {
        command();
    } catch (const std::exception& error) {
        MessageBox(nullptr, error.what(), "Orvella", MB_OK | MB_ICONERROR);
    }
}

RealboxView::RealboxView(QWidget* parent) : QTreeView(parent)
{
    setDragDropMode(QAbstractItemView::DropOnly);
}

Tplayl::Tplayl(QWidget* parent) : QWidget(parent, Qt::Window)
{
    createControls();
    createActions();
    createMenus();

    openplay1.Title = QStringLiteral("Open Your Playlist");
    openplay1.Filter =
        QStringLiteral("Pls/M3u Playlists|*.pls;*.m3u|Pls Playlists(*.pls)|*.pls|M3u Playlists(*.m3u)|*.m3u");
    Saveplaydialog1.kind = TFileDialog::Save;
    Saveplaydialog1.Title = QStringLiteral("Save Your Playlist");
    Saveplaydialog1.Filter = QStringLiteral("PLS Playlist (*.pls)|*.pls|M3U Playlist (*.m3u)|*.m3u");
    OpenDialog1.MultiSelect = true;
}

void Tplayl::createControls()
{
    setWindowTitle(QStringLiteral("Playlist"));
    SetOuterMinimumSize(*this, {300, 260});
    resize(300, 315);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    realboxModel_ = new RealboxModel(this);
    realbox_ = new RealboxView(this);
    realbox_->setObjectName(QStringLiteral("realbox"));
    realbox_->setModel(realboxModel_);
    realbox_->setHeaderHidden(true);
    realbox_->setRootIsDecorated(false);
    realbox_->setUniformRowHeights(true); // keeps a long list quick
    realbox_->setItemsExpandable(false);
    realbox_->setSelectionMode(QAbstractItemView::SingleSelection);
    realbox_->setSelectionBehavior(QAbstractItemView::SelectRows);
    realbox_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    realbox_->setFont(DesignFont(DesignFace::Arial, 11, true));
    realbox_->header()->setStretchLastSection(false);
    QPalette list = realbox_->palette();
    list.setColor(QPalette::Text, Qt::black);
    // The highlight stays visible while the window is inactive.
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        list.setColor(QPalette::Inactive, role, list.color(QPalette::Active, role));
    realbox_->setPalette(list);
    connect(realbox_, &QAbstractItemView::doubleClicked, this, [this] { runGuarded([this] { playHighlighted(); }); });
    // Link, as ever, when the source offers it; Wayland file managers offer
    // only copy and move, so copy is taken too. Never move: the source would
    // delete its files.
    DropFileTarget1.Dragtypes = dtCopy | dtLink;
    DropFileTarget1.OnGetDropEffect = [](TDropTarget&, Qt::KeyboardModifiers, QPoint, TDropEffect& effect) {
        effect = (effect & DROPEFFECT_LINK) ? DROPEFFECT_LINK : effect & DROPEFFECT_COPY;
    };
    DropFileTarget1.Register(realbox_);
    DropFileTarget1.OnDrop = [this](TDropTarget&, Qt::KeyboardModifiers, QPoint, TDropEffect&) {
        const QStringList files = DropFileTarget1.Files;
        runGuarded([this, files] { addDroppedFiles(files); });
    };

    Panel1_ = new QWidget(this);
    Panel2_ = new QWidget(Panel1_);
    const QFont buttonFont = DesignFont(DesignFace::Arial, 11);
    auto button = [&](QWidget* parent, const char* name, const QString& text, QRect at) {
        QPushButton* b = makeButton(parent, name, text, at, buttonFont);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    pladd1_ = button(Panel1_, "pladd1", QStringLiteral("Add"), {8, 5, 33, 17});
    plrem1_ = button(Panel1_, "plrem1", QStringLiteral("Rem"), {48, 5, 33, 17});
    plshf1_ = button(Panel1_, "plshf1", QStringLiteral("Misc"), {88, 5, 49, 17});
    plmng1_ = button(Panel2_, "plmng1", QStringLiteral("Manage"), {84, 5, 61, 17});
    makerLabel_ = new QLabel(MakerName, Panel2_);
    makerLabel_->setFont(DesignFont(DesignFace::Tahoma, 11));
    makerLabel_->setGeometry(10, 6, 70, 15);

    layoutControls();

    auto* mover = new WindowMover(this);
    mover->addSurface(Panel1_);
    mover->addSurface(Panel2_);
}

QAction* Tplayl::addCommand(const QString& name, const QString& caption, void (Tplayl::*command)())
{
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this,
            [this, command] { runGuarded([this, command] { (this->*command)(); }); });
    actions_.insert(name, action);
    return action;
}

void Tplayl::createActions()
{
    addCommand(QStringLiteral("additemsbt1"), QStringLiteral("Add Files.."), &Tplayl::additemsbt1);
    addCommand(QStringLiteral("openbt1"), QStringLiteral("Clear And Add.."), &Tplayl::openbt1);
    addCommand(QStringLiteral("deletebt1"), QStringLiteral("Delete Selected"), &Tplayl::deletebt1);
    addCommand(QStringLiteral("cropbt1"), QStringLiteral("Crop Selected"), &Tplayl::cropbt1);
    addCommand(QStringLiteral("clearplaylistbt1"), QStringLiteral("Clear Playlist"), &Tplayl::clearplaylistbt1);
    addCommand(QStringLiteral("shuffleact"), QStringLiteral("Shuffle"), &Tplayl::shuffleact);
    addCommand(QStringLiteral("loadplbt1"), QStringLiteral("Open Playlist"), &Tplayl::loadplbt1);
    addCommand(QStringLiteral("saveplbt1"), QStringLiteral("Save Playlist"), &Tplayl::saveplbt1);

    // Enter and Delete act on the highlighted entry while this window is active.
    QAction* play = addCommand(QStringLiteral("playnow"), QStringLiteral("playnow"), &Tplayl::playnow);
    play->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    QAction* remove = addCommand(QStringLiteral("deletenow"), QStringLiteral("Delete Selected"), &Tplayl::deletenow);
    remove->setShortcut(QKeySequence(Qt::Key_Delete));
    for (QAction* action : {play, remove}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
}

void Tplayl::createMenus()
{
    auto menu = [this](const char* name, std::initializer_list<const char*> commands) {
        auto* m = new QMenu(this);
        m->setObjectName(QString::fromLatin1(name));
        for (const char* command : commands)
            m->addAction(actions_.value(QString::fromLatin1(command)));
        return m;
    };
    addpop_ = menu("addpop", {"additemsbt1", "openbt1"});
    rempop_ = menu("rempop", {"deletebt1", "cropbt1", "clearplaylistbt1"});
    miscpop_ = menu("miscpop", {"shuffleact"});
    playpop_ = menu("playpop", {"loadplbt1", "saveplbt1", "clearplaylistbt1"});
    const std::pair<QPushButton*, QMenu*> bindings[] = {
        {pladd1_, addpop_}, {plrem1_, rempop_}, {plshf1_, miscpop_}, {plmng1_, playpop_}};
    for (const auto& binding : bindings) {
        QPushButton* button = binding.first;
        QMenu* popup = binding.second;
        connect(button, &QPushButton::clicked, this,
                [this, button, popup] { popup->popup(PopupPosition(button, popup)); });
    }
}

QPoint Tplayl::PopupPosition(const QPushButton* button, const QMenu* menu) const
{
    // Opened upwards so that the last item lies over the button.
    const int items = int(menu->actions().size());
    const bool onPanel2 = button->parentWidget() == Panel2_;
    const int x = pos().x() + (onPanel2 ? Panel2_->x() : 0) + button->x();
    const int y = pos().y() + realbox_->height() + button->y() - (items - 1) * button->height() + (onPanel2 ? 1 : 0);
    return {x, y};
}

void Tplayl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutControls();
}

void Tplayl::layoutControls()
{
    realbox_->setGeometry(0, 0, width(), height() - PanelHeight);
    Panel1_->setGeometry(0, height() - PanelHeight, width(), PanelHeight);
    Panel2_->setGeometry(width() - Panel2Width, 0, Panel2Width, PanelHeight);
    realbox_->header()->resizeSection(0, width() - SongsColumnMargin);
    realbox_->header()->resizeSection(1, TimeColumnWidth);
}

void Tplayl::runGuarded(const std::function<void()>& command)
{
    guard_(command);
}

int Tplayl::Highlighted() const
{
    const QModelIndexList rows = realbox_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void Tplayl::Highlight(int row)
{
    if (row < 0 || row >= realboxModel_->Count()) {
        realbox_->selectionModel()->clearSelection();
        return;
    }
    const QModelIndex index = realboxModel_->index(row, 0);
    realbox_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    realbox_->scrollTo(index);
}

void Tplayl::selectBoth(int index)
{
    ListBox1.setItemIndex(index);
    Highlight(index);
}

void Tplayl::setPlayindex(const QString& text)
{
    playindex_ = text;
    realboxModel_->SetPlayingRow(text.toInt());
}

void Tplayl::resetPlayindex()
{
    playindex_ = QStringLiteral("0");
    realboxModel_->SetPlayingRow(-1);
}

void Tplayl::clearplaylistbt1()
{
    realboxModel_->Clear();
    ListBox1.Clear();
    resetPlayindex();
}

void Tplayl::deletebt1()
{
    const int i = Highlighted();
    // Without a highlighted entry there is nothing to delete.
    if (Count() == 0 || i < 0 || i >= Count())
        return;
    ListBox1.setItemIndex(i);
    const int n = Count();
    realboxModel_->Delete(i);
    ListBox1.Delete(i);
    if (i != 0 && i == n - 1)
        selectBoth(i - 1);
    else if (!(i == 0 && n == 1))
        selectBoth(i);
}

void Tplayl::cropbt1()
{
    if (Count() == 0 || Highlighted() < 0)
        return;
    if (ListBox1.ItemIndex() < 0)
        ListBox1.setItemIndex(Highlighted());
    // The entry kept is ListBox1's, which need not be the highlighted one.
    std::string kept = ListBox1[ListBox1.ItemIndex()];
    realboxModel_->Clear();
    ListBox1.Clear();
    ListBox1.Add(std::move(kept));
    ListBox1.setItemIndex(0);
    RefreshFirst = 0;
    RefreshLast = 0;
    RefreshTimes = true;
    RefreshRenumber = true;
    procusme();
    Highlight(0);
}

bool Tplayl::showOpenFilesDialog(const QString& title)
{
    const auto [native, plugins] = fileExts_ ? fileExts_() : std::pair<QString, QString>();
    OpenDialog1.Title = title;
    OpenDialog1.FilterIndex = 1;
    OpenDialog1.FileName.clear();
    OpenDialog1.Files.clear();
    OpenDialog1.Filter = BuildOpenFilesFilter(native, plugins);
    OpenDialog1.InitialDir = folderFrom(dialogFolders_.files);
    if (!ExecuteFileDialog(OpenDialog1, this) || OpenDialog1.Files.isEmpty())
        return false;
    // The current folder follows the files chosen, as after a file dialog.
    QDir::setCurrent(QFileInfo(OpenDialog1.Files.first()).absolutePath());
    return true;
}

void Tplayl::openbt1()
{
    if (!showOpenFilesDialog(QStringLiteral("Select Files To Open")))
        return;
    clearplaylistbt1();
    resetPlayindex();
    if (OpenDialog1.FilterIndex == PlaylistsFilterIndex)
        loadmultipl1();
    else
        loadfiles1();
    savedpath();
}

void Tplayl::additemsbt1()
{
    if (!showOpenFilesDialog(QStringLiteral("Select Files To Add")))
        return;
    if (OpenDialog1.FilterIndex == PlaylistsFilterIndex)
        loadmultipl1();
    else
        addaction1();
    savedpath();
}

void Tplayl::loadfiles1()
{
    if (OpenDialog1.Files.isEmpty())
        return;
    std::vector<std::string> paths;
    paths.reserve(size_t(OpenDialog1.Files.size()));
    for (const QString& file : OpenDialog1.Files)
        paths.push_back(platform::PathBytes(file));
    ListBox1.Assign(std::move(paths));
    ListBox1.setItemIndex(0);
    RefreshFirst = 0;
    RefreshLast = Count() - 1;
    RefreshTimes = true;
    RefreshRenumber = true;
    procusme();
}

void Tplayl::addaction1()
{
    const int k = playindex_.toInt();
    if (OpenDialog1.Files.isEmpty())
        return;
    RefreshFirst = Count();
    for (const QString& file : OpenDialog1.Files)
        ListBox1.Add(platform::PathBytes(file));
    ListBox1.setItemIndex(k);
    RefreshLast = Count() - 1;
    RefreshTimes = true;
    RefreshRenumber = true;
    procusme();
    Highlight(0);
}

void Tplayl::loadmultipl1()
{
    const int m = Count();
    for (const QString& file : OpenDialog1.Files) {
        const std::string path = platform::PathBytes(file);
        if (IsPlaylistFileName(path))
            ListBox1.Append(ReadPlaylistFile(path));
    }
    RefreshFirst = 0;
    RefreshLast = Count() - 1;
    RefreshTimes = true;
    RefreshRenumber = true;
    procusme();
    if (m == 0)
        selectBoth(0);
}

void Tplayl::loadplaction()
{
    if (openplay1.FileName.isEmpty())
        return;
    ListBox1.Append(ReadPlaylistFile(platform::PathBytes(openplay1.FileName)));
}

void Tplayl::AddPlaylistFile(const QString& fileName)
{
    openplay1.FileName = fileName;
    try {
        loadplaction();
    } catch (...) {
        openplay1.FileName.clear();
        throw;
    }
    openplay1.FileName.clear();
}

void Tplayl::loadplbt1()
{
    openplay1.InitialDir = folderFrom(dialogFolders_.playlists);
    // A cancelled dialog must not read the playlist chosen the time before.
    if (!ExecuteFileDialog(openplay1, this) || openplay1.FileName.isEmpty())
        return;
    const int before = Count();
    RefreshFirst = before;
    loadplaction();
    RefreshLast = Count() - 1;
    RefreshTimes = true;
    RefreshRenumber = true;
    if (Count() != before)
        procusme();
}

void Tplayl::saveplbt1()
{
    if (!ExecuteFileDialog(Saveplaydialog1, this) || Saveplaydialog1.FileName.isEmpty())
        return;
    const std::string name = platform::PathBytes(Saveplaydialog1.FileName);
    if (Saveplaydialog1.FilterIndex == 1) {
        WritePls(PlaylistSaveName(name, ".pls"), ListBox1.Items());
    } else if (Saveplaydialog1.FilterIndex == 2) {
        WriteM3u(PlaylistSaveName(name, ".m3u"), ListBox1.Items());
    }
}

void Tplayl::savedpath()
{
    if (OpenDialog1.Files.isEmpty() || !dialogFolders_.rememberFiles)
        return;
    dialogFolders_.rememberFiles(platform::PathBytes(OpenDialog1.Files.first()));
}

void Tplayl::shuffleact()
{
    if (Count() == 0)
        return;
    const std::vector<std::string>& old = ListBox1.Items();
    std::vector<std::string> shuffled;
    shuffled.reserve(old.size());
    for (int from : ShuffleOrder(Count(), shuffleGenerator_))
        shuffled.push_back(old[size_t(from)]);
    // Every line is moved once, so the selection does not survive.
    ListBox1.Assign(std::move(shuffled));
    RefreshFirst = 0;
    RefreshLast = Count() - 1;
    RefreshTimes = true;
    RefreshRenumber = true;
    procusme();
    resetPlayindex();
    if (shuffleAndGo_)
        emit playRequested();
}

void Tplayl::procusme()
{
    if (Count() == 0)
        return;
    const int first = std::max(0, RefreshFirst);
    const int last = std::min(RefreshLast, Count() - 1);
    if (RefreshTimes && first == 0)
        realboxModel_->Clear();

    std::vector<QString> captions;
    std::vector<QString> times;
    for (int q = first; q <= last; ++q) {
        const std::string& path = ListBox1[q];
        const TrackTitle track = ReadTrackTitle(path, pluginFileInfo_);
        captions.push_back(PlaylistCaption(track.title, track.artist, BaseNameOf(path), titleFormat_));
        times.push_back(PlaylistTimeText(track.seconds));
    }
    // Rows that exist are rewritten, the others appended.
    const int existing = std::clamp(realboxModel_->Count() - first, 0, int(captions.size()));
    realboxModel_->SetRange(first, {captions.begin(), captions.begin() + existing}, RefreshTimes ? &times : nullptr);
    std::vector<RealboxItem> added;
    for (size_t k = size_t(existing); k < captions.size(); ++k)
        added.push_back({captions[k], RefreshTimes ? times[k] : QString()});
    realboxModel_->Append(std::move(added));

    if (RefreshRenumber)
        renumber();
}

void Tplayl::renumber()
{
    std::vector<QString> captions;
    captions.reserve(size_t(realboxModel_->Count()));
    for (int i = 0; i < realboxModel_->Count(); ++i)
        captions.push_back(RenumberCaption(realboxModel_->Item(i).caption, i, numbering_));
    realboxModel_->SetCaptions(std::move(captions));
}

void Tplayl::playnow()
{
    ListBox1.setItemIndex(Highlighted());
    emit playRequested();
}

void Tplayl::playHighlighted()
{
    const int row = Highlighted();
    if (row < 0)
        return;
    ListBox1.setItemIndex(row);
    emit playSelectedRequested();
}

void Tplayl::addDroppedFiles(const QStringList& files)
{
    RefreshFirst = Count();
    for (const QString& file : files) {
        const std::string path = platform::PathBytes(file);
        if (platform::IsFolder(path)) {
            // A folder gives the files in it the program plays, not itself.
            const auto [native, plugins] = fileExts_ ? fileExts_() : std::pair<QString, QString>();
            for (std::string& inside : PlayableFilesIn(path, {native, plugins}))
                ListBox1.Add(std::move(inside));
        } else if (!IsPlaylistFileName(path))
            ListBox1.Add(path);
        else
            // A list that cannot be read costs only its own entries: the rest
            // is added and refreshed, so both lists stay in step.
            RunShowingErrors([&] { AddPlaylistFile(file); });
    }
    RefreshLast = Count() - 1;
    RefreshRenumber = true;
    RefreshTimes = true;
    procusme();
}

void Tplayl::RestoreSavedPlaylist(const std::string& folder)
{
    SavedPlaylist saved = ReadSavedPlaylist(folder);
    std::vector<RealboxItem> items;
    items.reserve(saved.paths.size());
    for (size_t k = 0; k < saved.paths.size(); ++k)
        items.push_back({std::move(saved.captions[k]), std::move(saved.times[k])});
    ListBox1.Assign(std::move(saved.paths));
    realboxModel_->SetItems(std::move(items));
}

void Tplayl::SaveSavedPlaylist(const std::string& folder) const
{
    SavedPlaylist saved;
    saved.paths = ListBox1.Items();
    for (const RealboxItem& item : realboxModel_->Items()) {
        saved.captions.push_back(item.caption);
        saved.times.push_back(item.time);
    }
    WriteSavedPlaylist(folder, saved);
}

} // namespace playlist
