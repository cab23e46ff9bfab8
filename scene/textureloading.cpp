// Decoding the textures and masks of a load: each file once, all of them
// together under the limit on decoded bytes.
//
// First every file's stored size is read from its header; from those sizes
// one side length is chosen (the largest, halving from largestSide) at which
// every image, every mask and the largest image being worked on fit under
// largestTotal together. Then each texture file is decoded once at that size,
// its images made (one a mask it is used with), and let go.
#include "scene/texturefiles.h"
#include "scene/textures.h"

#include <QBuffer>
#include <QImageReader>
#include <QSet>

#include <algorithm>
#include <utility>

namespace rwx {

namespace {

constexpr QLatin1StringView kTooMuchMemory("too much texture memory");

// One file to decode: a texture's image or a mask.
struct Picture {
    FoundTexture found;
    QString name;       // as the script first wrote it
    bool isMask = false;
    bool zipped = false; // read from inside found.archive (a mask)
    QSize stored;        // from the header; invalid when not known
    QString error;       // why it cannot be shown
    QImage image;        // masks: decoded once, kept for the load
    bool decoded = false;
};

// One image of the result: a texture, with a mask or without.
struct Output {
    int texture = -1;
    int mask = -1;
    QList<int> uses;
};

// The size a picture is decoded at to fit a square of `side`; a strip's
// frames each fit it and stay square.
QSize fitted(QSize size, int side)
{
    if (const int frames = stripFrames(size); frames > 1) {
        const int frame = std::min(size.width(), side);
        return {frame, frames * frame};
    }
    if (size.width() <= side && size.height() <= side)
        return size;
    return size.scaled(side, side, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

qint64 area(QSize size)
{
    return qint64(size.width()) * size.height();
}

qint64 bytesOf(const QImage &image)
{
    return image.isNull() ? 0 : image.sizeInBytes();
}

// Opens the picture's file, or the entry of its archive into `bytes`, for
// reading; nullptr with the reason in picture.error when it cannot.
QIODevice *openPicture(Picture &picture, const TextureLimits &limits, QFile &file, QByteArray &bytes, QBuffer &buffer)
{
    QString error;
    if (!picture.zipped) {
        if (openRegularFile(picture.found.path, limits.largestFile, file, &error))
            return &file;
    } else {
        QByteArray archive;
        if (readRegularFile(picture.found.archive, limits.largestFile, &archive, &error)
            && readZipEntry(archive, picture.name + QStringLiteral(".bmp"), limits.largestFile, &bytes, &error)) {
            buffer.setBuffer(&bytes);
            if (buffer.open(QIODevice::ReadOnly))
                return &buffer;
        }
    }
    picture.error = error;
    return nullptr;
}

// Reads the stored size of the picture from its header. A mask whose loose
// m.bmp cannot be read is read from m.zip when there is one.
void readHeader(Picture &picture, const TextureLimits &limits)
{
    QFile file;
    QByteArray bytes;
    QBuffer buffer;
    QIODevice *device = openPicture(picture, limits, file, bytes, buffer);
    if (device) {
        QImageReader reader(device, picture.zipped ? QByteArray("BMP") : QByteArray());
        picture.stored = reader.size();
        if (picture.stored.isValid() && area(picture.stored) > limits.largestPixels)
            picture.error = QStringLiteral("a picture of %1 x %2 is too large")
                                .arg(picture.stored.width())
                                .arg(picture.stored.height());
        else if (!reader.canRead())
            picture.error = QStringLiteral("not a readable picture");
    }
    if (!picture.error.isEmpty() && picture.isMask && !picture.zipped && !picture.found.archive.isEmpty()) {
        picture.zipped = true;
        picture.error.clear();
        readHeader(picture, limits);
    }
}

// Decodes the picture to fit a square of `side`; a null image, with the
// reason in picture.error, when it cannot.
QImage decode(Picture &picture, int side, const TextureLimits &limits)
{
    picture.decoded = true;
    QFile file;
    QByteArray bytes;
    QBuffer buffer;
    QIODevice *device = openPicture(picture, limits, file, bytes, buffer);
    if (!device)
        return {};
    QImageReader reader(device, picture.zipped ? QByteArray("BMP") : QByteArray());
    const QSize stored = reader.size();
    if (stored.isValid() && fitted(stored, side) != stored)
        reader.setScaledSize(fitted(stored, side));
    QImage image = reader.read();
    if (image.isNull()) {
        picture.error = QStringLiteral("not a readable picture");
        return {};
    }
    if (fitted(image.size(), side) != image.size()) // the header did not tell
        image = image.scaled(fitted(image.size(), side), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(picture.isMask ? QImage::Format_Grayscale8 : QImage::Format_RGBA8888);
}

class Loader {
public:
    Loader(const QStringList &folders, std::stop_token stop, const TextureLimits &limits, LoadedTextures &result)
        : m_finder(folders), m_stop(std::move(stop)), m_limits(limits), m_result(result)
    {
    }

    void load(const QList<TextureUse> &uses)
    {
        m_result.uses.resize(uses.size());
        for (qsizetype i = 0; i < uses.size(); ++i)
            plan(int(i), uses[i]);
        for (Picture &picture : m_pictures) {
            if (m_stop.stop_requested())
                return cancel();
            readHeader(picture, m_limits);
        }
        for (qsizetype output = 0; output < m_outputs.size(); ++output)
            m_outputsOf[m_outputs[output].texture] << int(output);
        const int side = chooseSide();
        for (int texture = 0; texture < m_pictures.size(); ++texture) {
            if (m_stop.stop_requested())
                return cancel();
            if (!m_pictures[texture].isMask)
                makeImages(texture, side);
        }
    }

private:
    void cancel()
    {
        m_result.cancelled = true;
    }

    void note(const Picture &picture, const QString &what)
    {
        const QString kind = picture.isMask ? QStringLiteral("mask") : QStringLiteral("texture");
        note(kind, picture.name, what);
    }
    void note(const QString &kind, const QString &name, const QString &what)
    {
        if (!m_noted.contains(kind + u'\n' + name.toLower())) {
            m_noted.insert(kind + u'\n' + name.toLower());
            m_result.notes << QStringLiteral("%1 %2 %3").arg(kind, name, what);
        }
    }

    // The picture for a name, found once a name; -1 when missing.
    int pictureFor(const QString &name, bool isMask, FoundTexture *found)
    {
        QHash<QString, FoundTexture> &byName = isMask ? m_masksByName : m_texturesByName;
        auto it = byName.find(name.toLower());
        if (it == byName.end())
            it = byName.insert(name.toLower(), isMask ? m_finder.mask(name) : m_finder.texture(name));
        *found = *it;
        if (!found->found())
            return -1;
        const QString key = (isMask ? QStringLiteral("mask\n") : QStringLiteral("texture\n")) + found->path;
        if (const auto known = m_pictureOfFile.constFind(key); known != m_pictureOfFile.cend())
            return *known;
        m_pictures.append({*found, name, isMask, found->zipped, {}, {}, {}, false});
        m_pictureOfFile.insert(key, int(m_pictures.size() - 1));
        return int(m_pictures.size() - 1);
    }

    void plan(int use, const TextureUse &wanted)
    {
        if (wanted.texture.isEmpty())
            return;
        LoadedTextures::Use &result = m_result.uses[use];
        const int texture = pictureFor(wanted.texture, false, &result.texture);
        const int mask = wanted.mask.isEmpty() ? -1 : pictureFor(wanted.mask, true, &result.mask);
        if (texture < 0)
            return note(QStringLiteral("texture"), wanted.texture, QStringLiteral("not found"));
        if (!wanted.mask.isEmpty() && mask < 0)
            note(QStringLiteral("mask"), wanted.mask, QStringLiteral("not found"));
        const quint64 key = (quint64(quint32(texture)) << 32) | quint32(mask);
        auto it = m_outputOf.find(key);
        if (it == m_outputOf.end()) {
            it = m_outputOf.insert(key, int(m_outputs.size()));
            m_outputs.append({texture, mask, {}});
        }
        m_outputs[*it].uses << use;
    }

    // The largest side, halving from largestSide, at which every image and
    // mask fit under largestTotal, with the largest image being worked on
    // and a mask stretched over it.
    int chooseSide() const
    {
        auto total = [this](int side) {
            qint64 sum = 0, largest = 0;
            auto sizeAt = [side](const Picture &p) { return fitted(p.stored.isValid() ? p.stored : QSize(side, side), side); };
            for (const Output &output : m_outputs) {
                const qint64 pixels = area(sizeAt(m_pictures[output.texture]));
                sum += 4 * pixels;
                largest = std::max(largest, 5 * pixels);
            }
            for (const Picture &picture : m_pictures)
                if (picture.isMask && picture.error.isEmpty())
                    sum += area(sizeAt(picture));
            return sum + largest;
        };
        int side = std::max(1, m_limits.largestSide);
        while (side > 1 && total(side) > m_limits.largestTotal)
            side /= 2;
        return side;
    }

    // Whether `extra` more decoded bytes fit under the limit beside those
    // held; if so, they are counted in the most held at once.
    bool fits(qint64 extra)
    {
        const qint64 total = m_heldImages + m_heldMasks + extra;
        if (total > m_limits.largestTotal)
            return false;
        m_result.heldBytes = std::max(m_result.heldBytes, total);
        return true;
    }

    // The mask, decoded the first time, beside `working` bytes in use.
    QImage maskImage(int mask, int side, qint64 working)
    {
        Picture &picture = m_pictures[mask];
        if (!picture.decoded && picture.error.isEmpty()) {
            picture.image = decode(picture, side, m_limits);
            ++m_result.filesDecoded;
            if (!picture.image.isNull() && !fits(working + bytesOf(picture.image))) {
                picture.image = QImage();
                picture.error = kTooMuchMemory;
            }
            m_heldMasks += bytesOf(picture.image);
        }
        if (!picture.error.isEmpty())
            note(picture, QStringLiteral("could not be read (%1)").arg(picture.error));
        return picture.image;
    }

    void makeImages(int texture, int side)
    {
        Picture &picture = m_pictures[texture];
        QList<Output *> outputs;
        for (const int output : m_outputsOf.value(texture))
            outputs << &m_outputs[output];
        if (outputs.isEmpty())
            return;
        QImage image;
        if (picture.error.isEmpty()) {
            image = decode(picture, side, m_limits);
            ++m_result.filesDecoded;
        }
        if (!picture.error.isEmpty())
            return note(picture, QStringLiteral("could not be read (%1)").arg(picture.error));
        qint64 working = bytesOf(image); // until the image without a mask shares it
        if (!fits(working))
            return note(picture, QStringLiteral("not shown (%1)").arg(kTooMuchMemory));
        int unmasked = -1; // the image without a mask, once made
        for (Output *output : std::as_const(outputs)) {
            const QImage mask = output->mask >= 0 ? maskImage(output->mask, side, working) : QImage();
            int index = mask.isNull() ? unmasked : -1;
            if (index < 0 && mask.isNull()) {
                index = unmasked = int(m_result.images.size());
                m_result.images << image;
                m_heldImages += std::exchange(working, 0);
            } else if (index < 0) {
                // The masked copy, and the mask stretched to its size meanwhile.
                if (!fits(working + 5 * area(maskedTextureSize(image.size(), mask.size())))) {
                    note(picture, QStringLiteral("not shown (%1)").arg(kTooMuchMemory));
                    continue;
                }
                index = int(m_result.images.size());
                m_result.images << maskedTexture(image, mask);
                m_heldImages += bytesOf(m_result.images.last());
            }
            for (const int use : std::as_const(output->uses)) {
                m_result.uses[use].image = index;
                m_result.uses[use].masked = !mask.isNull();
            }
        }
    }

    TextureFinder m_finder;
    std::stop_token m_stop;
    const TextureLimits &m_limits;
    LoadedTextures &m_result;
    QList<Picture> m_pictures;
    QList<Output> m_outputs;
    QHash<quint64, int> m_outputOf;          // texture and mask picture -> output
    QHash<int, QList<int>> m_outputsOf;      // texture picture -> its outputs
    QHash<QString, FoundTexture> m_texturesByName; // lower case
    QHash<QString, FoundTexture> m_masksByName;
    QHash<QString, int> m_pictureOfFile;
    QSet<QString> m_noted;
    qint64 m_heldImages = 0;
    qint64 m_heldMasks = 0;
};

} // namespace

LoadedTextures loadTextures(const QList<TextureUse> &uses, const QStringList &folders, std::stop_token stop,
                            const TextureLimits &limits)
{
    LoadedTextures result;
    Loader(folders, std::move(stop), limits, result).load(uses);
    return result;
}

} // namespace rwx
