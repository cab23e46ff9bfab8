#pragma once
// The program's one stored setting: the zip folder.
#include <QString>

QString readZipFolderSetting();
// False when the settings store could not be written.
bool writeZipFolderSetting(const QString &folder);
