#include "ConfigDialog.h"

#include "Module.h"
#include "Renderer.h"
#include "Settings.h"

#include "platform/msgbox.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace midi {

ConfigDialog::ConfigDialog(QWidget* parent) : SettingsDialog(kDescription, parent)
{
    createControls();
}

void ConfigDialog::createControls()
{
    soundFont_ = new QLineEdit(QString::fromStdString(cfg_soundfont));
    soundFont_->setObjectName("cfg_soundfont");
    soundFont_->setPlaceholderText("the packaged General MIDI SoundFont");
    soundFont_->setMinimumWidth(360);
    auto* browse = new QPushButton("Browse...");
    browse->setObjectName("browse");
    auto* packaged = new QPushButton("Default");
    packaged->setObjectName("default");
    const std::string& inUse = current_soundfont();
    inUse_ = new QLabel(inUse.empty() ? kNoSoundFontText : QString("In use: ") + QString::fromStdString(inUse));
    inUse_->setObjectName("inUse");
    inUse_->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &ConfigDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ConfigDialog::reject);
    connect(browse, &QPushButton::clicked, this, &ConfigDialog::browse);
    connect(packaged, &QPushButton::clicked, this, &ConfigDialog::useDefault);

    auto* row = new QHBoxLayout;
    row->addWidget(soundFont_);
    row->addWidget(browse);
    row->addWidget(packaged);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("SoundFont:"));
    layout->addLayout(row);
    layout->addWidget(inUse_);
    layout->addWidget(buttons);
}

void ConfigDialog::browse()
{
    const QString chosen = QFileDialog::getOpenFileName(this, "Choose a SoundFont", soundFont_->text(),
                                                        "SoundFont files (*.sf2 *.SF2);;All files (*)");
    if (!chosen.isEmpty())
        soundFont_->setText(chosen);
}

void ConfigDialog::useDefault()
{
    soundFont_->clear();
}

void ConfigDialog::accept()
{
    const std::string path = soundFont_->text().trimmed().toStdString();
    if (!path.empty() && !IsSoundFontFile(path)) {
        MessageBox(boxOwner(), (path + "\nis not a SoundFont file.").c_str(), kDescription, MB_ICONERROR);
        return;
    }
    choose_soundfont(path);
    QDialog::accept();
}

} // namespace midi
