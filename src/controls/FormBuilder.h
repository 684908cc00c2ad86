// The controls every window builds the same way, placed at the design's
// pixel positions, and the design's fonts drawn with the Linux faces that
// stand in for them.
#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QString>

#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;
class QWidget;

// The faces the design names.
enum class DesignFace { Arial, Tahoma };

// `face` at `pixels` high, in the Linux face standing in for it.
QFont DesignFont(DesignFace face, int pixels, bool bold = false);

// The secondary windows' own font: Arial 11 px.
QFont WindowFont();

// A control named `name` (null: unnamed) on `parent`. Without `font` it takes
// its parent's.
QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, QRect at,
                        const std::optional<QFont>& font = std::nullopt);
QCheckBox* makeCheck(QWidget* parent, const char* name, const QString& caption, QRect at);
// A check box as wide and high as its caption needs.
QCheckBox* makeCheck(QWidget* parent, const char* name, const QString& caption, QPoint at,
                     const std::optional<QFont>& font = std::nullopt);
// A plain-text label as large as its text needs.
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QPoint at,
                  const std::optional<QFont>& font = std::nullopt);
