// The file drop target: which effect a drag gets, what is read from it, and
// the edge scrolling, driven by the drag events Qt delivers.

#include "controls/DropTarget.h"

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QListWidget>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

namespace {

QMimeData* filesData(const QStringList& files)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& file : files)
        urls << QUrl::fromLocalFile(file);
    data->setUrls(urls);
    return data;
}

QByteArray nulSeparated(const QStringList& names)
{
    QByteArray bytes;
    for (const QString& name : names)
        bytes += name.toUtf8() + '\0';
    return bytes + '\0';
}

// A list long enough to scroll, with a drop target on it.
struct Target {
    QListWidget list;
    TDropFileTarget target;
    QStringList dropped, mapped;
    int drops = 0;
    TDropEffect enterEffect = 0xFFFF;

    explicit Target(TDragTypes types)
    {
        list.resize(200, 120);
        for (int k = 0; k < 100; ++k)
            list.addItem(QString("row %1").arg(k));
        target.Dragtypes = types;
        target.Register(&list);
        target.OnEnter = [this](TDropTarget&, Qt::KeyboardModifiers, QPoint, TDropEffect& e) { enterEffect = e; };
        target.OnDrop = [this](TDropTarget&, Qt::KeyboardModifiers, QPoint, TDropEffect&) {
            ++drops;
            dropped = target.Files;
            mapped = target.MappedNames;
        };
        list.show();
    }
    QWidget* viewport() { return list.viewport(); }
    Qt::DropAction enter(const QMimeData* data, Qt::DropActions allowed, QPoint at = {50, 50},
                         Qt::KeyboardModifiers keys = Qt::NoModifier)
    {
        QDragEnterEvent event(at, allowed, data, Qt::LeftButton, keys);
        QApplication::sendEvent(viewport(), &event);
        return event.isAccepted() ? event.dropAction() : Qt::IgnoreAction;
    }
    Qt::DropAction move(const QMimeData* data, Qt::DropActions allowed, QPoint at,
                        Qt::KeyboardModifiers keys = Qt::NoModifier)
    {
        QDragMoveEvent event(at, allowed, data, Qt::LeftButton, keys);
        QApplication::sendEvent(viewport(), &event);
        return event.isAccepted() ? event.dropAction() : Qt::IgnoreAction;
    }
    Qt::DropAction drop(const QMimeData* data, Qt::DropActions allowed, QPoint at = {50, 50})
    {
        QDropEvent event(at, allowed, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport(), &event);
        return event.isAccepted() ? event.dropAction() : Qt::IgnoreAction;
    }
};

} // namespace

TEST(DropEffect, ModifiersAndAcceptedTypesDecide)
{
    const TDragTypes all = dtCopy | dtMove | dtLink;
    const TDropEffect any = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_EQ(ChooseDropEffect(any, all, Qt::NoModifier), DROPEFFECT_COPY);
    EXPECT_EQ(ChooseDropEffect(any, all, Qt::ShiftModifier), DROPEFFECT_MOVE);
    EXPECT_EQ(ChooseDropEffect(any, all, Qt::ShiftModifier | Qt::ControlModifier), DROPEFFECT_LINK);
    EXPECT_EQ(ChooseDropEffect(any, all, Qt::ControlModifier), DROPEFFECT_COPY);
    EXPECT_EQ(ChooseDropEffect(DROPEFFECT_LINK, all, Qt::ShiftModifier), DROPEFFECT_LINK);
    EXPECT_EQ(ChooseDropEffect(DROPEFFECT_MOVE | DROPEFFECT_LINK, all, Qt::NoModifier), DROPEFFECT_MOVE);
    // The playlist accepts links only.
    EXPECT_EQ(ChooseDropEffect(DROPEFFECT_COPY | DROPEFFECT_LINK, dtLink, Qt::NoModifier), DROPEFFECT_LINK);
    EXPECT_EQ(ChooseDropEffect(DROPEFFECT_COPY, dtLink, Qt::NoModifier), DROPEFFECT_NONE);
    EXPECT_EQ(ChooseDropEffect(any, 0, Qt::NoModifier), DROPEFFECT_NONE);
}

TEST(DropFileTarget, LinkOnlyTargetTakesLinkDragsAndRefusesCopyOnlyOnes)
{
    Target t(dtLink);
    std::unique_ptr<QMimeData> data(filesData({"/m/a.mp3", "/m/b.ogg"}));
    EXPECT_EQ(t.enter(data.get(), Qt::CopyAction | Qt::LinkAction), Qt::LinkAction);
    EXPECT_EQ(t.enterEffect, DROPEFFECT_LINK);
    EXPECT_EQ(t.drop(data.get(), Qt::CopyAction | Qt::LinkAction), Qt::LinkAction);
    EXPECT_EQ(t.drops, 1);
    EXPECT_EQ(t.dropped, QStringList({"/m/a.mp3", "/m/b.ogg"}));
    EXPECT_TRUE(t.target.Files.isEmpty()) << "cleared after the drop";
    EXPECT_FALSE(t.target.Dragging());

    EXPECT_EQ(t.enter(data.get(), Qt::CopyAction), Qt::IgnoreAction);
    EXPECT_EQ(t.move(data.get(), Qt::CopyAction, {50, 50}), Qt::IgnoreAction);
    EXPECT_EQ(t.drop(data.get(), Qt::CopyAction), Qt::IgnoreAction);
    EXPECT_EQ(t.drops, 1);
}

