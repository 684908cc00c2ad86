#include "platform/dde.h"
#include "platform/registry.h"
#include "platform/text.h"

#include "support/TempDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using platform::Registry;
using platform::RegistryRoot;
using testsupport::TempDir;

namespace {
constexpr auto HKCR = RegistryRoot::ClassesRoot;
constexpr auto HKCU = RegistryRoot::CurrentUser;
} // namespace

TEST(Registry, KeysAndValuesPersistAndMatchWithoutCase)
{
    TempDir dir;
    Registry reg(dir.file("registry"));
    ASSERT_TRUE(reg.writeString(HKCR, ".MP3", "", "Orvella Audio File"));
    ASSERT_TRUE(reg.writeString(HKCU, "Software\\Korvane\\Orvella", "FirstRun", "false"));
    ASSERT_TRUE(reg.writeString(HKCR, "Orvella Audio File\\shell\\Open\\ddeexec", "", "[Open(\"%1\")]"));

    Registry again(dir.file("registry"));
    EXPECT_EQ(again.readString(HKCR, ".mp3", ""), "Orvella Audio File");
    EXPECT_EQ(again.readString(HKCU, "SOFTWARE\\korvane\\Orvella", "firstrun"), "false");
    EXPECT_EQ(again.readString(HKCR, "orvella audio file\\shell\\open\\ddeexec", ""), "[Open(\"%1\")]");
    EXPECT_TRUE(again.keyExists(HKCU, "Software\\Korvane")); // parents are created
    EXPECT_FALSE(again.keyExists(HKCR, "Software"));         // roots are separate
    EXPECT_EQ(again.subKeys(HKCR, "Orvella Audio File\\shell"), std::vector<std::string>{"Open"});
    EXPECT_FALSE(again.readString(HKCR, ".mp3", "missing").has_value());
}

TEST(Registry, DeletingAKeyTakesItsSubkeysOnly)
{
    TempDir dir;
    Registry reg(dir.file("registry"));
    reg.writeString(HKCR, "A\\B\\C", "", "1");
    reg.writeString(HKCR, "A\\B!", "", "2"); // sorts between A\B and A\B\C
    reg.writeString(HKCR, "A\\BB", "", "3");
    EXPECT_TRUE(reg.deleteKey(HKCR, "a\\b"));
    EXPECT_FALSE(reg.keyExists(HKCR, "A\\B\\C"));
    EXPECT_EQ(reg.readString(HKCR, "A\\B!", ""), "2");
    EXPECT_EQ(reg.readString(HKCR, "A\\BB", ""), "3");
    EXPECT_FALSE(reg.deleteKey(HKCR, "A\\B"));
}

TEST(Registry, ValuesWithQuotesBackslashesAndLineBreaksRoundTrip)
{
    TempDir dir;
    Registry reg(dir.file("registry"));
    std::string tricky = "\"/home/u/my \\music\"\n[x]\r=\"";
    ASSERT_TRUE(reg.writeString(HKCR, "k", "name \"q\"", tricky));
    EXPECT_EQ(Registry(dir.file("registry")).readString(HKCR, "k", "name \"q\""), tricky);
    EXPECT_FALSE(reg.createKey(HKCR, "bad\nkey"));
}

TEST(Registry, AReadOnlyStoreRefusesChangesAndKeepsItsContent)
{
    TempDir dir;
    std::string path = dir.file("registry");
    Registry reg(path);
    ASSERT_TRUE(reg.writeString(HKCR, ".WAV", "", "Other Program"));
    ::chmod(path.c_str(), 0444);
    const std::string before = testsupport::ReadFile(path);
    EXPECT_FALSE(reg.createKey(HKCR, ".MP3"));
    EXPECT_FALSE(reg.writeString(HKCR, ".WAV", "", "Orvella Audio File"));
    EXPECT_EQ(reg.readString(HKCR, ".WAV", ""), "Other Program");
    // The same within a batch, which then has nothing to write.
    Registry::Batch batch(reg);
    EXPECT_FALSE(reg.writeString(HKCR, ".WAV", "", "Orvella Audio File"));
    EXPECT_EQ(reg.readString(HKCR, ".WAV", ""), "Other Program");
    EXPECT_TRUE(batch.commit());
    EXPECT_EQ(testsupport::ReadFile(path), before);
}

