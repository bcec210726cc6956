#include "platform/toolkit/widgets/dbtext.h"

#include "platform/toolkit/widgets/colors.h"
#include "platform/toolkit/widgets/controls.h"
#include "platform/toolkit/widgets/errors.h"

#include <QPaintEvent>
#include <QPainter>

namespace tk {

class TDBText::Link : public TDataLink
{
public:
    explicit Link(TDBText &label) : m_label(label) {}

    void ActiveChanged() override { m_label.updateText(); }
    void DataSetChanged() override { m_label.updateText(); }
    void DataSetScrolled(int) override { m_label.updateText(); }
    void RecordChanged(TField *) override { m_label.updateText(); }

private:
    TDBText &m_label;
};

TDBText::TDBText(QWidget *parent, const std::string &name)
    : QLabel(parent), m_link(std::make_unique<Link>(*this))
{
    if (!name.empty())
        setObjectName(QString::fromStdString(name));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// Sized by its layout, not by its text: a new record's text changes nothing around the label (a
// size following the text would lay out, and repaint, the whole window at every record).
QSize TDBText::sizeHint() const
{
    return QSize(minimumWidth(), fontMetrics().height() + 2 * (margin() + frameWidth()));
}

QSize TDBText::minimumSizeHint() const
{
    return sizeHint();
}

void TDBText::paintEvent(QPaintEvent *event)
{
    QColor background = palette().color(QPalette::Window);
    for (QWidget *w = parentWidget(); w; w = w->parentWidget()) {
        if (auto *panel = qobject_cast<TPanel *>(w)) {
            background = toQColor(panel->Color(), panel->palette());
            break;
        }
        if (w->autoFillBackground()) {
            background = w->palette().color(w->backgroundRole());
            break;
        }
    }
    QPainter painter(this);
    painter.fillRect(event->rect(), background);
    painter.setFont(font());
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    painter.drawText(contentsRect().adjusted(margin(), 0, -margin(), 0), int(alignment()) | Qt::TextSingleLine,
                     QString::fromStdString(m_shown));
}

TDBText::~TDBText()
{
    m_link.reset();
}

TDataSource *TDBText::DataSource() const
{
    return m_link->DataSource();
}

void TDBText::SetDataSource(TDataSource *source)
{
    m_link->SetDataSource(source);
    updateText();
}

void TDBText::SetDataField(const std::string &fieldName)
{
    m_dataField = fieldName;
    updateText();
}

void TDBText::SetBold(bool value)
{
    QFont f = font();
    f.setBold(value);
    setFont(f);
}

void TDBText::updateText()
{
    const TClientDataSet *ds = m_link->DataSet();
    std::string shown;
    if (m_link->Active() && ds && !ds->IsEmpty() && !ds->ControlsDisabled()) {
        // Called from dataset notifications: a failing text is reported from the event loop,
        // never thrown back into the dataset's move.
        try {
            if (const TField *field = ds->FindField(m_dataField))
                shown = field->DisplayText();
        } catch (const std::exception &e) {
            ShowExceptionLater(e.what());
        }
    }
    if (shown != m_shown) {
        m_shown = std::move(shown);
        update();
    }
}

} // namespace tk
