#pragma once

#include <QRect>

// Layouts are given in twips; the screen has 15 twips to a pixel.
constexpr int kTwipsPerPixel = 15;
constexpr int Px(int twips) { return twips / kTwipsPerPixel; }
constexpr int Tw(int pixels) { return pixels * kTwipsPerPixel; }
inline QRect TwRect(int left, int top, int width, int height)
{
    return QRect(Px(left), Px(top), Px(width), Px(height));
}
