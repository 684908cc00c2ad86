#include "Documentation.h"

#include "platform/folders.h"

#include <QUrl>

QString DocumentationUrl()
{
    return QUrl::fromLocalFile(QString::fromStdString(platform::ProgramFolder()) + QStringLiteral("README.md"))
        .toString();
}

QString PluginsDocumentationUrl()
{
    return DocumentationUrl() + QStringLiteral("#input-plug-ins");
}
