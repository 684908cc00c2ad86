// The command channel between instances of the program: a server named by a
// service and a topic receives execute requests (text, one command per line)
// from other processes of the same user.
//
// Carried by a Unix domain socket (plain, not Qt Network: that library and the
// ones it pulls in would cost every start more than the channel itself) in a folder only the user can enter
// ($XDG_RUNTIME_DIR when it is private, else /tmp/orvella-UID made with mode 0700). A request is a
// 4-byte big-endian length and that many bytes of UTF-8, in which the bytes of
// file names that are not UTF-8 stand as they are (see PathBytes); the server answers one
// byte as soon as the request is whole, before it is handled, so a busy program
// (a message box, a long title refresh) still answers at once. Oversized,
// malformed or stalled requests are dropped.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <mutex>
#include <thread>

namespace platform {

QString DdeSocketPath(const QString& service, const QString& topic);

inline constexpr int kMaxDdeRequestBytes = 1 << 20;

// What the bytes received so far on one connection make.
struct DdeRequest {
    enum State { Incomplete, Invalid, Complete } state = Incomplete;
    QStringList lines; // when Complete: its non-empty lines, line ends removed
};
DdeRequest ParseDdeRequest(const QByteArray& received);

class DdeServer : public QObject {
    Q_OBJECT
  public:
    static constexpr int kMaxRequestBytes = kMaxDdeRequestBytes;

    DdeServer(QString service, QString topic, QObject* parent = nullptr);
    ~DdeServer() override;

    // Starts serving; false when a live server already has this name.
    bool listen();
    bool isListening() const;
    const QString& service() const { return service_; }
    const QString& topic() const { return topic_; }

  signals:
    // One execute request, split into lines (line ends removed); delivered
    // through this object's event loop.
    void executeRequested(const QStringList& lines);

  private:
    void close();
    // The receiving thread: accepts, reads, answers and queues each request.
    void receive();
    // On this object's thread: emits the queued requests in order.
    Q_INVOKABLE void deliverRequests();

    QString service_;
    QString topic_;
    QString path_;
    int listener_ = -1;
    int wake_[2] = {-1, -1}; // a byte on wake_[1] ends the receiving thread
    std::thread receiver_;
    std::mutex requestsLock_;
    std::deque<QStringList> requests_; // requestsLock_
};

// Sends one execute request and waits until the server has handled it. False
// when no server answers within timeoutMs.
bool DdeExecute(const QString& service, const QString& topic, const QString& text, int timeoutMs = 5000);

} // namespace platform
