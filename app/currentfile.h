#pragma once
#include <QString>
#include <QStringView>
#include <optional>

// The window's memory of the script being worked on. Every text field is
// empty at start-up; the zip folder is filled from the settings store.
struct CurrentFile {
    QString path;      // full path of the file opened last
    QString folder;    // path up to and including its last separator
    QString driveRoot; // path up to and including its first separator
    QString fileName;  // path after its last separator
    QString baseName;  // file name before its last dot
    QString extension; // file name from its last dot, dot included
    QString prefix;    // base name without its trailing digits
    QString number;    // the trailing digits, leading zeros kept; "0" when there are none
    QString zipFolder; // where the archives go
};

// The pieces of a path, split at the given separator.
struct PathParts {
    QString folder;
    QString driveRoot;
    QString fileName;
    QString baseName;
    QString extension;
};

// Splits a path into folder, drive root, file name, base name and extension.
// Gives nothing when the file name has no dot: such a file cannot be opened.
std::optional<PathParts> splitPath(const QString &path, QChar separator);

struct RunningNumber {
    QString prefix;
    QString number;
};

// Splits a base name into its prefix and its trailing run of ASCII digits
// ("house12" -> "house" + "12", "house" -> "house" + "0", "007" -> "" + "007").
// Gives nothing for an empty base name: the previous split then stands.
std::optional<RunningNumber> splitRunningNumber(QStringView baseName);

// The decimal text of the number one above the given digits, exact at any
// length, without leading zeros ("007" -> "8", "9" -> "10", "" -> "1").
// Anything that is not a run of digits counts as 0.
QString nextNumber(QStringView number);
