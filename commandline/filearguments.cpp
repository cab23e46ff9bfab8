#include "commandline/filearguments.h"

#include <QFile>
#include <QList>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace commandline {

QByteArray argumentBytes(const QString &argument, int argc, const char *const *argv)
{
    for (int i = argc - 1; i > 0; --i) {
        if (QString::fromLocal8Bit(argv[i]) == argument)
            return QByteArray(argv[i]);
    }
    return QFile::encodeName(argument);
}

QByteArray workingFolder()
{
    QByteArray folder(4096, Qt::Uninitialized);
    while (!::getcwd(folder.data(), size_t(folder.size()))) {
        if (errno != ERANGE)
            return QByteArray();
        folder.resize(folder.size() * 2);
    }
    folder.truncate(qsizetype(qstrlen(folder.constData())));
    return folder;
}

namespace {
QByteArray joined(const QList<QByteArray> &segments)
{
    QByteArray path;
    for (const QByteArray &segment : segments)
        path += '/' + segment;
    return path.isEmpty() ? QByteArrayLiteral("/") : path;
}

// Whether two paths name the same existing folder.
bool sameFolder(const QByteArray &a, const QByteArray &b)
{
    struct stat first {}, second {};
    return ::stat(a.constData(), &first) == 0 && ::stat(b.constData(), &second) == 0 && S_ISDIR(first.st_mode)
        && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}
} // namespace

QUrl localFileUrl(const QByteArray &name, const QByteArray &folder)
{
    if (!name.startsWith('/') && folder.isEmpty())
        return QUrl();
    const QByteArray absolute = name.startsWith('/') ? name : folder + '/' + name;
    QList<QByteArray> segments;
    for (const QByteArray &segment : absolute.split('/')) {
        if (segment.isEmpty() || segment == ".")
            continue;
        // "a/.." is "" only when a is a plain folder; through a symbolic
        // link, ".." leads to the link target's parent, and the path stays
        // as given.
        if (segment == ".." && !segments.isEmpty() && segments.last() != ".."
            && sameFolder(joined(segments) + "/..", joined(segments.first(segments.size() - 1)))) {
            segments.removeLast();
            continue;
        }
        segments << segment;
    }
    QByteArray path = joined(segments);
    if (absolute.endsWith('/') && !path.endsWith('/'))
        path += '/'; // still a folder's name, as given
    return QUrl::fromEncoded("file://" + path.toPercentEncoding("/"), QUrl::StrictMode);
}

} // namespace commandline
