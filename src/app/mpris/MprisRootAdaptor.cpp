#include "MprisRootAdaptor.h"

#include "MediaControlTarget.h"

#include "DesktopIntegration.h"

#include <QMimeDatabase>
#include <QTimer>

namespace {

// The MIME types of these file types ("MP3", "VOC"), each once.
QStringList MimeTypesOfFileTypes(const QStringList& fileTypes)
{
    QMimeDatabase database;
    QStringList types;
    auto add = [&types](const QString& type) {
        if (!types.contains(type))
            types << type;
    };
    for (const QString& fileType : fileTypes) {
        std::vector<std::string> known = shell::MimeTypesOf(fileType.toUpper().toStdString());
        for (const std::string& type : known)
            add(QString::fromStdString(type));
        if (!known.empty())
            continue;
        // Plug-in types the association table does not list: the shared database's guess.
        QMimeType guess = database.mimeTypeForFile("x." + fileType.toLower(), QMimeDatabase::MatchExtension);
        if (!guess.isDefault())
            add(guess.name());
    }
    return types;
}

} // namespace

MprisRootAdaptor::MprisRootAdaptor(QObject* host, MediaControlTarget* target)
    : QDBusAbstractAdaptor(host), target_(target)
{
}

QString MprisRootAdaptor::Identity() const
{
    return QStringLiteral("Orvella");
}

QString MprisRootAdaptor::DesktopEntry() const
{
    QString entry = QString::fromLatin1(shell::kDesktopFileName);
    return entry.left(entry.lastIndexOf('.'));
}

QStringList MprisRootAdaptor::SupportedUriSchemes() const
{
    return {QStringLiteral("file")};
}

QStringList MprisRootAdaptor::SupportedMimeTypes() const
{
    return MimeTypesOfFileTypes(target_->playableFileTypes());
}

void MprisRootAdaptor::Raise()
{
    target_->raise();
}

void MprisRootAdaptor::Quit()
{
    // Closing ends the program; the caller's reply goes out first.
    QTimer::singleShot(0, target_, &MediaControlTarget::quit);
}
