// Bytes on the command channel as another process may send them: a request is
// parsed from its length and body, split into commands and their paths. What
// comes out is bounded by what came in, never holds a line break, and keeps
// the bytes it was sent (file names need not be UTF-8).

#include "CommandHandler.h"
#include "fuzz/FuzzCheck.h"

#include "platform/dde.h"
#include "platform/text.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const platform::DdeRequest request = platform::ParseDdeRequest(bytes);
    if (request.state != platform::DdeRequest::Complete)
        return 0;
    check(bytes.size() >= 4 && bytes.size() - 4 <= platform::kMaxDdeRequestBytes);
    qsizetype total = 0;
    for (const QString& line : request.lines) {
        check(!line.isEmpty() && !line.contains('\n'));
        check(bytes.mid(4).contains(QByteArray::fromStdString(platform::PathBytes(line))));
        total += line.size();
        for (const QString& command : TDDEHandler::SplitCommands(line)) {
            check(command.size() <= line.size());
            if (const std::optional<QString> path = MacroCommandPath(command))
                check(path->size() < command.size() && command.contains(*path));
        }
    }
    check(total <= bytes.size());
    return 0;
}
