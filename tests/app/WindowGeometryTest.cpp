// The real program on an X server, started and closed again and again: its
// three windows must come back exactly where they were, with a window manager
// (openbox, which frames them) and without one.
#include "support/ProgramEnvironment.h"
#include "support/TempDir.h"
#include "support/XServer.h"

#include "platform/profile.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

#include <optional>

void PrintTo(const QRect& r, std::ostream* out)
{
    *out << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}

namespace {

struct Window {
    const char* title;
    const char* key; // in "Form State": key + "left", "top", "width", "height"
    QRect outer;
};

QString run(const QString& program, const QStringList& args, const QString& display)
{
    QProcess p;
    p.setProcessEnvironment(testsupport::WithDisplay(QProcessEnvironment::systemEnvironment(), display));
    p.start(program, args);
    p.waitForFinished(5000);
    return QString::fromLatin1(p.readAllStandardOutput());
}

// The outer rectangle of a mapped window as the X server has it: its client
// and the frame the window manager announces (none without one).
std::optional<QRect> outerOnScreen(const char* title, const QString& display)
{
    const QString info = run("xwininfo", {"-name", title}, display);
    if (!info.contains("IsViewable"))
        return std::nullopt;
    auto field = [&](const char* name) {
        const QRegularExpression re(QString::fromLatin1(name) + R"(:\s+(-?\d+))");
        return re.match(info).captured(1).toInt();
    };
    QRect outer(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"));
    const QString extents = run("xprop", {"-name", title, "_NET_FRAME_EXTENTS"}, display);
    const QRegularExpressionMatch m = QRegularExpression(R"(=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+))").match(extents);
    if (m.hasMatch()) // left, right, top, bottom
        outer = outer.marginsAdded(
            QMargins(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(2).toInt(), m.captured(4).toInt()));
    return outer;
}

bool near(const QRect& a, const QRect& b)
{
    return std::abs(a.left() - b.left()) <= 1 && std::abs(a.top() - b.top()) <= 1 &&
           std::abs(a.width() - b.width()) <= 1 && std::abs(a.height() - b.height()) <= 1;
}

QRect stored(const platform::ProfileFile& config, const Window& w)
{
    const std::string key = w.key;
    auto value = [&](const char* what) { return config.readInt("Form State", key + what, -9999); };
    return {value("left"), value("top"), value("width"), value("height")};
}

class WindowGeometry : public ::testing::Test {
  protected:
    void SetUp() override
    {
        if (x.display.isEmpty())
            GTEST_SKIP() << "no X server could be started";
        env = testsupport::ProgramEnvironment(home.path());
        env.insert("ORVELLA_AUDIO", "null");
        env = testsupport::WithDisplay(env, x.display);
        // Placed away from the defaults, the playlist with a size of its own.
        platform::ProfileFile config(home.file("data/confstate.ini"));
        for (const Window& w : windows) {
            const std::string key = w.key;
            config.writeInt("Form State", key + "left", w.outer.left());
            config.writeInt("Form State", key + "top", w.outer.top());
            config.writeInt("Form State", key + "width", w.outer.width());
            config.writeInt("Form State", key + "height", w.outer.height());
        }
    }

    // One start and close: every window is seen at its place, and stored there.
    void cycle(const std::string& round)
    {
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QString(ORVELLA_PROGRAM_DIR) + "orvella", {"-platform", "xcb"});
        ASSERT_TRUE(program.waitForStarted(5000)) << round;
        for (const Window& w : windows) {
            std::optional<QRect> seen;
            const bool placed = QTest::qWaitFor(
                [&] {
                    seen = outerOnScreen(w.title, x.display);
                    return seen && near(*seen, w.outer);
                },
                10'000);
            EXPECT_TRUE(placed) << round << ": " << w.title << " on screen at "
                                << (seen ? testing::PrintToString(*seen) : "nowhere");
        }
        testsupport::StopProgram(program);
        EXPECT_EQ(program.exitCode(), 0) << round;
        const platform::ProfileFile config(home.file("data/confstate.ini"));
        for (const Window& w : windows)
            EXPECT_PRED2(near, stored(config, w), w.outer) << round << ": " << w.title;
    }

    testsupport::XServer x;
    testsupport::TempDir home;
    QProcessEnvironment env;
    const std::vector<Window> windows{{"Orvella", "main", {200, 150, 330, 177}},
                                      {"Playlist", "Playlist", {600, 250, 320, 400}},
                                      {"Equalizer", "Equalizer", {200, 420, 330, 145}}};
};

} // namespace

TEST_F(WindowGeometry, WindowsStayPutOverRestartsWithAndWithoutAWindowManager)
{
    for (int round = 1; round <= 2; ++round)
        cycle("without a window manager, start " + std::to_string(round));

    testsupport::TempDir wm;
    const QString ready = QString::fromStdString(wm.file("ready"));
    QProcess openbox;
    openbox.setProcessEnvironment(testsupport::WithDisplay(QProcessEnvironment::systemEnvironment(), x.display));
    openbox.start("openbox", {"--startup", "touch " + ready});
    ASSERT_TRUE(openbox.waitForStarted(5000)) << "openbox is needed for this test";
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(ready); }, 10'000)) << "openbox did not start";
    for (int round = 1; round <= 4; ++round)
        cycle("with openbox, start " + std::to_string(round));
    testsupport::StopProgram(openbox);
}
