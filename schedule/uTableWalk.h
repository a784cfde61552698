// Walking the live records of a table in slot order, for the records layers
// of the folder's files.
#pragma once

#include "store/uTableStream.h"

namespace kadrel {

// Every live slot in order, the cursor standing on it while `visit` runs;
// `visit` may change or delete that slot, and stops the walk by returning
// false (and the walk then gives false). A table that is not open has none.
template <typename TVisit>
bool ForEachLive(TTableStream& table, TVisit visit) {
  if (!table.IsOpen() || table.RecordCount() == 0) return true;
  for (table.First(); !table.Eof(); table.Next()) {
    if (!table.IsDeleted() && !visit()) return false;
  }
  return true;
}

}  // namespace kadrel
