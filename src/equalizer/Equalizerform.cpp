#include "Equalizerform.h"

#include "EqPresets.h"
#include "Presetform.h"

#include "controls/WindowMover.h"

namespace {

constexpr int BandLefts[TEqualizerform::BandCount] = {6, 28, 49, 70, 91, 113, 134, 155, 176, 198};
constexpr int EffectLevelMax = 32;
constexpr int MoveSettleMs = 200;

QFont smallFont()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    return font;
}

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

QCheckBox* makeCheck(QWidget* parent, const char* name, const QString& caption, QPoint at, int width)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(at.x(), at.y(), width, 17);
    return box;
}

} // namespace

TEqualizerform::TEqualizerform(player::TAudioPlayer& player, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      player_(player)
{
    createControls();
    connectControls();
    mover_ = new WindowMover(this);
    presetform_ = new Tpresetform(*this, this);
    moveSettled_.setSingleShot(true);
    moveSettled_.setInterval(MoveSettleMs);
    connect(&moveSettled_, &QTimer::timeout, this, &TEqualizerform::moveFinished);
}

void TEqualizerform::createControls()
{
    setObjectName(QStringLiteral("Equalizerform"));
    setWindowTitle(QStringLiteral("Equalizer"));
    setFixedSize(322, 118);
    setFont(smallFont());

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
    cbreverb = makeCheck(this, "cbreverb", QStringLiteral("Reverb"), {232, 32}, 80);
    EchoSlider = makeSlider(this, "EchoSlider", soHorizontal, EffectLevelMax, 0, {224, 56, 89, 17});
    cbecho = makeCheck(this, "cbecho", QStringLiteral("Echo"), {232, 72}, 80);
    flanger1 = makeCheck(this, "flanger1", QStringLiteral("Flanger"), {232, 96}, 80);
    eqcheck = makeCheck(this, "eqcheck", QStringLiteral("Enable Equalizer"), {16, 96}, 120);

    presesh = new QPushButton(QStringLiteral("Presets"), this);
    presesh->setObjectName(QStringLiteral("presesh"));
    presesh->setGeometry(144, 96, 57, 17);
    presesh->setFocusPolicy(Qt::NoFocus);

    Label1 = new QLabel(QStringLiteral("1"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->hide();
}

void TEqualizerform::connectControls()
{
    for (TSlider* slider : bands_)
        connect(slider, &TSlider::OnChange, this, [this, slider] { eqseekExecute(slider); });
    connect(eqcheck, &QCheckBox::toggled, this, &TEqualizerform::eqcheckClick);
    connect(flanger1, &QCheckBox::toggled, this, &TEqualizerform::flanger1Click);
    connect(cbecho, &QCheckBox::toggled, this, &TEqualizerform::cbEchoClick);
    connect(cbreverb, &QCheckBox::toggled, this, &TEqualizerform::cbReverbClick);
    connect(EchoSlider, &TSlider::OnChange, this, &TEqualizerform::EchoSliderChange);
    connect(ReverbSlider, &TSlider::OnChange, this, &TEqualizerform::ReverbSliderChange);
    connect(presesh, &QPushButton::clicked, this, &TEqualizerform::preseshClick);
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

void TEqualizerform::eqseekExecute(TSlider* slider)
{
    Label1->setText(QString::number(slider->property("Tag").toInt()));
    emit eqchangeRequested();
}

void TEqualizerform::setEffect(player::TSoundEffects effect, bool on)
{
    const player::TSoundEffects current = player_.SoundEffects();
    player_.SetSoundEffects(on ? current | effect : current & ~effect);
}

void TEqualizerform::eqcheckClick()
{
    setEffect(player::seEqualizer, eqcheck->isChecked());
}

void TEqualizerform::flanger1Click()
{
    setEffect(player::seFlanger, flanger1->isChecked());
}

void TEqualizerform::cbEchoClick()
{
    setEffect(player::seEcho, cbecho->isChecked());
    if (cbecho->isChecked())
        player_.SetEchoLevel(EchoSlider->Value());
}

void TEqualizerform::cbReverbClick()
{
    setEffect(player::seReverb, cbreverb->isChecked());
    if (cbreverb->isChecked())
        player_.SetReverbLevel(ReverbSlider->Value());
}

void TEqualizerform::EchoSliderChange()
{
    if (cbecho->isChecked())
        player_.SetEchoLevel(EchoSlider->Value());
}

void TEqualizerform::ReverbSliderChange()
{
    if (cbreverb->isChecked())
        player_.SetReverbLevel(ReverbSlider->Value());
}

void TEqualizerform::preseshClick()
{
    presetform_->show();
    presetform_->raise();
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
