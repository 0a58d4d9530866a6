#pragma once

#include <QColor>
#include <QtGlobal>

namespace tallic {

// Colours are held as the window system's long values: red in the low byte, blue in the
// high byte (&HFF red, &HFF0000 blue). Values with the top bit set name system colours.
namespace Colors {
constexpr quint32 Black = 0x000000;
constexpr quint32 Red = 0x0000FF;
constexpr quint32 Green = 0x00FF00;
constexpr quint32 Yellow = 0x00FFFF;
constexpr quint32 Blue = 0xFF0000;
constexpr quint32 White = 0xFFFFFF;
constexpr quint32 ButtonFace = 0x8000000F;
constexpr quint32 ButtonText = 0x80000012;
constexpr quint32 WindowBackground = 0x80000005;
constexpr quint32 WindowText = 0x80000008;
} // namespace Colors

constexpr quint32 Rgb(int red, int green, int blue)
{
    return quint32(red & 0xFF) | quint32(green & 0xFF) << 8 | quint32(blue & 0xFF) << 16;
}

// The screen colour of a long value; system colours come from the application's palette.
QColor colorFromLong(quint32 value);

} // namespace tallic
