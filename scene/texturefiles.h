#pragma once
// Reading texture files without trusting them: only regular files (after
// symbolic links are followed), opened so that a FIFO or a device never makes
// the reader wait, and never more than a given number of bytes; and one entry
// of a zip archive held in memory. Each returns false with a reason for the
// user in `error` when it cannot.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace rwx {

// Whether `path` is a regular file, links followed. Never waits.
bool isRegularFile(const QString &path);

// Opens `file` on `path` for reading if it is a regular file of at most
// `maxBytes`.
bool openRegularFile(const QString &path, qint64 maxBytes, QFile &file, QString *error);

// The bytes of the regular file at `path`, if it holds at most `maxBytes`.
bool readRegularFile(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error);

// The bytes of the entry `entryName` (letter case ignored, in any folder of
// the archive) of the zip archive held in `archive`, or when there is no
// such entry, of its only entry ending in the same extension; at most
// `maxBytes` of them.
bool readZipEntry(const QByteArray &archive, const QString &entryName, qint64 maxBytes, QByteArray *bytes,
                  QString *error);

} // namespace rwx
