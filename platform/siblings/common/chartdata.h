#pragma once

// The values a chart module takes from the caller's chart table. The table belongs to the calling
// window, which keeps using it after the chart closes, so the walk leaves it exactly as it was:
// same current record (and Eof/Bof state), controls enabled as before, scroll handlers attached.

#include "platform/toolkit/data/variant.h"

#include <string>
#include <vector>

namespace tk {
class TClientDataSet;
}

namespace siblings {

struct ChartData
{
    std::vector<tk::TDateTime> days;          // one per row of the view, in view order
    std::vector<std::vector<double>> values;  // values[series][row]; a null reads as 0
};

// Walks the view of dataSet from its first record to its last. module names the caller in the
// error raised for a closed dataset, a dataset in edit mode or a missing field.
ChartData ReadChartData(tk::TClientDataSet &dataSet, const std::string &module, const std::string &dayField,
                        const std::vector<std::string> &valueFields);

} // namespace siblings
