// Damaged files: Open either refuses them with a reason or opens them in a
// state that holds together; it never crashes or reads out of bounds (the
// sanitizer build runs these too). Every opened file also goes through the
// fuzzer's body, which writes to it and checks the file it leaves.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "fuzz/uFuzzTable.h"
#include "tests/store/test_table_stream_util.h"

namespace kadrel {
namespace {

using testing::AddUser;
using testing::Bytes;
using testing::I32At;
using testing::PutI32At;
using testing::ReadBytes;
using testing::TTempDir;
using testing::WriteBytes;

constexpr std::size_t kDataStart = 192;
constexpr std::size_t kSlot = 31;

// Users u1..u5 with slots 2 and then 4 deleted: free list 4 -> 2 -> 0.
Bytes ValidFile() {
  TTempDir dir;
  std::string path = dir.File("userdat.kd2");
  EXPECT_TRUE(testing::CreateUsers(path));
  TTableStream t(path, TTableStream::kModeReadWrite);
  for (int i = 1; i <= 5; ++i) EXPECT_TRUE(AddUser(t, testing::Numbered("u", i), i));
  for (int k : {2, 4}) {
    t.First();
    EXPECT_TRUE(t.MoveBy(k - 1));
    EXPECT_TRUE(t.Delete());
  }
  EXPECT_TRUE(t.Close());
  return ReadBytes(path);
}

// Opens `bytes` in both modes; returns whether they opened and checks that a
// refusal carries a reason, is told as damage the same way by both modes, and
// writes nothing.
bool OpensConsistently(const Bytes& bytes, std::string* reason = nullptr, TTableError* error = nullptr) {
  TTempDir dir;
  std::string path = dir.File("t.kd2");
  WriteBytes(path, bytes);
  TTableStream r(path, TTableStream::kModeReadShared);
  bool opened = r.IsOpen();
  EXPECT_EQ(opened, r.ErrorString().empty()) << r.ErrorString();
  EXPECT_EQ(r.Error().Kind, opened ? TTableFault::None : TTableFault::Damaged) << r.ErrorString();
  if (!opened) {
    EXPECT_EQ(r.ErrorString(), path + ": " + r.Error().Text);
  }
  if (reason) *reason = r.ErrorString();
  if (error) *error = r.Error();
  const TDamage damage = r.Error().Damage;
  r.Close();
  TTableStream w(path, TTableStream::kModeReadWrite);
  EXPECT_EQ(w.IsOpen(), opened) << w.ErrorString();
  EXPECT_EQ(w.Error().Damage, damage) << w.ErrorString();
  if (!opened) {
    EXPECT_EQ(ReadBytes(path), bytes);
  }
  EXPECT_EQ(fuzz::FuzzTable(bytes.data(), bytes.size()), "");
  return opened;
}

TEST(TableStreamMalformed, TheBaseFileIsValid) {
  Bytes b = ValidFile();
  ASSERT_EQ(b.size(), kDataStart + 5 * kSlot);
  EXPECT_EQ(I32At(b, 24), 4);
  EXPECT_EQ(I32At(b, 16), 2);
  EXPECT_TRUE(OpensConsistently(b));
}

TEST(TableStreamMalformed, EveryTruncationIsRefusedWithAReason) {
  Bytes b = ValidFile();
  for (std::size_t len = 0; len < b.size(); ++len) {
    std::string why;
    EXPECT_FALSE(OpensConsistently(Bytes(b.begin(), b.begin() + static_cast<long>(len)), &why)) << len;
    EXPECT_FALSE(why.empty()) << len;
  }
}

TEST(TableStreamMalformed, TrailingBytesAreRefused) {
  Bytes b = ValidFile();
  for (std::size_t extra : {std::size_t{1}, std::size_t{30}, kSlot}) {
    Bytes longer = b;
    longer.resize(b.size() + extra, 0x20);
    std::string why;
    EXPECT_FALSE(OpensConsistently(longer, &why)) << extra;
    EXPECT_NE(why.find("file length"), std::string::npos) << why;
  }
}

// Which 4-byte words of the header and field table may take a value and
// still leave a valid file: the creation date, the zero gap, the appended
// count raised, name bytes, and the reserved tail of each field definition.
bool MutationStaysValid(std::size_t offset, std::int32_t value) {
  if (offset == 4 || offset == 8 || (offset >= 32 && offset < 64)) return true;
  if (offset == 28) return value == INT_MAX;
  if (offset < 64) return false;
  std::size_t inField = (offset - 64) % 32;
  if (inField == 4 || inField >= 16) return true;
  if (inField == 0) return value == 1;  // name length 1, name "\0": odd but valid
  return false;                         // type code and width
}

TEST(TableStreamMalformed, EveryHeaderAndFieldWordSetTo0Minus1OneAndIntMax) {
  const Bytes base = ValidFile();
  for (std::size_t offset = 0; offset < kDataStart; offset += 4) {
    for (std::int32_t value : {0, -1, 1, INT_MAX}) {
      Bytes b = base;
      PutI32At(b, offset, value);
      std::string why;
      bool opened = OpensConsistently(b, &why);
      EXPECT_EQ(opened, MutationStaysValid(offset, value))
          << "offset " << offset << " value " << value << ": " << why;
    }
  }
}

// Found by fuzz_table (fuzz/crashes/crash-5019e86...): counts that fit in 32
// bits, but whose slot arithmetic does not.
TEST(TableStreamMalformed, LargestSlotAndAppendedCountsAreRefusedWithoutOverflow) {
  Bytes b = ValidFile();
  PutI32At(b, 12, INT_MAX);
  PutI32At(b, 28, INT_MAX);
  std::string why;
  EXPECT_FALSE(OpensConsistently(b, &why));
  EXPECT_NE(why.find("file length"), std::string::npos) << why;
}

struct TSlotDamage {
  const char* Name;
  std::function<void(Bytes&)> Damage;
  const char* Reason;  // a part of the expected ErrorString
  TDamage Rule;
  std::int64_t Number = 0;  // the slot, the field, the data start or the length; 0: none to check
};

void PrintTo(const TSlotDamage& d, std::ostream* os) { *os << d.Name; }

std::size_t Slot(int k) { return kDataStart + static_cast<std::size_t>(k - 1) * kSlot; }

const TSlotDamage kSlotDamage[] = {
    {"StatusByteZero", [](Bytes& b) { b[Slot(3)] = 0; }, "status byte", TDamage::Slot, 3},
    {"StatusByteLowerCaseStar", [](Bytes& b) { b[Slot(1)] = 0x2B; }, "status byte", TDamage::Slot, 1},
    {"LiveSlotWithAnotherNumber", [](Bytes& b) { PutI32At(b, Slot(3) + 1, 5); }, "carries number", TDamage::Slot, 3},
    {"LiveSlotNumberedZero", [](Bytes& b) { PutI32At(b, Slot(5) + 1, 0); }, "carries number", TDamage::Slot, 5},
    {"ThirdDeletedSlotNotCounted", [](Bytes& b) { b[Slot(1)] = 0x2A; }, "more deleted slots", TDamage::FreeList},
    {"DeletedSlotRevived", [](Bytes& b) { b[Slot(2)] = 0x20; PutI32At(b, Slot(2) + 1, 2); }, "fewer deleted",
     TDamage::FreeList},
    {"LinkOutOfRange", [](Bytes& b) { PutI32At(b, Slot(4) + 1, 6); }, "leaves the table", TDamage::FreeList},
    {"LinkNegative", [](Bytes& b) { PutI32At(b, Slot(4) + 1, -3); }, "leaves the table", TDamage::FreeList},
    {"LinkToItself", [](Bytes& b) { PutI32At(b, Slot(4) + 1, 4); }, "cycle", TDamage::FreeList},
    {"TwoSlotCycle", [](Bytes& b) { PutI32At(b, Slot(2) + 1, 4); }, "cycle", TDamage::FreeList},
    {"LinkToALiveSlot", [](Bytes& b) { PutI32At(b, Slot(4) + 1, 3); }, "live slot", TDamage::FreeList},
    {"ListShorterThanTheCount", [](Bytes& b) { PutI32At(b, Slot(4) + 1, 0); }, "free list holds 1", TDamage::FreeList},
    {"HeadOnALiveSlot", [](Bytes& b) { PutI32At(b, 24, 5); }, "live slot", TDamage::FreeList},
    {"HeadZeroWithDeletedSlots", [](Bytes& b) { PutI32At(b, 24, 0); }, "free list holds 0", TDamage::FreeList},
    {"HeadBeyondTheSlots", [](Bytes& b) { PutI32At(b, 24, 6); }, "free-list head 6", TDamage::Counts},
    {"DeletedCountAboveTheSlots", [](Bytes& b) { PutI32At(b, 16, 6); }, "deleted count 6", TDamage::Counts},
    {"SlotCountOneShort", [](Bytes& b) { PutI32At(b, 12, 4); }, "file length", TDamage::FileLength,
     kDataStart + 5 * kSlot},
    {"DataStartOffByOne", [](Bytes& b) { PutI32At(b, 20, 193); }, "data start", TDamage::DataStart, 193},
    {"DataStartForSixtyFiveFields", [](Bytes& b) { PutI32At(b, 20, 64 + 32 * 65); }, "data start", TDamage::DataStart},
    {"CutInsideTheFieldTable", [](Bytes& b) { b.resize(100); }, "shorter than its field table", TDamage::FieldTable},
    {"CutInsideTheHeader", [](Bytes& b) { b.resize(31); }, "32-byte header", TDamage::HeaderSize},
    {"Signature", [](Bytes& b) { b[1] = '2'; }, "signature", TDamage::Signature},
    {"NameLengthTen", [](Bytes& b) { b[64] = 10; }, "name length", TDamage::Field, 1},
    {"TypeCodeSeven", [](Bytes& b) { b[64 + 10] = 7; }, "type code", TDamage::Field, 1},
    {"IntegerOfWidthEight", [](Bytes& b) { PutI32At(b, 96 + 12, 8); }, "needs 4", TDamage::Field, 2},
    {"TextWiderThanTheLimit", [](Bytes& b) { PutI32At(b, 64 + 12, TFields::kMaxFieldWidth + 1); }, "width",
     TDamage::Field, 1},
};

class TableStreamSlotDamage : public ::testing::TestWithParam<TSlotDamage> {};

// Callers tell the user what is wrong from the rule, never from the text.
TEST_P(TableStreamSlotDamage, IsRefusedWithItsReasonAndRule) {
  Bytes b = ValidFile();
  GetParam().Damage(b);
  std::string why;
  TTableError error;
  EXPECT_FALSE(OpensConsistently(b, &why, &error));
  EXPECT_NE(why.find(GetParam().Reason), std::string::npos) << why;
  EXPECT_NE(why.find("t.kd2"), std::string::npos) << "names the file: " << why;
  EXPECT_EQ(error.Damage, GetParam().Rule) << why;
  if (GetParam().Number != 0) {
    EXPECT_EQ(error.Number, GetParam().Number) << why;
  }
  if (GetParam().Rule == TDamage::FileLength) {
    EXPECT_EQ(error.Count, 4) << why;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, TableStreamSlotDamage, ::testing::ValuesIn(kSlotDamage),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(TableStreamMalformed, InsignificantBytesMayHoldAnything) {
  Bytes b = ValidFile();
  for (std::size_t i = 32; i < 64; ++i) b[i] = 0xEE;
  b[64 + 7] = 'X';                                // beyond the name "Name"
  for (std::size_t i = 64 + 16; i < 96; ++i) b[i] = 0xEE;
  for (std::size_t i = Slot(1) + 8; i < Slot(1) + 15; ++i) b[i] = 0xEE;  // after "u1\0"
  EXPECT_TRUE(OpensConsistently(b));
}

TEST(TableStreamMalformed, ADirectoryOrAnEmptyNameIsRefused) {
  TTempDir dir;
  TTableStream t(dir.Path().string(), TTableStream::kModeReadShared);
  EXPECT_FALSE(t.IsOpen());
  EXPECT_FALSE(t.ErrorString().empty());
  EXPECT_EQ(t.Error().Kind, TTableFault::NotRegular);
  EXPECT_TRUE(S_ISDIR(t.Error().FileType));
  TTableStream e("", TTableStream::kModeReadShared);
  EXPECT_FALSE(e.IsOpen());
  EXPECT_FALSE(e.ErrorString().empty());
}

}  // namespace
}  // namespace kadrel
