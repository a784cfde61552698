// Between a transaction (store/uTransaction.h) and the table objects it
// holds: internal to store/, never for callers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/uTableFile.h"

namespace kadrel {

class TTableStream;

// The transaction's side: a table that is closed or destroyed while held
// hands its file over, with the change staged in it (or the new table
// waiting to be linked in), so that Commit still writes it.
class TTableHolder {
 public:
  virtual ~TTableHolder() = default;
  virtual void Adopt(std::unique_ptr<TTableFile> file) = 0;
  virtual void Forget(TTableStream& table) = 0;
};

struct TTableHold {
  // False when the table is in another transaction, or open but not for writing.
  static bool Join(TTableStream& table, TTableHolder* holder);
  // The transaction is over: the table writes its changes at once again.
  static void Leave(TTableStream& table);
  // The open table's file; null when it is closed.
  static TTableFile* File(TTableStream& table);
  // After a transaction that failed or was rolled back: the table object
  // shows the file again (nothing it staged is left).
  static void Reload(TTableStream& table);
};

// Whether the table's format lets one change lead from `before` to a table
// `lengthNow` long (see TTableFile::TFit).
std::string TableJournalFit(const std::vector<unsigned char>& before, std::int64_t lengthNow);

}  // namespace kadrel