TEST(DropFileTarget, TextAndRemoteAddressesAreRefusedWithoutOnDrop)
{
    Target t(dtCopy | dtLink);
    QMimeData text;
    text.setText("just words");
    EXPECT_EQ(t.enter(&text, Qt::CopyAction), Qt::IgnoreAction);
    EXPECT_FALSE(t.target.Dragging());
    EXPECT_EQ(t.drop(&text, Qt::CopyAction), Qt::IgnoreAction);

    QMimeData remote;
    remote.setUrls({QUrl("https://example.org/a.mp3")});
    EXPECT_EQ(t.enter(&remote, Qt::CopyAction), Qt::IgnoreAction);
    EXPECT_EQ(t.drop(&remote, Qt::CopyAction), Qt::IgnoreAction);
    EXPECT_EQ(t.drops, 0);

    // A mixed drag keeps only its local files.
    QMimeData mixed;
    mixed.setUrls({QUrl("https://example.org/x.mp3"), QUrl::fromLocalFile("/m/local.wav")});
    EXPECT_EQ(t.enter(&mixed, Qt::CopyAction), Qt::CopyAction);
    t.drop(&mixed, Qt::CopyAction);
    EXPECT_EQ(t.dropped, QStringList({"/m/local.wav"}));
}

TEST(DropFileTarget, MappedNamesAreKeptOnlyWhenThereIsOneForEachFile)
{
    Target t(dtCopy);
    std::unique_ptr<QMimeData> three(filesData({"/m/1", "/m/2", "/m/3"}));
    three->setData("FileNameMap", nulSeparated({"one", "two"}));
    t.enter(three.get(), Qt::CopyAction);
    t.drop(three.get(), Qt::CopyAction);
    EXPECT_EQ(t.dropped.size(), 3);
    EXPECT_TRUE(t.mapped.isEmpty());

    // The wide map counts the same way.
    std::unique_ptr<QMimeData> two(filesData({"/m/1", "/m/2"}));
    const QString wide = QString("uno") + QChar(0) + QString("dos") + QChar(0) + QChar(0);
    two->setData("FileNameMapW", QByteArray(reinterpret_cast<const char*>(wide.utf16()), wide.size() * 2));
    t.enter(two.get(), Qt::CopyAction);
    t.drop(two.get(), Qt::CopyAction);
    EXPECT_EQ(t.mapped, QStringList({"uno", "dos"}));
}

TEST(DropFileTarget, LingeringNearTheBottomScrollsOneLineEvery100Ms)
{
    Target t(dtCopy);
    QScrollBar* bar = t.list.verticalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    std::unique_ptr<QMimeData> data(filesData({"/m/a"}));
    const int bottom = t.viewport()->height() - 3; // within a font height of the edge
    t.enter(data.get(), Qt::CopyAction, {50, 50});
    t.move(data.get(), Qt::CopyAction, {50, 50});
    EXPECT_FALSE(t.target.Scrolling()) << "the middle does not scroll";

    const int start = bar->value();
    t.move(data.get(), Qt::CopyAction, {50, bottom});
    EXPECT_TRUE(t.target.Scrolling());
    QTest::qWait(550);
    const int scrolled = bar->value() - start;
    EXPECT_GE(scrolled, 3 * bar->singleStep());
    EXPECT_LE(scrolled, 6 * bar->singleStep());

    t.move(data.get(), Qt::CopyAction, {50, 50});
    EXPECT_FALSE(t.target.Scrolling());
    const int stopped = bar->value();
    QTest::qWait(250);
    EXPECT_EQ(bar->value(), stopped);

    // Near the top it scrolls back up.
    t.move(data.get(), Qt::CopyAction, {50, 2});
    QTest::qWait(250);
    EXPECT_LT(bar->value(), stopped);
    t.drop(data.get(), Qt::CopyAction, {50, 2});
    EXPECT_FALSE(t.target.Scrolling());
}

TEST(DropFileTarget, RegisterRevokeAndPaste)
{
    TDropFileTarget target;
    try {
        target.Register(nullptr);
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Failed to Register ");
    }

    QListWidget first, second;
    target.Register(&first);
    target.Register(&second);
    EXPECT_FALSE(first.viewport()->acceptDrops()) << "the previous control is revoked";
    EXPECT_TRUE(second.viewport()->acceptDrops());
    target.Revoke();
    EXPECT_FALSE(second.viewport()->acceptDrops());
    EXPECT_EQ(target.Control(), nullptr);

    QClipboard* clipboard = QGuiApplication::clipboard();
    QMimeData* pasted = filesData({"/m/p1", "/m/p2"});
    const uint32_t move = DROPEFFECT_MOVE;
    pasted->setData("Preferred DropEffect", QByteArray(reinterpret_cast<const char*>(&move), 4));
    clipboard->setMimeData(pasted);
    EXPECT_EQ(target.PasteFromClipboard(), DROPEFFECT_MOVE);
    EXPECT_EQ(target.Files, QStringList({"/m/p1", "/m/p2"}));
    clipboard->setMimeData(filesData({"/m/p3"}));
    EXPECT_EQ(target.PasteFromClipboard(), DROPEFFECT_COPY);
    clipboard->setText("words");
    EXPECT_EQ(target.PasteFromClipboard(), DROPEFFECT_NONE);
}
