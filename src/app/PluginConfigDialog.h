// TPluginConfigForm: loading and unloading input plug-ins, their own settings
// and about boxes, and whether plug-ins are tried before the engine. Filled
// and shown modally by the player's ShowPluginConfig.
#pragma once

#include "player/AudioPlayer.h"
#include "player/PluginHost.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

class TPluginConfigForm : public QDialog {
    Q_OBJECT
  public:
    explicit TPluginConfigForm(QWidget* parent = nullptr);
    ~TPluginConfigForm() override;

    // Fills the window and shows it modally.
    void Execute(const player::PluginConfigRequest& request);
    // Fills the window without showing it.
    void Fill(const player::PluginConfigRequest& request);

    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7;
    QCheckBox* PluginFirst;
    QListWidget* PluginList;
    QTableWidget* PluginGrid; // rows 0 to 7 hold the loaded plug-ins

    QPushButton* loadButton() const { return btnLoad; }
    QPushButton* unloadButton() const { return btnUnload; }
    QPushButton* aboutButton() const { return btnAbout; }
    QPushButton* configureButton() const { return btnConfigure; }
    QPushButton* closeButton() const { return btnClose; }

    int LoadedCount() const { return loadedCount_; }

  private:
    void loadPlugin();
    void unloadPlugin();
    void showPluginAbout();
    void configurePlugin();
    // Tells the player window whether plug-ins go first.
    void sendPluginFirst();
    void createControls();
    void listPluginFiles();
    void fillGrid();
    void writeRow(int row, const player::TPluginInfo& info);
    // The plug-in named in the selected row; empty when none is.
    std::string selectedPlugin() const;
    void confirm(const char* text);
    // About or Config of the plug-in in the selected row, with this window as parent.
    void openPluginDialog(const char* noneLoaded, const char* noneSelected, void (*TInModule::*dialog)(HWND));

    HWND handle_; // this window, as the owner of boxes and plug-in dialogs
    HWND playerWindow_ = nullptr;
    int loadedCount_ = 0;
    QPushButton *btnLoad, *btnUnload, *btnAbout, *btnConfigure, *btnClose;
};
