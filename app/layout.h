#pragma once
// The window's layout arithmetic, in twips (1/1440 inch, 15 to the pixel).
// W and H are the window's outer size: a 60-twip frame on each side, and
// title bar, menu bar and frame together 690 twips high.
#include <QRect>
#include <QRectF>
#include <QSize>

#include "app/bandlabels.h"

namespace layout {

constexpr float kTwipsPerPixel = 15.0f;
constexpr float kFrameWidth = 120.0f;
constexpr float kFrameHeight = 690.0f;
constexpr float kMinimumOuter = 4500.0f;

// Where the window's controls stand.
struct Controls {
    QRectF pane;
    QRectF saveZipNextButton;
    BandLabels<QRectF> labels;
    bool operator==(const Controls &) const = default;
};

struct Result {
    float outerWidth = 0;
    float outerHeight = 0;
    Controls controls;
};

// The controls as the window opens, before its first layout pass.
Controls startupControls();

// One layout pass for the outer size W x H: the minimum outer size first,
// then the pane's size and the band's rows and value-label widths; every
// other value of `current` stays as it is.
Result layoutWindow(float outerWidth, float outerHeight, const Controls &current);

// Conversions between the window system's pixels and the layout's twips.
float outerWidthFor(int clientWidthPixels);
float outerHeightFor(int clientHeightPixels);
QSize clientSizeFor(float outerWidth, float outerHeight);
QRect toPixels(const QRectF &twips);

} // namespace layout
