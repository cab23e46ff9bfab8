#pragma once
// Finding and reading a script's textures and masks.
//
// `Texture name` names an image without its extension. It is looked for in
// the script's folder, then its textures/ folder, then ../textures/ beside
// it; in each folder as name.jpg, name.jpeg, name.png, name.bmp and
// name.gif, in that order and in any letter case. `Mask m` names a black-and-white m.bmp looked for in the same
// folders, either as a file or inside m.zip. A name with a folder separator
// in it is never found.
#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>

namespace preview {

// The folders textures are looked for in, in order, for a script in
// `scriptFolder`; those that do not exist are left out. Empty for an empty
// folder (a script that was never saved).
QStringList textureFolders(const QString &scriptFolder);

// Looks names up in a set of folders, listing each folder once.
class TextureFinder {
public:
    explicit TextureFinder(QStringList folders);

    // The texture image's path, or empty.
    QString imageFile(const QString &name);
    // The mask's image (Format_Grayscale8), or a null image when neither
    // m.bmp nor m.zip holding it can be read.
    QImage mask(const QString &name);
    // The path of the file `fileName` in any letter case, an exact match
    // first, in the first folder that holds it; or empty.
    QString find(const QString &fileName);

private:
    QString findIn(const QString &folder, const QString &fileName);
    const QHash<QString, QString> &listing(const QString &folder);

    QStringList m_folders;
    QHash<QString, QHash<QString, QString>> m_listings; // folder -> lower-case name -> name
};

// The image in the file at `path`, or a null image when there is none, it
// cannot be decoded or it is unreasonably large.
QImage readImageFile(const QString &path);

// The texture with the mask as its alpha channel (white shows, black is cut
// away), as Format_RGBA8888; the mask is scaled to the texture's size.
// Without a mask the texture is converted to Format_RGBA8888 as it is.
QImage maskedTexture(const QImage &texture, const QImage &mask);

// The bytes of the entry `entryName` (letter case ignored) of the zip
// archive at `path`, or when there is no such entry of its only entry ending
// in the same extension. Empty when the archive cannot be read or the entry
// is larger than maxBytes.
QByteArray readZipEntry(const QString &path, const QString &entryName, qint64 maxBytes);

} // namespace preview
