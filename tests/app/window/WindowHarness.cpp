#include "WindowHarness.h"

#include "bass/EngineHarness.h"
#include "playlist/PlaylistWindow.h"

#include <QDir>
#include <QTest>

#include <cstdlib>

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

void PrintTo(const QRect& rect, std::ostream* out)
{
    *out << rect.x() << "," << rect.y() << " " << rect.width() << "x" << rect.height();
}

namespace apptest {

MainWindowTest::MainWindowTest() : cwd_(QDir::currentPath())
{
    setenv("ORVELLA_DATA_DIR", data.path().c_str(), 1);
    // A user who runs without plug-ins; a first start would load the shipped ones.
    testsupport::WriteFile(data.file("confstate.ini"), "[Loaded Plugins]\r\n");
}

MainWindowTest::~MainWindowTest()
{
    form.reset();
    unsetenv("ORVELLA_DATA_DIR");
    QDir::setCurrent(cwd_);
}

TForm1& MainWindowTest::start(const QStringList& arguments)
{
    form = std::make_unique<TForm1>(arguments);
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    return *form;
}

TForm1& MainWindowTest::restart()
{
    form->close();
    form.reset();
    return start();
}

playlist::Tplayl& MainWindowTest::list() const
{
    return *form->playlistWindow();
}

std::string MainWindowTest::wavFile(const std::string& name, double seconds, double hz) const
{
    enginetest::WriteWav(files.file(name), 8000, 1, enginetest::Sine(8000, 1, hz, seconds, 0.3));
    return files.file(name);
}

void MainWindowTest::addFiles(const std::vector<std::string>& paths) const
{
    QStringList dropped;
    for (const std::string& path : paths)
        dropped << QString::fromStdString(path);
    list().addDroppedFiles(dropped);
}

void MainWindowTest::playEntry(int index) const
{
    list().Highlight(index);
    list().playHighlighted();
}

bool MainWindowTest::waitFor(const std::function<bool()>& done, int timeoutMs) const
{
    return QTest::qWaitFor(done, timeoutMs);
}

std::string MainWindowTest::playing() const
{
    return form->AudioPlayer1().StreamFileName();
}

} // namespace apptest
