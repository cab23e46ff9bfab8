#pragma once
// Pictures for the texture tests: a mask, a plain colour, and their bytes as
// the files a script's textures are read from.
#include <QBuffer>
#include <QByteArray>
#include <QImage>

namespace orvane_test {

// The image's bytes in `format` ("BMP", "PNG", ...).
inline QByteArray imageBytes(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// 2 x 1: black on the left, white on the right.
inline QImage halfMask()
{
    QImage mask(2, 1, QImage::Format_RGB32);
    mask.setPixel(0, 0, qRgb(0, 0, 0));
    mask.setPixel(1, 0, qRgb(255, 255, 255));
    return mask;
}

inline QImage filled(QSize size, Qt::GlobalColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace orvane_test
