#include "CommandHandler.h"

#include "Associations.h"

#include "platform/dde.h"
#include "platform/text.h"

#include <QThread>

namespace {

constexpr int kRetryMs = 50;

} // namespace

TDDEHandler::TDDEHandler(const QString& service, QObject* parent)
    : QObject(parent), service_(service), server_(new platform::DdeServer(service, shell::kMacroTopic, this))
{
    connect(server_, &platform::DdeServer::executeRequested, this, &TDDEHandler::ExecuteMacro);
    retry_.setSingleShot(true);
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, &TDDEHandler::handOver);
}

TDDEHandler::~TDDEHandler() = default;

bool TDDEHandler::Listen()
{
    return server_->listen();
}

QStringList TDDEHandler::SplitCommands(QString line)
{
    QStringList commands;
    for (qsizetype at = line.indexOf("]["); at >= 0; at = line.indexOf("][")) {
        commands << line.left(at + 1).trimmed();
        line.remove(0, at + 1);
    }
    commands << line;
    return commands;
}

void TDDEHandler::ExecuteMacro(const QStringList& lines)
{
    for (const QString& line : lines)
        pending_ << SplitCommands(line);
    handOver();
}

void TDDEHandler::SetMacroHandler(MacroHandler handler)
{
    handler_ = std::move(handler);
    handOver();
}

void TDDEHandler::handOver()
{
    if (!handler_ || pending_.isEmpty())
        return;
    // A message box or dialog runs a loop of its own inside some command; the
    // commands wait until it has ended, so they never run within another.
    if (QThread::currentThread()->loopLevel() > 1) {
        retry_.start();
        return;
    }
    const QStringList commands = pending_;
    pending_.clear();
    handler_(this, commands);
}

std::optional<QString> MacroCommandPath(const QString& command)
{
    if (!command.startsWith("[Open(") && !command.startsWith("[Enqueue("))
        return std::nullopt;
    qsizetype open = command.indexOf('"');
    if (open < 0)
        return std::nullopt;
    QString rest = command.mid(open + 1);
    // The path runs to the quote that closes the command, so a file name that
    // holds a double quote itself still arrives whole.
    QString tail = rest;
    while (!tail.isEmpty() && tail.back().isSpace())
        tail.chop(1);
    if (tail.endsWith("\")]"))
        return tail.chopped(3);
    qsizetype close = rest.indexOf('"');
    return close < 0 ? rest : rest.left(close);
}

QString MacroRequestFor(const QStringList& files, bool enqueue)
{
    QStringList lines;
    for (const QString& file : files)
        lines << QString(enqueue ? "[Enqueue(\"%1\")]" : "[Open(\"%1\")]").arg(platform::AbsolutePath(file));
    return lines.join('\n');
}

QStringList MacroRequestsFor(const QStringList& files, bool enqueue)
{
    QStringList requests;
    QByteArray request;
    for (const QString& file : files) {
        const bool first = requests.isEmpty() && request.isEmpty();
        const QByteArray line =
            QByteArray::fromStdString(platform::PathBytes(MacroRequestFor({file}, enqueue || !first)));
        if (line.size() > platform::kMaxDdeRequestBytes)
            continue;
        if (request.size() + 1 + line.size() > platform::kMaxDdeRequestBytes) {
            requests << platform::PathString(request.toStdString());
            request.clear();
        }
        if (!request.isEmpty())
            request += '\n';
        request += line;
    }
    if (!request.isEmpty())
        requests << platform::PathString(request.toStdString());
    return requests;
}
