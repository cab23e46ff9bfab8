#pragma once
// Checking a folder typed for the zip archives.
#include <QString>
#include <optional>

// The entry with a separator at its end (an empty entry becomes the root folder).
QString withTrailingSeparator(const QString &entry, QChar separator);

// The folder the archives would go to, ending in a separator, when it is an
// existing folder that can be listed and written to; "~" and "~/..." stand
// for the home folder, and any other relative entry is taken against the
// current folder and given back absolute.
std::optional<QString> usableZipFolder(const QString &entry);
