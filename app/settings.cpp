#include "app/settings.h"

#include <QSettings>

namespace {
constexpr auto kOrganisation = "Orvane";
constexpr auto kApplication = "Orvane";
constexpr auto kGroup = "Settings";
constexpr auto kZipPathKey = "ZIP_path";
} // namespace

QString readZipFolderSetting()
{
    QSettings settings(QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication));
    settings.beginGroup(QString::fromLatin1(kGroup));
    return settings.value(QString::fromLatin1(kZipPathKey)).toString();
}

bool writeZipFolderSetting(const QString &folder)
{
    QSettings settings(QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication));
    settings.beginGroup(QString::fromLatin1(kGroup));
    settings.setValue(QString::fromLatin1(kZipPathKey), folder);
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}
