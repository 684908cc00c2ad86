#include "PluginConfigDialog.h"

#include "app/config/Config.h"
#include "controls/FormBuilder.h"
#include "platform/msgbox.h"
#include "platform/winmsg.h"
#include "player/PluginHost.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>

namespace {

constexpr int GridRows = player::kPluginSlots;

QString text(const std::string& bytes)
{
    return QString::fromLocal8Bit(bytes.c_str());
}

} // namespace

TPluginConfigForm::TPluginConfigForm(QWidget* parent) : QDialog(parent)
{
    handle_ = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    platform::SetWindowWidget(handle_, this);
    createControls();
}

TPluginConfigForm::~TPluginConfigForm()
{
    DestroyWindow(handle_);
}

void TPluginConfigForm::createControls()
{
    setWindowTitle(QStringLiteral("Plug-in Configuration"));
    setFixedSize(582, 338);
    setFont(WindowFont());

    auto label = [this](const char* name, const char* caption, int x, int y) {
        return makeLabel(this, name, QString::fromLatin1(caption), {x, y});
    };
    Label2 = label("Label2", "Note : Plug-ins must reside in <program_directory>\\Plugins directory", 8, 8);
    Label4 = label("Label4", "Only Tovarro 2 version is acceptable", 8, 26);
    Label5 = label("Label5", "Maximum 8 plug-ins can be loaded", 8, 44);
    PluginFirst = makeCheck(this, "PluginFirst", QStringLiteral("Plugin First"), {372, 6});
    Label6 = label("Label6", "( if checked then Tovarro plug-in is applied for the file types which can", 200, 26);
    Label7 = label("Label7", "be played by both BASS and Tovarro plug-in )", 200, 44);
    Label1 = label("Label1", "Plug-ins", 8, 68);
    Label3 = label("Label3", "Loaded Plug-ins", 160, 68);

    PluginList = new QListWidget(this);
    PluginList->setObjectName(QStringLiteral("PluginList"));
    PluginList->setGeometry(8, 86, 144, 206);

    PluginGrid = new QTableWidget(GridRows, 3, this);
    PluginGrid->setObjectName(QStringLiteral("PluginGrid"));
    PluginGrid->setGeometry(160, 86, 414, 206);
    PluginGrid->setHorizontalHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Decsription"), QStringLiteral("Playable File Types")});
    PluginGrid->verticalHeader()->hide();
    PluginGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    PluginGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    PluginGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    PluginGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    const int widths[] = {84, 173, 151};
    for (int column = 0; column < 3; ++column)
        PluginGrid->setColumnWidth(column, widths[column]);

    auto button = [this](const char* name, const char* caption, int x) {
        QPushButton* b = makeButton(this, name, QString::fromLatin1(caption), {x, 302, 75, 25});
        b->setAutoDefault(false);
        return b;
    };
    btnLoad = button("btnLoad", "Load", 160);
    btnUnload = button("btnUnload", "Unload", 243);
    btnAbout = button("btnAbout", "About", 326);
    btnConfigure = button("btnConfigure", "Configure", 409);
    btnClose = button("btnClose", "Close", 499);

    connect(btnLoad, &QPushButton::clicked, this, &TPluginConfigForm::loadPlugin);
    connect(btnUnload, &QPushButton::clicked, this, &TPluginConfigForm::unloadPlugin);
    connect(btnAbout, &QPushButton::clicked, this, &TPluginConfigForm::showPluginAbout);
    connect(btnConfigure, &QPushButton::clicked, this, &TPluginConfigForm::configurePlugin);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::close);
    connect(PluginFirst, &QCheckBox::clicked, this, &TPluginConfigForm::sendPluginFirst);
}

void TPluginConfigForm::Execute(const player::PluginConfigRequest& request)
{
    Fill(request);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    exec();
}

void TPluginConfigForm::Fill(const player::PluginConfigRequest& request)
{
    PluginFirst->setChecked(request.PluginFirst);
    listPluginFiles();
    fillGrid();
    playerWindow_ = request.PlayerWindow;
}

void TPluginConfigForm::listPluginFiles()
{
    PluginList->clear();
    PluginList->addItems(appconfig::InstalledPluginFiles());
}

