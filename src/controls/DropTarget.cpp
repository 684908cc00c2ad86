#include "DropTarget.h"

#include "platform/text.h"

#include <QAbstractScrollArea>
#include <QClipboard>
#include <QDropEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>

#include <cstring>
#include <stdexcept>

namespace {

const QString MapFormat = QStringLiteral("FileNameMap");
const QString WideMapFormat = QStringLiteral("FileNameMapW");
const QString PreferredEffectFormat = QStringLiteral("Preferred DropEffect");

QString controlName(const QWidget* control)
{
    return control ? control->objectName() : QString();
}

// Names separated by NULs; the list ends at an empty name or at the end of the data.
QStringList splitNames(const QByteArray& bytes, bool wide)
{
    QStringList names;
    if (wide) {
        const qsizetype units = bytes.size() / 2;
        QString all(units, QChar());
        std::memcpy(all.data(), bytes.constData(), size_t(units) * 2);
        for (const QString& name : all.split(QChar(0)))
            if (name.isEmpty())
                break;
            else
                names << name;
    } else {
        for (const QByteArray& name : bytes.split('\0'))
            if (name.isEmpty())
                break;
            else
                names << platform::PathString(name.toStdString());
    }
    return names;
}

} // namespace

TDropEffect ChooseDropEffect(TDropEffect allowed, TDragTypes dragTypes, Qt::KeyboardModifiers keys)
{
    allowed &= dragTypes;
    const bool shift = keys & Qt::ShiftModifier;
    const bool ctrl = keys & Qt::ControlModifier;
    if (shift && ctrl && (allowed & DROPEFFECT_LINK))
        return DROPEFFECT_LINK;
    if (shift && !ctrl && (allowed & DROPEFFECT_MOVE))
        return DROPEFFECT_MOVE;
    for (TDropEffect effect : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK})
        if (allowed & effect)
            return effect;
    return DROPEFFECT_NONE;
}

TDropTarget::TDropTarget(QObject* owner) : QObject(owner)
{
}

TDropTarget::~TDropTarget()
{
    Revoke();
}

QWidget* TDropTarget::surface() const
{
    // A scrolling control receives drags on its viewport.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(control_.data()))
        return area->viewport();
    return control_;
}

void TDropTarget::Register(QWidget* control)
{
    Revoke();
    if (!control)
        throw std::runtime_error("Failed to Register " + controlName(control).toStdString());
    control_ = control;
    control->setAcceptDrops(true);
    surface()->setAcceptDrops(true);
    surface()->installEventFilter(this);
}

void TDropTarget::Revoke()
{
    if (!control_)
        return;
    endDrag();
    surface()->removeEventFilter(this);
    surface()->setAcceptDrops(false);
    control_->setAcceptDrops(false);
    control_ = nullptr;
}

void TDropTarget::setShowImage(bool show)
{
    showImage_ = show;
    if (!Dragging())
        return;
    if (show)
        showImageAt(lastPoint_);
    else
        hideImage();
}

bool TDropTarget::ImageShown() const
{
    return image_ && image_->isVisible();
}

bool TDropTarget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != surface())
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
        dragEnter(*static_cast<QDropEvent*>(event));
        return true;
    case QEvent::DragMove:
        dragOver(*static_cast<QDropEvent*>(event));
        return true;
    case QEvent::DragLeave:
        dragLeave();
        return true;
    case QEvent::Drop:
        drop(*static_cast<QDropEvent*>(event));
        return true;
    default:
        return false;
    }
}

// Qt's drop actions carry the same bits as the drop effects.
static void answer(QDropEvent& event, TDropEffect effect)
{
    const auto action = Qt::DropAction(effect & (DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK));
    if (action == Qt::IgnoreAction) {
        event.ignore();
        return;
    }
    event.setDropAction(action);
    event.accept();
}

TDropEffect TDropTarget::chooseEffect(TDropEffect allowed, Qt::KeyboardModifiers keys, QPoint point)
{
    TDropEffect effect;
    if (OnGetDropEffect) {
        effect = allowed & Dragtypes;
        OnGetDropEffect(*this, keys, point, effect);
    } else {
        effect = ChooseDropEffect(allowed, Dragtypes, keys);
    }
    const QRect client = surface()->rect();
    const bool nearSide = point.x() < client.left() + scrollMargin_ || point.x() > client.right() - scrollMargin_;
    const bool nearEnd = point.y() < client.top() + scrollMargin_ || point.y() > client.bottom() - scrollMargin_;
    if ((horizontalScroll_ && nearSide) || (verticalScroll_ && nearEnd))
        effect |= DROPEFFECT_SCROLL;
    return effect;
}

void TDropTarget::takeScrollSettings()
{
    scrollMargin_ = std::abs(QFontMetrics(control_->font()).height());
    horizontalScroll_ = verticalScroll_ = false;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(control_.data())) {
        horizontalScroll_ = area->horizontalScrollBar()->isVisible();
        verticalScroll_ = area->verticalScrollBar()->isVisible();
    }
}

