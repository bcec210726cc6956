#pragma once

// TClientDataSet: the in-memory dataset every window and the server lean on.
//
// Records live in load order. The active index orders them by its fields (stable for ties).
// With Filtered on, the view is the records that pass the filter, in index order. Navigation,
// RecNo and RecordCount work on the view. See ARCHITECTURE.md, "The in-memory dataset".
//
// Event order (the contract the window handlers rely on):
//   Open / CreateDataSet / SetData:  AfterOpen, AfterScroll (on the first record of the view)
//   First, Last, SetRecNo, GotoBookmark, Locate (found), filter or index change:
//                                    BeforeScroll, move, AfterScroll
//   Next / Prior / MoveBy:           BeforeScroll; then, unless already at Eof (Bof), the move
//                                    (which may only set Eof/Bof) and AfterScroll
//   Append / Insert:                 BeforeScroll, new record, AfterScroll
//   Delete:                          BeforeScroll, delete, AfterScroll
//   Locate (not found):              nothing; the cursor stays where it was
//   Post, Cancel of an edit, Refresh, EmptyDataSet, Edit: no scroll events
//   Cancel of an insert:             BeforeScroll, back to the record, AfterScroll
// Navigating while editing posts first. While OnCalcFields runs (or WithViewRecord's function),
// the dataset may navigate but not change its records or structure (EDatabaseError).

#include "platform/toolkit/data/datapacket.h"
#include "platform/toolkit/data/field.h"
#include "platform/toolkit/data/filter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tk {

class TDataSource;
class FilterExpression;

// A stable record identity: survives filter and index changes while the record exists.
using TBookmark = int64_t;
constexpr TBookmark kInvalidBookmark = -1;

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsCalcFields };

struct TIndexDef
{
    std::string name;
    std::string fields; // "A;B"
    bool descending = false;
};

class TClientDataSet
{
public:
    explicit TClientDataSet(std::string name = {});
    virtual ~TClientDataSet();
    TClientDataSet(const TClientDataSet &) = delete;
    TClientDataSet &operator=(const TClientDataSet &) = delete;

