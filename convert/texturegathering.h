#pragma once
// The texture and mask files an export needs, found as the preview finds
// them (rwx::TextureFinder) and read as they are stored: an export embeds or
// copies a JPEG or PNG texture byte for byte, and decodes only what it must
// change (a texture combined with its mask, a BMP or GIF made PNG, a mask).
// Nothing is ever scaled: a picture too large to decode is left out, with a
// note saying so.
#include "scene/textures.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace convert {

struct TextureFile {
    QString name;      // as the script first names it
    QString path;      // the file read: the picture, or the archive holding a mask
    QByteArray bytes;  // the picture as stored (for a zipped mask, the archive's entry)
    QByteArray format; // from the bytes themselves: "jpeg", "png", "bmp", "gif" ...
    // The pixels, where an export needs them: Format_RGBA8888 for a texture,
    // Format_Grayscale8 for a mask (white shows); null otherwise.
    QImage image;

    // Whether the picture can go into a glTF file as it is stored.
    bool embeddable() const { return format == "jpeg" || format == "png"; }
};

class TextureGathering {
public:
    explicit TextureGathering(const QStringList &folders, const rwx::TextureLimits &limits = {});

    // The texture `name`, read (and decoded when `decode`); -1 when it is
    // missing or cannot be read, which is noted once a name.
    int texture(const QString &name, bool decode);
    // The mask `name`, read and decoded; -1 as above.
    int mask(const QString &name);

    const QList<TextureFile> &textures() const { return m_textures; }
    const QList<TextureFile> &masks() const { return m_masks; }
    // For the user, once a name: "texture wood not found", "mask m could
    // not be read (not a readable picture)".
    const QStringList &notes() const { return m_notes; }
    // Every file read, for the check that no output replaces one of them.
    QStringList filesRead() const;

private:
    int fileIndex(QList<TextureFile> &files, const QString &path) const;
    void note(const QString &kind, const QString &name, const QString &what);

    rwx::TextureFinder m_finder;
    rwx::TextureLimits m_limits;
    QList<TextureFile> m_textures;
    QList<TextureFile> m_masks;
    QHash<QString, int> m_textureOfName; // lower case -> index, or -1
    QHash<QString, int> m_maskOfName;
    QSet<int> m_decodeFailed;             // textures whose pixels could not be had
    QStringList m_notes;
    QSet<QString> m_noted;
};

} // namespace convert
