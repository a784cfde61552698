#include "schedule/uDayText.h"

#include <array>

#include "platform/uGbk.h"

namespace kadrel {
namespace {

struct TDayTexts {
  std::array<std::string, 6> Kinds{"",
                                   GbkLiteral("改班"),
                                   GbkLiteral("请假"),
                                   GbkLiteral("加班"),
                                   GbkLiteral("换班"),
                                   GbkLiteral("备注")};
  std::array<std::string, 6> Marks{"", GbkLiteral("改"), GbkLiteral("假"), GbkLiteral("加"), GbkLiteral("换"), ""};
  std::array<std::string, 7> LeaveKinds{GbkLiteral("年假"), GbkLiteral("病假"), GbkLiteral("事假"),
                                        GbkLiteral("婚假"), GbkLiteral("产假"), GbkLiteral("丧假"),
                                        GbkLiteral("调休")};
  std::string Colon = GbkLiteral("：");
  std::string With = GbkLiteral("与");
  std::string WasOpen = GbkLiteral("（原：");
  std::string WasClose = GbkLiteral("）");
  std::string NoDuty = GbkLiteral("无");
};

const TDayTexts& Texts() {
  static const TDayTexts texts;
  return texts;
}

std::size_t KindIndex(TExceptionKind kind) {
  const auto k = static_cast<std::int32_t>(kind);
  return IsExceptionKind(k) ? static_cast<std::size_t>(k) : 0;
}

std::string LeaveText(const TResolvedDay& day) {
  return day.Leave.empty() ? Texts().Kinds[KindIndex(TExceptionKind::Leave)] : std::string(day.Leave);
}

std::string Line(TExceptionKind kind, std::string_view what) {
  return Texts().Kinds[KindIndex(kind)] + Texts().Colon + std::string(what);
}

// "（原：白班）", or nothing when the base had no duty to replace.
std::string Was(const TResolvedDay& day) {
  if (!day.Replaced.Has) return {};
  return Texts().WasOpen + std::string(day.Replaced.Name) + Texts().WasClose;
}

}  // namespace

std::string DayDutyText(const TResolvedDay& day) {
  std::string text = day.Kind == TExceptionKind::Leave ? LeaveText(day) : std::string(day.Duty.Name);
  for (const auto& extra : day.Extras) {
    if (!text.empty()) text += '+';
    text += extra.Duty.Name;
  }
  return text;
}

std::string DayLeaveText(const TResolvedDay& day) {
  return day.Kind == TExceptionKind::Leave ? LeaveText(day) : std::string();
}

std::string_view DayMark(const TResolvedDay& day) { return Texts().Marks[KindIndex(day.Kind)]; }

std::vector<std::string> DayHoverLines(const TResolvedDay& day) {
  std::vector<std::string> lines;
  switch (day.Kind) {
    case TExceptionKind::Swap:
      lines.push_back(Line(day.Kind, Texts().With + std::string(TrimBlanks(day.Partner))) + Was(day));
      break;
    case TExceptionKind::Leave: lines.push_back(Line(day.Kind, LeaveText(day)) + Was(day)); break;
    case TExceptionKind::Set:
      lines.push_back(Line(day.Kind, day.Duty.Has ? day.Duty.Name : Texts().NoDuty) + Was(day));
      break;
    default: break;
  }
  for (const auto& extra : day.Extras) lines.push_back(Line(TExceptionKind::Extra, extra.Duty.Name));
  if (!day.Note.empty()) lines.push_back(Line(TExceptionKind::Note, day.Note));
  return lines;
}

const std::string& NoDutyText() { return Texts().NoDuty; }

std::string_view ExceptionKindText(TExceptionKind kind) { return Texts().Kinds[KindIndex(kind)]; }

std::span<const std::string> StandardLeaveKinds() { return Texts().LeaveKinds; }

}  // namespace kadrel