void TDropTarget::dragEnter(QDropEvent& event)
{
    release();
    data_ = event.mimeData();
    lastPoint_ = event.position().toPoint();
    if (!data_ || !HasReadableFormat(*data_)) {
        data_ = nullptr;
        event.ignore();
        return;
    }
    if (showImage_)
        showImageAt(lastPoint_);
    takeScrollSettings();
    if (GetDataOnEnter)
        dataRead_ = ReadData(*data_);
    TDropEffect effect = chooseEffect(TDropEffect(event.possibleActions()), event.modifiers(), lastPoint_);
    answer(event, effect);
    if (OnEnter)
        OnEnter(*this, event.modifiers(), lastPoint_, effect);
}

void TDropTarget::dragOver(QDropEvent& event)
{
    if (!data_) {
        event.ignore();
        return;
    }
    const QPoint point = event.position().toPoint();
    TDropEffect effect = chooseEffect(TDropEffect(event.possibleActions()), event.modifiers(), point);
    if (OnDragOver)
        OnDragOver(*this, event.modifiers(), point, effect);
    answer(event, effect);
    if (effect & DROPEFFECT_SCROLL) {
        if (!scrollTimer_.isActive())
            scrollTimer_.start(ScrollIntervalMs, this);
    } else {
        scrollTimer_.stop();
    }
    if (point != lastPoint_ && ImageShown() && !scrollTimer_.isActive())
        showImageAt(point);
    lastPoint_ = point;
}

void TDropTarget::dragLeave()
{
    release();
    if (OnLeave)
        OnLeave(*this);
}

void TDropTarget::drop(QDropEvent& event)
{
    if (!data_) {
        event.ignore();
        return;
    }
    scrollTimer_.stop();
    hideImage();
    const QPoint point = event.position().toPoint();
    TDropEffect effect = chooseEffect(TDropEffect(event.possibleActions()), event.modifiers(), point);
    const QMimeData* data = event.mimeData() ? event.mimeData() : data_;
    // A drop no effect allows never reaches OnDrop, even if the data were read at enter.
    if ((effect & ~DROPEFFECT_SCROLL) && (dataRead_ || ReadData(*data))) {
        if (OnDrop)
            OnDrop(*this, event.modifiers(), point, effect);
    } else {
        effect = DROPEFFECT_NONE;
    }
    answer(event, effect);
    release();
}

void TDropTarget::release()
{
    ClearData();
    endDrag();
}

void TDropTarget::endDrag()
{
    dataRead_ = false;
    scrollTimer_.stop();
    data_ = nullptr;
    hideImage();
}

void TDropTarget::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != scrollTimer_.timerId())
        return QObject::timerEvent(event);
    const bool shown = ImageShown();
    hideImage();
    scrollStep();
    if (shown)
        showImageAt(lastPoint_);
}

void TDropTarget::scrollStep()
{
    auto* area = qobject_cast<QAbstractScrollArea*>(control_.data());
    if (!area)
        return;
    const QRect client = surface()->rect();
    if (lastPoint_.y() < client.top() + scrollMargin_)
        area->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (lastPoint_.y() > client.bottom() - scrollMargin_)
        area->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (lastPoint_.x() < client.left() + scrollMargin_)
        area->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (lastPoint_.x() > client.right() - scrollMargin_)
        area->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
}

void TDropTarget::showImageAt(QPoint point)
{
    if (!data_ || !surface())
        return;
    if (!image_) {
        image_ = new QLabel(surface());
        image_->setAttribute(Qt::WA_TransparentForMouseEvents);
        image_->setStyleSheet(QStringLiteral("QLabel { background: rgba(40, 70, 140, 170); color: white;"
                                             " border-radius: 3px; padding: 1px 4px; }"));
    }
    image_->setText(ImageText(*data_));
    image_->adjustSize();
    // Beside the pointer, so the row under it stays visible.
    image_->move(point + QPoint(12, 8));
    image_->show();
    image_->raise();
}

void TDropTarget::hideImage()
{
    if (image_)
        image_->hide();
}

QStringList TDropFileTarget::LocalFiles(const QMimeData& data)
{
    QStringList files;
    if (data.hasUrls())
        for (const QUrl& url : data.urls())
            if (url.isLocalFile())
                files << platform::LocalFileOfUrl(url);
    return files;
}

bool TDropFileTarget::HasReadableFormat(const QMimeData& data) const
{
    return !LocalFiles(data).isEmpty();
}

bool TDropFileTarget::ReadData(const QMimeData& data)
{
    ClearData();
    Files = LocalFiles(data);
    if (Files.isEmpty())
        return false;
    if (data.hasFormat(MapFormat))
        MappedNames = splitNames(data.data(MapFormat), false);
    else if (data.hasFormat(WideMapFormat))
        MappedNames = splitNames(data.data(WideMapFormat), true);
    if (MappedNames.size() != Files.size())
        MappedNames.clear();
    return true;
}

void TDropFileTarget::ClearData()
{
    Files.clear();
    MappedNames.clear();
}

QString TDropFileTarget::ImageText(const QMimeData& data) const
{
    const qsizetype count = LocalFiles(data).size();
    return count == 1 ? QStringLiteral("+ 1 file") : QStringLiteral("+ %1 files").arg(count);
}

TDropEffect TDropFileTarget::PasteFromClipboard()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || !ReadData(*data))
        return DROPEFFECT_NONE;
    const QByteArray preferred = data->data(PreferredEffectFormat);
    if (preferred.size() < 4)
        return DROPEFFECT_COPY;
    uint32_t effect;
    std::memcpy(&effect, preferred.constData(), 4);
    return effect;
}
