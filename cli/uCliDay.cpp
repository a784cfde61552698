#include <array>
#include <string_view>

#include "cli/uCliCommands.h"
#include "platform/uDateTime.h"

namespace kadrel {

int CmdDay(TCliContext& ctx) {
  static constexpr std::array<std::string_view, 7> kWeekdays = {
      "星期日", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六"};
  auto day = ParseCliDate(ctx.Args[0]);
  if (!day) return UsageError(ctx, "the date must be YYYY-MM-DD or today");
  ctx.Out << FormatIsoDate(*day) << '\t' << kWeekdays[DayOfWeekSerial(*day) - 1] << '\n';
  return kExitOk;
}

}  // namespace kadrel
