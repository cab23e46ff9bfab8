#pragma once
// One export from start to end: a script's text, or an input file, to the
// files of a format on disk.
#include "convert/exportformat.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <stop_token>

namespace convert {

struct ExportResult {
    bool ok = false;
    bool cancelled = false; // a stop was requested before anything was written
    QString error;          // why it failed, for the user
    QStringList warnings;   // what was left out and why ("texture wood not found")
    QStringList written;    // the files written, the main one last
};

// Exports what `text` draws to `outputPath` (its companion files beside
// it), its textures looked for in `textureFolders`. The object is named
// after the output file. No file of `inputs` is ever replaced. Stops before
// writing when `stop` is requested.
ExportResult exportScript(QStringView text, const QStringList &textureFolders, const QString &outputPath, Format format,
                          const QStringList &inputs, std::stop_token stop = {});

// Where the main file converted from `input` goes: `<name>.<format>` in
// `outputFolder`, or beside the input when that is empty.
QString outputPathFor(const QString &input, const QString &outputFolder, Format format);

// Converts the script or object archive `input` to outputPathFor().
ExportResult convertInput(const QString &input, const QString &outputFolder, Format format);

} // namespace convert
