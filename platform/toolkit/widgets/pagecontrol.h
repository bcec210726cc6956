#pragma once

// TPageControl with TTabSheet pages.
//
// A page can be hidden (TabVisible) or disabled (its tab is greyed and a user cannot select it).
// OnChange runs after the active page changed through the user (a tab click, the keyboard, or
// SelectPageByUser); SetActivePage changes the page without running OnChange.
//
// Keyboard: Ctrl+Tab / Ctrl+PgDown select the next page, Ctrl+Shift+Tab / Ctrl+PgUp the previous
// one, wrapping round and skipping hidden and disabled pages. The keys go to the innermost page
// control holding the focus (a sub-page control before the one around it), whichever widget of
// its pages has the focus; they are taken before that widget or any shortcut sees them.

#include <QTabWidget>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace tk {

class TPageControl;

class TTabSheet : public QWidget
{
    Q_OBJECT

public:
    // Adds itself as the last page of the page control, which owns it.
    TTabSheet(TPageControl *pageControl, const std::string &name, const std::string &caption);

    TPageControl *PageControl() const { return m_pageControl; } // Not owned.
    std::string Name() const { return objectName().toStdString(); }
    const std::string &Caption() const { return m_caption; }
    void SetCaption(const std::string &caption);
    bool TabVisible() const { return m_tabVisible; }
    void SetTabVisible(bool value);
    // A disabled page disables its controls and cannot be selected by the user.
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value);
    // Position among all pages (hidden ones included).
    int PageIndex() const;

private:
    friend class TPageControl;
    TPageControl *m_pageControl; // Not owned.
    std::string m_caption;
    bool m_tabVisible = true;
    bool m_enabled = true;
};

class TPageControl : public QTabWidget
{
    Q_OBJECT

public:
    explicit TPageControl(QWidget *parent = nullptr, const std::string &name = {});

    std::function<void(TPageControl &sender)> OnChange;

    int PageCount() const { return count(); }
    TTabSheet *Page(int index) const;
    TTabSheet *FindPage(const std::string &name) const;
    std::vector<TTabSheet *> Pages() const;

    TTabSheet *ActivePage() const;
    int ActivePageIndex() const { return currentIndex(); }
    // Makes the page active (any page of this control, enabled or not, but not a hidden one);
    // OnChange does not run.
    void SetActivePage(TTabSheet *page);
    // What a tab click does: refused (false) for a hidden or disabled page or a page of another
    // control; otherwise the page becomes active and OnChange runs when it changed.
    bool SelectPageByUser(TTabSheet *page);
    // The next (or previous) page a user may select, wrapping round, as SelectPageByUser does;
    // false when there is no other such page.
    bool SelectNextPageByUser(bool forward);

private:
    friend class TTabSheet;
    void addSheet(TTabSheet *sheet);
    void onCurrentChanged(int index);

    int m_programmatic = 0; // > 0 while this code changes the page, so OnChange stays quiet
    int m_lastIndex = -1;
};

} // namespace tk
