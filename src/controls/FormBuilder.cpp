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

// Names `control` (unless `objectName` is null) and gives it `font` when there is one.
template <class Control> Control* prepare(Control* control, const char* objectName, const std::optional<QFont>& font)
{
    if (objectName)
        control->setObjectName(QString::fromLatin1(objectName));
    if (font)
        control->setFont(*font);
    return control;
}

// At `at`, as large as its text needs.
template <class Control> Control* sizedToText(Control* control, QPoint at)
{
    control->move(at);
    control->adjustSize();
    return control;
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
    QPushButton* button = prepare(new QPushButton(caption, parent), objectName, font);
    button->setGeometry(at);
    return button;
}

QCheckBox* makeCheck(QWidget* parent, const char* objectName, const QString& caption, QRect at)
{
    QCheckBox* box = prepare(new QCheckBox(caption, parent), objectName, std::nullopt);
    box->setGeometry(at);
    return box;
}

QCheckBox* makeCheck(QWidget* parent, const char* objectName, const QString& caption, QPoint at,
                     const std::optional<QFont>& font)
{
    return sizedToText(prepare(new QCheckBox(caption, parent), objectName, font), at);
}

QLabel* makeLabel(QWidget* parent, const char* objectName, const QString& text, QPoint at,
                  const std::optional<QFont>& font)
{
    QLabel* label = prepare(new QLabel(text, parent), objectName, font);
    label->setTextFormat(Qt::PlainText);
    return sizedToText(label, at);
}
