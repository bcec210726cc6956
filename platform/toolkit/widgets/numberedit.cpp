#include "platform/toolkit/widgets/numberedit.h"

#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/data/text.h"

#include <algorithm>

namespace tk {

TNumberEdit::TNumberEdit(QWidget *parent, const std::string &name) : QLineEdit(parent)
{
    if (!name.empty())
        setObjectName(QString::fromStdString(name));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(this, &QLineEdit::editingFinished, this, [this] { acceptTyped(); });
    applyPalette();
    updateText();
}

void TNumberEdit::SetNumber(double value)
{
    m_value = value;
    updateText();
}

double TNumberEdit::GetNumber() const
{
    return RoundDec(m_value, m_decimals);
}

void TNumberEdit::SetDecimals(int value)
{
    m_decimals = std::clamp(value, 0, 15);
    updateText();
}

void TNumberEdit::SetThousandSeparator(bool value)
{
    m_thousandSeparator = value;
    updateText();
}

std::string TNumberEdit::DisplayFormat() const
{
    std::string format = m_thousandSeparator ? "#,##0" : "0";
    if (m_decimals > 0)
        format += "." + std::string(size_t(m_decimals), '0');
    return format;
}

void TNumberEdit::updateText()
{
    setText(QString::fromStdString(FormatFloat(DisplayFormat(), GetNumber())));
}

void TNumberEdit::SetColor(TColor color)
{
    m_color = color;
    applyPalette();
}

void TNumberEdit::SetFontColor(TColor color)
{
    m_fontColor = color;
    applyPalette();
}

void TNumberEdit::applyPalette()
{
    QPalette pal = palette();
    pal.setColor(QPalette::Active, QPalette::Base, toQColor(m_color));
    pal.setColor(QPalette::Inactive, QPalette::Base, toQColor(m_color));
    pal.setColor(QPalette::Disabled, QPalette::Base, toQColor(m_color));
    pal.setColor(QPalette::Active, QPalette::Text, toQColor(m_fontColor));
    pal.setColor(QPalette::Inactive, QPalette::Text, toQColor(m_fontColor));
    setPalette(pal);
}

void TNumberEdit::acceptTyped()
{
    if (isReadOnly())
        return;
    // Typed text may carry thousands separators; they are dropped before reading the number.
    const TFormatSettings &fs = FormatSettings();
    std::string typed = Trim(text().toStdString());
    typed.erase(std::remove(typed.begin(), typed.end(), fs.thousandSeparator), typed.end());
    double value = 0.0;
    if (typed.empty())
        m_value = 0.0;
    else if (TryStrToFloat(typed, value))
        m_value = value;
    updateText(); // an unreadable text goes back to the number held
}

} // namespace tk
