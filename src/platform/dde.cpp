#include "dde.h"

#include "text.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <vector>

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

DdeRequest ParseDdeRequest(const QByteArray& received)
{
    if (received.size() < 4)
        return {};
    const quint32 length = qFromBigEndian<quint32>(received.constData());
    if (length > quint32(kMaxDdeRequestBytes) || received.size() > 4 + qsizetype(length))
        return {DdeRequest::Invalid, {}};
    if (received.size() < 4 + qsizetype(length))
        return {};
    // Lines carry file names, whose bytes are kept as they are.
    const std::string_view body(received.constData() + 4, length);
    DdeRequest request{DdeRequest::Complete, {}};
    for (const QString& line : PathString(body).split('\n'))
        if (QString trimmed = line.endsWith('\r') ? line.chopped(1) : line; !trimmed.isEmpty())
            request.lines << trimmed;
    return request;
}

namespace {

constexpr std::size_t kMaxConnections = 16;

// One client's connection: its bytes so far, until the request is whole.
struct Connection {
    int fd;
    std::chrono::steady_clock::time_point deadline;
    QByteArray received;
};

// Reads what has arrived; the request so far, or Invalid when the client
// closed before it was whole.
DdeRequest ReadSome(Connection& connection)
{
    char buffer[65536];
    ssize_t got;
    while ((got = ::recv(connection.fd, buffer, sizeof buffer, 0)) > 0) {
        // A client never sends more than the header says; more is an error.
        if (connection.received.size() + got > 4 + kMaxDdeRequestBytes)
            return {DdeRequest::Invalid, {}};
        connection.received.append(buffer, got);
    }
    const bool closed = got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR);
    DdeRequest request = ParseDdeRequest(connection.received);
    if (request.state == DdeRequest::Incomplete && closed)
        request.state = DdeRequest::Invalid;
    return request;
}

} // namespace

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
    if (receiver_.joinable()) {
        const char stop = 0;
        while (::write(wake_[1], &stop, 1) < 0 && errno == EINTR) {
        }
        receiver_.join();
    }
    for (int& fd : wake_) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
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
    if (::listen(fd, 16) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
        ::close(fd);
        ::unlink(address.sun_path);
        return false;
    }
    listener_ = fd;
    receiver_ = std::thread(&DdeServer::receive, this);
    return true;
}

void DdeServer::receive()
{
    using Clock = std::chrono::steady_clock;
    std::vector<Connection> connections;
    std::vector<pollfd> watched;
    for (;;) {
        const Clock::time_point now = Clock::now();
        // Wakes for the first stall deadline, or only for data when nothing is open.
        int timeoutMs = -1;
        for (const Connection& connection : connections) {
            const long left = std::max<long>(
                0, long(std::chrono::ceil<std::chrono::milliseconds>(connection.deadline - now).count()));
            timeoutMs = timeoutMs < 0 ? int(left) : std::min(timeoutMs, int(left));
        }
        watched.assign({{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}});
        for (const Connection& connection : connections)
            watched.push_back({connection.fd, POLLIN, 0});
        if (::poll(watched.data(), watched.size(), timeoutMs) < 0 && errno != EINTR)
            break;
        if (watched[0].revents != 0)
            break;

        // Each connection carries one request; stalled ones are dropped.
        std::vector<Connection> open;
        for (std::size_t k = 0; k < connections.size(); ++k) {
            Connection& connection = connections[k];
            DdeRequest request;
            if (watched[k + 2].revents != 0)
                request = ReadSome(connection);
            else if (Clock::now() >= connection.deadline)
                request.state = DdeRequest::Invalid;
            if (request.state == DdeRequest::Incomplete) {
                open.push_back(std::move(connection));
                continue;
            }
            if (request.state == DdeRequest::Complete) {
                // Queued for the event loop, then answered: the client's wait
                // ends here, however long the handling takes. The lines travel
                // under our lock, and the event names the method, so that
                // nothing of ours passes through Qt's event queue, whose locks
                // ThreadSanitizer cannot see.
                {
                    std::lock_guard<std::mutex> hold(requestsLock_);
                    requests_.push_back(std::move(request.lines));
                }
                QMetaObject::invokeMethod(this, "deliverRequests", Qt::QueuedConnection);
                ::send(connection.fd, &kHandled, 1, MSG_NOSIGNAL);
            }
            ::close(connection.fd);
        }
        connections = std::move(open);

        if (watched[1].revents != 0) {
            int fd;
            while ((fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0) {
                if (connections.size() >= kMaxConnections)
                    ::close(fd);
                else
                    connections.push_back({fd, Clock::now() + std::chrono::milliseconds(kStallMs), {}});
            }
        }
    }
    for (const Connection& connection : connections)
        ::close(connection.fd);
}

void DdeServer::deliverRequests()
{
    for (;;) {
        QStringList lines;
        {
            std::lock_guard<std::mutex> hold(requestsLock_);
            if (requests_.empty())
                return;
            lines = std::move(requests_.front());
            requests_.pop_front();
        }
        emit executeRequested(lines);
    }
}

bool DdeExecute(const QString& service, const QString& topic, const QString& text, int timeoutMs)
{
    const QString path = DdeSocketPath(service, topic);
    const QByteArray body = QByteArray::fromStdString(PathBytes(text));
    sockaddr_un address;
    if (path.isEmpty() || body.size() > kMaxDdeRequestBytes || !SocketAddress(path, address))
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
