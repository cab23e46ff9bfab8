#include "app/settings.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include "app/zipfolder.h"

namespace {
constexpr auto kOrganisation = "Orvane";
constexpr auto kApplication = "Orvane";
constexpr auto kZipPathKey = "Settings/ZIP_path";

QString storedValue()
{
    const QSettings settings(QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication));
    return settings.value(QString::fromLatin1(kZipPathKey)).toString();
}

// Why the settings file cannot be written, in the system's words where it has some.
QString whyNotWritable(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return file.errorString();
    return QStringLiteral("it could not be written");
}
} // namespace

QString readZipFolderSetting()
{
    const QString value = storedValue();
    if (value.isEmpty() || QDir::isRelativePath(value))
        return QString();
    return withTrailingSeparator(value, QDir::separator());
}

bool writeZipFolderSetting(const QString &folder, QString *error)
{
    QString fileName;
    {
        QSettings settings(QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication));
        fileName = settings.fileName();
        if (folder.isEmpty())
            settings.remove(QString::fromLatin1(kZipPathKey));
        else
            settings.setValue(QString::fromLatin1(kZipPathKey), folder);
        settings.sync();
    }
    // The status after sync() also reports a damaged file that was read
    // (and is now rewritten), so the file is read again to know.
    if (storedValue() == folder)
        return true;
    if (error)
        *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(fileName), whyNotWritable(fileName));
    return false;
}
