#pragma once
// Saving the preview's picture as a PNG file.
#include <QImage>
#include <QString>

namespace preview {

// The picture's usual name for the script at `scriptPath`: the script's
// name with .png for its extension, beside it ("house13.rwx" ->
// "house13.png"); "preview.png" in `fallbackFolder` when no script is open.
QString pictureNameFor(const QString &scriptPath, const QString &fallbackFolder);

// Writes the image as a PNG file at `path` through a temporary file beside
// it, renamed over `path` only once complete, so that a failure leaves any
// file there as it was. A file replaced keeps its permissions; a new one
// gets the usual ones for the user's file-creation mask. false, with the
// reason in *error, when it cannot.
bool writePicture(const QImage &image, const QString &path, QString *error);

} // namespace preview
