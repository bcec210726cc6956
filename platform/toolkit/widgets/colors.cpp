#include "platform/toolkit/widgets/colors.h"

#include <QGuiApplication>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace tk {

namespace {

struct SystemRole
{
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// Index → palette role. Indexes without a sensible palette role fall back to ButtonText
// (dark), which is how an unknown system colour shows on a light desktop.
SystemRole systemRole(int index)
{
    using P = QPalette;
    switch (index) {
    case 0: return {P::Active, P::Button};                // clScrollBar
    case 1: return {P::Active, P::Window};                // clBackground
    case 2: return {P::Active, P::Highlight};             // clActiveCaption
    case 3: return {P::Inactive, P::Highlight};           // clInactiveCaption
    case 4: return {P::Active, P::Window};                // clMenu
    case 5: return {P::Active, P::Base};                  // clWindow
    case 6: return {P::Active, P::Shadow};                // clWindowFrame
    case 7: return {P::Active, P::WindowText};            // clMenuText
    case 8: return {P::Active, P::WindowText};            // clWindowText
    case 9: return {P::Active, P::HighlightedText};       // clCaptionText
    case 10: return {P::Active, P::Button};               // clActiveBorder
    case 11: return {P::Inactive, P::Button};             // clInactiveBorder
    case 12: return {P::Active, P::Dark};                 // clAppWorkSpace
    case 13: return {P::Active, P::Highlight};            // clHighlight
    case 14: return {P::Active, P::HighlightedText};      // clHighlightText
    case 15: return {P::Active, P::Button};               // clBtnFace
    case 16: return {P::Active, P::Dark};                 // clBtnShadow
    case 17: return {P::Disabled, P::Text};               // clGrayText
    case 18: return {P::Active, P::ButtonText};           // clBtnText
    case 19: return {P::Inactive, P::HighlightedText};    // clInactiveCaptionText
    case 20: return {P::Active, P::Light};                // clBtnHighlight
    case 21: return {P::Active, P::Shadow};               // cl3DDkShadow
    case 22: return {P::Active, P::Midlight};             // cl3DLight
    case 23: return {P::Active, P::ToolTipText};          // clInfoText
    case 24: return {P::Active, P::ToolTipBase};          // clInfoBk
    case 26: return {P::Active, P::Link};                 // clHotLight
    case 29: return {P::Active, P::Highlight};            // clMenuHighlight
    case 30: return {P::Active, P::Window};               // clMenuBar
    default: return {P::Active, P::ButtonText};
    }
}

struct ColorName
{
    TColor color;
    const char *name;
};

constexpr std::array<ColorName, 41> kColorNames{{
    {clBlack, "clBlack"}, {clMaroon, "clMaroon"}, {clGreen, "clGreen"}, {clOlive, "clOlive"},
    {clNavy, "clNavy"}, {clPurple, "clPurple"}, {clTeal, "clTeal"}, {clGray, "clGray"},
    {clSilver, "clSilver"}, {clRed, "clRed"}, {clLime, "clLime"}, {clYellow, "clYellow"},
    {clBlue, "clBlue"}, {clFuchsia, "clFuchsia"}, {clAqua, "clAqua"}, {clWhite, "clWhite"},
    {clScrollBar, "clScrollBar"}, {clBackground, "clBackground"},
    {clActiveCaption, "clActiveCaption"}, {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"}, {clWindow, "clWindow"}, {clWindowFrame, "clWindowFrame"},
    {clMenuText, "clMenuText"}, {clWindowText, "clWindowText"}, {clCaptionText, "clCaptionText"},
    {clActiveBorder, "clActiveBorder"}, {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"}, {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"}, {clBtnFace, "clBtnFace"}, {clBtnShadow, "clBtnShadow"},
    {clGrayText, "clGrayText"}, {clBtnText, "clBtnText"},
    {clInactiveCaptionText, "clInactiveCaptionText"}, {clBtnHighlight, "clBtnHighlight"},
    {cl3DDkShadow, "cl3DDkShadow"}, {cl3DLight, "cl3DLight"}, {clInfoText, "clInfoText"},
    {clInfoBk, "clInfoBk"},
}};

QPalette applicationPalette()
{
    return qApp ? QGuiApplication::palette() : QPalette();
}

} // namespace

QColor toQColor(TColor color)
{
    if (!IsSystemColor(color))
        return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
    return toQColor(color, applicationPalette());
}

QColor toQColor(TColor color, const QPalette &palette)
{
    if (IsSystemColor(color)) {
        const SystemRole r = systemRole(SystemColorIndex(color));
        return palette.color(r.group, r.role);
    }
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

TColor fromQColor(const QColor &color)
{
    return RGBColor(color.red(), color.green(), color.blue());
}

TColor ColorToRGB(TColor color)
{
    return IsSystemColor(color) ? fromQColor(toQColor(color)) : (color & 0x00FFFFFFu);
}

std::string ColorToString(TColor color)
{
    for (const ColorName &entry : kColorNames) {
        if (entry.color == color)
            return entry.name;
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "$%08X", unsigned(color));
    return buffer;
}

bool IdentToColor(const std::string &text, TColor &color)
{
    for (const ColorName &entry : kColorNames) {
        if (strcasecmp(entry.name, text.c_str()) == 0) {
            color = entry.color;
            return true;
        }
    }
    if (text.empty())
        return false;
    const bool hex = text[0] == '$';
    const char *begin = text.c_str() + (hex ? 1 : 0);
    if (*begin == '\0')
        return false;
    char *end = nullptr;
    const long long value = std::strtoll(begin, &end, hex ? 16 : 10);
    if (*end != '\0' || value < INT32_MIN || value > UINT32_MAX)
        return false;
    color = TColor(uint32_t(value));
    return true;
}

} // namespace tk
