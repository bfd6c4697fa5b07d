// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>

// Window layouts are given in twips: 15 to a pixel at 96 dots per inch, for an interface font
// of about 5.5 pixels a character. The whole layout is scaled by one factor so that every
// caption fits in the toolkit's default font (see LayoutScale); at 1.0 a pixel is exactly
// 15 twips. Qt scales the pixels further for high-DPI screens.
namespace twips {

inline double &scaleFactor()
{
    static double factor = 1.0;
    return factor;
}

inline double scale()
{
    return scaleFactor();
}

// Set once at start, before any window is made; tests set their own.
inline void setScale(double factor)
{
    scaleFactor() = factor < 1.0 ? 1.0 : factor;
}

inline int toPixels(int twips)
{
    return int(twips * scale()) / 15;
}

// For what stays where it is drawn: a place on the screen.
constexpr int toUnscaledPixels(int twips)
{
    return twips / 15;
}

inline QRect rect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

} // namespace twips
