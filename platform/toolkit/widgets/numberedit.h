#pragma once

// TNumberEdit: a line edit that holds a number and shows it in the locale's format.
//
// The number is kept as given; GetNumber returns it rounded to Decimals places, half away from
// zero on the decimal value (RoundDec), which is exactly the figure the text shows. So a value
// read back from a box equals what the user sees in it.

#include "platform/toolkit/widgets/colors.h"

#include <QLineEdit>

#include <string>

namespace tk {

class TNumberEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit TNumberEdit(QWidget *parent = nullptr, const std::string &name = {});

    void SetNumber(double value);
    double GetNumber() const; // rounded to Decimals, half away from zero
    double RawNumber() const { return m_value; }

    int Decimals() const { return m_decimals; }
    void SetDecimals(int value); // 0 to 15
    bool ThousandSeparator() const { return m_thousandSeparator; }
    void SetThousandSeparator(bool value);
    // "#,##0.00000" for 5 decimals with thousands separators, "0.00" for 2 without.
    std::string DisplayFormat() const;

    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    TColor FontColor() const { return m_fontColor; }
    void SetFontColor(TColor color);

    bool ReadOnly() const { return isReadOnly(); }
    void SetReadOnly(bool value) { setReadOnly(value); }
    bool Enabled() const { return isEnabled(); } // false also when a parent is disabled
    std::string Text() const { return text().toStdString(); }

private:
    void updateText();
    void applyPalette();
    void acceptTyped();

    double m_value = 0.0;
    int m_decimals = 2;
    bool m_thousandSeparator = true;
    TColor m_color = clWindow;
    TColor m_fontColor = clWindowText;
};

} // namespace tk
