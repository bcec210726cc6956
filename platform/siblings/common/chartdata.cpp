#include "platform/siblings/common/chartdata.h"

#include "platform/siblings/common/moduleargs.h"
#include "platform/toolkit/data/datasource.h"

namespace siblings {

namespace {

// Puts the cursor back where the caller left it, on every exit path of the walk.
class CursorRestore
{
public:
    explicit CursorRestore(tk::TClientDataSet &dataSet)
        : m_dataSet(dataSet),
          m_bookmark(dataSet.IsEmpty() ? tk::kInvalidBookmark : dataSet.GetBookmark()),
          m_eof(dataSet.Eof()),
          m_bof(dataSet.Bof())
    {
    }
    ~CursorRestore()
    {
        try {
            if (m_bookmark != tk::kInvalidBookmark && m_dataSet.BookmarkValid(m_bookmark)) {
                m_dataSet.GotoBookmark(m_bookmark);
                // Next on the last record (Prior on the first) only sets the flag.
                if (m_eof && m_dataSet.RecNo() == m_dataSet.RecordCount())
                    m_dataSet.Next();
                else if (m_bof && m_dataSet.RecNo() == 1)
                    m_dataSet.Prior();
            }
        } catch (...) {
            // A destructor must not throw; the dataset stays on a valid record either way.
        }
        if (m_bookmark != tk::kInvalidBookmark)
            m_dataSet.FreeBookmark(m_bookmark);
    }
    CursorRestore(const CursorRestore &) = delete;
    CursorRestore &operator=(const CursorRestore &) = delete;

private:
    tk::TClientDataSet &m_dataSet;
    tk::TBookmark m_bookmark;
    bool m_eof;
    bool m_bof;
};

} // namespace

ChartData ReadChartData(tk::TClientDataSet &dataSet, const std::string &module, const std::string &dayField,
                        const std::vector<std::string> &valueFields)
{
    const std::string name = dataSet.Name().empty() ? std::string("tabela do gráfico") : dataSet.Name();
    if (!dataSet.Active())
        throw EModuleArgsError(module + ": a tabela " + name + " não está aberta");
    if (dataSet.State() != tk::TDataSetState::dsBrowse) {
        // Moving would post the caller's pending edit behind its back.
        throw EModuleArgsError(module + ": a tabela " + name + " está em edição");
    }
    auto field = [&](const std::string &fieldName) {
        tk::TField *f = dataSet.FindField(fieldName);
        if (!f)
            throw EModuleArgsError(module + ": a tabela " + name + " não tem o campo " + fieldName);
        return f;
    };
    tk::TField *day = field(dayField);
    std::vector<tk::TField *> fields;
    for (const std::string &fieldName : valueFields)
        fields.push_back(field(fieldName));

    ChartData data;
    data.values.resize(fields.size());
    const int expected = dataSet.RecordCount();
    data.days.reserve(static_cast<size_t>(expected));
    for (auto &column : data.values)
        column.reserve(static_cast<size_t>(expected));

    // Order matters: the restore runs while the handlers are still detached and the controls still
    // disabled, so the caller sees neither the walk nor the return.
    tk::DisableControlsGuard controls(dataSet);
    tk::DetachEventGuard<tk::TClientDataSet::TDataSetNotifyEvent> before(dataSet.BeforeScroll);
    tk::DetachEventGuard<tk::TClientDataSet::TDataSetNotifyEvent> after(dataSet.AfterScroll);
    CursorRestore restore(dataSet);
    dataSet.First();
    while (!dataSet.Eof()) {
        data.days.push_back(day->AsDateTime());
        for (size_t i = 0; i < fields.size(); ++i)
            data.values[i].push_back(fields[i]->AsFloat());
        dataSet.Next();
    }
    return data;
}

} // namespace siblings
