#include "platform/hostlib/routines.h"

#include "platform/toolkit/widgets/dbgrid.h"

namespace host {

int IndiceCol(tk::TDBGrid &grid, const std::string &field)
{
    return grid.ColumnIndexByField(field);
}

} // namespace host
