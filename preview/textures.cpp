#include "preview/textures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <zip.h>

#include <array>
#include <memory>

namespace preview {

namespace {
constexpr std::array kImageExtensions = {".jpg", ".jpeg", ".png", ".bmp", ".gif"};
// Masks are small; anything larger inside a zip is not read.
constexpr qint64 kLargestMaskEntry = 64 * 1024 * 1024;
// Images larger than this on a side are not decoded.
constexpr int kLargestImageSide = 8192;

bool usableName(const QString &name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\\') && name != QLatin1String(".") && name != QLatin1String("..");
}

QImage readImage(QIODevice *device, const QByteArray &format = QByteArray())
{
    QImageReader reader(device, format);
    const QSize size = reader.size();
    if (size.width() > kLargestImageSide || size.height() > kLargestImageSide)
        return {};
    return reader.read();
}

struct ZipCloser {
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
struct ZipFileCloser {
    void operator()(zip_file_t *file) const { zip_fclose(file); }
};
} // namespace

QStringList textureFolders(const QString &scriptFolder)
{
    QStringList folders;
    if (scriptFolder.isEmpty())
        return folders;
    const QDir dir(scriptFolder);
    for (const QString &candidate : {dir.absolutePath(), dir.absoluteFilePath(QStringLiteral("textures")),
                                     dir.absoluteFilePath(QStringLiteral("../textures"))}) {
        const QString clean = QDir::cleanPath(candidate);
        if (QFileInfo(clean).isDir() && !folders.contains(clean))
            folders << clean;
    }
    return folders;
}

TextureFinder::TextureFinder(QStringList folders)
    : m_folders(std::move(folders))
{
}

const QHash<QString, QString> &TextureFinder::listing(const QString &folder)
{
    auto it = m_listings.find(folder);
    if (it == m_listings.end()) {
        QHash<QString, QString> names;
        for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Readable | QDir::Hidden))
            names.insert(name.toLower(), name); // several spellings: any one of them
        it = m_listings.insert(folder, names);
    }
    return *it;
}

QString TextureFinder::findIn(const QString &folder, const QString &fileName)
{
    const QString exact = folder + u'/' + fileName;
    if (QFileInfo(exact).isFile())
        return exact;
    const QString spelled = listing(folder).value(fileName.toLower());
    return spelled.isEmpty() ? QString() : folder + u'/' + spelled;
}

QString TextureFinder::find(const QString &fileName)
{
    if (!usableName(fileName))
        return {};
    for (const QString &folder : std::as_const(m_folders)) {
        const QString path = findIn(folder, fileName);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

QString TextureFinder::imageFile(const QString &name)
{
    if (!usableName(name))
        return {};
    for (const QString &folder : std::as_const(m_folders)) {
        for (const char *extension : kImageExtensions) {
            const QString path = findIn(folder, name + QLatin1String(extension));
            if (!path.isEmpty())
                return path;
        }
    }
    return {};
}

QImage TextureFinder::mask(const QString &name)
{
    if (!usableName(name))
        return {};
    const QString bmpName = name + QStringLiteral(".bmp");
    QImage image;
    const QString bmp = find(bmpName);
    if (!bmp.isEmpty()) {
        QFile file(bmp);
        if (file.open(QIODevice::ReadOnly))
            image = readImage(&file);
    }
    if (image.isNull()) {
        const QString zipPath = find(name + QStringLiteral(".zip"));
        if (!zipPath.isEmpty()) {
            QByteArray bytes = readZipEntry(zipPath, bmpName, kLargestMaskEntry);
            QBuffer buffer(&bytes);
            if (buffer.open(QIODevice::ReadOnly))
                image = readImage(&buffer, "BMP");
        }
    }
    return image.isNull() ? image : image.convertToFormat(QImage::Format_Grayscale8);
}

QImage readImageFile(const QString &path)
{
    if (path.isEmpty())
        return {};
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? readImage(&file) : QImage();
}

QImage maskedTexture(const QImage &texture, const QImage &mask)
{
    QImage result = texture.convertToFormat(QImage::Format_RGBA8888);
    if (mask.isNull() || result.isNull())
        return result;
    const QImage alpha = (mask.size() == result.size() ? mask : mask.scaled(result.size()))
                             .convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < result.height(); ++y) {
        uchar *pixel = result.scanLine(y);
        const uchar *level = alpha.constScanLine(y);
        for (int x = 0; x < result.width(); ++x)
            pixel[4 * x + 3] = level[x] >= 128 ? 255 : 0;
    }
    return result;
}

QByteArray readZipEntry(const QString &path, const QString &entryName, qint64 maxBytes)
{
    int error = 0;
    std::unique_ptr<zip_t, ZipCloser> archive(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error));
    if (!archive)
        return {};
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    const QString extension = entryName.mid(entryName.lastIndexOf(u'.')).toLower();
    zip_int64_t chosen = -1;
    int sameExtension = 0;
    zip_int64_t onlyOne = -1;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *raw = zip_get_name(archive.get(), zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (!raw)
            continue;
        const QString name = QString::fromUtf8(raw);
        const QString bare = name.mid(name.lastIndexOf(u'/') + 1);
        if (bare.compare(entryName, Qt::CaseInsensitive) == 0) {
            chosen = i;
            break;
        }
        if (bare.toLower().endsWith(extension)) {
            ++sameExtension;
            onlyOne = i;
        }
    }
    if (chosen < 0 && sameExtension == 1)
        chosen = onlyOne;
    if (chosen < 0)
        return {};
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive.get(), zip_uint64_t(chosen), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)
        || stat.size > zip_uint64_t(maxBytes))
        return {};
    std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen_index(archive.get(), zip_uint64_t(chosen), 0));
    if (!file)
        return {};
    QByteArray bytes(qsizetype(stat.size), Qt::Uninitialized);
    if (zip_fread(file.get(), bytes.data(), stat.size) != zip_int64_t(stat.size))
        return {};
    return bytes;
}

} // namespace preview
