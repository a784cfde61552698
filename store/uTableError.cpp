#include "store/uTableError.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace kadrel {

TTableError TTableError::Of(TTableFault kind, std::string text) {
  TTableError e;
  e.Kind = kind;
  e.Text = std::move(text);
  return e;
}

TTableError TTableError::Damaged(TDamage damage, std::string text, std::int64_t number, std::int64_t count) {
  TTableError e = Of(TTableFault::Damaged, std::move(text));
  e.Damage = damage;
  e.Number = number;
  e.Count = count;
  return e;
}

TTableError TTableError::System(int errnum, TTableFault otherwise, std::string_view what) {
  TTableFault kind = otherwise;
  switch (errnum) {
    case EACCES: case EPERM: case EROFS: kind = TTableFault::NoPermission; break;
    case ENOSPC: case EDQUOT: kind = TTableFault::NoSpace; break;
    default: break;
  }
  TTableError e = Of(kind, std::string(what) + ": " + std::strerror(errnum));
  e.Errno = errnum;
  return e;
}

}  // namespace kadrel
