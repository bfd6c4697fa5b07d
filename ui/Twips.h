#pragma once

#include <QRect>

// Window layouts are given in twips: 15 to a pixel at 96 dots per inch. Qt scales the
// pixels for high-DPI screens.
namespace twips {

constexpr int toPixels(int twips)
{
    return twips / 15;
}

inline QRect rect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

} // namespace twips
