#include "convert/texturegathering.h"

#include "scene/texturefiles.h"

#include <QBuffer>
#include <QImageReader>

namespace convert {

namespace {

qint64 area(QSize size)
{
    return qint64(size.width()) * size.height();
}

QString tooLarge(QSize size)
{
    return QStringLiteral("a picture of %1 x %2 is too large").arg(size.width()).arg(size.height());
}

// Reads the picture stored in file.bytes: its format, from the content, and
// when `decode` its pixels, as `pixels`, at the size it is stored.
bool readPicture(TextureFile &file, bool decode, QImage::Format pixels, qint64 largestPixels, QString *error)
{
    QBuffer buffer;
    buffer.setData(file.bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    file.format = reader.format().toLower();
    const QSize stored = reader.size();
    if (file.format.isEmpty() || !reader.canRead()) {
        *error = QStringLiteral("not a readable picture");
        return false;
    }
    if (stored.isValid() && area(stored) > largestPixels) {
        *error = tooLarge(stored);
        return false;
    }
    if (!decode)
        return true;
    QImage image = reader.read();
    if (image.isNull()) {
        *error = QStringLiteral("not a readable picture");
        return false;
    }
    if (area(image.size()) > largestPixels) { // the header did not tell
        *error = tooLarge(image.size());
        return false;
    }
    file.image = image.convertToFormat(pixels);
    return true;
}

} // namespace

TextureGathering::TextureGathering(const QStringList &folders, const rwx::TextureLimits &limits)
    : m_finder(folders)
    , m_limits(limits)
{
}

void TextureGathering::note(const QString &kind, const QString &name, const QString &what)
{
    const QString key = kind + u'\n' + name.toLower();
    if (m_noted.contains(key))
        return;
    m_noted.insert(key);
    m_notes << QStringLiteral("%1 %2 %3").arg(kind, name, what);
}

int TextureGathering::fileIndex(QList<TextureFile> &files, const QString &path) const
{
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (files[i].path == path)
            return int(i);
    }
    return -1;
}

int TextureGathering::texture(const QString &name, bool decode)
{
    const QString kind = QStringLiteral("texture");
    auto known = m_textureOfName.constFind(name.toLower());
    int index = known != m_textureOfName.cend() ? *known : -2;
    if (index == -2) {
        const rwx::FoundTexture found = m_finder.texture(name);
        index = found.found() ? fileIndex(m_textures, found.path) : -1;
        if (!found.found()) {
            note(kind, name, QStringLiteral("not found"));
        } else if (index < 0) {
            TextureFile file{name, found.path, {}, {}, {}};
            QString error;
            if (rwx::readRegularFile(found.path, m_limits.largestFile, &file.bytes, &error)
                && readPicture(file, false, QImage::Format_RGBA8888, m_limits.largestPixels, &error)) {
                index = int(m_textures.size());
                m_textures << file;
            } else {
                note(kind, name, QStringLiteral("could not be read (%1)").arg(error));
            }
        }
        m_textureOfName.insert(name.toLower(), index);
    }
    if (index < 0 || !decode || !m_textures[index].image.isNull())
        return index;
    if (m_decodeFailed.contains(index))
        return -1;
    QString error;
    if (!readPicture(m_textures[index], true, QImage::Format_RGBA8888, m_limits.largestPixels, &error)) {
        m_decodeFailed.insert(index);
        note(kind, name, QStringLiteral("could not be read (%1)").arg(error));
        return -1;
    }
    return index;
}

int TextureGathering::mask(const QString &name)
{
    if (const auto known = m_maskOfName.constFind(name.toLower()); known != m_maskOfName.cend())
        return *known;
    const QString kind = QStringLiteral("mask");
    int index = -1;
    const rwx::FoundTexture found = m_finder.mask(name);
    if (!found.found()) {
        note(kind, name, QStringLiteral("not found"));
    } else {
        // A loose m.bmp first; when it cannot be read, the one in m.zip.
        QString error;
        TextureFile file{name, found.path, {}, {}, {}};
        bool read = !found.zipped && rwx::readRegularFile(found.path, m_limits.largestFile, &file.bytes, &error)
                 && readPicture(file, true, QImage::Format_Grayscale8, m_limits.largestPixels, &error);
        if (!read && !found.archive.isEmpty()) {
            QByteArray archive;
            file = {name, found.archive, {}, {}, {}};
            read = rwx::readRegularFile(found.archive, m_limits.largestFile, &archive, &error)
                && rwx::readZipEntry(archive, name + QStringLiteral(".bmp"), m_limits.largestFile, &file.bytes, &error)
                && readPicture(file, true, QImage::Format_Grayscale8, m_limits.largestPixels, &error);
        }
        if (read) {
            index = fileIndex(m_masks, file.path);
            if (index < 0) {
                index = int(m_masks.size());
                m_masks << file;
            }
        } else {
            note(kind, name, QStringLiteral("could not be read (%1)").arg(error));
        }
    }
    m_maskOfName.insert(name.toLower(), index);
    return index;
}

QStringList TextureGathering::filesRead() const
{
    QStringList paths;
    for (const QList<TextureFile> *files : {&m_textures, &m_masks}) {
        for (const TextureFile &file : *files)
            paths << file.path;
    }
    return paths;
}

} // namespace convert
