#pragma once

// TButtonFlat: a flat tool button that is either a push button or, with a non-zero GroupIndex,
// a sticky toggle.
//
// Group rule: the buttons with the same non-zero GroupIndex under the same top-level window form
// a group in which at most one is down. Pressing one releases the others without running their
// OnClick. A click on a button that is down raises it when AllowAllUp is set (and runs its
// OnClick); without AllowAllUp it stays down and OnClick still runs. SetDown changes the state
// without any OnClick.

#include <QIcon>
#include <QKeySequence>
#include <QShortcut>
#include <QToolButton>

#include <functional>
#include <string>

namespace tk {

class TButtonFlat : public QToolButton
{
    Q_OBJECT

public:
    explicit TButtonFlat(QWidget *parent = nullptr, const std::string &name = {});

    std::function<void(TButtonFlat &sender)> OnClick;

    bool Down() const { return m_down; }
    // Setting a push button (GroupIndex 0) down is ignored; raising the down button of a group
    // without AllowAllUp is ignored; setting a grouped button down releases the others.
    void SetDown(bool value);

    int GroupIndex() const { return m_groupIndex; }
    void SetGroupIndex(int value);
    bool AllowAllUp() const { return m_allowAllUp; }
    // Shared by the group, as the buttons of one group follow one rule.
    void SetAllowAllUp(bool value);

    const std::string &Hint() const { return m_hint; }
    void SetHint(const std::string &hint);
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool value);

    // A key that clicks the button from anywhere in its window, as Click() does; while the button
    // is hidden or disabled the key is not taken and reaches the focused widget. The tooltip
    // shows it after the hint: "Imprimir (Ctrl+P)". A key the window already owns (Esc closes a
    // dialog) is only shown: pass own = false.
    void SetShortcutKey(const QKeySequence &key, bool own = true);
    const QKeySequence &ShortcutKey() const { return m_key; }

    std::string Caption() const;
    void SetCaption(const std::string &caption);

    // Glyphs: the enabled image and, optionally, the one shown while disabled.
    void SetGlyph(const QIcon &glyph);
    void SetDisabledGlyph(const QIcon &glyph);
    const QIcon &Glyph() const { return m_glyph; }
    const QIcon &DisabledGlyph() const { return m_disabledGlyph; }
    // The image currently on the button.
    QIcon CurrentGlyph() const { return icon(); }

    // What a user click does: nothing when disabled; otherwise the group rule, then OnClick
    // through the toolkit's error boundary. Used by the mouse, the keyboard, tests and the driver.
    void Click();

    // The other buttons of this button's group (empty for a push button).
    std::vector<TButtonFlat *> GroupMembers() const;

protected:
    void nextCheckState() override;
    void changeEvent(QEvent *event) override;

private:
    void applyDown(bool value);
    void updateGlyph();
    void updateToolTip();

    bool m_down = false;
    int m_groupIndex = 0;
    bool m_allowAllUp = false;
    bool m_showHint = true;
    std::string m_hint;
    QIcon m_glyph;
    QIcon m_disabledGlyph;
    QKeySequence m_key;
    QShortcut *m_shortcut = nullptr; // Owned (Qt child); null without an own key
};

} // namespace tk
