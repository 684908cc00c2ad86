#include "PresetsWindow.h"

#include "EqualizerWindow.h"

#include "controls/FormBuilder.h"
#include "controls/WindowMover.h"
#include "platform/msgbox.h"

#include <QMouseEvent>

void TPresetNameEdit::mousePressEvent(QMouseEvent* event)
{
    clear();
    QLineEdit::mousePressEvent(event);
}

Tpresetform::Tpresetform(TEqualizerform& equalizer, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      equalizer_(equalizer), file_(eqpresets::PresetFilePath())
{
    createControls();
    mover_ = new WindowMover(this);
    connect(Presetlist, &QListWidget::itemClicked, this, &Tpresetform::LoadSelected);
    connect(btnLoad, &QPushButton::clicked, this, &Tpresetform::LoadSelected);
    connect(bnSave, &QPushButton::clicked, this, &Tpresetform::SavePreset);
    connect(BtnDelete, &QPushButton::clicked, this, &Tpresetform::DeleteSelected);
}

void Tpresetform::createControls()
{
    setObjectName(QStringLiteral("presetform"));
    setWindowTitle(QStringLiteral("Presets"));
    // Wider than the design's 146 pixels, which left a window manager's title
    // bar no room for "Presets" beside the icon and the buttons.
    constexpr int width = ClientWidth;
    setFixedSize(width, 253);
    setFont(WindowFont());

    PresetName = new TPresetNameEdit(QStringLiteral("New Preset Name"), this);
    PresetName->setObjectName(QStringLiteral("PresetName"));
    PresetName->setGeometry(8, 8, width - 16, 21);

    Presetlist = new QListWidget(this);
    Presetlist->setObjectName(QStringLiteral("Presetlist"));
    Presetlist->setGeometry(8, 36, width - 16, 180);

    const int buttonWidth = (width - 24) / 2;
    bnSave = makeButton(this, "bnSave", QStringLiteral("Save"), {8, 224, buttonWidth, 21});
    BtnDelete =
        makeButton(this, "BtnDelete", QStringLiteral("Delete"), {width - 8 - buttonWidth, 224, buttonWidth, 21});
    btnLoad = makeButton(this, "btnLoad", QStringLiteral("Load"), {8, 300, 61, 21}); // below the client area
}

void Tpresetform::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    RebuildList();
}

void Tpresetform::RebuildList()
{
    file_.WriteStartingPresetsIfMissing();
    Presetlist->clear();
    for (const std::string& name : file_.Names())
        Presetlist->addItem(QString::fromStdString(name));
}

eqpresets::Positions Tpresetform::sliderPositions() const
{
    eqpresets::Positions positions{};
    for (int n = 1; n <= eqpresets::BandCount; ++n)
        positions[n - 1] = equalizer_.band(n)->Value();
    return positions;
}

void Tpresetform::LoadSelected()
{
    const int row = Presetlist->currentRow();
    if (row < 0 || !Presetlist->currentItem()->isSelected())
        return;
    PresetName->setText(Presetlist->item(row)->text());
    const eqpresets::Positions positions = file_.Read(row + 1);
    for (int n = 1; n <= eqpresets::BandCount; ++n)
        equalizer_.band(n)->setValue(positions[n - 1]);
}

void Tpresetform::SavePreset()
{
    const QString name = PresetName->text();
    // An empty name would become a nameless preset nobody can pick out.
    if (name.isEmpty()) {
        MessageBox(nullptr, "Enter A Name For The Preset", "Confirm", MB_OK);
        return;
    }
    file_.Save(name.toStdString(), sliderPositions());
    RebuildList();
}

void Tpresetform::DeleteSelected()
{
    const int row = Presetlist->currentRow();
    if (row < 0 || !Presetlist->currentItem()->isSelected())
        return;
    file_.Delete(row + 1, Presetlist->count());
    RebuildList();
}
