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

// Gives the table exactly one live record that `match` finds: the first one
// found takes what `write` writes (after Edit; `write` ends with Post), any
// later one is deleted, and with none one is appended. False as soon as a
// write fails.
template <typename TMatch, typename TWrite>
bool PutOnlyRecord(TTableStream& table, TMatch match, TWrite write) {
  bool found = false;
  const bool walked = ForEachLive(table, [&] {
    if (!match()) return true;
    const bool done = found ? table.Delete() : table.Edit() && write();
    found = true;
    return done;
  });
  return walked && (found || (table.Append() && write()));
}

// Deletes every live record that `match` finds; false as soon as a deletion fails.
template <typename TMatch>
bool DeleteRecords(TTableStream& table, TMatch match) {
  return ForEachLive(table, [&] { return !match() || table.Delete(); });
}

}  // namespace kadrel
