#include "ConfigDialog.h"

#include "Module.h"
#include "Settings.h"

#include "platform/msgbox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

namespace pcmkit {

ConfigDialog::ConfigDialog(QWidget* parent) : SettingsDialog(kDescription, parent)
{
    createControls();
    showSettings();
}

void ConfigDialog::createControls()
{
    auto named = [](QWidget* w, const char* name) {
        w->setObjectName(name);
        return w;
    };
    convert8_ = new QCheckBox("Convert 8-bit to 16-bit");
    downConvert_ = new QCheckBox("Convert 24/32-bit to 16-bit");
    mono_ = new QCheckBox("Downmix to mono");
    floatWidth_ = new QComboBox;
    floatWidth_->addItems({"16", "24", "32"});
    dither_ = new QCheckBox("Dither");
    formats_ = new QListWidget;
    formats_->setSelectionMode(QAbstractItemView::MultiSelection);
    for (const format_row& row : format_table)
        formats_->addItem(row.extension);
    extraExtensions_ = new QLineEdit;
    extraExtensions_->setMaxLength(static_cast<int>(kExtraExtsSize) - 1);
    expandSilence_ = new QCheckBox("Expand silence blocks");
    expandLoops_ = new QCheckBox("Expand loops");
    priority_ = new QSlider(Qt::Horizontal);
    priority_->setRange(0, kPriorities - 1);
    priority_->setTickPosition(QSlider::TicksBelow);
    priorityLabel_ = new QLabel;
    named(convert8_, "cfg_8216");
    named(downConvert_, "cfg_downcvt");
    named(mono_, "cfg_mono");
    named(floatWidth_, "cfg_fdest");
    named(dither_, "cfg_dither");
    named(formats_, "cfg_ext_mask");
    named(extraExtensions_, "cfg_extra_exts");
    named(expandSilence_, "cfg_vocsil");
    named(expandLoops_, "cfg_exploop");
    named(priority_, "cfg_priority");
    named(priorityLabel_, "priorityLabel");

    auto* conversion = new QGroupBox("Real-time conversion");
    auto* conversionLayout = new QVBoxLayout(conversion);
    conversionLayout->addWidget(convert8_);
    conversionLayout->addWidget(downConvert_);
    conversionLayout->addWidget(mono_);
    auto* floatRow = new QHBoxLayout;
    floatRow->addWidget(new QLabel("Convert floating-point to"));
    floatRow->addWidget(floatWidth_);
    floatRow->addWidget(new QLabel("-bit"));
    floatRow->addStretch();
    conversionLayout->addLayout(floatRow);
    conversionLayout->addWidget(dither_);
    auto* priorityRow = new QHBoxLayout;
    priorityRow->addWidget(priority_);
    priorityRow->addWidget(priorityLabel_);
    conversionLayout->addWidget(new QLabel("Decoding thread priority:"));
    conversionLayout->addLayout(priorityRow);
    conversionLayout->addStretch();

    auto* formats = new QGroupBox("Formats");
    auto* formatsLayout = new QVBoxLayout(formats);
    formatsLayout->addWidget(new QLabel("Associate with:"));
    formatsLayout->addWidget(formats_);
    formatsLayout->addWidget(new QLabel("Additional extensions: (separate with semicolons)"));
    formatsLayout->addWidget(extraExtensions_);
    formatsLayout->addWidget(expandSilence_);
    formatsLayout->addWidget(expandLoops_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Reset);
    connect(buttons, &QDialogButtonBox::accepted, this, &ConfigDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ConfigDialog::reject);
    connect(buttons->button(QDialogButtonBox::Reset), &QPushButton::clicked, this, &ConfigDialog::reset);
    connect(priority_, &QSlider::valueChanged, this, &ConfigDialog::showPriority);

    auto* groups = new QHBoxLayout;
    groups->addWidget(conversion);
    groups->addWidget(formats);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addWidget(buttons);
}

void ConfigDialog::showPriority(int index)
{
    priorityLabel_->setText(priority_labels[std::clamp(index, 0, kPriorities - 1)]);
}

void ConfigDialog::showSettings()
{
    convert8_->setChecked(cfg_8216);
    downConvert_->setChecked(cfg_downcvt);
    mono_->setChecked(cfg_mono);
    dither_->setChecked(cfg_dither);
    // A width the settings file got wrong shows as none chosen.
    floatWidth_->setCurrentIndex(cfg_fdest < 3 ? static_cast<int>(cfg_fdest) : -1);
    for (int row = 0; row < kFormatRows; ++row)
        formats_->item(row)->setSelected((cfg_ext_mask & (1u << row)) != 0);
    extraExtensions_->setText(QString::fromUtf8(cfg_extra_exts));
    expandSilence_->setChecked(cfg_vocsil);
    expandLoops_->setChecked(cfg_exploop);
    priority_->setValue(static_cast<int>(cfg_priority));
    showPriority(priority_->value());
}

void ConfigDialog::takeSettings()
{
    cfg_8216 = convert8_->isChecked();
    cfg_downcvt = downConvert_->isChecked();
    cfg_mono = mono_->isChecked();
    cfg_dither = dither_->isChecked();
    if (floatWidth_->currentIndex() >= 0)
        cfg_fdest = static_cast<uint32_t>(floatWidth_->currentIndex());
    // Bits above the table (from the settings file) stay as they were.
    uint32_t mask = cfg_ext_mask & ~((1u << kFormatRows) - 1);
    for (int row = 0; row < kFormatRows; ++row)
        if (formats_->item(row)->isSelected())
            mask |= 1u << row;
    cfg_ext_mask = mask;
    QByteArray extensions = extraExtensions_->text().toUtf8().left(static_cast<int>(kExtraExtsSize) - 1);
    std::memcpy(cfg_extra_exts, extensions.constData(), static_cast<size_t>(extensions.size()));
    cfg_extra_exts[extensions.size()] = '\0';
    cfg_vocsil = expandSilence_->isChecked();
    cfg_exploop = expandLoops_->isChecked();
    cfg_priority = static_cast<uint32_t>(priority_->value());
}

void ConfigDialog::accept()
{
    takeSettings();
    build_extension_list(extension_list, sizeof extension_list);
    QDialog::accept();
}

void ConfigDialog::reset()
{
    int answer = MessageBox(boxOwner(),
                            "This will reset all settings to their default values. Continue ?\n"
                            "(you won't be able to undo this by clicking 'cancel')",
                            "Warning", MB_YESNO);
    if (answer != IDYES)
        return;
    reset_settings();
    showSettings();
}

} // namespace pcmkit
