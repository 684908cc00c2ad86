#include "dde.h"

#include "text.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr int kStallMs = 5000;
constexpr char kHandled = '\x01';

// A folder only this user can enter; the sockets inside need no further protection.
bool isPrivateFolder(const QString& folder)
{
    struct stat st {};
    return ::lstat(folder.toLocal8Bit().constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 0077) == 0;
}

QString socketFolder()
{
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(runtime))
        return runtime;
    QString folder = QStringLiteral("/tmp/orvella-%1").arg(::getuid());
    ::mkdir(folder.toLocal8Bit().constData(), 0700);
    return isPrivateFolder(folder) ? folder : QString();
}

QString safeName(QString name)
{
    for (QChar& c : name)
        if (!c.isLetterOrNumber() && c != '-' && c != '_')
            c = '_';
    return name;
}

} // namespace

QString DdeSocketPath(const QString& service, const QString& topic)
{
    QString folder = socketFolder();
    if (folder.isEmpty())
        return {};
    return folder + "/orvella-dde-" + safeName(service) + "-" + safeName(topic);
}

namespace {

// The socket's address; false when the path does not fit.
bool SocketAddress(const QString& path, sockaddr_un& address)
{
    const QByteArray bytes = QFile::encodeName(path);
    address = {};
    address.sun_family = AF_UNIX;
    if (bytes.isEmpty() || std::size_t(bytes.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, bytes.constData(), std::size_t(bytes.size()));
    return true;
}

int NewSocket(bool nonBlocking)
{
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0), 0);
}

bool Connect(int fd, const sockaddr_un& address)
{
    return ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

// Waits for fd to become ready for events within the time left.
bool WaitFor(int fd, short events, int timeoutMs)
{
    pollfd entry{fd, events, 0};
    int ready;
    do
        ready = ::poll(&entry, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    return ready == 1 && (entry.revents & events);
}

bool WriteAll(int fd, const char* data, std::size_t size, int timeoutMs)
{
    while (size > 0) {
        if (!WaitFor(fd, POLLOUT, timeoutMs))
            return false;
        const ssize_t written = ::send(fd, data, size, MSG_NOSIGNAL);
        if (written < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        if (written > 0) {
            data += written;
            size -= std::size_t(written);
        }
    }
    return true;
}

} // namespace

// One client's connection: its bytes so far, until the request is whole.
struct DdeServer::Connection {
    int fd = -1;
    QSocketNotifier* notifier = nullptr;
    QTimer* stall = nullptr;
    QByteArray received;
};

DdeServer::DdeServer(QString service, QString topic, QObject* parent)
    : QObject(parent), service_(std::move(service)), topic_(std::move(topic))
{
}

DdeServer::~DdeServer()
{
    close();
}

void DdeServer::close()
{
    delete notifier_;
    notifier_ = nullptr;
    if (listener_ >= 0) {
        ::close(listener_);
        listener_ = -1;
        ::unlink(QFile::encodeName(path_).constData());
    }
}

bool DdeServer::isListening() const
{
    return listener_ >= 0;
}

bool DdeServer::listen()
{
    close();
    path_ = DdeSocketPath(service_, topic_);
    sockaddr_un address;
    if (path_.isEmpty() || !SocketAddress(path_, address))
        return false;
    int fd = NewSocket(true);
    if (fd < 0)
        return false;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // A socket file may be left by a program that died: take it over only
        // when nobody answers on it.
        const int probe = NewSocket(false);
        const bool alive = probe >= 0 && Connect(probe, address);
        if (probe >= 0)
            ::close(probe);
        if (alive || errno == EACCES || ::unlink(address.sun_path) != 0 ||
            ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return false;
        }
    }
    if (::listen(fd, 16) != 0) {
        ::close(fd);
        ::unlink(address.sun_path);
        return false;
    }
    listener_ = fd;
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &DdeServer::acceptConnections);
    return true;
}

void DdeServer::acceptConnections()
{
    int fd;
    while ((fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0) {
        auto* connection =
            new Connection{fd, new QSocketNotifier(fd, QSocketNotifier::Read, this), new QTimer(this), {}};
        connect(connection->notifier, &QSocketNotifier::activated, this,
                [this, connection] { readRequest(connection); });
        connection->stall->setSingleShot(true);
        connect(connection->stall, &QTimer::timeout, this, [this, connection] { drop(connection); });
        connection->stall->start(kStallMs);
    }
}

void DdeServer::drop(Connection* connection)
{
    connection->stall->stop();
    connection->notifier->setEnabled(false);
    connection->notifier->deleteLater();
    connection->stall->deleteLater();
    ::close(connection->fd);
    delete connection;
}

void DdeServer::readRequest(Connection* connection)
{
    char buffer[65536];
    ssize_t got;
    while ((got = ::recv(connection->fd, buffer, sizeof buffer, 0)) > 0) {
        connection->received.append(buffer, got);
        if (connection->received.size() > 4 + kMaxRequestBytes)
            break;
    }
    const bool closed = got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR);
    const QByteArray& bytes = connection->received;
    const quint32 length = bytes.size() >= 4 ? qFromBigEndian<quint32>(bytes.constData()) : 0;
    if (length > kMaxRequestBytes || (bytes.size() < 4 + qsizetype(length) && closed)) {
        drop(connection);
        return;
    }
    if (bytes.size() < 4 + qsizetype(length))
        return; // more to come
    const QByteArray body = bytes.mid(4, length);
    if (!IsValidUtf8(std::string_view(body.constData(), static_cast<std::size_t>(body.size())))) {
        drop(connection);
        return;
    }
    QStringList lines;
    for (const QString& line : QString::fromUtf8(body).split('\n'))
        if (QString trimmed = line.endsWith('\r') ? line.chopped(1) : line; !trimmed.isEmpty())
            lines << trimmed;
    // One request per connection: no more reading, and no stall, while it is
    // handled (the handler may show a message box and wait for the user).
    connection->notifier->setEnabled(false);
    connection->stall->stop();
    emit executeRequested(lines);
    ::send(connection->fd, &kHandled, 1, MSG_NOSIGNAL);
    drop(connection);
}

bool DdeExecute(const QString& service, const QString& topic, const QString& text, int timeoutMs)
{
    const QString path = DdeSocketPath(service, topic);
    const QByteArray body = text.toUtf8();
    sockaddr_un address;
    if (path.isEmpty() || body.size() > DdeServer::kMaxRequestBytes || !SocketAddress(path, address))
        return false;
    const int fd = NewSocket(false);
    if (fd < 0)
        return false;
    char header[4];
    qToBigEndian<quint32>(static_cast<quint32>(body.size()), header);
    char answer = 0;
    const bool handled = Connect(fd, address) && WriteAll(fd, header, 4, timeoutMs) &&
                         WriteAll(fd, body.constData(), std::size_t(body.size()), timeoutMs) &&
                         WaitFor(fd, POLLIN, timeoutMs) && ::recv(fd, &answer, 1, 0) == 1 && answer == kHandled;
    ::close(fd);
    return handled;
}

} // namespace platform
