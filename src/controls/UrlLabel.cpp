#include "UrlLabel.h"

#include "platform/process.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

const QString TUrlLabel::DefaultUrl = QStringLiteral("https://www.debian.org/");

namespace {

Qt::Alignment horizontalOf(TAlignment alignment)
{
    switch (alignment) {
    case taRightJustify:
        return Qt::AlignRight;
    case taCenter:
        return Qt::AlignHCenter;
    default:
        return Qt::AlignLeft;
    }
}

Qt::Alignment verticalOf(TTextLayout layout)
{
    switch (layout) {
    case tlCenter:
        return Qt::AlignVCenter;
    case tlBottom:
        return Qt::AlignBottom;
    default:
        return Qt::AlignTop;
    }
}

} // namespace

TUrlLabel::TUrlLabel(QWidget* parent)
    : QLabel(DefaultUrl, parent), url_(DefaultUrl), hoverCaption_(DefaultUrl),
      hoverColor_(palette().color(QPalette::Button))
{
    QFont linkFont = font();
    linkFont.setUnderline(true);
    setFont(linkFont);
    setFontColor(Qt::blue);
    hoverFont_ = font();
    hoverFont_.setUnderline(false);
    hoverFont_.setBold(false);
    hoverFont_.setItalic(false);
    hoverFont_.setStrikeOut(false);
    setAlignment(taLeftJustify);
    setLayout(tlTop);
    setCursor(Qt::PointingHandCursor);
}

TAlignment TUrlLabel::Alignment() const
{
    const Qt::Alignment h = alignment() & Qt::AlignHorizontal_Mask;
    return h & Qt::AlignRight ? taRightJustify : h & Qt::AlignHCenter ? taCenter : taLeftJustify;
}

void TUrlLabel::setAlignment(TAlignment alignment)
{
    QLabel::setAlignment(horizontalOf(alignment) | (this->alignment() & Qt::AlignVertical_Mask));
}

TTextLayout TUrlLabel::Layout() const
{
    const Qt::Alignment v = alignment() & Qt::AlignVertical_Mask;
    return v & Qt::AlignBottom ? tlBottom : v & Qt::AlignVCenter ? tlCenter : tlTop;
}

void TUrlLabel::setLayout(TTextLayout layout)
{
    QLabel::setAlignment((alignment() & Qt::AlignHorizontal_Mask) | verticalOf(layout));
}

QColor TUrlLabel::Color() const
{
    return palette().color(QPalette::Window);
}

void TUrlLabel::setColor(const QColor& color)
{
    QPalette colours = palette();
    colours.setColor(QPalette::Window, color);
    setPalette(colours);
    setAutoFillBackground(true);
}

QColor TUrlLabel::FontColor() const
{
    return palette().color(QPalette::WindowText);
}

void TUrlLabel::setFontColor(const QColor& color)
{
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, color);
    setPalette(colours);
}

TUrlLabel::Look TUrlLabel::currentLook() const
{
    return {Alignment(), text(), Color(), font(), FontColor(), Layout()};
}

void TUrlLabel::applyLook(const Look& look)
{
    setAlignment(look.alignment);
    setText(look.caption);
    setColor(look.color);
    setFont(look.font);
    setFontColor(look.fontColor);
    setLayout(look.layout);
    repaint();
}

void TUrlLabel::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    if (hovered_)
        return;
    emit OnMouseEnter();
    saved_ = currentLook();
    hovered_ = true;
    applyLook({hoverAlignment_, hoverCaption_, hoverColor_, hoverFont_, hoverFontColor_, hoverLayout_});
}

void TUrlLabel::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    if (!hovered_)
        return;
    emit OnMouseLeave();
    hovered_ = false;
    applyLook(saved_);
}

void TUrlLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    emit OnClick();
    const QUrl url = QUrl::fromUserInput(url_.trimmed());
    // Qt's platforms without desktop services (offscreen, minimal) open
    // nothing; the desktop's opener is asked directly then.
    if (!QDesktopServices::openUrl(url))
        platform::StartDetached("xdg-open", {url.toString(QUrl::FullyEncoded).toStdString()});
}
