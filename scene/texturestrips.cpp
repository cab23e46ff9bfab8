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

} // namespace

QImage maskedTexture(const QImage &texture, const QImage &mask)
{
    QImage result = texture.convertToFormat(QImage::Format_RGBA8888);
    if (mask.isNull() || result.isNull())
        return result;
    const int textureFrames = stripFrames(texture.size());
    const int maskFrames = stripFrames(mask.size());
    const QSize size = maskedTextureSize(texture.size(), mask.size());
    const int frames = std::max(textureFrames, maskFrames);
    const QSize frameSize = frames > 1 ? QSize(size.width(), size.width()) : size;
    if (size != result.size()) // a still texture under an animated mask: its frames are copies
        result = QImage(size, QImage::Format_RGBA8888);
    const QImage grey = mask.convertToFormat(QImage::Format_Grayscale8);
    for (int frame = 0; frame < frames; ++frame) {
        const int top = frame * frameSize.height();
        if (textureFrames < frames) {
            const QImage source = frameOf(texture, textureFrames, frame).convertToFormat(QImage::Format_RGBA8888);
            const QImage copy = source.size() == frameSize ? source : source.scaled(frameSize);
            for (int y = 0; y < frameSize.height(); ++y)
                std::copy_n(copy.constScanLine(y), 4 * frameSize.width(), result.scanLine(top + y));
        }
        const QImage level = frameOf(grey, maskFrames, frame);
        const QImage alpha = level.size() == frameSize ? level : level.scaled(frameSize);
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
