#pragma once
// Files for the tests: reading and writing them, the project's own test
// scripts in tests/data/ and the third-party samples, when present.
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
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

// The SHA-256 of a file's bytes (of nothing, when it cannot be read), and
// its permission bits (-1 when it is missing), following symbolic links.
inline QByteArray sha256Of(const QString &path)
{
    return QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256).toHex();
}

inline int modeOf(const QString &path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

// What is at `path`, to compare before and after: "absent", "folder", or a
// file's SHA-256 and mode.
inline QString fileState(const QString &path)
{
    struct stat st;
    if (lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("absent");
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("folder");
    const QByteArray sha256 = QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256);
    return QStringLiteral("sha256 %1 mode %2").arg(QString::fromLatin1(sha256.toHex())).arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
}

// The project's own test scripts, tests/data/NAME.
inline QString dataFile(const QString &name)
{
    return QStringLiteral(ORVANE_DATA_DIR "/") + name;
}

// The *.rwx files of a folder, by full path, in name order.
inline QStringList scriptsIn(const QString &folder)
{
    const QDir dir(folder);
    QStringList paths;
    for (const QString &name : dir.entryList({QStringLiteral("*.rwx")}, QDir::Files, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

inline QStringList dataScripts()
{
    return scriptsIn(QStringLiteral(ORVANE_DATA_DIR));
}

// Third-party sample scripts, in ../shared/samples/rwx beside the clone on
// our machines and CI only. ORVANE_REQUIRE_SAMPLES() skips the test when the
// folder is missing and fails it when the folder is there but incomplete.
inline QString samplesFolder()
{
    return QDir::cleanPath(QStringLiteral(ORVANE_SAMPLES_DIR));
}

inline QStringList sampleScripts()
{
    return scriptsIn(samplesFolder());
}

#define ORVANE_REQUIRE_SAMPLES()                                                              \
    do {                                                                                      \
        if (!QFileInfo(orvane_test::samplesFolder()).isDir())                                 \
            QSKIP(qPrintable(QStringLiteral("sample scripts folder %1 is missing")            \
                                 .arg(orvane_test::samplesFolder())));                        \
        QVERIFY2(orvane_test::sampleScripts().size() >= 6,                                    \
                 qPrintable(QStringLiteral("too few samples in ") + orvane_test::samplesFolder())); \
    } while (false)

// A script's text as the editor reads it: UTF-8 when it is valid UTF-8,
// else the Windows code page, one character per byte.
inline QString readScriptText(const QString &path)
{
    const QByteArray bytes = readFile(path);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder codePage("windows-1252");
    return codePage(bytes);
}

} // namespace orvane_test