void TPluginConfigForm::writeRow(int row, const player::TPluginInfo& info)
{
    const QString cells[] = {text(info.FileName), text(info.Description), text(info.FileExtensions)};
    for (int column = 0; column < 3; ++column)
        PluginGrid->setItem(row, column, new QTableWidgetItem(cells[column]));
}

void TPluginConfigForm::fillGrid()
{
    PluginGrid->clearContents();
    loadedCount_ = 0;
    for (int slot = 0; slot < player::kPluginSlots; ++slot) {
        const player::TPluginInfo info = player::GetPluginInfo(slot);
        if (!info.FileName.empty())
            writeRow(loadedCount_++, info);
    }
}

std::string TPluginConfigForm::selectedPlugin() const
{
    const int row = PluginGrid->currentRow();
    const QTableWidgetItem* cell = row >= 0 ? PluginGrid->item(row, 0) : nullptr;
    return cell ? cell->text().toLocal8Bit().toStdString() : std::string();
}

void TPluginConfigForm::confirm(const char* message)
{
    MessageBox(handle_, message, "Confirm", MB_OK);
}

void TPluginConfigForm::loadPlugin()
{
    if (PluginList->count() == 0)
        return confirm("No plug-in to load");
    if (!PluginList->currentItem() || !PluginList->currentItem()->isSelected())
        return confirm("Select plug-in to load first");
    const std::string name = PluginList->currentItem()->text().toLocal8Bit().toStdString();
    switch (player::LoadPlugin(name)) {
    case player::plLoaded:
        writeRow(loadedCount_++, player::GetPluginInfo(player::FindPlugin(name)));
        break;
    case player::plNotReady:
        return confirm("Load denied : Output plug-in is not ready");
    case player::plAlreadyLoaded:
        return confirm("Load denied : Already loaded before");
    case player::plNoSlot:
        return confirm("Load denied : No space to load");
    case player::plLoadFailed:
        return confirm("Load denied : Unknown Error");
    case player::plNotAPlugin:
        return confirm("Load denied : Not valid Tovarro 2 input plug-in");
    default:
        return confirm("Load denied : Unknown Error");
    }
}

void TPluginConfigForm::unloadPlugin()
{
    if (loadedCount_ == 0)
        return confirm("No plug-ins are loaded");
    const std::string name = selectedPlugin();
    if (name.empty())
        return confirm("Select plug-in to unload first");
    const int row = PluginGrid->currentRow();
    switch (player::UnloadPlugin(name)) {
    case player::plUnloaded:
        if (row == loadedCount_ - 1) {
            for (int column = 0; column < 3; ++column)
                delete PluginGrid->takeItem(row, column);
            --loadedCount_;
        } else {
            fillGrid(); // no gaps between the rows
        }
        break;
    case player::plFreeFailed:
        return confirm("Cannot unload : Unknown Error");
    case player::plNotLoaded:
        return confirm("Cannot unload : Plug-in is not loaded");
    case player::plInUse:
        return confirm("Cannot unload : Plug-in is in use");
    default:
        return confirm("Cannot unload : Unknown Error");
    }
}

void TPluginConfigForm::showPluginAbout()
{
    openPluginDialog("No plug-ins to query are loaded", "Select plug-in to query first", &TInModule::About);
}

void TPluginConfigForm::configurePlugin()
{
    openPluginDialog("No plug-ins to configure are loaded", "Select plug-in to configure first", &TInModule::Config);
}

void TPluginConfigForm::openPluginDialog(const char* noneLoaded, const char* noneSelected,
                                         void (*TInModule::*dialog)(HWND))
{
    if (loadedCount_ == 0)
        return confirm(noneLoaded);
    const std::string name = selectedPlugin();
    if (name.empty())
        return confirm(noneSelected);
    // A plug-in unloaded meanwhile is ignored.
    if (TInModule* module = player::GetPluginModule(player::FindPlugin(name)); module && module->*dialog)
        (module->*dialog)(handle_);
}

void TPluginConfigForm::sendPluginFirst()
{
    PostMessage(playerWindow_, SET_PLUGIN_FIRST, 0, PluginFirst->isChecked() ? 1 : 0);
}
