#pragma once

// Toolkit colour numbers and their mapping to Qt.
//
// A TColor is red in the low byte, then green, then blue. A high byte of 0x80 names a system
// colour by its index in the low byte; system colours follow the application palette, so a
// window drawn with clInfoBk or clHighlight looks like the rest of the desktop.

#include <QColor>
#include <QPalette>

#include <cstdint>
#include <string>

namespace tk {

using TColor = uint32_t;

constexpr TColor clSystemColor = 0x80000000u;

// Fixed colours (0x00BBGGRR).
constexpr TColor clBlack = 0x000000u;
constexpr TColor clMaroon = 0x000080u;
constexpr TColor clGreen = 0x008000u;
constexpr TColor clOlive = 0x008080u;
constexpr TColor clNavy = 0x800000u;
constexpr TColor clPurple = 0x800080u;
constexpr TColor clTeal = 0x808000u;
constexpr TColor clGray = 0x808080u;
constexpr TColor clSilver = 0xC0C0C0u;
constexpr TColor clRed = 0x0000FFu;
constexpr TColor clLime = 0x00FF00u;
constexpr TColor clYellow = 0x00FFFFu;
constexpr TColor clBlue = 0xFF0000u;
constexpr TColor clFuchsia = 0xFF00FFu;
constexpr TColor clAqua = 0xFFFF00u;
constexpr TColor clWhite = 0xFFFFFFu;

// System colours: clSystemColor | index.
constexpr TColor clScrollBar = clSystemColor | 0;
constexpr TColor clBackground = clSystemColor | 1;
constexpr TColor clActiveCaption = clSystemColor | 2;
constexpr TColor clInactiveCaption = clSystemColor | 3;
constexpr TColor clMenu = clSystemColor | 4;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowFrame = clSystemColor | 6;
constexpr TColor clMenuText = clSystemColor | 7;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clCaptionText = clSystemColor | 9;
constexpr TColor clActiveBorder = clSystemColor | 10;
constexpr TColor clInactiveBorder = clSystemColor | 11;
constexpr TColor clAppWorkSpace = clSystemColor | 12;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clHighlightText = clSystemColor | 14;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clInactiveCaptionText = clSystemColor | 19;
constexpr TColor clBtnHighlight = clSystemColor | 20;
constexpr TColor cl3DDkShadow = clSystemColor | 21;
constexpr TColor cl3DLight = clSystemColor | 22;
constexpr TColor clInfoText = clSystemColor | 23;
constexpr TColor clInfoBk = clSystemColor | 24;

constexpr bool IsSystemColor(TColor color) { return (color & 0xFF000000u) == clSystemColor; }
constexpr int SystemColorIndex(TColor color) { return int(color & 0xFFu); }

// RGB parts of a fixed colour.
constexpr int GetRValue(TColor color) { return int(color & 0xFFu); }
constexpr int GetGValue(TColor color) { return int((color >> 8) & 0xFFu); }
constexpr int GetBValue(TColor color) { return int((color >> 16) & 0xFFu); }
constexpr TColor RGBColor(int r, int g, int b)
{
    return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}

// The Qt colour of a toolkit colour. System colours come from the palette (the application's
// palette when none is given): clWindowText → WindowText, clHighlight → Highlight,
// clHighlightText → HighlightedText, clBtnFace → Button, clInfoBk → ToolTipBase,
// clWindow → Base, and so on. Fixed colours are taken as RGB; any other high byte is read
// as its RGB part.
QColor toQColor(TColor color);
QColor toQColor(TColor color, const QPalette &palette);

// The fixed colour of a Qt colour (alpha dropped).
TColor fromQColor(const QColor &color);

// A system colour resolved against the palette; fixed colours unchanged.
TColor ColorToRGB(TColor color);

// "clRed", "clInfoBk" for named colours, "$00BBGGRR" otherwise (as colour properties are written).
std::string ColorToString(TColor color);
// Accepts the names above, "$hex" and decimal numbers; false when the text is none of these.
bool IdentToColor(const std::string &text, TColor &color);

} // namespace tk
