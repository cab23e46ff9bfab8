#pragma once
// Finding and decoding the textures and masks a script names, for the 3D
// preview and for anything else that shows or writes them (Qt Core and Gui,
// libzip; no OpenGL, no widgets).
//
// Looking up. `Texture name` names an image without its extension: in each
// folder, in order, name.jpg, name.jpeg, name.png, name.bmp and name.gif are
// tried, the exact spelling first, then any letter case. `Mask m` is a
// black-and-white m.bmp in the same folders, or the m.bmp inside m.zip (or
// the archive's only .bmp). A name with a folder separator in it is never
// found. Only regular files count, after symbolic links are followed: a
// FIFO, a device, a folder or a dangling link by that name is passed over.
//
// Decoding. Each file is read once a load, through a descriptor that never
// waits on a special file, and up to TextureLimits::largestFile bytes.
// Images are scaled down to fit largestSide, and further, all alike, when
// together they would hold more than largestTotal bytes decoded.
//
// Animated textures. A picture whose height is an exact multiple n > 1 of
// its width is a strip of n square frames stacked from the top, which are
// shown in turn; a mask can be one too. A strip is scaled by its frames:
// each frame fits largestSide and stays square, so the strip keeps its n
// frames; largestTotal and largestPixels count the whole strip.
#include <QHash>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <stop_token>

namespace rwx {

// The folders textures are looked for in for a script in `scriptFolder`:
// the folder, its textures/, then ../textures/; those that do not exist are
// left out. Empty for an empty folder (a script that was never saved).
QStringList scriptTextureFolders(const QString &scriptFolder);
// The same for an object archive (a zip holding the script): the archive's
// folder, then ../textures/ beside it.
QStringList archiveTextureFolders(const QString &archivePath);

enum class NameMatch : quint8 {
    Missing,      // no regular file by that name in any folder
    Exact,        // the file is spelled as the script spells it (extension included)
    IgnoringCase, // found only by ignoring letter case
};

// Where a texture or mask was found.
struct FoundTexture {
    QString path;                          // the image, or the archive holding the mask; empty if missing
    NameMatch match = NameMatch::Missing;  // of the file at path
    bool zipped = false;                   // path is m.zip, holding the mask
    QString archive;                       // masks: the m.zip found, also when a loose m.bmp is path

    bool found() const { return !path.isEmpty(); }
    // A mask found as a loose m.bmp with no m.zip beside it in any folder.
    bool looseMaskOnly() const { return found() && !zipped && archive.isEmpty(); }
};

// Looks names up in a list of folders, listing each folder once.
class TextureFinder {
public:
    explicit TextureFinder(QStringList folders);

    FoundTexture texture(const QString &name);
    FoundTexture mask(const QString &name);
    // The regular file `fileName` in the first folder holding it, the exact
    // spelling first in each folder.
    FoundTexture file(const QString &fileName);

    const QStringList &folders() const { return m_folders; }

private:
    FoundTexture findIn(const QString &folder, const QString &fileName);
    const QHash<QString, QStringList> &listing(const QString &folder);

    QStringList m_folders;
    QHash<QString, QHash<QString, QStringList>> m_listings; // folder -> lower case -> spellings
};

struct TextureLimits {
    int largestSide = 2048;                       // no side of a decoded image is longer
    qint64 largestTotal = 128ll * 1024 * 1024;    // decoded bytes of one load, masks included
    qint64 largestFile = 64ll * 1024 * 1024;      // bytes of an image or mask archive file
    qint64 largestPixels = 32ll * 1024 * 1024;    // of a picture as stored, decoded before scaling
};

// A texture as a material uses it: names as the script writes them.
struct TextureUse {
    QString texture;
    QString mask; // empty: none
};

struct LoadedTextures {
    struct Use {
        int image = -1;      // index into images; -1 when the texture is not shown
        bool masked = false; // the image carries the mask as its alpha
        FoundTexture texture;
        FoundTexture mask;
    };
    // Format_RGBA8888, row 0 at v = 0. A mask is the alpha: white shows
    // (255), black is cut away (0); it is stretched over the texture.
    QList<QImage> images;
    QList<Use> uses; // parallel to the uses asked for
    // For the user, once a name: "texture wood not found", "mask m not
    // found", "texture big could not be read (not a picture)".
    QStringList notes;
    int filesDecoded = 0; // image files decoded: each at most once
    qint64 heldBytes = 0; // the most decoded bytes held at once (images and masks)
    bool cancelled = false;
};

// Finds and decodes the textures of `uses` in `folders`. Uses that name the
// same files share one image. Stops soon after `stop` is requested, with
// `cancelled` set.
LoadedTextures loadTextures(const QList<TextureUse> &uses, const QStringList &folders, std::stop_token stop = {},
                            const TextureLimits &limits = {});

// The number of frames of a picture of this size: n for a strip of n square
// frames, 1 for a still picture. A picture of more than MostStripFrames
// frames (a line of pixels a frame, say) is a still picture, scaled down as
// any other, rather than thousands of frames to upload and show.
inline constexpr int MostStripFrames = 256;
int stripFrames(QSize size);

// The texture with the mask as its alpha channel (level 128 and up shows),
// as Format_RGBA8888. Without a mask the texture is converted as it is. A
// still mask is stretched over the texture, or over each of its frames; an
// animated mask makes a strip of as many frames as the texture or the mask
// has, whichever is more, frame i masked by the mask's frame i (each counted
// round from the first again when it has fewer).
QImage maskedTexture(const QImage &texture, const QImage &mask);
// The size of maskedTexture(texture, mask) for pictures of these sizes.
QSize maskedTextureSize(QSize texture, QSize mask);

} // namespace rwx
