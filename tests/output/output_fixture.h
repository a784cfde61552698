// A small hand-made user for the document tests: a four-day cycle
// 早班, 中班, 晚班, 休息 with 早班 on 2005-01-01.
#pragma once

#include <string>
#include <vector>

#include "platform/uDateTime.h"
#include "platform/uGbk.h"
#include "schedule/uShiftUser.h"

namespace kadrel::testing {

inline TShiftUser MakeUser(const std::string& utf8Name, std::vector<std::string> utf8Cycle,
                           std::int64_t start = EncodeDate(2005, 1, 1)) {
  TShiftUser user;
  user.Name = GbkLiteral(utf8Name);
  for (const auto& name : utf8Cycle) user.worklist.push_back(GbkLiteral(name));
  user.Count = user.worklist.empty() ? -1 : static_cast<std::int32_t>(user.worklist.size());
  user.Start = static_cast<TDateTime>(start);
  user.FirstID = 0;
  return user;
}

inline TShiftUser ZhangSan() { return MakeUser("张三", {"早班", "中班", "晚班", "休息"}); }

inline std::string Utf8(const std::string& gbk) { return GbkToUtf8(gbk).value_or("<not GBK>"); }

}  // namespace kadrel::testing
