// The hyperlink label: its hover look comes and goes exactly, and a click
// opens the trimmed address.

#include "controls/UrlLabel.h"

#include "support/TempDir.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

// Stands in for the desktop's handler of web addresses.
class OpenedUrls : public QObject {
    Q_OBJECT
  public:
    OpenedUrls()
    {
        for (const char* scheme : {"http", "https", "file"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~OpenedUrls() override
    {
        for (const char* scheme : {"http", "https", "file"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QList<QUrl> urls;

  public slots:
    void open(const QUrl& url) { urls << url; }
};

// xdg-open first on the PATH, as a stub that notes each address it is given.
struct DesktopOpener {
    testsupport::TempDir bin;
    std::string oldPath = std::getenv("PATH");
    std::string log = bin.file("opened");

    DesktopOpener()
    {
        testsupport::WriteFile(bin.file("xdg-open"), "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + log + "'\n");
        std::filesystem::permissions(bin.file("xdg-open"), std::filesystem::perms::owner_all);
        setenv("PATH", (bin.path() + ":" + oldPath).c_str(), 1);
    }
    ~DesktopOpener() { setenv("PATH", oldPath.c_str(), 1); }
    // The addresses opened, once `count` of them arrived.
    QStringList opened(int count) const
    {
        QStringList lines;
        (void)QTest::qWaitFor(
            [&] {
                lines = QString::fromStdString(testsupport::ReadFile(log)).split('\n', Qt::SkipEmptyParts);
                return lines.size() >= count;
            },
            5000);
        return lines;
    }
};

void enter(QWidget& w)
{
    QEnterEvent event(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&w, &event);
}

void leave(QWidget& w)
{
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(&w, &event);
}

} // namespace

TEST(UrlLabel, ClickOpensTheTrimmedAddressAfterTheClickEvent)
{
    OpenedUrls opened;
    TUrlLabel label;
    label.resize(150, 17);
    label.setUrl("  https://example.org/docs/  ");
    int clicksBeforeOpen = -1;
    QObject::connect(&label, &TUrlLabel::OnClick, [&] { clicksBeforeOpen = int(opened.urls.size()); });

    QTest::mouseClick(&label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    ASSERT_EQ(opened.urls.size(), 1);
    EXPECT_EQ(opened.urls[0], QUrl("https://example.org/docs/"));
    EXPECT_EQ(clicksBeforeOpen, 0) << "OnClick comes first";

    QTest::mouseClick(&label, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(opened.urls.size(), 1) << "only the left button follows the link";
}

TEST(UrlLabel, AClickReachesTheDesktopsOpener)
{
    DesktopOpener opener;
    TUrlLabel label;
    label.resize(150, 17);
    label.setUrl("  https://example.org/docs/  ");
    QTest::mouseClick(&label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(opener.opened(1), QStringList{"https://example.org/docs/"});

    // A page of a local file, as the preferences' link opens it.
    testsupport::TempDir docs;
    testsupport::WriteFile(docs.file("read me.md"), "# Plug-ins\n");
    label.setUrl(QUrl::fromLocalFile(QString::fromStdString(docs.file("read me.md"))).toString() + "#input-plug-ins");
    QTest::mouseClick(&label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    const QStringList opened = opener.opened(2);
    ASSERT_EQ(opened.size(), 2);
    const QUrl second(opened[1]);
    EXPECT_EQ(second.toLocalFile(), QString::fromStdString(docs.file("read me.md")));
    EXPECT_EQ(second.fragment(), "input-plug-ins");
}

TEST(UrlLabel, HoverLookAppliesAndTheNormalLookComesBackExactly)
{
    TUrlLabel label;
    EXPECT_EQ(label.text(), TUrlLabel::DefaultUrl);
    EXPECT_EQ(label.HoverCaption(), TUrlLabel::DefaultUrl);
    EXPECT_TRUE(label.font().underline());
    EXPECT_EQ(label.FontColor(), QColor(Qt::blue));
    EXPECT_EQ(label.cursor().shape(), Qt::PointingHandCursor);

    label.setText("Read the manual"); // differs from Url on purpose
    label.setUrl("https://example.org/");
    label.setAlignment(taRightJustify);
    label.setLayout(tlBottom);
    label.setColor(QColor(10, 20, 30));
    QFont normal("Liberation Sans");
    normal.setPixelSize(13);
    normal.setItalic(true);
    label.setFont(normal);
    label.setFontColor(QColor(0, 128, 0));

    label.setHoverCaption("Go there");
    label.setHoverAlignment(taCenter);
    label.setHoverLayout(tlCenter);
    label.setHoverColor(QColor(200, 200, 0));
    QFont hover = normal;
    hover.setBold(true);
    label.setHoverFont(hover);

    QString captionSeenOnEnter, captionSeenOnLeave;
    QObject::connect(&label, &TUrlLabel::OnMouseEnter, [&] { captionSeenOnEnter = label.text(); });
    QObject::connect(&label, &TUrlLabel::OnMouseLeave, [&] { captionSeenOnLeave = label.text(); });

    enter(label);
    EXPECT_EQ(captionSeenOnEnter, "Read the manual") << "the event fires before the look changes";
    EXPECT_EQ(label.text(), "Go there");
    EXPECT_EQ(label.Alignment(), taCenter);
    EXPECT_EQ(label.Layout(), tlCenter);
    EXPECT_EQ(label.Color(), QColor(200, 200, 0));
    EXPECT_TRUE(label.font().bold());
    EXPECT_EQ(label.FontColor(), QColor(Qt::red));

    leave(label);
    EXPECT_EQ(captionSeenOnLeave, "Go there");
    EXPECT_EQ(label.text(), "Read the manual");
    EXPECT_EQ(label.Alignment(), taRightJustify);
    EXPECT_EQ(label.Layout(), tlBottom);
    EXPECT_EQ(label.Color(), QColor(10, 20, 30));
    EXPECT_EQ(label.font(), normal);
    EXPECT_EQ(label.FontColor(), QColor(0, 128, 0));

    // A second leave without an enter must not restore a stale look.
    label.setText("Changed since");
    leave(label);
    EXPECT_EQ(label.text(), "Changed since");
}

#include "UrlLabelTest.moc"