TEST(Registry, ConcurrentWritersFromTwoProcessesLoseNothing)
{
    TempDir dir;
    std::string path = dir.file("registry");
    constexpr int kPerProcess = 40;
    pid_t child = fork();
    if (child == 0) {
        Registry reg(path);
        for (int i = 0; i < kPerProcess; ++i)
            reg.writeString(HKCU, "child", std::to_string(i), "c");
        _exit(0);
    }
    Registry reg(path);
    for (int i = 0; i < kPerProcess; ++i)
        reg.writeString(HKCU, "parent", std::to_string(i), "p");
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(reg.values(HKCU, "child").size(), static_cast<std::size_t>(kPerProcess));
    EXPECT_EQ(reg.values(HKCU, "parent").size(), static_cast<std::size_t>(kPerProcess));
}

TEST(Registry, ABatchIsWrittenOnceAtItsEndWhileAnotherProcessWaits)
{
    TempDir dir;
    std::string path = dir.file("registry");
    Registry reg(path);
    ASSERT_TRUE(reg.writeString(HKCU, "k", "before", "1"));
    const std::string before = testsupport::ReadFile(path);

    // The other process writes once it is told the batch is open.
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    pid_t child = fork();
    if (child == 0) {
        char byte;
        ::close(go[1]);
        bool told = ::read(go[0], &byte, 1) == 1;
        _exit(told && Registry(path).writeString(HKCU, "child", "v", "c") ? 0 : 1);
    }
    ::close(go[0]);
    {
        Registry::Batch batch(reg);
        EXPECT_TRUE(reg.writeString(HKCR, ".MP3", "", "Orvella Audio File"));
        EXPECT_TRUE(reg.deleteValue(HKCU, "k", "before"));
        {
            Registry::Batch joined(reg);
            EXPECT_TRUE(reg.writeString(HKCU, "k", "joined", "2"));
        }
        // The batch reads its own changes; the file has none of them yet.
        EXPECT_EQ(reg.readString(HKCR, ".mp3", ""), "Orvella Audio File");
        EXPECT_FALSE(reg.readString(HKCU, "k", "before").has_value());
        EXPECT_EQ(::write(go[1], "g", 1), 1);
        ::usleep(100 * 1000);
        EXPECT_EQ(testsupport::ReadFile(path), before);
        EXPECT_TRUE(batch.commit());
    }
    ::close(go[1]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    Registry again(path);
    EXPECT_EQ(again.readString(HKCR, ".MP3", ""), "Orvella Audio File");
    EXPECT_EQ(again.readString(HKCU, "k", "joined"), "2");
    EXPECT_FALSE(again.readString(HKCU, "k", "before").has_value());
    EXPECT_EQ(again.readString(HKCU, "child", "v"), "c");

    // A batch left early (an error on the way) still writes what it changed.
    try {
        Registry::Batch batch(reg);
        reg.writeString(HKCU, "k", "left", "3");
        throw std::runtime_error("stop");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(Registry(path).readString(HKCU, "k", "left"), "3");
}

namespace {
// Sends from a worker thread: the client blocks, the server needs this thread's event loop.
bool executeFromThread(const QString& service, const QString& text)
{
    std::atomic<int> result{-1};
    std::thread client([&] { result = platform::DdeExecute(service, "Macros", text, 3000) ? 1 : 0; });
    QElapsedTimer clock;
    clock.start();
    while (result == -1 && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    client.join();
    // The request is answered as soon as it is queued; its delivery follows.
    QCoreApplication::processEvents();
    return result == 1;
}
} // namespace

TEST(CommandChannel, RequestsArriveAsLinesAndOnlyOneServerOwnsAName)
{
    const QString service = QStringLiteral("orvella-test-%1").arg(::getpid());
    platform::DdeServer server(service, "Macros");
    ASSERT_TRUE(server.listen());
    platform::DdeServer second(service, "Macros");
    EXPECT_FALSE(second.listen());

    QList<QStringList> received;
    QObject::connect(&server, &platform::DdeServer::executeRequested,
                     [&](const QStringList& lines) { received << lines; });
    QString text = QString::fromUtf8("[Open(\"/m/Björk \\\"live\\\".mp3\")]\r\n[Enqueue(\"/m/b.ogg\")]\n");
    ASSERT_TRUE(executeFromThread(service, text));
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received[0],
              (QStringList{QString::fromUtf8("[Open(\"/m/Björk \\\"live\\\".mp3\")]"), "[Enqueue(\"/m/b.ogg\")]"}));
}

TEST(CommandChannel, MalformedAndOversizedRequestsAreDropped)
{
    const QString service = QStringLiteral("orvella-bad-%1").arg(::getpid());
    platform::DdeServer server(service, "Macros");
    ASSERT_TRUE(server.listen());
    int requests = 0;
    QObject::connect(&server, &platform::DdeServer::executeRequested, [&](const QStringList&) { ++requests; });

    auto sendRaw = [&](QByteArray bytes) {
        std::thread client([&] {
            QLocalSocket socket;
            socket.connectToServer(platform::DdeSocketPath(service, "Macros"));
            if (socket.waitForConnected(2000)) {
                socket.write(bytes);
                socket.waitForBytesWritten(2000);
                socket.waitForDisconnected(2000);
            }
        });
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        client.join();
    };
    sendRaw(QByteArray("\x7f\xff\xff\xff", 4) + "x");     // claims 2 GiB
    sendRaw(QByteArray("\x00\x00\x00\x03", 4) + "[Open"); // more than announced
    EXPECT_EQ(requests, 0);
    EXPECT_TRUE(executeFromThread(service, "[Open(\"/still/works.mp3\")]"));
    EXPECT_EQ(requests, 1);
}

TEST(CommandChannel, RequestsAreParsedFromTheirLengthAndBody)
{
    using platform::DdeRequest;
    using platform::ParseDdeRequest;
    auto framed = [](const QByteArray& body, int extra = 0) {
        const quint32 n = quint32(body.size() + extra);
        const char header[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
        return QByteArray(header, 4) + body;
    };
    EXPECT_EQ(ParseDdeRequest("").state, DdeRequest::Incomplete);
    EXPECT_EQ(ParseDdeRequest(QByteArray("\0\0", 2)).state, DdeRequest::Incomplete);
    EXPECT_EQ(ParseDdeRequest(framed("[Open", 3)).state, DdeRequest::Incomplete);
    EXPECT_EQ(ParseDdeRequest(framed("abc") + "more").state, DdeRequest::Invalid) << "more than announced";
    EXPECT_EQ(ParseDdeRequest(framed("", platform::kMaxDdeRequestBytes + 1)).state, DdeRequest::Invalid);
    const DdeRequest request = ParseDdeRequest(framed("[A]\r\n\n\r\n[B]\r"));
    EXPECT_EQ(request.state, DdeRequest::Complete);
    EXPECT_EQ(request.lines, (QStringList{"[A]", "[B]"}));
    EXPECT_EQ(ParseDdeRequest(framed("")).state, DdeRequest::Complete);

    // A file name from an old library need not be UTF-8; its bytes arrive as sent.
    const QByteArray latin1Name = "[Open(\"/m/caf\xE9 \xC3.mp3\")]";
    const DdeRequest withName = ParseDdeRequest(framed(latin1Name));
    ASSERT_EQ(withName.state, DdeRequest::Complete);
    ASSERT_EQ(withName.lines.size(), 1);
    EXPECT_EQ(platform::PathBytes(withName.lines[0]), latin1Name.toStdString());
}

TEST(CommandChannel, ABusyProgramAnswersAtOnceAndTakesTheRequestLater)
{
    const QString service = QStringLiteral("orvella-busy-%1").arg(::getpid());
    platform::DdeServer server(service, "Macros");
    ASSERT_TRUE(server.listen());
    QList<QStringList> received;
    QObject::connect(&server, &platform::DdeServer::executeRequested,
                     [&](const QStringList& lines) { received << lines; });

    // This thread runs no events while the client waits (as in a long title refresh).
    std::atomic<bool> answered{false};
    std::thread client([&] { answered = platform::DdeExecute(service, "Macros", "[Open(\"/a.mp3\")]", 3000); });
    client.join();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(received.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(received, QList<QStringList>{QStringList{"[Open(\"/a.mp3\")]"}});

    // The largest request the channel carries arrives whole; one byte more is refused by the sender.
    const QString big = "[Open(\"/" + QString(platform::kMaxDdeRequestBytes - 11, 'x') + "\")]";
    ASSERT_EQ(big.size(), platform::kMaxDdeRequestBytes);
    EXPECT_TRUE(platform::DdeExecute(service, "Macros", big, 3000));
    EXPECT_FALSE(platform::DdeExecute(service, "Macros", big + "x", 3000));
    QCoreApplication::processEvents();
    ASSERT_EQ(received.size(), 2);
    EXPECT_EQ(received[1].first().size(), big.size());
}
