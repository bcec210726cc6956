#include "platform/toolkit/widgets/pagecontrol.h"

#include "platform/toolkit/widgets/errors.h"

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
