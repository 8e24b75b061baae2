// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>

namespace orva
{

// Every window is designed in twips; the panel draws at 96 dpi, 15 twips a
// pixel, whatever the screen, so the designed layout stays whole.
constexpr int kTwipsPerPixel = 15;

constexpr int toPixels(int twips)
{
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

// Title bar and borders as designed (the main window's full height less its
// client height); it stands in for a frame not known before a window shows.
constexpr int kDesignedFrameTwips = 480;

// The main window's client area as designed.
constexpr int kClientWidth = 10380;
constexpr int kClientHeight = 7605;

} // namespace orva
