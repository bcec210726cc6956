#include "platform/toolkit/widgets/pagecontrol.h"

#include "platform/toolkit/widgets/errors.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTabBar>

namespace tk {

namespace {

class ProgrammaticChange
{
public:
    explicit ProgrammaticChange(int &depth) : m_depth(depth) { ++m_depth; }
    ~ProgrammaticChange() { --m_depth; }
    ProgrammaticChange(const ProgrammaticChange &) = delete;
    ProgrammaticChange &operator=(const ProgrammaticChange &) = delete;

private:
    int &m_depth;
};

// +1 / -1 for the page-switch keys, 0 for any other key.
int pageStep(const QKeyEvent &key)
{
    const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::ControlModifier) {
        if (key.key() == Qt::Key_Tab || key.key() == Qt::Key_PageDown)
            return 1;
        if (key.key() == Qt::Key_PageUp)
            return -1;
    } else if (mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
        if (key.key() == Qt::Key_Backtab || key.key() == Qt::Key_Tab)
            return -1;
    }
    return 0;
}

// The innermost page control around the focus widget, within the focus widget's window.
TPageControl *focusedPageControl()
{
    for (QWidget *w = QApplication::focusWidget(); w; w = w->isWindow() ? nullptr : w->parentWidget()) {
        if (auto *pageControl = qobject_cast<TPageControl *>(w))
            return pageControl;
    }
    return nullptr;
}

// One filter for the whole application: the keys must reach the page control before the focused
// widget (a grid would page with Ctrl+PgDown) or a shortcut takes them.
class PageKeysFilter : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if ((type != QEvent::KeyPress && type != QEvent::ShortcutOverride) || !watched->isWidgetType())
            return false;
        const int step = pageStep(*static_cast<QKeyEvent *>(event));
        TPageControl *pageControl = step != 0 ? focusedPageControl() : nullptr;
        if (!pageControl)
            return false;
        event->accept();
        if (type == QEvent::KeyPress)
            pageControl->SelectNextPageByUser(step > 0);
        return true;
    }
};

void installPageKeys()
{
    static bool installed = false;
    if (installed || !qApp)
        return;
    installed = true;
    qApp->installEventFilter(new PageKeysFilter(qApp));
}

} // namespace

// --- TTabSheet -----------------------------------------------------------------------------

TTabSheet::TTabSheet(TPageControl *pageControl, const std::string &name, const std::string &caption)
    : QWidget(nullptr), m_pageControl(pageControl), m_caption(caption)
{
    setObjectName(QString::fromStdString(name));
    m_pageControl->addSheet(this);
}

int TTabSheet::PageIndex() const
{
    return m_pageControl->indexOf(const_cast<TTabSheet *>(this));
}

void TTabSheet::SetCaption(const std::string &caption)
{
    m_caption = caption;
    m_pageControl->setTabText(PageIndex(), QString::fromStdString(caption));
}

void TTabSheet::SetTabVisible(bool value)
{
    m_tabVisible = value;
    ProgrammaticChange guard(m_pageControl->m_programmatic);
    m_pageControl->setTabVisible(PageIndex(), value);
}

void TTabSheet::SetEnabled(bool value)
{
    m_enabled = value;
    ProgrammaticChange guard(m_pageControl->m_programmatic);
    m_pageControl->setTabEnabled(PageIndex(), value);
}

// --- TPageControl --------------------------------------------------------------------------

TPageControl::TPageControl(QWidget *parent, const std::string &name) : QTabWidget(parent)
{
    if (!name.empty())
        setObjectName(QString::fromStdString(name));
    connect(this, &QTabWidget::currentChanged, this, &TPageControl::onCurrentChanged);
    installPageKeys();
}

void TPageControl::addSheet(TTabSheet *sheet)
{
    ProgrammaticChange guard(m_programmatic);
    addTab(sheet, QString::fromStdString(sheet->m_caption));
}

TTabSheet *TPageControl::Page(int index) const
{
    return qobject_cast<TTabSheet *>(widget(index));
}

TTabSheet *TPageControl::FindPage(const std::string &name) const
{
    const QString qname = QString::fromStdString(name);
    for (int i = 0; i < count(); ++i) {
        if (TTabSheet *page = Page(i); page && page->objectName() == qname)
            return page;
    }
    return nullptr;
}

std::vector<TTabSheet *> TPageControl::Pages() const
{
    std::vector<TTabSheet *> pages;
    for (int i = 0; i < count(); ++i) {
        if (TTabSheet *page = Page(i))
            pages.push_back(page);
    }
    return pages;
}

TTabSheet *TPageControl::ActivePage() const
{
    return Page(currentIndex());
}

void TPageControl::SetActivePage(TTabSheet *page)
{
    if (!page || page->m_pageControl != this || !page->m_tabVisible)
        return;
    ProgrammaticChange guard(m_programmatic);
    setCurrentIndex(page->PageIndex());
}

bool TPageControl::SelectPageByUser(TTabSheet *page)
{
    if (!page || page->m_pageControl != this || !page->m_tabVisible || !page->m_enabled || !isEnabled())
        return false;
    setCurrentIndex(page->PageIndex());
    return true;
}

bool TPageControl::SelectNextPageByUser(bool forward)
{
    const int n = count();
    const int from = currentIndex();
    for (int step = 1; step < n; ++step) {
        const int index = ((from + (forward ? step : -step)) % n + n) % n;
        TTabSheet *page = Page(index);
        if (page && page->m_tabVisible && page->m_enabled)
            return SelectPageByUser(page);
    }
    return false;
}

void TPageControl::onCurrentChanged(int index)
{
    const bool changed = index != m_lastIndex;
    m_lastIndex = index;
    if (m_programmatic > 0 || !changed || index < 0)
        return;
    if (OnChange)
        CallSafely([this] { OnChange(*this); });
}

} // namespace tk
