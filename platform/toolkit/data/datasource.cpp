#include "platform/toolkit/data/datasource.h"

#include <algorithm>

namespace tk {

// --- TDataLink ---------------------------------------------------------------------------------------

TDataLink::~TDataLink()
{
    if (m_source) {
        auto &links = m_source->m_links;
        links.erase(std::remove(links.begin(), links.end(), this), links.end());
    }
}

void TDataLink::SetDataSource(TDataSource *source)
{
    if (source == m_source)
        return;
    const bool wasActive = Active();
    if (m_source) {
        auto &links = m_source->m_links;
        links.erase(std::remove(links.begin(), links.end(), this), links.end());
    }
    m_source = source;
    if (m_source)
        m_source->m_links.push_back(this);
    if (Active() != wasActive)
        ActiveChanged();
}

bool TDataLink::Active() const
{
    return m_source && m_source->Enabled() && m_source->DataSet() && m_source->DataSet()->Active();
}

TClientDataSet *TDataLink::DataSet() const
{
    return m_source ? m_source->DataSet() : nullptr;
}

// --- TDataSource -------------------------------------------------------------------------------------

TDataSource::TDataSource(std::string name, TClientDataSet *dataSet) : m_name(std::move(name))
{
    SetDataSet(dataSet);
}

TDataSource::~TDataSource()
{
    if (m_dataSet)
        m_dataSet->detachDataSource(this);
    for (TDataLink *link : m_links)
        link->m_source = nullptr;
}

void TDataSource::SetDataSet(TClientDataSet *dataSet)
{
    if (dataSet == m_dataSet)
        return;
    if (m_dataSet)
        m_dataSet->detachDataSource(this);
    m_dataSet = dataSet;
    if (m_dataSet)
        m_dataSet->attachDataSource(this);
    if (m_enabled && !(m_dataSet && m_dataSet->ControlsDisabled())) {
        notifyLinks(Event::ActiveChanged, nullptr, 0);
        notifyLinks(Event::DataSetChanged, nullptr, 0);
    }
}

void TDataSource::SetEnabled(bool value)
{
    if (value == m_enabled)
        return;
    m_enabled = value;
    if (!value)
        m_missed = false;
    // While the dataset's controls are disabled, its EnableControls refreshes the links.
    if (m_dataSet && m_dataSet->ControlsDisabled())
        return;
    // Off and on again while the dataset computes a record's fields, when nothing can change: the
    // links are not disturbed (a grid computing the rows it paints would otherwise repaint itself).
    if (!value && m_dataSet && m_dataSet->ComputingFields()) {
        m_quiet = true;
        return;
    }
    if (value && m_quiet) {
        m_quiet = false;
        if (!m_missed)
            return;
    }
    if (!value) {
        // The links now read Active() == false and show nothing.
        for (TDataLink *link : std::vector<TDataLink *>(m_links))
            if (std::find(m_links.begin(), m_links.end(), link) != m_links.end())
                link->ActiveChanged();
        return;
    }
    notifyLinks(Event::ActiveChanged, nullptr, 0);
    // Nothing happened to the dataset meanwhile: the links show what they showed before, and need
    // not be rebuilt.
    if (m_missed)
        notifyLinks(Event::DataSetChanged, nullptr, 0);
    m_missed = false;
}

void TDataSource::notifyLinks(Event event, TField *field, int distance)
{
    // A link may detach itself (or another) while it is notified.
    const std::vector<TDataLink *> links = m_links;
    for (TDataLink *link : links) {
        if (std::find(m_links.begin(), m_links.end(), link) == m_links.end())
            continue;
        switch (event) {
        case Event::ActiveChanged: link->ActiveChanged(); break;
        case Event::DataSetChanged: link->DataSetChanged(); break;
        case Event::Scrolled: link->DataSetScrolled(distance); break;
        case Event::RecordChanged: link->RecordChanged(field); break;
        }
    }
}

void TDataSource::notify(Event event, TField *field, int distance)
{
    if (!m_enabled) {
        m_missed = true;
        return;
    }
    notifyLinks(event, field, distance);
    if (event != Event::ActiveChanged && OnDataChange) {
        const auto handler = OnDataChange;
        handler(*this, field);
    }
}

} // namespace tk
