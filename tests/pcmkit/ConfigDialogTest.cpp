// The settings dialog driven through its widgets on the offscreen platform.

#include "PcmkitTest.h"

#include "ConfigDialog.h"
#include "Module.h"

#include "support/MessageBoxRecorder.h"

#include "platform/msgbox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

using namespace pcmkit;
using namespace pcmkit_test;

namespace {

template <typename T> T* Child(QWidget& dialog, const char* name)
{
    T* w = dialog.findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

QPushButton* Button(QWidget& dialog, QDialogButtonBox::StandardButton which)
{
    return dialog.findChild<QDialogButtonBox*>()->button(which);
}

} // namespace

TEST(ConfigDialog, ShowsTheSettingsAndTakesThemOnOk)
{
    SettingsScope settings;
    reset_settings();
    cfg_fdest = 2;
    cfg_priority = 1;
    std::strcpy(cfg_extra_exts, "MYW");
    build_extension_list(extension_list, sizeof extension_list);
    ConfigDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Brevik Waveform Decoder v2.05a configuration");
    EXPECT_TRUE(Child<QCheckBox>(dialog, "cfg_exploop")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(dialog, "cfg_mono")->isChecked());
    EXPECT_EQ(Child<QComboBox>(dialog, "cfg_fdest")->currentText(), "32");
    EXPECT_EQ(Child<QLineEdit>(dialog, "cfg_extra_exts")->text(), "MYW");
    auto* formats = Child<QListWidget>(dialog, "cfg_ext_mask");
    ASSERT_EQ(formats->count(), 11);
    EXPECT_TRUE(formats->item(5)->isSelected());
    EXPECT_FALSE(formats->item(6)->isSelected());
    auto* priority = Child<QSlider>(dialog, "cfg_priority");
    auto* label = Child<QLabel>(dialog, "priorityLabel");
    EXPECT_EQ(label->text(), "lowest");
    priority->setValue(6);
    EXPECT_EQ(label->text(), "time critical");

    Child<QCheckBox>(dialog, "cfg_mono")->setChecked(true);
    formats->item(0)->setSelected(false);
    formats->item(10)->setSelected(true);
    Child<QLineEdit>(dialog, "cfg_extra_exts")->setText("MYW;XWV");
    Child<QComboBox>(dialog, "cfg_fdest")->setCurrentIndex(1);
    EXPECT_FALSE(cfg_mono); // nothing changes before OK
    QTest::mouseClick(Button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(cfg_mono);
    EXPECT_EQ(cfg_ext_mask, 62u | 0x400u);
    EXPECT_EQ(cfg_priority, 6u);
    EXPECT_EQ(cfg_fdest, 1u);
    EXPECT_STREQ(cfg_extra_exts, "MYW;XWV");
    // The list offered to the host follows at once.
    EXPECT_EQ(std::string(extension_list, 4), std::string("VOC\0", 4));
}

TEST(ConfigDialog, ResetAsksFirstAndCannotBeCancelled)
{
    SettingsScope settings;
    reset_settings();
    cfg_mono = true;
    cfg_ext_mask = 1;
    build_extension_list(extension_list, sizeof extension_list);
    ConfigDialog dialog;
    testsupport::MessageBoxRecorder boxes;
    boxes.answerNext(IDNO);
    QTest::mouseClick(Button(dialog, QDialogButtonBox::Reset), Qt::LeftButton);
    EXPECT_TRUE(cfg_mono);
    EXPECT_TRUE(Child<QCheckBox>(dialog, "cfg_mono")->isChecked());

    boxes.answerNext(IDYES);
    QTest::mouseClick(Button(dialog, QDialogButtonBox::Reset), Qt::LeftButton);
    ASSERT_EQ(boxes.count(), 2u);
    EXPECT_EQ(boxes.boxes()[1].caption, "Warning");
    EXPECT_EQ(boxes.boxes()[1].buttons(), MB_YESNO);
    EXPECT_EQ(boxes.boxes()[1].text, "This will reset all settings to their default values. Continue ?\n"
                                     "(you won't be able to undo this by clicking 'cancel')");
    EXPECT_FALSE(cfg_mono);
    EXPECT_FALSE(Child<QCheckBox>(dialog, "cfg_mono")->isChecked());
    EXPECT_TRUE(Child<QListWidget>(dialog, "cfg_ext_mask")->item(5)->isSelected());
    QTest::mouseClick(Button(dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
    EXPECT_FALSE(cfg_mono);
    EXPECT_EQ(cfg_ext_mask, 63u);
    // Only OK or the next start rebuild the host's list.
    EXPECT_EQ(std::string(extension_list, 5), std::string("WAV\0W", 5));
    EXPECT_EQ(std::string(extension_list + 26, 2), std::string("\0\0", 2));
}