    const std::string &Name() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }

    // --- Structure -----------------------------------------------------------------------
    // Persistent fields, declared before opening. When a dataset has no data fields of its own,
    // SetData creates them from the packet. Owned by the dataset.
    TField *AddField(const std::string &name, FieldType type, int size = 0,
                     TFieldKind kind = TFieldKind::fkData);
    int FieldCount() const;
    TField *Field(int index) const;
    TField *FieldByName(const std::string &name) const; // EDatabaseError "Field 'X' not found"
    TField *FindField(const std::string &name) const;   // nullptr when absent (case-insensitive)
    std::vector<TFieldDef> &FieldDefs();                 // for CreateDataSet without persistent fields

    // --- Open and close ------------------------------------------------------------------
    bool Active() const;
    TDataSetState State() const;
    void CreateDataSet(); // empty, from the persistent fields or FieldDefs
    void Open();          // same as CreateDataSet when there is no data
    void Close();
    // Replaces the content with the packet and opens the dataset. Packet fields are matched to
    // data fields by name (case-insensitive); a data field missing from the packet is an
    // EDatabaseError; packet fields without a data field are ignored when fields are persistent.
    void SetData(const DataPacket &packet);
    void SetData(const Variant &packet); // EVariantError when not a packet
    // The same, taking the packet's values instead of copying them; the packet is left without
    // rows. A packet that other variants share is only read.
    void SetData(DataPacket &&packet);
    void SetData(Variant &&packet);
    // All records (not only the view), in load order, data fields only.
    DataPacket Data() const;

    // --- Index ---------------------------------------------------------------------------
    std::vector<TIndexDef> &IndexDefs();
    void AddIndex(const std::string &name, const std::string &fields, bool descending = false);
    const std::string &IndexName() const;
    void SetIndexName(const std::string &name); // "" for load order; EDatabaseError for unknown
    void SetIndexFieldNames(const std::string &fields);

    // --- Filter --------------------------------------------------------------------------
    const std::string &Filter() const;
    // Parsed when it takes effect (EFilterError if bad; the previous filter then stays). Setting
    // the same text again changes nothing. Grammar and null semantics: filter.h.
    void SetFilter(const std::string &text);
    bool Filtered() const;
    void SetFiltered(bool value);
    // The filter text as this dataset's fields read it (EFilterError if bad); nullptr for a blank text.
    std::unique_ptr<FilterExpression> CompileFilter(const std::string &text) const;

    // --- Cursor over the view ------------------------------------------------------------
    void First();
    void Last();
    void Next();
    void Prior();
    int MoveBy(int distance);
    bool Eof() const;
    bool Bof() const;
    int RecNo() const; // 1-based position in the view; 0 when empty
    void SetRecNo(int recNo); // clamped to the view; no events when already on that record
    int RecordCount() const; // records in the view
    bool IsEmpty() const;

    // "F1;F2" with one value, or an array of values; exact, case-sensitive, whole value.
    bool Locate(const std::string &keyFields, const Variant &keyValues);

    TBookmark GetBookmark() const;
    void GotoBookmark(TBookmark bookmark); // EDatabaseError when the record is not in the view
    void FreeBookmark(TBookmark bookmark);
    bool BookmarkValid(TBookmark bookmark) const;

    // --- Editing (never reaches a server) --------------------------------------------------
    void Edit();
    void Append();
    void Insert();
    void Post();
    void Cancel();
    void Delete();
    void EmptyDataSet();

    // --- Controls --------------------------------------------------------------------------
    void DisableControls(); // nests
    void EnableControls();  // the last one notifies every data source once
    bool ControlsDisabled() const;
    // True while OnCalcFields runs for one of its records (nothing in the dataset can change).
    bool ComputingFields() const;
    void Refresh(); // recomputes the calculated fields of the view; no scroll events

    // Compute the calculated fields of every record of the view, in view order, as soon as the
    // view changes (open, filter, index, refresh), instead of on first need.
    void SetCalcWholeView(bool value);
    bool CalcWholeView() const;

    // --- Events (assign nullptr to detach) --------------------------------------------------
    using TDataSetNotifyEvent = std::function<void(TClientDataSet &dataSet)>;
    TDataSetNotifyEvent BeforeScroll;
    TDataSetNotifyEvent AfterScroll;
    TDataSetNotifyEvent AfterOpen;
    TDataSetNotifyEvent BeforeClose;
    TDataSetNotifyEvent AfterPost;
    TDataSetNotifyEvent OnCalcFields;

    // --- Access for data-aware controls -----------------------------------------------------
    // Value of a field of the record at a 0-based view row, computing its calculated fields
    // first when they are not valid. Used by grids to show rows other than the current one.
    Variant ViewValue(int viewRow, const TField *field);
    // Display text of a field of the record at a view row (OnGetText runs with that record as
    // the active record).
    std::string ViewDisplayText(int viewRow, const TField *field);
    int CurrentViewRow() const; // 0-based, -1 when empty
    // Runs fn with the record at a view row as the active record, as a grid does while it paints
    // that row: field reads inside fn see that record. Its calculated fields, when not valid, are
    // computed at the first read of one of them. The cursor does not move and no event fires.
    void WithViewRecord(int viewRow, const std::function<void()> &fn);

    // Number of OnCalcFields runs since creation (diagnostics and tests).
    int64_t CalcCount() const;

private:
    friend class TField;
    friend class TDataSource;
    struct Impl;
    std::unique_ptr<Impl> d;
    std::string m_name;

    void attachDataSource(TDataSource *source);
    void detachDataSource(TDataSource *source);
    // SetData's work; `consume`: the packet's values may be moved out.
    void loadPacket(DataPacket &packet, bool consume);
};

using TDataSet = TClientDataSet;

} // namespace tk
