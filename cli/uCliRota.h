// How kadrel-cli shows an exception, in `exceptions`, in what a write command
// prints after storing one, and in `duty --explain`: the same line and the
// same JSON object everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "schedule/uRotaRecords.h"

namespace kadrel {

class TExceptionText {
 public:
  // Reads the duty kinds' names once.
  explicit TExceptionText(TScheduleRecords& records);

  // ID, user, kind (set, leave, extra, swap or note: the command that makes
  // it), first day, last day, duty (- for a set to no duty), partner, leave
  // kind and note, tab-separated, UTF-8. A date that is no date is empty.
  std::string Line(const TExceptionRecord& r) const;
  // {"id":…,"user":…,"kind":…,"first":…,"last":…,"duty":{"id":…,"name":…}|null,
  //  "partner":…|null,"link":…|null,"leave":…|null,"note":…|null}
  std::string Json(const TExceptionRecord& r) const;

 private:
  // GBK; a deleted duty kind as the resolver shows it (#7).
  std::string DutyName(std::int32_t id) const;
  std::unordered_map<std::int32_t, std::string> names_;
};

// "set", "leave", "extra", "swap" or "note"; "kind N" for what no file
// should hold.
std::string ExceptionKindWord(TExceptionKind kind);

}  // namespace kadrel
