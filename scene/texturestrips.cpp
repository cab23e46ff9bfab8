// Animated strips, and a mask put into a texture's alpha channel frame by
// frame.
#include "scene/textures.h"

#include <algorithm>

namespace rwx {

int stripFrames(QSize size)
{
    if (size.width() <= 0 || size.height() <= size.width() || size.height() % size.width() != 0)
        return 1;
    const int frames = size.height() / size.width();
    return frames <= MostStripFrames ? frames : 1;
}

QSize maskedTextureSize(QSize texture, QSize mask)
{
    const int frames = std::max(stripFrames(texture), stripFrames(mask));
    if (frames <= 1 || texture.isEmpty())
        return texture;
    return {texture.width(), frames * texture.width()};
}

namespace {

// Frame `index` of a picture with `frames` frames (the whole picture when 1),
// counted round.
QImage frameOf(const QImage &image, int frames, int index)
{
    if (frames <= 1)
        return image;
    const int side = image.width();
    return image.copy(0, (index % frames) * side, side, side);
}

// The frames of a picture with `frames` frames (one: the whole picture),
// each in `format` and at `frameSize`.
QList<QImage> preparedFrames(const QImage &image, int frames, QImage::Format format, QSize frameSize)
{
    QList<QImage> prepared;
    prepared.reserve(frames);
    for (int index = 0; index < frames; ++index) {
        const QImage frame = frameOf(image, frames, index).convertToFormat(format);
        prepared.append(frame.size() == frameSize ? frame : frame.scaled(frameSize));
    }
    return prepared;
}

} // namespace

QImage maskedTexture(const QImage &texture, const QImage &mask)
{
    if (mask.isNull() || texture.isNull())
        return texture.convertToFormat(QImage::Format_RGBA8888);
    const int textureFrames = stripFrames(texture.size());
    const int maskFrames = stripFrames(mask.size());
    const QSize size = maskedTextureSize(texture.size(), mask.size());
    const int frames = std::max(textureFrames, maskFrames);
    const QSize frameSize = frames > 1 ? QSize(size.width(), size.width()) : size;
    // A texture with fewer frames than its mask (a still one, say) repeats
    // its frames in turn; each frame and each level of the mask is made
    // ready once, not once for every frame it stands in.
    const bool repeated = textureFrames < frames;
    QImage result = repeated ? QImage(size, QImage::Format_RGBA8888) : texture.convertToFormat(QImage::Format_RGBA8888);
    const QList<QImage> textureCopies =
        repeated ? preparedFrames(texture, textureFrames, QImage::Format_RGBA8888, frameSize) : QList<QImage>();
    const QList<QImage> alphas = preparedFrames(mask, maskFrames, QImage::Format_Grayscale8, frameSize);
    for (int frame = 0; frame < frames; ++frame) {
        const int top = frame * frameSize.height();
        if (repeated) {
            const QImage &copy = textureCopies[frame % textureFrames];
            for (int y = 0; y < frameSize.height(); ++y)
                std::copy_n(copy.constScanLine(y), 4 * frameSize.width(), result.scanLine(top + y));
        }
        const QImage &alpha = alphas[frame % maskFrames];
        for (int y = 0; y < frameSize.height(); ++y) {
            uchar *pixel = result.scanLine(top + y);
            const uchar *value = alpha.constScanLine(y);
            for (int x = 0; x < frameSize.width(); ++x)
                pixel[4 * x + 3] = value[x] >= 128 ? 255 : 0;
        }
    }
    return result;
}

} // namespace rwx
