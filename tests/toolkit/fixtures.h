#pragma once

// Shared test helpers: small packets and a recorder of dataset events.

#include "platform/toolkit/data/dataset.h"
#include "platform/toolkit/data/datetime.h"

#include <string>
#include <vector>

namespace tktest {

// Records BeforeScroll/AfterScroll/AfterOpen/AfterPost/BeforeClose as "BS", "AS:<recno>", ...
struct EventLog
{
    std::vector<std::string> events;

    void attach(tk::TClientDataSet &ds)
    {
        ds.BeforeScroll = [this](tk::TClientDataSet &d) { events.push_back("BS:" + std::to_string(d.RecNo())); };
        ds.AfterScroll = [this](tk::TClientDataSet &d) { events.push_back("AS:" + std::to_string(d.RecNo())); };
        ds.AfterOpen = [this](tk::TClientDataSet &d) { events.push_back("AO:" + std::to_string(d.RecNo())); };
        ds.AfterPost = [this](tk::TClientDataSet &) { events.push_back("AP"); };
        ds.BeforeClose = [this](tk::TClientDataSet &) { events.push_back("BC"); };
    }
    std::vector<std::string> take()
    {
        std::vector<std::string> out;
        out.swap(events);
        return out;
    }
};

// Values of one field along the view, in view order; the cursor is restored.
inline std::vector<std::string> column(tk::TClientDataSet &ds, const std::string &field)
{
    std::vector<std::string> out;
    const tk::TField *f = ds.FieldByName(field);
    for (int row = 0; row < ds.RecordCount(); ++row)
        out.push_back(ds.ViewValue(row, f).toDisplayString());
    return out;
}

using Strings = std::vector<std::string>;

} // namespace tktest
