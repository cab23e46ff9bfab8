#pragma once
// The program's one stored setting: the zip folder.
#include <QString>

// The stored zip folder, ending in a separator; empty when none is stored
// or the stored value is not an absolute path.
QString readZipFolderSetting();
// Stores `folder`, or removes the setting when `folder` is empty. False
// when the settings file does not hold the result afterwards; *error then
// names the file and says why.
bool writeZipFolderSetting(const QString &folder, QString *error = nullptr);
