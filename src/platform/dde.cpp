#include "dde.h"

#include "text.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QtEndian>

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

DdeServer::DdeServer(QString service, QString topic, QObject* parent)
    : QObject(parent), service_(std::move(service)), topic_(std::move(topic))
{
}

DdeServer::~DdeServer()
{
    if (server_)
        server_->close(); // removes the socket file
}

bool DdeServer::isListening() const
{
    return server_ && server_->isListening();
}

bool DdeServer::listen()
{
    QString path = DdeSocketPath(service_, topic_);
    if (path.isEmpty())
        return false;
    delete server_;
    server_ = new QLocalServer(this);
    if (!server_->listen(path)) {
        // A socket file may be left by a program that died: take it over only
        // when nobody answers on it.
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(500))
            return false;
        QLocalServer::removeServer(path);
        if (!server_->listen(path))
            return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &DdeServer::acceptConnections);
    return true;
}

void DdeServer::acceptConnections()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        QTimer::singleShot(kStallMs, socket, [socket] { socket->abort(); });
    }
}

void DdeServer::readRequest(QLocalSocket* socket)
{
    if (socket->bytesAvailable() < 4)
        return;
    char header[4];
    socket->peek(header, 4);
    const quint32 length = qFromBigEndian<quint32>(header);
    if (length > kMaxRequestBytes) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < 4 + static_cast<qint64>(length))
        return;
    socket->skip(4);
    const QByteArray body = socket->read(length);
    if (!IsValidUtf8(std::string_view(body.constData(), static_cast<std::size_t>(body.size())))) {
        socket->abort();
        return;
    }
    QStringList lines;
    for (const QString& line : QString::fromUtf8(body).split('\n'))
        if (QString trimmed = line.endsWith('\r') ? line.chopped(1) : line; !trimmed.isEmpty())
            lines << trimmed;
    socket->disconnect(this); // one request per connection
    emit executeRequested(lines);
    socket->write(&kHandled, 1);
    socket->flush();
    socket->disconnectFromServer();
}

bool DdeExecute(const QString& service, const QString& topic, const QString& text, int timeoutMs)
{
    const QString path = DdeSocketPath(service, topic);
    const QByteArray body = text.toUtf8();
    if (path.isEmpty() || body.size() > DdeServer::kMaxRequestBytes)
        return false;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    char header[4];
    qToBigEndian<quint32>(static_cast<quint32>(body.size()), header);
    socket.write(header, 4);
    socket.write(body);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    char answer = 0;
    socket.read(&answer, 1);
    return answer == kHandled;
}

} // namespace platform
