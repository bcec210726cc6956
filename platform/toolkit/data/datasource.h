#pragma once

// TDataSource links a dataset to data-aware controls through TDataLink objects. A disabled
// source, or a dataset whose controls are disabled, notifies nothing; re-enabling notifies
// DataSetChanged once.

#include "platform/toolkit/data/dataset.h"

#include <functional>
#include <vector>

namespace tk {

class TDataLink
{
public:
    virtual ~TDataLink();
    TDataSource *DataSource() const { return m_source; } // Not owned.
    void SetDataSource(TDataSource *source);
    // True when the source is enabled and its dataset is open.
    bool Active() const;
    TClientDataSet *DataSet() const;

    // Notifications, on the controls' behalf.
    virtual void ActiveChanged() {}          // dataset opened or closed, source enabled/disabled
    virtual void DataSetChanged() {}         // content, view or structure changed: re-read all
    virtual void DataSetScrolled(int distance) {} // the cursor moved
    virtual void RecordChanged(TField *field) {}  // the current record's values changed

private:
    friend class TDataSource;
    TDataSource *m_source = nullptr; // Not owned.
};

class TDataSource
{
public:
    explicit TDataSource(std::string name = {}, TClientDataSet *dataSet = nullptr);
    ~TDataSource();
    TDataSource(const TDataSource &) = delete;
    TDataSource &operator=(const TDataSource &) = delete;

    const std::string &Name() const { return m_name; }
    TClientDataSet *DataSet() const { return m_dataSet; } // Not owned.
    void SetDataSet(TClientDataSet *dataSet);
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value);

    // Fires on a scroll, a record change and a dataset change, when enabled and not suppressed.
    // The field is the changed field, or nullptr.
    std::function<void(TDataSource &sender, TField *field)> OnDataChange;

    // Called by the dataset.
    enum class Event { ActiveChanged, DataSetChanged, Scrolled, RecordChanged };
    void notify(Event event, TField *field = nullptr, int distance = 0);

private:
    friend class TDataLink;
    friend class TClientDataSet;
    void notifyLinks(Event event, TField *field, int distance);
    std::string m_name;
    TClientDataSet *m_dataSet = nullptr;
    bool m_enabled = true;
    bool m_missed = false; // a notification arrived while disabled
    bool m_quiet = false;  // disabled while the dataset computed fields: the links were not told
    std::vector<TDataLink *> m_links; // Not owned.
};

// Scope guards: restore on every exit path.
class DisableControlsGuard
{
public:
    explicit DisableControlsGuard(TClientDataSet &ds) : m_ds(ds) { m_ds.DisableControls(); }
    ~DisableControlsGuard() { m_ds.EnableControls(); }
    DisableControlsGuard(const DisableControlsGuard &) = delete;
    DisableControlsGuard &operator=(const DisableControlsGuard &) = delete;
private:
    TClientDataSet &m_ds;
};

class DisableSourceGuard
{
public:
    // Nested guards leave the source as they found it: only the outermost enables it again.
    explicit DisableSourceGuard(TDataSource &src) : m_src(src), m_wasEnabled(src.Enabled()) { m_src.SetEnabled(false); }
    ~DisableSourceGuard() { m_src.SetEnabled(m_wasEnabled); }
    DisableSourceGuard(const DisableSourceGuard &) = delete;
    DisableSourceGuard &operator=(const DisableSourceGuard &) = delete;
private:
    TDataSource &m_src;
    bool m_wasEnabled;
};

// Detaches an event for the guard's lifetime and attaches the saved handler again at its end.
template <typename Event>
class DetachEventGuard
{
public:
    explicit DetachEventGuard(Event &event) : m_event(event), m_saved(std::move(event)) { m_event = nullptr; }
    ~DetachEventGuard() { m_event = std::move(m_saved); }
    DetachEventGuard(const DetachEventGuard &) = delete;
    DetachEventGuard &operator=(const DetachEventGuard &) = delete;
private:
    Event &m_event;
    Event m_saved;
};

} // namespace tk
