#pragma once
// Writing an export's files into a folder, never half-written and never
// over a file the export read.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace convert {

// A file an export makes: its name in the output folder and its bytes.
struct OutputFile {
    QString name;
    QByteArray bytes;
};

// Writes `files` into `folder` (made when missing). Each file goes to a
// temporary file beside its place first; once every one is complete they
// are renamed into place in the order given, the main file last, so that it
// never names a companion that is not there yet. A file in the way is
// replaced, keeping its permissions; one that is the same file as one of
// `inputs` stops the export before anything is written. On failure
// nothing of the temporary files is left, and *error says why.
bool writeOutputs(const QString &folder, const QList<OutputFile> &files, const QStringList &inputs, QString *error);

// A file name made from an object's name for files that other files name
// (a .bin, an .mtl, images): letters, digits, '.', '-' and '_' only, so that
// the naming file needs no escapes.
QString companionStem(const QString &objectName);

} // namespace convert
