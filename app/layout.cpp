#include "app/layout.h"

#include <cmath>

namespace layout {

Controls startupControls()
{
    Controls c;
    c.pane = QRectF(0, 0, 9330, 6135);
    c.command2 = QRectF(75, 6240, 1335, 735);
    const float rowTops[3] = {6240, 6480, 6720};
    for (int row = 0; row < 3; ++row) {
        c.labels[row] = QRectF(1560, rowTops[row], 1335, 255);
        c.labels[row + 3] = QRectF(3000, rowTops[row], 6255, 255);
    }
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
    c.command2.moveTop(h - 1500.0f);
    const float rowOffsets[3] = {1500.0f, 1260.0f, 1020.0f};
    for (int row = 0; row < 3; ++row) {
        c.labels[row].moveTop(h - rowOffsets[row]);
        c.labels[row + 3].moveTop(h - rowOffsets[row]);
    }
    for (int row = 0; row < 3; ++row)
        c.labels[row + 3].setWidth(w - 1195.0f);
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
