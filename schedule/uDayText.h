// What a resolved day shows, in GBK: the duty text of lists, documents and
// `duty`, the mark of a changed day's cell, and the lines it adds to the
// hover text. A day no exception changes shows exactly its duty's name, and
// no mark and no line, so that every text built from it stays as it was.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "schedule/uRotaResolver.h"

namespace kadrel {

// The duty and every extra joined by "+" (白班+夜班); a leave day shows its
// kind (请假 when it has none) in place of the duty. Empty when the user has
// no duty.
std::string DayDutyText(const TResolvedDay& day);

// The kind of a day of leave, 请假 when none was given; empty on other days.
std::string DayLeaveText(const TResolvedDay& day);

// 换, 假, 加 or 改 for a day changed by a swap, leave, extra (alone) or set;
// empty otherwise (a note alone has no mark).
std::string_view DayMark(const TResolvedDay& day);

// One line for the winning exception, one a extra, and the note:
//   换班：与李四（原：夜班）   请假：年假（原：白班）   改班：无（原：白班）
//   加班：夜班                 备注：<the note>
// "（原：…）" is left out when the base had no duty.
std::vector<std::string> DayHoverLines(const TResolvedDay& day);

// 无: a day without a duty, where a text must stand (the hover text, an
// event's summary).
const std::string& NoDutyText();

// 改班, 请假, 加班, 换班 or 备注; empty for None and for a value no file
// should hold.
std::string_view ExceptionKindText(TExceptionKind kind);

// The leave kinds a dialog offers: 年假 病假 事假 婚假 产假 丧假 调休.
std::span<const std::string> StandardLeaveKinds();

}  // namespace kadrel
