#include "EqualizerWindow.h"

#include "EqPresets.h"
#include "PresetsWindow.h"

#include "controls/FormBuilder.h"
#include "controls/WindowMover.h"

namespace {

constexpr int BandLefts[TEqualizerform::BandCount] = {6, 28, 49, 70, 91, 113, 134, 155, 176, 198};
constexpr int EffectLevelMax = 32;
constexpr int MoveSettleMs = 200;

TSlider* makeSlider(QWidget* parent, const char* name, TSliderOrientation orientation, int max, int start, QRect at)
{
    auto* slider = new TSlider(parent);
    slider->setObjectName(QString::fromLatin1(name));
    slider->setOrientation(orientation);
    slider->setMaxValue(max);
    slider->setValue(start);
    slider->setGeometry(at);
    return slider;
}

} // namespace

TEqualizerform::TEqualizerform(player::TAudioPlayer& player, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      player_(player)
{
    createControls();
    connectControls();
    mover_ = new WindowMover(this);
    moveSettled_.setSingleShot(true);
    moveSettled_.setInterval(MoveSettleMs);
    connect(&moveSettled_, &QTimer::timeout, this, &TEqualizerform::moveFinished);
}

void TEqualizerform::createControls()
{
    setObjectName(QStringLiteral("Equalizerform"));
    setWindowTitle(QStringLiteral("Equalizer"));
    setFixedSize(322, 118);
    setFont(WindowFont());

    for (int n = 1; n <= BandCount; ++n) {
        const QByteArray name = "Slider" + QByteArray::number(n);
        TSlider* slider = makeSlider(this, name.constData(), soVertical, eqpresets::MaxPosition,
                                     eqpresets::ZeroDbPosition, {BandLefts[n - 1], 8, 11, 81});
        slider->setProperty("Tag", n);
        bands_[n - 1] = slider;
    }
    Slider1 = bands_[0];
    Slider2 = bands_[1];
    Slider3 = bands_[2];
    Slider4 = bands_[3];
    Slider5 = bands_[4];
    Slider6 = bands_[5];
    Slider7 = bands_[6];
    Slider8 = bands_[7];
    Slider9 = bands_[8];
    Slider10 = bands_[9];

    ReverbSlider = makeSlider(this, "ReverbSlider", soHorizontal, EffectLevelMax, 0, {224, 16, 89, 17});
    cbreverb = makeCheck(this, "cbreverb", QStringLiteral("Reverb"), {232, 32, 80, 17});
    EchoSlider = makeSlider(this, "EchoSlider", soHorizontal, EffectLevelMax, 0, {224, 56, 89, 17});
    cbecho = makeCheck(this, "cbecho", QStringLiteral("Echo"), {232, 72, 80, 17});
    flanger1 = makeCheck(this, "flanger1", QStringLiteral("Flanger"), {232, 96, 80, 17});
    eqcheck = makeCheck(this, "eqcheck", QStringLiteral("Enable Equalizer"), {16, 96, 120, 17});

    presesh = makeButton(this, "presesh", QStringLiteral("Presets"), {144, 96, 57, 17});
    presesh->setFocusPolicy(Qt::NoFocus);

    Label1 = new QLabel(QStringLiteral("1"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->hide();
}

void TEqualizerform::connectControls()
{
    for (TSlider* slider : bands_)
        connect(slider, &TSlider::OnChange, this, [this, slider] { noteBandMoved(slider); });
    connect(eqcheck, &QCheckBox::toggled, this, &TEqualizerform::switchEqualizer);
    connect(flanger1, &QCheckBox::toggled, this, &TEqualizerform::switchFlanger);
    connect(cbecho, &QCheckBox::toggled, this, &TEqualizerform::switchEcho);
    connect(cbreverb, &QCheckBox::toggled, this, &TEqualizerform::switchReverb);
    connect(EchoSlider, &TSlider::OnChange, this, &TEqualizerform::applyEchoLevel);
    connect(ReverbSlider, &TSlider::OnChange, this, &TEqualizerform::applyReverbLevel);
    connect(presesh, &QPushButton::clicked, this, &TEqualizerform::showPresets);
}

Tpresetform* TEqualizerform::presetform()
{
    if (!presetform_)
        presetform_ = new Tpresetform(*this, this);
    return presetform_;
}

TSlider* TEqualizerform::band(int n) const
{
    return n >= 1 && n <= BandCount ? bands_[n - 1] : nullptr;
}

player::EQGains TEqualizerform::Gains() const
{
    player::EQGains gains{};
    for (int n = 0; n < BandCount; ++n)
        gains[n] = static_cast<float>(bands_[n]->Value() - eqpresets::ZeroDbPosition);
    return gains;
}

void TEqualizerform::DisableEffectControls()
{
    for (QWidget* control : std::initializer_list<QWidget*>{flanger1, cbecho, cbreverb, EchoSlider, ReverbSlider})
        control->setEnabled(false);
}

void TEqualizerform::noteBandMoved(TSlider* slider)
{
    Label1->setText(QString::number(slider->property("Tag").toInt()));
    emit eqchangeRequested();
}

void TEqualizerform::setEffect(player::TSoundEffects effect, bool on)
{
    const player::TSoundEffects current = player_.SoundEffects();
    player_.SetSoundEffects(on ? current | effect : current & ~effect);
}

void TEqualizerform::switchEqualizer()
{
    setEffect(player::seEqualizer, eqcheck->isChecked());
}

void TEqualizerform::switchFlanger()
{
    setEffect(player::seFlanger, flanger1->isChecked());
}

void TEqualizerform::switchEcho()
{
    setEffect(player::seEcho, cbecho->isChecked());
    if (cbecho->isChecked())
        player_.SetEchoLevel(EchoSlider->Value());
}

void TEqualizerform::switchReverb()
{
    setEffect(player::seReverb, cbreverb->isChecked());
    if (cbreverb->isChecked())
        player_.SetReverbLevel(ReverbSlider->Value());
}

void TEqualizerform::applyEchoLevel()
{
    if (cbecho->isChecked())
        player_.SetEchoLevel(EchoSlider->Value());
}

void TEqualizerform::applyReverbLevel()
{
    if (cbreverb->isChecked())
        player_.SetReverbLevel(ReverbSlider->Value());
}

void TEqualizerform::showPresets()
{
    presetform()->show();
    presetform()->raise();
}

void TEqualizerform::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (isVisible())
        moveSettled_.start();
}

void TEqualizerform::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (isVisible())
        moveSettled_.start();
}
