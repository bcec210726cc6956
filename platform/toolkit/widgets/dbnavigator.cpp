#include "platform/toolkit/widgets/dbnavigator.h"

#include "platform/toolkit/widgets/errors.h"

#include <QHBoxLayout>
#include <QStyle>

namespace tk {

class TDBNavigator::Link : public TDataLink
{
public:
    explicit Link(TDBNavigator &navigator) : m_navigator(navigator) {}

    void ActiveChanged() override { m_navigator.updateButtons(); }
    void DataSetChanged() override { m_navigator.updateButtons(); }
    void DataSetScrolled(int) override { m_navigator.updateButtons(); }

private:
    TDBNavigator &m_navigator;
};

namespace {

const std::array<const char *, 4> kDefaultHints{"First record", "Prior record", "Next record", "Last record"};
const std::array<const char *, 4> kButtonNames{"nbFirst", "nbPrior", "nbNext", "nbLast"};
const std::array<QStyle::StandardPixmap, 4> kButtonIcons{
    QStyle::SP_MediaSkipBackward, QStyle::SP_MediaSeekBackward, QStyle::SP_MediaSeekForward,
    QStyle::SP_MediaSkipForward};

} // namespace

TDBNavigator::TDBNavigator(QWidget *parent, const std::string &name)
    : QWidget(parent), m_link(std::make_unique<Link>(*this))
{
    if (!name.empty())
        setObjectName(QString::fromStdString(name));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        auto *button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(kButtonNames[i]));
        button->setIcon(style()->standardIcon(kButtonIcons[i]));
        button->setFocusPolicy(Qt::NoFocus);
        const TNavigateBtn which = TNavigateBtn(i);
        connect(button, &QToolButton::clicked, this, [this, which] { BtnClick(which); });
        layout->addWidget(button);
        m_buttons[i] = button;
    }
    updateHints();
    updateButtons();
}

TDBNavigator::~TDBNavigator()
{
    m_link.reset();
}

TDataSource *TDBNavigator::DataSource() const
{
    return m_link->DataSource();
}

void TDBNavigator::SetDataSource(TDataSource *source)
{
    m_link->SetDataSource(source);
    updateButtons();
}

void TDBNavigator::SetHints(std::vector<std::string> hints)
{
    m_hints = std::move(hints);
    updateHints();
}

std::string TDBNavigator::Hint(TNavigateBtn button) const
{
    const size_t i = size_t(button);
    return i < m_hints.size() ? m_hints[i] : std::string(kDefaultHints[i]);
}

void TDBNavigator::SetShowHint(bool value)
{
    m_showHint = value;
    updateHints();
}

void TDBNavigator::updateHints()
{
    for (size_t i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setToolTip(m_showHint ? QString::fromStdString(Hint(TNavigateBtn(i))) : QString());
}

QToolButton *TDBNavigator::Button(TNavigateBtn button) const
{
    return m_buttons[size_t(button)];
}

bool TDBNavigator::ButtonEnabled(TNavigateBtn button) const
{
    return m_buttons[size_t(button)]->isEnabled();
}

void TDBNavigator::updateButtons()
{
    const TClientDataSet *ds = m_link->DataSet();
    const bool active = m_link->Active() && ds && !ds->IsEmpty();
    const bool up = active && !ds->Bof();
    const bool down = active && !ds->Eof();
    m_buttons[size_t(TNavigateBtn::nbFirst)]->setEnabled(up);
    m_buttons[size_t(TNavigateBtn::nbPrior)]->setEnabled(up);
    m_buttons[size_t(TNavigateBtn::nbNext)]->setEnabled(down);
    m_buttons[size_t(TNavigateBtn::nbLast)]->setEnabled(down);
}

void TDBNavigator::BtnClick(TNavigateBtn button)
{
    TClientDataSet *ds = m_link->DataSet();
    if (!ds || !ButtonEnabled(button))
        return;
    CallSafely([&] {
        switch (button) {
        case TNavigateBtn::nbFirst: ds->First(); break;
        case TNavigateBtn::nbPrior: ds->Prior(); break;
        case TNavigateBtn::nbNext: ds->Next(); break;
        case TNavigateBtn::nbLast: ds->Last(); break;
        }
        if (OnClick)
            OnClick(*this, button);
    });
    updateButtons(); // the move may have happened with the controls disabled
}

} // namespace tk
