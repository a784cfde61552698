// The users page's listings, without a window.
#include "config/uOptionData.h"

#include <gtest/gtest.h>

#include "platform/uGbk.h"

namespace kadrel {
namespace {

struct TTimeCase {
  const char* Name;
  TDateTime Value;
  const char* Text;
};
void PrintTo(const TTimeCase& c, std::ostream* os) { *os << c.Name; }

class LongTime : public ::testing::TestWithParam<TTimeCase> {};

TEST_P(LongTime, ShowsTheTimeOfDayOnly) { EXPECT_EQ(LongTimeText(GetParam().Value), GetParam().Text); }

INSTANTIATE_TEST_SUITE_P(
    Cases, LongTime,
    ::testing::Values(TTimeCase{"Midnight", 46095.0, "0:00:00"}, TTimeCase{"SixPm", 46095.75, "18:00:00"},
                      TTimeCase{"AHairBeforeMidnight", 46095.9999999999, "23:59:59"},
                      // Before 1899-12-30 the fraction counts forward from midnight.
                      TTimeCase{"Before1900", -1.25, "6:00:00"}),
    [](const auto& info) { return std::string(info.param.Name); });

std::int32_t PlaceOf(std::int32_t count, const std::string& worklist, std::int32_t place) {
  return SchemePlaceId({count, ReadWorkList(worklist)}, place);
}

// The users list reads the raw cycle text, entry by entry, up to "Count".
TEST(SchemePlace, IsTheRawEntryWithinCount) {
  EXPECT_EQ(PlaceOf(3, "4#x#6#", 2), 6);
  EXPECT_EQ(PlaceOf(3, "4#x#6#", 1), -1);  // not a number
  EXPECT_EQ(PlaceOf(3, "4#5#6#", 3), -1);  // at "Count"
  EXPECT_EQ(PlaceOf(1, "4#5#6#", 2), -1);  // beyond "Count", though the text goes on
  EXPECT_EQ(PlaceOf(3, "4#5#6#", -1), -1);
}

}  // namespace
}  // namespace kadrel
