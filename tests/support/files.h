#pragma once
// Files for the tests: reading and writing them, the project's own test
// scripts in tests/data/ and the third-party samples, when present.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest/QtTest>

#include <fcntl.h>
#include <sys/stat.h>

namespace orvane_test {

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes bytes, making the folder; mtime, when given, in seconds since 1970.
// Returns the path.
inline QString writeFile(const QString &path, const QByteArray &bytes, qint64 mtime = 0)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    file.close();
    const struct timespec times[2] = {{time_t(mtime), 0}, {time_t(mtime), 0}};
    if (mtime && utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) != 0)
        qFatal("cannot set the time of %s", qPrintable(path));
    return path;
}

} // namespace orvane_test
