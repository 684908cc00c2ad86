#include "FormBuilder.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <array>
#include <utility>

namespace {

// Installed by fonts-liberation2 and fonts-dejavu-core; Liberation Sans has
// Arial's metrics, so captions fit the design's boxes.
constexpr std::array<std::pair<DesignFace, const char*>, 2> StandIns{{
    {DesignFace::Arial, "Liberation Sans"},
    {DesignFace::Tahoma, "DejaVu Sans"},
}};

void name(QWidget* control, const char* objectName)
{
    if (objectName)
        control->setObjectName(QString::fromLatin1(objectName));
}

void setFont(QWidget* control, const std::optional<QFont>& font)
{
    if (font)
        control->setFont(*font);
}

} // namespace

QFont DesignFont(DesignFace face, int pixels, bool bold)
{
    const auto* standIn = std::find_if(StandIns.begin(), StandIns.end(), [face](auto& s) { return s.first == face; });
    QFont font(QString::fromLatin1(standIn->second));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QFont WindowFont()
{
    return DesignFont(DesignFace::Arial, 11);
}

QPushButton* makeButton(QWidget* parent, const char* objectName, const QString& caption, QRect at,
                        const std::optional<QFont>& font)
{
    auto* button = new QPushButton(caption, parent);
    name(button, objectName);
    setFont(button, font);
    button->setGeometry(at);
    return button;
}

QCheckBox* makeCheck(QWidget* parent, const char* objectName, const QString& caption, QRect at)
{
    auto* box = new QCheckBox(caption, parent);
    name(box, objectName);
    box->setGeometry(at);
    return box;
}

QCheckBox* makeCheck(QWidget* parent, const char* objectName, const QString& caption, QPoint at,
                     const std::optional<QFont>& font)
{
    auto* box = new QCheckBox(caption, parent);
    name(box, objectName);
    setFont(box, font);
    box->move(at);
    box->adjustSize();
    return box;
}

QLabel* makeLabel(QWidget* parent, const char* objectName, const QString& text, QPoint at,
                  const std::optional<QFont>& font)
{
    auto* label = new QLabel(text, parent);
    name(label, objectName);
    setFont(label, font);
    label->setTextFormat(Qt::PlainText);
    label->move(at);
    label->adjustSize();
    return label;
}
