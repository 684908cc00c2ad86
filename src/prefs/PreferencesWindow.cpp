#include "PreferencesWindow.h"

#include "Artwork.h"
#include "Documentation.h"

#include "controls/FormBuilder.h"
#include "controls/UrlLabel.h"
#include "controls/WindowMover.h"
#include "platform/folders.h"
#include "platform/msgbox.h"
#include "platform/winmsg.h"
#include "player/PluginHost.h"

#include <QDir>
#include <QHeaderView>
#include <QScreen>

namespace {

const QString PluginsNode = QStringLiteral("Plugins");
const QString PlaylistNode = QStringLiteral("Playlist");
const QString FileTypesNode = QStringLiteral("File Types");
constexpr int GridRowHeight = 15;
constexpr int GridColumnWidths[3] = {96, 172, 204};

QString pluginText(const std::string& text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

const QStringList& Tprefform::FileTypeNames()
{
    static const QStringList names = {"MP3", "OGG", "WMA", "FLAC", "WAV", "AAC", "MID", "MIDI", "MP4", "M4A",
                                      "MP1", "MP2", "ASF", "MDZ",  "KAR", "RMI", "APE", "CDA",  "PLS", "M3U"};
    return names;
}

const QStringList& Tprefform::TitleFormatNames()
{
    static const QStringList names = {
        QStringLiteral("[Artist] - [Title]"),       QStringLiteral("[Title] - [Artist]"),
        QStringLiteral("[Artist] \\ [Title]"),      QStringLiteral("[Title]  \\ [Artist]"),
        QStringLiteral("\"[Title]\"  By [Artist]"),
    };
    return names;
}

QString Tprefform::PluginFolder()
{
    return QString::fromStdString(platform::ProgramFolder()) + QStringLiteral("Plugins/");
}

Tprefform::Tprefform(player::TAudioPlayer& player, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      player_(player), handle_(platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; }))
{
    platform::SetWindowWidget(handle_, this);
    createControls();
    connectControls();
    mover_ = new WindowMover(this);
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

Tprefform::~Tprefform()
{
    DestroyWindow(handle_);
}

void Tprefform::createControls()
{
    setObjectName(QStringLiteral("prefform"));
    setWindowTitle(QStringLiteral("Preferences"));
    setFixedSize(530, 372);
    setFont(WindowFont());

    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setGeometry(8, 8, 129, 353);
    TreeView1->setHeaderHidden(true);
    TreeView1->setRootIsDecorated(false);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setMouseTracking(true); // hot-tracking
    for (const QString& node : {PluginsNode, PlaylistNode, FileTypesNode})
        TreeView1->addTopLevelItem(new QTreeWidgetItem(TreeView1, QStringList{node}));

    PreferencesBox = new QGroupBox(QStringLiteral("Preferences"), this);
    PreferencesBox->setObjectName(QStringLiteral("PreferencesBox"));
    PreferencesBox->setGeometry(144, 8, 377, 353);
    plugincontrol1 = new QStackedWidget(PreferencesBox);
    plugincontrol1->setObjectName(QStringLiteral("plugincontrol1"));
    plugincontrol1->setGeometry(8, 16, 361, 329);

    createPluginsPage();
    createPlaylistPage();
    createFileTypesPage();
}

void Tprefform::createPluginsPage()
{
    inputplug = new QWidget;
    inputplug->setObjectName(QStringLiteral("inputplug"));
    plugincontrol1->addWidget(inputplug);

    makeLabel(inputplug, nullptr, QStringLiteral("Installed Plugins"), {8, 6});
    plugingrid = new QTableWidget(GridRowCount - 1, 3, inputplug);
    plugingrid->setObjectName(QStringLiteral("plugingrid"));
    plugingrid->setGeometry(8, 24, 329, 145);
    plugingrid->setShowGrid(false);
    plugingrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    plugingrid->setSelectionMode(QAbstractItemView::SingleSelection);
    plugingrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    plugingrid->verticalHeader()->hide();
    plugingrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    plugingrid->verticalHeader()->setDefaultSectionSize(GridRowHeight);
    plugingrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    plugingrid->horizontalHeader()->setFixedHeight(GridRowHeight + 2);
    for (int column = 0; column < 3; ++column)
        plugingrid->setColumnWidth(column, GridColumnWidths[column]);
    clearGridRows();

    makeLabel(inputplug, nullptr, QStringLiteral("Available Plugins"), {8, 176});
    pluginlist = new QListWidget(inputplug);
    pluginlist->setObjectName(QStringLiteral("pluginlist"));
    pluginlist->setGeometry(8, 192, 113, 113);

    Button1 = makeButton(inputplug, "Button1", QStringLiteral("Uninstall Plugin"), {128, 192, 93, 25});
    Button2 = makeButton(inputplug, "Button2", QStringLiteral("Install Plugin"), {128, 224, 97, 25});
    Button4 = makeButton(inputplug, "Button4", QStringLiteral("About"), {224, 192, 53, 25});
    Button3 = makeButton(inputplug, "Button3", QStringLiteral("Configure"), {280, 192, 65, 25});
    Button5 = makeButton(inputplug, "Button5", QStringLiteral("Essential Plugins"), {232, 224, 113, 25});
    plugcheck = makeCheck(inputplug, "plugcheck", QStringLiteral("Give Plugins First Preference"), {128, 264, 220, 17});

    UrlLabel1 = new TUrlLabel(inputplug);
    UrlLabel1->setObjectName(QStringLiteral("UrlLabel1"));
    UrlLabel1->setText(QStringLiteral("Get More Plugins From The Net"));
    UrlLabel1->setHoverCaption(QStringLiteral("Get More Plugins From The Net"));
    UrlLabel1->setUrl(PluginsDocumentationUrl());
    UrlLabel1->setGeometry(128, 292, 220, 17);
}

void Tprefform::createPlaylistPage()
{
    shuffler = new QWidget;
    shuffler->setObjectName(QStringLiteral("shuffler"));
    plugincontrol1->addWidget(shuffler);

    QFont bold = WindowFont();
    bold.setBold(true);
    makeLabel(shuffler, nullptr, QStringLiteral("Playlist"), {8, 4}, bold);

    auto* shuffleBox = new QGroupBox(QStringLiteral("Shuffle"), shuffler);
    shuffleBox->setGeometry(8, 24, 345, 136);
    makeLabel(shuffleBox, nullptr, QStringLiteral("Default Action On Shuffle Click:"), {12, 22});
    shuffgo = makeCheck(shuffleBox, "shuffgo", QStringLiteral("Shuffle And Go"), {24, 42, 150, 17});
    smoothshuff = makeCheck(shuffleBox, "smoothshuff", QStringLiteral("Smooth Shuffle"), {24, 62, 150, 17});
    makeLabel(shuffleBox, nullptr, QStringLiteral("Shuffle Randomity:"), {12, 88});
    makeLabel(shuffleBox, nullptr, QStringLiteral("Less"), {12, 108});
    TrackBar1 = new QSlider(Qt::Horizontal, shuffleBox);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setRange(0, 100);
    TrackBar1->setTickPosition(QSlider::NoTicks);
    TrackBar1->setGeometry(48, 106, 250, 20);
    makeLabel(shuffleBox, nullptr, QStringLiteral("More"), {304, 108});

    auto* titlesBox = new QGroupBox(QStringLiteral("Titles"), shuffler);
    titlesBox->setGeometry(8, 168, 345, 136);
    makeLabel(titlesBox, nullptr, QStringLiteral("Select The Format To Display Filenames In The Playlist:"), {12, 22});
    playparse1 = new QComboBox(titlesBox);
    playparse1->setObjectName(QStringLiteral("playparse1"));
    playparse1->addItems(TitleFormatNames());
    playparse1->setGeometry(12, 44, 220, 24);
    numplay1 = makeCheck(titlesBox, "numplay1", QStringLiteral("Number Songs The Playlist"), {12, 80, 220, 17});
    numplay1->setChecked(true);
    playparapply = makeButton(titlesBox, "playparapply", QStringLiteral("Apply"), {256, 44, 75, 25});
}

void Tprefform::createFileTypesPage()
{
    filtypprefs = new QWidget;
    filtypprefs->setObjectName(QStringLiteral("filtypprefs"));
    plugincontrol1->addWidget(filtypprefs);

    auto* associated = new QGroupBox(QStringLiteral("Associated Files"), filtypprefs);
    associated->setGeometry(8, 4, 161, 317);
    CheckfileBox = new QListWidget(associated);
    CheckfileBox->setObjectName(QStringLiteral("CheckfileBox"));
    CheckfileBox->setGeometry(8, 20, 145, 256);
    for (const QString& type : FileTypeNames()) {
        auto* item = new QListWidgetItem(type, CheckfileBox);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    Button9 = makeButton(associated, "Button9", QStringLiteral("All"), {8, 284, 40, 25});
    Button8 = makeButton(associated, "Button8", QStringLiteral("None"), {50, 284, 42, 25});
    Button6 = makeButton(associated, "Button6", QStringLiteral("Associate"), {94, 284, 59, 25});

    auto* pictures = new QGroupBox(QStringLiteral("Orvella Multi Format Associations"), filtypprefs);
    pictures->setGeometry(176, 4, 177, 317);
    for (int k = 0; k < artwork::FileTypePictureCount; ++k) {
        auto* picture = new QLabel(pictures);
        picture->setObjectName(QStringLiteral("FileTypeImage%1").arg(k + 1));
        const artwork::Picture& art = artwork::FileTypePicture(k);
        picture->setGeometry(QRect(QPoint(12, 22 + k * 58), art.size));
        artwork::LoadWhenShown(picture, art);
        FileTypePictures << picture;
    }
}

void Tprefform::connectControls()
{
    connect(TreeView1, &QTreeWidget::currentItemChanged, this, &Tprefform::treeSelectionChanged);
    connect(Button1, &QPushButton::clicked, this, &Tprefform::UninstallPlugin);
    connect(Button2, &QPushButton::clicked, this, &Tprefform::InstallPlugin);
    connect(Button3, &QPushButton::clicked, this, &Tprefform::ConfigurePlugin);
    connect(Button4, &QPushButton::clicked, this, &Tprefform::AboutPlugin);
    connect(Button5, &QPushButton::clicked, this, &Tprefform::LoadEssentialPlugins);
    connect(plugcheck, &QCheckBox::toggled, this, [this](bool on) { player_.SetPluginFirst(on); });

    // Exactly one of the two shuffle boxes stays checked.
    connect(shuffgo, &QCheckBox::toggled, this, [this](bool on) {
        smoothshuff->setChecked(!on);
        emit settingsChanged();
    });
    connect(smoothshuff, &QCheckBox::toggled, this, [this](bool on) { shuffgo->setChecked(!on); });
    connect(numplay1, &QCheckBox::toggled, this, &Tprefform::settingsChanged);
    connect(playparse1, &QComboBox::currentIndexChanged, this, &Tprefform::settingsChanged);
    connect(playparapply, &QPushButton::clicked, this, &Tprefform::applyTitleFormatRequested);

    connect(Button9, &QPushButton::clicked, this, [this] { CheckAllFileTypes(true); });
    connect(Button8, &QPushButton::clicked, this, [this] { CheckAllFileTypes(false); });
    connect(Button6, &QPushButton::clicked, this, &Tprefform::associateRequested);
}

PreferenceValues Tprefform::values() const
{
    PreferenceValues values;
    for (int row = 0; row < values.fileTypes.size(); ++row)
        values.fileTypes[row] = CheckfileBox->item(row)->checkState() == Qt::Checked;
    values.shuffleAndGo = shuffgo->isChecked();
    values.smoothShuffle = smoothshuff->isChecked();
    values.morphRate = TrackBar1->value();
    values.titleFormat = playparse1->currentIndex();
    values.numbering = numplay1->isChecked();
    return values;
}

void Tprefform::setValues(const PreferenceValues& values)
{
    for (int row = 0; row < values.fileTypes.size(); ++row)
        CheckfileBox->item(row)->setCheckState(values.fileTypes[row] ? Qt::Checked : Qt::Unchecked);
    shuffgo->setChecked(values.shuffleAndGo);
    smoothshuff->setChecked(values.smoothShuffle);
    TrackBar1->setValue(values.morphRate);
    playparse1->setCurrentIndex(values.titleFormat);
    numplay1->setChecked(values.numbering);
}

void Tprefform::ShowPage(const QString& name)
{
    const QList<QTreeWidgetItem*> found = TreeView1->findItems(name, Qt::MatchExactly);
    if (!found.isEmpty())
        TreeView1->setCurrentItem(found.first());
}

void Tprefform::treeSelectionChanged()
{
    const QTreeWidgetItem* item = TreeView1->currentItem();
    if (!item)
        return;
    const QString name = item->text(0);
    if (name == PluginsNode) {
        plugincontrol1->setCurrentWidget(inputplug);
        FillPluginsPage();
    } else if (name == PlaylistNode) {
        plugincontrol1->setCurrentWidget(shuffler);
    } else if (name == FileTypesNode) {
        plugincontrol1->setCurrentWidget(filtypprefs);
    }
}

void Tprefform::confirm(const char* text) const
{
    MessageBox(handle_, text, "Confirm", MB_OK);
}

QStringList Tprefform::pluginFiles(const QString& pattern) const
{
    return QDir(PluginFolder()).entryList({pattern}, QDir::Files, QDir::Unsorted);
}

void Tprefform::FillPluginsPage()
{
    if (!player_.PlayerReady()) {
        confirm("Player is not ready !");
        return;
    }
    plugcheck->setChecked(player_.PluginFirst());
    pluginlist->clear();
    pluginlist->addItems(pluginFiles(QStringLiteral("in_*.so")));
    refillGrid();
    if (pluginlist->count() > 0) {
        pluginlist->setCurrentRow(0);
        loadedRows_ = GridRowCount;
    }
}

void Tprefform::clearGridRows()
{
    plugingrid->setHorizontalHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Decsription"), QStringLiteral("File Types")});
    for (int row = 0; row < plugingrid->rowCount(); ++row)
        for (int column = 0; column < 3; ++column)
            plugingrid->setItem(row, column, new QTableWidgetItem);
}

void Tprefform::refillGrid()
{
    clearGridRows();
    int row = 0;
    for (int slot = 0; slot < player::kPluginSlots; ++slot) {
        if (!player::GetPluginModule(slot))
            continue;
        const player::TPluginInfo info = player::GetPluginInfo(slot);
        plugingrid->item(row, 0)->setText(pluginText(info.FileName));
        plugingrid->item(row, 1)->setText(pluginText(info.Description));
        plugingrid->item(row, 2)->setText(pluginText(info.FileExtensions));
        ++row;
    }
}

QString Tprefform::GridCell(int row, int column) const
{
    const QTableWidgetItem* item = plugingrid->item(row - 1, column);
    return item ? item->text() : QString();
}

int Tprefform::SelectedGridRow() const
{
    const QList<QTableWidgetItem*> selected = plugingrid->selectedItems();
    return selected.isEmpty() ? 0 : selected.first()->row() + 1;
}

void Tprefform::SelectGridRow(int row)
{
    if (row >= 1 && row < GridRowCount)
        plugingrid->selectRow(row - 1);
    else
        plugingrid->clearSelection();
}

QString Tprefform::selectedPluginFile() const
{
    const int row = SelectedGridRow();
    return row > 0 ? GridCell(row, 0) : QString();
}

void Tprefform::InstallPlugin()
{
    loadedRows_ = GridRowCount;
    if (pluginlist->count() == 0)
        return confirm("No plug-ins available to load");
    const QListWidgetItem* item = pluginlist->currentItem();
    if (!item || !item->isSelected())
        return confirm("Select plug-in to load first");
    switch (player::LoadPlugin(item->text().toStdString())) {
    case player::plNotReady:
        confirm("Load denied : Output plug-in is not ready");
        break;
    case player::plAlreadyLoaded:
        confirm("Load denied : Already loaded before");
        break;
    case player::plNoSlot:
        confirm("Only 8 Plugins Can Be Loaded At A Time");
        break;
    case player::plLoadFailed:
        confirm("Load denied : Unknown Error");
        break;
    case player::plNotAPlugin:
        confirm("Load denied : Not valid Tovarro 2 input plug-in");
        break;
    default:
        break;
    }
    refillGrid();
}

void Tprefform::UninstallPlugin()
{
    if (loadedRows_ == 0)
        return confirm("No plug-ins are loaded");
    const QString file = selectedPluginFile();
    if (file.isEmpty())
        return confirm("Select plug-in to unload first");
    switch (player::UnloadPlugin(file.toStdString())) {
    case player::plUnloaded:
        refillGrid();
        break;
    case player::plFreeFailed:
        confirm("Cannot unload : Unknown Error");
        break;
    case player::plNotLoaded:
        confirm("Cannot unload : Plug-in is not loaded");
        break;
    case player::plInUse:
        confirm("Cannot unload : Plug-in is in use");
        break;
    default:
        break;
    }
}

void Tprefform::ConfigurePlugin()
{
    showPluginDialog("No Plug-ins are loaded", "Select plug-in First", &TInModule::Config);
}

void Tprefform::AboutPlugin()
{
    showPluginDialog("No plug-ins are loaded", "Select Plug-in", &TInModule::About);
}

void Tprefform::showPluginDialog(const char* noneLoaded, const char* noneSelected, PluginDialog dialog)
{
    if (loadedRows_ == 0)
        return confirm(noneLoaded);
    const QString file = selectedPluginFile();
    if (file.isEmpty())
        return confirm(noneSelected);
    if (TInModule* module = player::GetPluginModule(player::FindPlugin(file.toStdString())))
        (module->*dialog)(handle_);
}

void Tprefform::LoadEssentialPlugins()
{
    loadedRows_ = GridRowCount;
    if (pluginlist->count() == 0)
        return confirm("No plug-ins available to load");
    clearGridRows();
    for (const QString& file : pluginFiles(QStringLiteral("in_req_*.so")))
        player::LoadPlugin(file.toStdString());
    refillGrid();
}

void Tprefform::CheckAllFileTypes(bool checked)
{
    for (int k = 0; k < CheckfileBox->count(); ++k)
        CheckfileBox->item(k)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}
