// TDropTarget: lets the user drop data onto a control. It chooses the drop
// effect from the source's allowed effects, the accepted Dragtypes and the
// modifier keys, scrolls the control while the mouse lingers at its edges,
// shows a drag image over the control, and reports enter, over, leave and
// drop. TDropFileTarget reads dropped local files.
//
// Effects are the drop-effect bits below, which are also the bits of
// Qt::DropAction; the scroll bit is added while the point is in a scroll margin.
#pragma once

#include <QBasicTimer>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <functional>

class QDropEvent;
class QLabel;
class QMimeData;
class QWidget;

using TDropEffect = uint32_t;
constexpr TDropEffect DROPEFFECT_NONE = 0;
constexpr TDropEffect DROPEFFECT_COPY = 1;
constexpr TDropEffect DROPEFFECT_MOVE = 2;
constexpr TDropEffect DROPEFFECT_LINK = 4;
constexpr TDropEffect DROPEFFECT_SCROLL = 0x80000000u;

enum TDragType : unsigned { dtCopy = DROPEFFECT_COPY, dtMove = DROPEFFECT_MOVE, dtLink = DROPEFFECT_LINK };
using TDragTypes = unsigned;

// The effect for the source's allowed effects and the modifier keys, without scrolling.
TDropEffect ChooseDropEffect(TDropEffect allowed, TDragTypes dragTypes, Qt::KeyboardModifiers keys);

class TDropTarget : public QObject {
    Q_OBJECT
  public:
    static constexpr int ScrollIntervalMs = 100;

    using DragEvent = std::function<void(TDropTarget&, Qt::KeyboardModifiers, QPoint, TDropEffect&)>;
    using NotifyEvent = std::function<void(TDropTarget&)>;

    explicit TDropTarget(QObject* owner = nullptr);
    ~TDropTarget() override;

    TDragTypes Dragtypes = 0;
    bool GetDataOnEnter = false;
    DragEvent OnEnter, OnDragOver, OnDrop;
    NotifyEvent OnLeave;
    // Replaces the default choice; gets the allowed effects in `effect`.
    DragEvent OnGetDropEffect;

    bool ShowImage() const { return showImage_; }
    void setShowImage(bool show);

    // Revokes the previous control, then takes drags aimed at this one.
    // Throws std::runtime_error "Failed to Register <name>" for no control.
    void Register(QWidget* control);
    void Revoke();
    QWidget* Control() const { return control_; }

    bool Dragging() const { return data_ != nullptr; }
    bool Scrolling() const { return scrollTimer_.isActive(); }
    bool ImageShown() const;

  protected:
    // What the derived targets read.
    virtual bool HasReadableFormat(const QMimeData& data) const = 0;
    virtual bool ReadData(const QMimeData& data) = 0;
    virtual void ClearData() = 0;
    // The text of the drag image for this data.
    virtual QString ImageText(const QMimeData& data) const = 0;

    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    void dragEnter(QDropEvent& event);
    void dragOver(QDropEvent& event);
    void dragLeave();
    void drop(QDropEvent& event);
    TDropEffect chooseEffect(TDropEffect allowed, Qt::KeyboardModifiers keys, QPoint point);
    QWidget* surface() const; // the widget the drags arrive at
    void takeScrollSettings();
    void scrollStep();
    void showImageAt(QPoint point);
    void hideImage();
    void release(); // the data read, then endDrag
    void endDrag(); // no virtual calls: it also runs at destruction

    QPointer<QWidget> control_;
    const QMimeData* data_ = nullptr; // held during a drag
    bool dataRead_ = false;
    bool showImage_ = true;
    QBasicTimer scrollTimer_;
    int scrollMargin_ = 0;
    bool horizontalScroll_ = false;
    bool verticalScroll_ = false;
    QPoint lastPoint_;
    QPointer<QLabel> image_;
};

class TDropFileTarget : public TDropTarget {
    Q_OBJECT
  public:
    using TDropTarget::TDropTarget;

    // Filled while a drop is reported; cleared after it.
    QStringList Files;
    // The names the dropped items are to be given, when the source supplies
    // one for each file ("FileNameMap": UTF-8, "FileNameMapW": UTF-16, both
    // NUL-separated).
    QStringList MappedNames;

    // Reads files pasted from the clipboard into Files; returns the effect the
    // source prefers ("Preferred DropEffect"), copy when it names none, and
    // none when the clipboard holds no files.
    TDropEffect PasteFromClipboard();

    // The local files of a drag, in order.
    static QStringList LocalFiles(const QMimeData& data);

  protected:
    bool HasReadableFormat(const QMimeData& data) const override;
    bool ReadData(const QMimeData& data) override;
    void ClearData() override;
    QString ImageText(const QMimeData& data) const override;
};
