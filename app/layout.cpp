#include "app/layout.h"

#include <cmath>

namespace layout {

namespace {
// The band's three rows: their tops at start-up, and their distances from
// the window's bottom edge after a layout pass.
constexpr float kFirstRowTop = 6240, kSecondRowTop = 6480, kThirdRowTop = 6720;
constexpr float kFirstRowUp = 1500, kSecondRowUp = 1260, kThirdRowUp = 1020;
constexpr float kCaptionLeft = 1560, kCaptionWidth = 1335, kLabelHeight = 255;
constexpr float kValueLeft = 3000, kValueWidth = 6255;
} // namespace

Controls startupControls()
{
    Controls c;
    c.pane = QRectF(0, 0, 9330, 6135);
    c.saveZipNextButton = QRectF(75, kFirstRowTop, 1335, 735);
    c.labels.rwxFolderCaption = QRectF(kCaptionLeft, kFirstRowTop, kCaptionWidth, kLabelHeight);
    c.labels.zipFolderCaption = QRectF(kCaptionLeft, kSecondRowTop, kCaptionWidth, kLabelHeight);
    c.labels.prefixCaption = QRectF(kCaptionLeft, kThirdRowTop, kCaptionWidth, kLabelHeight);
    c.labels.rwxFolder = QRectF(kValueLeft, kFirstRowTop, kValueWidth, kLabelHeight);
    c.labels.zipFolder = QRectF(kValueLeft, kSecondRowTop, kValueWidth, kLabelHeight);
    c.labels.prefix = QRectF(kValueLeft, kThirdRowTop, kValueWidth, kLabelHeight);
    return c;
}

Result layoutWindow(float outerWidth, float outerHeight, const Controls &current)
{
    Result r{outerWidth, outerHeight, current};
    if (r.outerWidth < kMinimumOuter)
        r.outerWidth = kMinimumOuter;
    if (r.outerHeight < kMinimumOuter)
        r.outerHeight = kMinimumOuter;
    const float w = r.outerWidth;
    const float h = r.outerHeight;
    Controls &c = r.controls;
    c.pane.setWidth(w - 120.0f);
    c.pane.setHeight(h - 1605.0f);
    c.saveZipNextButton.moveTop(h - kFirstRowUp);
    c.labels.rwxFolderCaption.moveTop(h - kFirstRowUp);
    c.labels.zipFolderCaption.moveTop(h - kSecondRowUp);
    c.labels.prefixCaption.moveTop(h - kThirdRowUp);
    c.labels.rwxFolder.moveTop(h - kFirstRowUp);
    c.labels.zipFolder.moveTop(h - kSecondRowUp);
    c.labels.prefix.moveTop(h - kThirdRowUp);
    // Wider than the client area: the window's edge, not the label's, cuts
    // off a long path.
    c.labels.rwxFolder.setWidth(w - 1195.0f);
    c.labels.zipFolder.setWidth(w - 1195.0f);
    c.labels.prefix.setWidth(w - 1195.0f);
    return r;
}

float outerWidthFor(int clientWidthPixels)
{
    return float(clientWidthPixels) * kTwipsPerPixel + kFrameWidth;
}

float outerHeightFor(int clientHeightPixels)
{
    return float(clientHeightPixels) * kTwipsPerPixel + kFrameHeight;
}

QSize clientSizeFor(float outerWidth, float outerHeight)
{
    return QSize(int(std::lround((outerWidth - kFrameWidth) / kTwipsPerPixel)),
                 int(std::lround((outerHeight - kFrameHeight) / kTwipsPerPixel)));
}

QRect toPixels(const QRectF &twips)
{
    auto px = [](qreal v) { return int(std::lround(v / kTwipsPerPixel)); };
    return QRect(px(twips.left()), px(twips.top()), px(twips.width()), px(twips.height()));
}

} // namespace layout
