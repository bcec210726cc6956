#include "platform/toolkit/widgets/buttonflat.h"

#include "platform/toolkit/widgets/errors.h"

#include <QEvent>
#include <QShortcut>

namespace tk {

TButtonFlat::TButtonFlat(QWidget *parent, const std::string &name) : QToolButton(parent)
{
    if (!name.empty())
        setObjectName(QString::fromStdString(name));
    setAutoRaise(true);
    setIconSize(QSize(16, 16));
    // Reached with Tab (Space presses it), never focused by a mouse click, so that clicking a
    // button leaves the focus in the grid the user works in.
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QToolButton::clicked, this, [this] { Click(); });
}

void TButtonFlat::nextCheckState()
{
    // The down state is ours (the group rule decides it in Click), not Qt's toggle.
}

void TButtonFlat::applyDown(bool value)
{
    m_down = value;
    setChecked(value);
    update();
}

std::vector<TButtonFlat *> TButtonFlat::GroupMembers() const
{
    std::vector<TButtonFlat *> members;
    if (m_groupIndex == 0)
        return members;
    QWidget *top = window();
    for (TButtonFlat *button : top->findChildren<TButtonFlat *>()) {
        if (button != this && button->m_groupIndex == m_groupIndex)
            members.push_back(button);
    }
    return members;
}

void TButtonFlat::SetDown(bool value)
{
    if (m_groupIndex == 0)
        value = false;
    if (value == m_down)
        return;
    if (m_down && !m_allowAllUp)
        return;
    applyDown(value);
    if (value) {
        for (TButtonFlat *other : GroupMembers()) {
            if (other->m_down)
                other->applyDown(false);
        }
    }
}

void TButtonFlat::SetGroupIndex(int value)
{
    m_groupIndex = value;
    setCheckable(value != 0);
    if (value == 0 && m_down)
        applyDown(false);
    // Joining a group whose rule is already set takes that rule.
    for (TButtonFlat *other : GroupMembers()) {
        m_allowAllUp = other->m_allowAllUp;
        break;
    }
}

void TButtonFlat::SetAllowAllUp(bool value)
{
    m_allowAllUp = value;
    for (TButtonFlat *other : GroupMembers())
        other->m_allowAllUp = value;
}

void TButtonFlat::Click()
{
    if (!isEnabled())
        return;
    if (m_groupIndex != 0) {
        if (!m_down)
            SetDown(true);
        else if (m_allowAllUp)
            SetDown(false);
    }
    if (OnClick)
        CallSafely([this] { OnClick(*this); });
}

void TButtonFlat::SetHint(const std::string &hint)
{
    m_hint = hint;
    updateToolTip();
}

void TButtonFlat::SetShowHint(bool value)
{
    m_showHint = value;
    updateToolTip();
}

void TButtonFlat::SetShortcutKey(const QKeySequence &key, bool own)
{
    m_key = key;
    delete m_shortcut;
    m_shortcut = nullptr;
    if (own && !key.isEmpty()) {
        // The window's key, whatever widget inside it has the focus. Qt leaves the key alone while
        // the button is hidden or disabled, so it then reaches the focused widget (a grid's Ctrl+P
        // prints the grid where the window's print is off).
        m_shortcut = new QShortcut(key, this, this, [this] { Click(); }, Qt::WindowShortcut);
    }
    updateToolTip();
}

void TButtonFlat::updateToolTip()
{
    QString tip = m_showHint ? QString::fromStdString(m_hint) : QString();
    if (!tip.isEmpty() && !m_key.isEmpty())
        tip += QStringLiteral(" (%1)").arg(m_key.toString(QKeySequence::NativeText));
    setToolTip(tip);
}

std::string TButtonFlat::Caption() const
{
    return text().toStdString();
}

void TButtonFlat::SetCaption(const std::string &caption)
{
    setText(QString::fromStdString(caption));
    setToolButtonStyle(caption.empty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
}

void TButtonFlat::SetGlyph(const QIcon &glyph)
{
    m_glyph = glyph;
    updateGlyph();
}

void TButtonFlat::SetDisabledGlyph(const QIcon &glyph)
{
    m_disabledGlyph = glyph;
    updateGlyph();
}

void TButtonFlat::updateGlyph()
{
    if (!isEnabled() && !m_disabledGlyph.isNull())
        setIcon(m_disabledGlyph);
    else
        setIcon(m_glyph);
}

void TButtonFlat::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange)
        updateGlyph();
    QToolButton::changeEvent(event);
}

} // namespace tk
