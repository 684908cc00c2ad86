// Receives the command channel's execute requests for the service of this
// program and topic "Macros", splits them into single commands and hands them to
// the main window's macro handler, keeping them until one is registered and
// while a message box or dialog runs an event loop of its own.
#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <optional>

namespace platform {
class DdeServer;
}

class TDDEHandler : public QObject {
    Q_OBJECT
public:
    using MacroHandler = std::function<void(TDDEHandler* sender, const QStringList& commands)>;

    explicit TDDEHandler(const QString& service, QObject* parent = nullptr);
    ~TDDEHandler() override;

    // Starts serving; false when another instance already serves the name.
    bool Listen();
    const QString& Service() const { return service_; }

    void SetMacroHandler(MacroHandler handler);
    // One execute request, as lines.
    void ExecuteMacro(const QStringList& lines);

    const QStringList& Pending() const { return pending_; }

    // The single commands of one line: "[a][b]" gives "[a]" and "[b]".
    static QStringList SplitCommands(QString line);

private:
    void handOver();

    QString service_;
    platform::DdeServer* server_;
    QStringList pending_;
    MacroHandler handler_;
    QTimer retry_; // while an inner event loop runs
};

// The path of an "[Open(" or "[Enqueue(" command, or nothing for other commands
// and commands without a double quote.
std::optional<QString> MacroCommandPath(const QString& command);

// Asks the running program to raise and activate its main window.
inline constexpr const char* kActivateCommand = "[Activate()]";

// The request a second instance sends: one "[Open(...)]" (or "[Enqueue(...)]")
// line per file, with absolute paths.
QString MacroRequestFor(const QStringList& files, bool enqueue);
// The same, cut into requests the channel carries (see platform::DdeServer):
// after the first, "[Open(" becomes "[Enqueue(", so only the first file is
// started. A path too long for any request is left out.
QStringList MacroRequestsFor(const QStringList& files, bool enqueue);
