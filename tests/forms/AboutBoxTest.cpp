// The about box: its texts, the pictures the build drew, and its link.

#include "prefs/AboutBox.h"
#include "controls/UrlLabel.h"
#include "platform/folders.h"
#include "prefs/PreferencesWindow.h"

#include <QFile>
#include <QUrl>
#include <gtest/gtest.h>

TEST(AboutBox, NamesTheProductShowsItsPicturesAndLinksTheDocumentation)
{
    TForm2 about;
    EXPECT_EQ(about.windowTitle(), "Orvella");
    EXPECT_EQ(about.size(), QSize(333, 268));
    EXPECT_EQ(about.makerLabel->text(), "KORVANE");
    EXPECT_EQ(about.productLabel->text(), "Orvella Beta V 0.83");
    EXPECT_EQ(about.keepLabel->text(), "keep doing the great work guys");
    const QStringList notes = about.Memo1->toPlainText().split('\n');
    EXPECT_TRUE(notes.contains("Plays Ogg,Mp3's,Wma 8-9"));
    EXPECT_TRUE(notes.contains("hope you got that,ciao"));
    EXPECT_LT(notes.indexOf("Plays Ogg,Mp3's,Wma 8-9"), notes.indexOf("Lets Get Audio ADDICTED"));

    const QList<QRect> places = {{208, 48, 97, 74}, {176, 8, 137, 41}, {176, 128, 137, 65}};
    ASSERT_EQ(about.Pictures.size(), 3);
    EXPECT_TRUE(about.Pictures[0]->pixmap().isNull()) << "decoded before the box was ever shown";
    about.show();
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(about.Pictures[k]->geometry(), places[k]);
        const QPixmap picture = about.Pictures[k]->pixmap();
        ASSERT_FALSE(picture.isNull()) << "picture " << k + 1;
        EXPECT_EQ(picture.size(), places[k].size());
    }

    EXPECT_EQ(about.UrlLabel1->text(), "Online Orvella Documentation");
    EXPECT_TRUE(about.UrlLabel1->HoverFont().bold());
    EXPECT_TRUE(about.UrlLabel1->HoverFont().underline());
    const QUrl docs(about.UrlLabel1->Url());
    ASSERT_TRUE(docs.isLocalFile());
    EXPECT_TRUE(QFile::exists(docs.toLocalFile())) << "the documentation travels with the program";
    EXPECT_TRUE(QFile(docs.toLocalFile()).open(QIODevice::ReadOnly));
}

TEST(PrefsPictures, TheFileTypesPageShowsTheBuildsPictures)
{
    player::TAudioPlayer player;
    Tprefform prefs(player);
    ASSERT_EQ(prefs.FileTypePictures.size(), 5);
    prefs.show();
    prefs.TreeView1->setCurrentItem(prefs.TreeView1->topLevelItem(2)); // "File Types"
    for (QLabel* picture : prefs.FileTypePictures) {
        ASSERT_FALSE(picture->pixmap().isNull()) << picture->objectName().toStdString();
        EXPECT_EQ(picture->pixmap().size(), picture->size());
    }
    EXPECT_TRUE(prefs.UrlLabel1->Url().startsWith(
        QUrl::fromLocalFile(QString::fromStdString(platform::ProgramFolder())).toString()));
}
