// TUrlLabel: a label that behaves like a web link. Hand cursor, its own look
// while the mouse is over it (caption, alignment, layout, background and
// font), and a click opens Url with the desktop's default handler.
#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QString>

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };

class TUrlLabel : public QLabel {
    Q_OBJECT
  public:
    static const QString DefaultUrl;

    explicit TUrlLabel(QWidget* parent = nullptr);

    QString Url() const { return url_; }
    void setUrl(const QString& url) { url_ = url; }
    QString HoverCaption() const { return hoverCaption_; }
    void setHoverCaption(const QString& caption) { hoverCaption_ = caption; }
    TAlignment HoverAlignment() const { return hoverAlignment_; }
    void setHoverAlignment(TAlignment alignment) { hoverAlignment_ = alignment; }
    TTextLayout HoverLayout() const { return hoverLayout_; }
    void setHoverLayout(TTextLayout layout) { hoverLayout_ = layout; }
    QColor HoverColor() const { return hoverColor_; }
    void setHoverColor(const QColor& color) { hoverColor_ = color; }
    QFont HoverFont() const { return hoverFont_; }
    void setHoverFont(const QFont& font) { hoverFont_ = font; }
    // A font's colour travels with it.
    QColor HoverFontColor() const { return hoverFontColor_; }
    void setHoverFontColor(const QColor& color) { hoverFontColor_ = color; }

    // The label's own look, as when the mouse is not over it.
    TAlignment Alignment() const;
    void setAlignment(TAlignment alignment);
    TTextLayout Layout() const;
    void setLayout(TTextLayout layout);
    QColor Color() const;
    void setColor(const QColor& color);
    QColor FontColor() const;
    void setFontColor(const QColor& color);

    bool Hovered() const { return hovered_; }

  signals:
    void OnMouseEnter();
    void OnMouseLeave();
    void OnClick();

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    struct Look {
        TAlignment alignment;
        QString caption;
        QColor color;
        QFont font;
        QColor fontColor;
        TTextLayout layout;
    };
    Look currentLook() const;
    void applyLook(const Look& look);

    QString url_;
    QString hoverCaption_;
    TAlignment hoverAlignment_ = taLeftJustify;
    TTextLayout hoverLayout_ = tlTop;
    QColor hoverColor_;
    QFont hoverFont_;
    QColor hoverFontColor_ = Qt::red;
    bool hovered_ = false;
    Look saved_;
};
