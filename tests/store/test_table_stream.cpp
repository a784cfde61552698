#include <gtest/gtest.h>

#include <filesystem>

#include "platform/uClock.h"
#include "tests/store/test_table_stream_util.h"

namespace kadrel {
namespace {

using testing::AddUser;
using testing::Bytes;
using testing::CreateUsers;
using testing::I32At;
using testing::LiveNames;
using testing::ReadBytes;
using testing::TTempDir;

constexpr auto kRW = TTableStream::kModeReadWrite;

TEST(TableStream, NewUsersTableIsHeaderAndFieldTableOnly) {
  TTempDir dir;
  std::string path = dir.File("userdat.kd2");
  ASSERT_TRUE(CreateUsers(path));
  Bytes b = ReadBytes(path);
  ASSERT_EQ(b.size(), 64u + 32u * 4u);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 4), (Bytes{0x04, 0x31, 0x2E, 0x31}));
  EXPECT_EQ(I32At(b, 12), 0);
  EXPECT_EQ(I32At(b, 16), 0);
  EXPECT_EQ(I32At(b, 20), 192);
  EXPECT_EQ(I32At(b, 24), 0);
  EXPECT_EQ(I32At(b, 28), 0);
  for (std::size_t i = 32; i < 64; ++i) EXPECT_EQ(b[i], 0) << "byte " << i;
  // Field 0: "Name", type 3, width 10, then 16 zero bytes.
  Bytes name = {4, 'N', 'a', 'm', 'e'};
  EXPECT_EQ(Bytes(b.begin() + 64, b.begin() + 69), name);
  EXPECT_EQ(b[74] | b[75] << 8, 3);
  EXPECT_EQ(I32At(b, 76), 10);
  EXPECT_EQ(b[96 + 10], 1);
  EXPECT_EQ(I32At(b, 96 + 12), 4);
  EXPECT_EQ(b[128 + 10], 4);
  EXPECT_EQ(I32At(b, 128 + 12), 8);
  for (int f = 0; f < 4; ++f) {
    for (int i = 16; i < 32; ++i) EXPECT_EQ(b[64 + 32 * f + i], 0);
  }
}

TEST(TableStream, WorkedExampleSlotOfPart12) {
  TTempDir dir;
  std::string path = dir.File("userdat.kd2");
  ASSERT_TRUE(CreateUsers(path));
  TTableStream t(path, kRW);
  ASSERT_TRUE(t.IsOpen()) << t.ErrorString();
  ASSERT_TRUE(AddUser(t, "Li", 2, 37627.0, 1));
  Bytes b = ReadBytes(path);
  ASSERT_EQ(b.size(), 192u + 31u);
  const unsigned char* s = b.data() + 192;
  Bytes head(s, s + 8);
  EXPECT_EQ(head, (Bytes{0x20, 1, 0, 0, 0, 0x4C, 0x69, 0}));
  EXPECT_EQ(Bytes(s + 15, s + 31), (Bytes{2, 0, 0, 0, 0, 0, 0, 0, 0x60, 0x5F, 0xE2, 0x40, 1, 0, 0, 0}));
  EXPECT_EQ(I32At(b, 12), 1);
  EXPECT_EQ(I32At(b, 28), 1);
  EXPECT_EQ(t.FieldByName("Name").AsString(), "Li");
  EXPECT_EQ(t.FieldByName("Start").AsDateTime(), 37627.0);
  EXPECT_TRUE(t.Close());
}


// A users table at `path` holding users u1..uN in slots 1..N, open in mode 2.
class UsersTable : public ::testing::Test {
 protected:
  void Make(int n) {
    path_ = dir_.File("userdat.kd2");
    ASSERT_TRUE(CreateUsers(path_));
    ASSERT_TRUE(t_.Open(path_)) << t_.ErrorString();
    for (int i = 1; i <= n; ++i) ASSERT_TRUE(AddUser(t_, testing::Numbered("u", i), i, 40000 + i, i));
  }
  // Moves the cursor to slot k by First and Next.
  void GoTo(int k) {
    t_.First();
    for (int i = 1; i < k; ++i) ASSERT_TRUE(t_.Next());
    ASSERT_EQ(t_.CurrentSlot(), k);
  }
  TTempDir dir_;
  std::string path_;
  TTableStream t_{kRW};
};

TEST(TableStream, NewTableLengthIs64Plus32PerField) {
  TTempDir dir;
  for (int n : {1, 2, 3, 17, TFields::kMaxFields}) {
    std::string path = dir.File(testing::Numbered("t", n) + ".kd2");
    TTableStream t(kRW);
    ASSERT_TRUE(t.CreateTable(path));
    EXPECT_TRUE(t.IsOpen());
    EXPECT_TRUE(t.Eof());
    EXPECT_EQ(t.DataStart(), 64);
    for (int i = 0; i < n; ++i) ASSERT_TRUE(t.Fields().AddField(testing::Numbered("f", i), 1));
    EXPECT_EQ(t.Fields().AddField("onemore", 1), n < TFields::kMaxFields);
    if (n < TFields::kMaxFields) t.Fields().Remove(n);
    ASSERT_TRUE(t.Close());
    EXPECT_FALSE(t.IsOpen());
    EXPECT_EQ(ReadBytes(path).size(), 64u + 32u * static_cast<unsigned>(n));
    ASSERT_TRUE(t.Open(path)) << t.ErrorString();
    EXPECT_EQ(t.DataStart(), 64 + 32 * n);
    EXPECT_EQ(t.SlotSize(), 5 + 4 * n);
    EXPECT_EQ(t.RecordCount(), 0);
  }
}

TEST(TableStream, CreationDateIsTheDayTheObjectWasMadeAndSurvivesReopening) {
  TTempDir dir;
  std::string path = dir.File("userdat.kd2");
  {
    TClockOverride clock([] { return 45000.75; });
    ASSERT_TRUE(CreateUsers(path));
  }
  Bytes b = ReadBytes(path);
  EXPECT_EQ(Bytes(b.begin() + 4, b.begin() + 12), (Bytes{0, 0, 0, 0, 0, 0xF9, 0xE5, 0x40}));
  TTableStream t(path, kRW);
  EXPECT_EQ(t.CreationDate(), 45000.0);
}

TEST(TableStream, OpenOfAnEmptyTableGivesEofAndNothingToFind) {
  TTempDir dir;
  std::string path = dir.File("userdat.kd2");
  ASSERT_TRUE(CreateUsers(path));
  TTableStream t(path, kRW);
  ASSERT_TRUE(t.IsOpen());
  EXPECT_TRUE(t.Eof());
  t.First();
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.CurrentSlot(), 0);
  EXPECT_FALSE(t.LocateText("Name", ""));
  EXPECT_FALSE(t.LocateInteger("ShiftID", 0));
  EXPECT_FALSE(t.Next());
  EXPECT_FALSE(t.MoveBy(-1));
  EXPECT_FALSE(t.IsDeleted());
  EXPECT_FALSE(t.Delete());
  EXPECT_FALSE(t.Edit());
}

TEST(TableStream, ConstructorWithNameOpensAndRefusalIsReported) {
  TTempDir dir;
  TTableStream missing(dir.File("nothing.kd2"), kRW);
  EXPECT_FALSE(missing.IsOpen());
  EXPECT_NE(missing.ErrorString().find("nothing.kd2"), std::string::npos) << missing.ErrorString();
  EXPECT_FALSE(std::filesystem::exists(dir.File("nothing.kd2"))) << "Open never creates";
}

TEST(TableStream, SetOpenModeOnlyWhileClosed) {
  TTempDir dir;
  std::string path = dir.File("userdat.kd2");
  ASSERT_TRUE(CreateUsers(path));
  TTableStream t;
  EXPECT_EQ(t.OpenMode(), TTableStream::kModeReadShared);
  EXPECT_TRUE(t.SetOpenMode(kRW));
  ASSERT_TRUE(t.Open(path));
  EXPECT_FALSE(t.SetOpenMode(TTableStream::kModeReadShared));
  EXPECT_EQ(t.OpenMode(), kRW);
}

TEST_F(UsersTable, NewRecordsGoToTheEndWithTheirSlotNumber) {
  Make(3);
  EXPECT_EQ(t_.RecordCount(), 3);
  EXPECT_EQ(t_.AppendedCount(), 3);
  EXPECT_EQ(t_.CurrentSlot(), 3);
  Bytes b = ReadBytes(path_);
  ASSERT_EQ(b.size(), 192u + 3u * 31u);
  for (int k = 1; k <= 3; ++k) {
    std::size_t at = 192 + static_cast<std::size_t>(k - 1) * 31;
    EXPECT_EQ(b[at], 0x20);
    EXPECT_EQ(I32At(b, at + 1), k);
  }
  EXPECT_EQ(LiveNames(t_), (std::vector<std::string>{"u1", "u2", "u3"}));
}

TEST_F(UsersTable, FreeListIsLastInFirstOut) {
  Make(6);
  GoTo(3);
  ASSERT_TRUE(t_.Delete());
  EXPECT_TRUE(t_.IsDeleted());
  EXPECT_EQ(t_.CurrentSlot(), 3);
  GoTo(5);
  ASSERT_TRUE(t_.Delete());
  EXPECT_EQ(t_.FreeListHead(), 5);
  EXPECT_EQ(t_.DeletedCount(), 2);
  EXPECT_EQ(t_.RecordCount(), 6);
  Bytes b = ReadBytes(path_);
  EXPECT_EQ(b[192 + 4 * 31], 0x2A);
  EXPECT_EQ(I32At(b, 192 + 4 * 31 + 1), 3) << "slot 5 links to slot 3";
  EXPECT_EQ(I32At(b, 192 + 2 * 31 + 1), 0) << "slot 3 ends the list";
  EXPECT_EQ(I32At(b, 24), 5);
  EXPECT_EQ(I32At(b, 16), 2);
  EXPECT_EQ(LiveNames(t_), (std::vector<std::string>{"u1", "u2", "u4", "u6"}));

  ASSERT_TRUE(AddUser(t_, "new1"));
  EXPECT_EQ(t_.CurrentSlot(), 5);
  ASSERT_TRUE(AddUser(t_, "new2"));
  EXPECT_EQ(t_.CurrentSlot(), 3);
  EXPECT_EQ(t_.FreeListHead(), 0);
  EXPECT_EQ(t_.DeletedCount(), 0);
  EXPECT_EQ(t_.RecordCount(), 6);
  EXPECT_EQ(t_.AppendedCount(), 8);
  EXPECT_EQ(LiveNames(t_), (std::vector<std::string>{"u1", "u2", "new2", "u4", "new1", "u6"}));
  b = ReadBytes(path_);
  EXPECT_EQ(b.size(), 192u + 6u * 31u);
  EXPECT_EQ(I32At(b, 192 + 2 * 31 + 1), 3);
  ASSERT_TRUE(AddUser(t_, "end"));
  EXPECT_EQ(t_.CurrentSlot(), 7);
}

TEST_F(UsersTable, DeleteRefusesADeletedSlot) {
  Make(2);
  GoTo(1);
  ASSERT_TRUE(t_.Delete());
  Bytes before = ReadBytes(path_);
  EXPECT_FALSE(t_.Delete());
  EXPECT_NE(t_.ErrorString().find("already deleted"), std::string::npos) << t_.ErrorString();
  EXPECT_EQ(ReadBytes(path_), before);
  EXPECT_EQ(t_.DeletedCount(), 1);
}

TEST_F(UsersTable, PackRenumbersKeepsOrderAndTheAppendedCount) {
  Make(6);
  GoTo(2);
  ASSERT_TRUE(t_.Delete());
  GoTo(5);
  ASSERT_TRUE(t_.Delete());
  ASSERT_TRUE(t_.Pack()) << t_.ErrorString();
  EXPECT_TRUE(t_.IsOpen());
  EXPECT_EQ(t_.RecordCount(), 4);
  EXPECT_EQ(t_.DeletedCount(), 0);
  EXPECT_EQ(t_.FreeListHead(), 0);
  EXPECT_EQ(t_.AppendedCount(), 6);
  EXPECT_EQ(t_.OpenMode(), kRW);
  EXPECT_EQ(t_.CurrentSlot(), 1);
  EXPECT_FALSE(t_.Eof());
  EXPECT_EQ(LiveNames(t_), (std::vector<std::string>{"u1", "u3", "u4", "u6"}));
  Bytes b = ReadBytes(path_);
  ASSERT_EQ(b.size(), 192u + 4u * 31u);
  EXPECT_EQ(I32At(b, 12), 4);
  EXPECT_EQ(I32At(b, 16), 0);
  EXPECT_EQ(I32At(b, 24), 0);
  EXPECT_EQ(I32At(b, 28), 6);
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(I32At(b, 192 + static_cast<std::size_t>(k - 1) * 31 + 1), k);
  for (const auto& e : std::filesystem::directory_iterator(dir_.Path())) {
    EXPECT_EQ(e.path().filename(), "userdat.kd2") << "no temporary file left behind";
  }
  // The next identifier is still fresh, and the packed table works on.
  ASSERT_TRUE(AddUser(t_, "u7"));
  EXPECT_EQ(t_.CurrentSlot(), 5);
  EXPECT_EQ(t_.AppendedCount(), 7);
  ASSERT_TRUE(t_.Close());
  TTableStream again(path_, kRW);
  ASSERT_TRUE(again.IsOpen()) << again.ErrorString();
  EXPECT_EQ(LiveNames(again), (std::vector<std::string>{"u1", "u3", "u4", "u6", "u7"}));
}

TEST_F(UsersTable, PackWithNothingDeletedChangesNothing) {
  Make(3);
  Bytes before = ReadBytes(path_);
  EXPECT_TRUE(t_.Pack());
  EXPECT_EQ(ReadBytes(path_), before);
  EXPECT_EQ(t_.RecordCount(), 3);
}

TEST_F(UsersTable, PackOfOnlyDeletedSlotsLeavesAnEmptyTable) {
  Make(2);
  GoTo(1);
  ASSERT_TRUE(t_.Delete());
  GoTo(2);
  ASSERT_TRUE(t_.Delete());
  ASSERT_TRUE(t_.Pack());
  EXPECT_EQ(t_.RecordCount(), 0);
  EXPECT_TRUE(t_.Eof());
  EXPECT_EQ(t_.AppendedCount(), 2);
  EXPECT_EQ(ReadBytes(path_).size(), 192u);
  ASSERT_TRUE(AddUser(t_, "again"));
  EXPECT_EQ(t_.CurrentSlot(), 1);
}

TEST_F(UsersTable, LongNamesFoldExactlyTheLettersAToZ) {
  Make(0);
  ASSERT_TRUE(AddUser(t_, "@AZ[`az{Q"));  // the neighbours of A, Z, a and z stay apart
  ASSERT_TRUE(AddUser(t_, "ABCDEFGH\xB0"));
  ASSERT_TRUE(AddUser(t_, "ABCDEFGHI"));
  EXPECT_TRUE(t_.LocateText("Name", "@az[`AZ{q"));
  EXPECT_EQ(t_.CurrentSlot(), 1);
  EXPECT_FALSE(t_.LocateText("Name", "`az[`az{q"));
  EXPECT_FALSE(t_.LocateText("Name", "@az{`az{q"));
  EXPECT_TRUE(t_.LocateText("Name", "abcdefghi"));
  EXPECT_EQ(t_.CurrentSlot(), 3);
  EXPECT_TRUE(t_.LocateText("Name", "abcdefgh\xB0"));
  EXPECT_EQ(t_.CurrentSlot(), 2);
  EXPECT_FALSE(t_.LocateText("Name", std::string("ABCDEFGH\0", 9)));
}

TEST_F(UsersTable, ChineseNamesDifferingOnlyInALetterLikeSecondByteStayApart) {
  Make(0);
  ASSERT_TRUE(AddUser(t_, "\x81\x41"));  // 丄
  ASSERT_TRUE(AddUser(t_, "\x81\x61"));  // 乤
  EXPECT_TRUE(t_.LocateText("Name", "\x81\x61"));
  EXPECT_EQ(t_.CurrentSlot(), 2);
  EXPECT_TRUE(t_.LocateText("Name", "\x81\x41"));
  EXPECT_EQ(t_.CurrentSlot(), 1);
}

TEST_F(UsersTable, LocateTextFoldsOnlyAToZ) {
  Make(0);
  ASSERT_TRUE(AddUser(t_, "ABC"));
  ASSERT_TRUE(AddUser(t_, "x\xC1y"));  // x, then the character C1 79
  ASSERT_TRUE(AddUser(t_, "\xD5\xC5Z"));
  EXPECT_TRUE(t_.LocateText("Name", "abc"));
  EXPECT_EQ(t_.CurrentSlot(), 1);
  EXPECT_FALSE(t_.Eof());
  EXPECT_EQ(t_.FieldByName("Name").AsString(), "ABC");
  EXPECT_TRUE(t_.LocateText("name", "aBc"));
  EXPECT_FALSE(t_.LocateText("Name", "ab"));
  EXPECT_TRUE(t_.Eof());
  EXPECT_EQ(t_.CurrentSlot(), 3) << "a failed search rests on the last slot";
  EXPECT_FALSE(t_.LocateText("Name", "X\xE1y"));
  // \xC1 starts a two-byte character: the y after it is its second byte, not
  // a letter, so only the X folds.
  EXPECT_FALSE(t_.LocateText("Name", "X\xC1Y"));
  EXPECT_TRUE(t_.LocateText("Name", "X\xC1y"));
  EXPECT_EQ(t_.CurrentSlot(), 2);
  EXPECT_TRUE(t_.LocateText("Name", "\xD5\xC5z"));
  EXPECT_EQ(t_.CurrentSlot(), 3);
}

TEST_F(UsersTable, LocateTrimmedTextLeavesBlanksAtBothEndsOutAndStartsWhereAsked) {
  Make(0);
  for (const char* name : {" Ann\t", "ann b", "ANN", "\xD5\xC5 "}) ASSERT_TRUE(AddUser(t_, name));
  EXPECT_TRUE(t_.LocateTrimmedText("Name", "ann "));
  EXPECT_EQ(t_.CurrentSlot(), 1);
  EXPECT_TRUE(t_.LocateTrimmedText("Name", "ann", 2));
  EXPECT_EQ(t_.CurrentSlot(), 3) << "blanks inside count";
  EXPECT_FALSE(t_.LocateTrimmedText("Name", "ann", 4));
  EXPECT_FALSE(t_.LocateTrimmedText("Name", "an"));
  EXPECT_TRUE(t_.LocateTrimmedText("Name", "  \xD5\xC5"));
  EXPECT_EQ(t_.CurrentSlot(), 4);
}

TEST_F(UsersTable, LocateExaminesDeletedSlotsToo) {
  Make(3);
  GoTo(2);
  ASSERT_TRUE(t_.Delete());
  EXPECT_TRUE(t_.LocateInteger("ShiftID", 2));
  EXPECT_EQ(t_.CurrentSlot(), 2);
  EXPECT_TRUE(t_.IsDeleted());
  EXPECT_TRUE(t_.LocateText("Name", "U2"));
  EXPECT_FALSE(t_.LocateInteger("ShiftID", 99));
  EXPECT_TRUE(t_.Eof());
}

TEST_F(UsersTable, LocateOnAnUnknownFieldSeesZeroAndEmptyText) {
  Make(2);
  EXPECT_TRUE(t_.LocateInteger("ID", 0));
  EXPECT_EQ(t_.CurrentSlot(), 1);
  EXPECT_TRUE(t_.LocateText("ID", ""));
  EXPECT_FALSE(t_.LocateInteger("ID", 1));
  EXPECT_EQ(t_.FieldByName("ID").AsInteger(), 0);
  EXPECT_EQ(t_.FieldByName("ID").AsString(), "");
  EXPECT_EQ(t_.FieldByName("ID").AsFloat(), 0.0);
  EXPECT_EQ(t_.FieldByName("ID").Width(), 0);
  EXPECT_EQ(t_.FieldByIndex(4).AsInteger(), 0);
  EXPECT_EQ(t_.FieldByIndex(-1).AsString(), "");
}

TEST_F(UsersTable, CursorMovesAsPart11Says) {
  Make(4);
  t_.First();
  EXPECT_EQ(t_.CurrentSlot(), 1);
  EXPECT_FALSE(t_.MoveBy(-1)) << "on slot 1";
  EXPECT_FALSE(t_.MoveBy(0)) << "on slot 1";
  EXPECT_EQ(t_.CurrentSlot(), 1);
  EXPECT_EQ(t_.FieldByName("Name").AsString(), "u1");
  EXPECT_TRUE(t_.MoveBy(3));
  EXPECT_EQ(t_.FieldByName("Name").AsString(), "u4");
  EXPECT_FALSE(t_.Eof());
  EXPECT_FALSE(t_.MoveBy(1));
  EXPECT_TRUE(t_.Eof());
  EXPECT_EQ(t_.CurrentSlot(), 4) << "past the end changes nothing else";
  EXPECT_TRUE(t_.MoveBy(0));
  EXPECT_FALSE(t_.Eof()) << "a backward move clears Eof";
  EXPECT_FALSE(t_.MoveBy(-4));
  EXPECT_TRUE(t_.MoveBy(-3));
  EXPECT_EQ(t_.CurrentSlot(), 1);
  EXPECT_TRUE(t_.MoveBy(2));
  EXPECT_TRUE(t_.MoveBy(-1));
  EXPECT_EQ(t_.FieldByName("Name").AsString(), "u2");
  EXPECT_FALSE(t_.MoveBy(2147483647));
  EXPECT_FALSE(t_.MoveBy(-2147483647 - 1));
}

TEST_F(UsersTable, ReadingAFieldTwiceGivesTheSameValue) {
  Make(1);
  t_.First();
  TRecordStream& r = t_.FieldByName("Start");
  EXPECT_EQ(r.AsDateTime(), 40001.0);
  EXPECT_EQ(r.AsDateTime(), 40001.0);
  TRecordStream& n = t_.FieldByName("Name");
  EXPECT_EQ(n.AsString(), "u1");
  EXPECT_EQ(n.AsString(), "u1");
  EXPECT_EQ(t_.FieldByName("FirstID").AsInteger(), 1);
  EXPECT_EQ(t_.FieldByName("FirstID").AsInteger(), 1);
}

TEST_F(UsersTable, TextOfWidthTenHoldsNineBytes) {
  Make(0);
  const std::string four = "\xD5\xC5\xC8\xFD\xC0\xEE\xCB\xC4";  // 张三李四
  ASSERT_TRUE(AddUser(t_, four + "A"));
  EXPECT_EQ(t_.FieldByName("Name").AsString(), four + "A");
  ASSERT_TRUE(AddUser(t_, "123456789"));
  EXPECT_EQ(t_.FieldByName("Name").AsString(), "123456789");
  ASSERT_TRUE(t_.Edit());
  EXPECT_FALSE(t_.SetText(0, "1234567890"));
  EXPECT_FALSE(t_.SetText(0, four + "\xCD\xF5"));  // five Chinese characters
  EXPECT_EQ(t_.FieldByName("Name").AsString(), "123456789") << "a refused text writes nothing";
  EXPECT_TRUE(t_.SetText(0, ""));
  ASSERT_TRUE(t_.Post());
  EXPECT_EQ(t_.FieldByName("Name").AsString(), "");
  // The filler after the zero byte is zero, so the slot bytes are exact.
  Bytes b = ReadBytes(path_);
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(b[192 + 31 + 5 + i], 0);
}

TEST_F(UsersTable, TextWithoutAZeroByteReadsAllWidthBytes) {
  Make(1);
  ASSERT_TRUE(t_.Close());
  Bytes b = ReadBytes(path_);
  for (std::size_t i = 0; i < 10; ++i) b[192 + 5 + i] = static_cast<unsigned char>('a' + i);
  testing::WriteBytes(path_, b);
  ASSERT_TRUE(t_.Open(path_)) << t_.ErrorString();
  EXPECT_EQ(t_.FieldByName("Name").AsString(), "abcdefghij");
  EXPECT_TRUE(t_.LocateText("Name", "ABCDEFGHIJ"));
}

TEST_F(UsersTable, FieldNamesMatchWithoutRegardToCase) {
  Make(1);
  t_.First();
  EXPECT_EQ(t_.FieldByName("shiftid").AsInteger(), 1);
  EXPECT_EQ(t_.FieldByName("SHIFTID").AsInteger(), 1);
  EXPECT_EQ(t_.Fields().IndexOf("sTaRt"), 2);
  TFields f;
  ASSERT_TRUE(f.AddField("worklist", 3, 200));
  ASSERT_NE(f.FindField("workList"), nullptr);
  EXPECT_EQ(f.FindField("workList")->Name, "worklist");
  EXPECT_EQ(f.FindField("work"), nullptr);
}

TEST(TableStream, AddFieldRefusesWhatTheFileCannotHold) {
  TFields f;
  EXPECT_TRUE(f.AddField("123456789", 1));
  EXPECT_FALSE(f.AddField("1234567890", 1)) << "10 characters";
  EXPECT_FALSE(f.AddField("", 1));
  EXPECT_FALSE(f.AddField("t0", 0));
  EXPECT_FALSE(f.AddField("t7", 7));
  EXPECT_FALSE(f.AddField("tm", -1));
  EXPECT_FALSE(f.AddField("w0", 3, 0));
  EXPECT_FALSE(f.AddField("wneg", 3, -5));
  EXPECT_FALSE(f.AddField("wbig", 3, TFields::kMaxFieldWidth + 1));
  EXPECT_TRUE(f.AddField("wmax", 3, TFields::kMaxFieldWidth));
  EXPECT_TRUE(f.AddField("d", 4, 99)) << "the width of a fixed type comes from FieldSize";
  EXPECT_EQ(f.Field(2).Width, 8);
  EXPECT_EQ(f.Count(), 3);
  EXPECT_EQ(f.Field(0).Offset, 5);
  EXPECT_EQ(f.Field(1).Offset, 9);
  EXPECT_EQ(f.Field(2).Offset, 9 + TFields::kMaxFieldWidth);
  EXPECT_EQ(f.Field(3).Name, "");
  EXPECT_TRUE(f.Remove(1));
  EXPECT_EQ(f.Field(1).Offset, 9);
  EXPECT_FALSE(f.Remove(2));
  EXPECT_FALSE(f.Remove(-1));
}

TEST(TableStream, FieldSizeOfEveryTypeCode) {
  const std::int32_t expected[] = {-1, 4, 8, 0, 8, 1, 8, -1};
  for (std::int16_t t = 0; t < 8; ++t) EXPECT_EQ(TFields::FieldSize(t), expected[t]) << "type " << t;
}

TEST_F(UsersTable, SettersReportUnknownFieldsAndRespectWidths) {
  Make(0);
  ASSERT_TRUE(t_.Append());
  EXPECT_FALSE(t_.SetInteger(4, 1));
  EXPECT_FALSE(t_.SetInteger(-1, 1));
  EXPECT_FALSE(t_.SetText(9, "x"));
  EXPECT_FALSE(t_.SetFloat(0, 1.5)) << "a text field takes no float";
  EXPECT_TRUE(t_.SetText(0, "n"));
  EXPECT_TRUE(t_.SetInteger(1, -1));
  EXPECT_TRUE(t_.SetFloat(2, 37627.0));
  EXPECT_TRUE(t_.SetInteger(3, -1));
  EXPECT_FALSE(t_.Edit());
  EXPECT_FALSE(t_.Append());
  ASSERT_TRUE(t_.Post());
  EXPECT_FALSE(t_.Post()) << "browse state";
  EXPECT_EQ(t_.FieldByName("ShiftID").AsInteger(), -1);
}

TEST_F(UsersTable, EditRewritesOnlyTheFieldBytes) {
  Make(3);
  GoTo(2);
  Bytes before = ReadBytes(path_);
  ASSERT_TRUE(t_.Edit());
  ASSERT_TRUE(t_.SetText(0, "Li"));
  ASSERT_TRUE(t_.SetInteger(1, 2));
  ASSERT_TRUE(t_.SetFloat(2, 37627.0));
  ASSERT_TRUE(t_.SetInteger(3, 1));
  ASSERT_TRUE(t_.Post());
  Bytes after = ReadBytes(path_);
  ASSERT_EQ(after.size(), before.size());
  const std::size_t slot2 = 192 + 31;
  for (std::size_t i = 0; i < after.size(); ++i) {
    if (i < slot2 + 5 || i >= slot2 + 31) {
      EXPECT_EQ(after[i], before[i]) << "byte " << i;
    }
  }
  EXPECT_EQ(after[slot2], 0x20);
  EXPECT_EQ(I32At(after, slot2 + 1), 2);
  EXPECT_EQ(t_.AppendedCount(), 3);
  EXPECT_EQ(t_.CurrentSlot(), 2);
}

TEST_F(UsersTable, CloseAndReopenKeepsTheFileByteForByte) {
  Make(3);
  GoTo(2);
  ASSERT_TRUE(t_.Delete());
  Bytes before = ReadBytes(path_);
  ASSERT_TRUE(t_.Close());
  EXPECT_EQ(ReadBytes(path_), before);
  EXPECT_EQ(t_.RecordCount(), 0);
  EXPECT_EQ(t_.AppendedCount(), 0);
  EXPECT_EQ(t_.CurrentSlot(), 0);
  EXPECT_EQ(t_.Fields().Count(), 0);
  ASSERT_TRUE(t_.Open());
  EXPECT_EQ(t_.RecordCount(), 3);
  EXPECT_EQ(t_.DeletedCount(), 1);
  EXPECT_EQ(t_.FreeListHead(), 2);
  EXPECT_EQ(t_.AppendedCount(), 3);
  EXPECT_EQ(t_.CurrentSlot(), 1);
  EXPECT_FALSE(t_.Eof());
}

TEST_F(UsersTable, CloseRefusesAChangedSchemaWhileRecordsExist) {
  Make(2);
  ASSERT_TRUE(t_.Fields().AddField("Extra", 1));
  Bytes before = ReadBytes(path_);
  EXPECT_FALSE(t_.Close());
  EXPECT_FALSE(t_.IsOpen());
  EXPECT_EQ(ReadBytes(path_), before);
}

TEST_F(UsersTable, ReadOnlyModeChangesNothing) {
  Make(3);
  ASSERT_TRUE(t_.Close());
  Bytes before = ReadBytes(path_);
  TTableStream r(path_, TTableStream::kModeReadShared);
  ASSERT_TRUE(r.IsOpen()) << r.ErrorString();
  EXPECT_EQ(LiveNames(r), (std::vector<std::string>{"u1", "u2", "u3"}));
  EXPECT_FALSE(r.Edit());
  EXPECT_FALSE(r.Append());
  EXPECT_FALSE(r.Delete());
  EXPECT_FALSE(r.Post());
  EXPECT_FALSE(r.Pack());
  EXPECT_NE(r.ErrorString().find("read-only"), std::string::npos) << r.ErrorString();
  EXPECT_TRUE(r.Close());
  EXPECT_EQ(ReadBytes(path_), before);
}

TEST_F(UsersTable, PushAndPopNestUpToElevenPositions) {
  Make(12);
  t_.First();
  EXPECT_EQ(t_.PopPosition(), -1) << "nothing saved";
  for (int i = 0; i < TTableStream::kPositionStackSize; ++i) {
    EXPECT_EQ(t_.PushPosition(), i);
    t_.Next();
  }
  EXPECT_EQ(t_.CurrentSlot(), 12);
  EXPECT_EQ(t_.PushPosition(), -1) << "full";
  EXPECT_FALSE(t_.MoveBy(1));
  EXPECT_TRUE(t_.Eof());
  for (int depth = 10; depth >= 0; --depth) {
    EXPECT_EQ(t_.PopPosition(), depth);
    EXPECT_EQ(t_.CurrentSlot(), depth + 1);
    EXPECT_EQ(t_.FieldByName("Name").AsString(), testing::Numbered("u", depth + 1));
    EXPECT_FALSE(t_.Eof());
  }
  EXPECT_EQ(t_.PopPosition(), -1);
}

TEST_F(UsersTable, PopRestoresAPositionAcrossANestedScan) {
  Make(5);
  GoTo(3);
  ASSERT_EQ(t_.PushPosition(), 0);
  EXPECT_FALSE(t_.LocateText("Name", "nobody"));
  EXPECT_TRUE(t_.Eof());
  ASSERT_EQ(t_.PopPosition(), 0);
  EXPECT_EQ(t_.CurrentSlot(), 3);
  EXPECT_FALSE(t_.Eof());
  EXPECT_TRUE(t_.Next());
  EXPECT_EQ(t_.FieldByName("Name").AsString(), "u4");
}

TEST(TableStream, PushBeforeAnySlotPopsToNoSlot) {
  TTempDir dir;
  std::string path = dir.File("userdat.kd2");
  ASSERT_TRUE(CreateUsers(path));
  TTableStream t(path, kRW);
  ASSERT_EQ(t.PushPosition(), 0);
  ASSERT_TRUE(AddUser(t, "a"));
  EXPECT_EQ(t.CurrentSlot(), 1);
  EXPECT_EQ(t.PopPosition(), 0);
  EXPECT_EQ(t.CurrentSlot(), 0);
  EXPECT_TRUE(t.Next());
  EXPECT_EQ(t.CurrentSlot(), 1);
}

TEST(TableStream, AppendStopsAtTheLargestAppendedCount) {
  TTempDir dir;
  std::string path = dir.File("userdat.kd2");
  ASSERT_TRUE(CreateUsers(path));
  for (std::int32_t appended : {2147483646, 2147483647}) {
    Bytes b = ReadBytes(path);
    testing::PutI32At(b, 28, appended);
    testing::WriteBytes(path, b);
    TTableStream t(path, kRW);
    ASSERT_TRUE(t.IsOpen()) << t.ErrorString();
    if (appended == 2147483647) {
      EXPECT_FALSE(t.Append());
      EXPECT_NE(t.ErrorString().find("appended count"), std::string::npos);
      EXPECT_EQ(ReadBytes(path), b);
      continue;
    }
    ASSERT_TRUE(AddUser(t, "last"));
    EXPECT_EQ(t.AppendedCount(), 2147483647);
    EXPECT_FALSE(t.Append());
    ASSERT_TRUE(t.Close());
    Bytes after = ReadBytes(path);
    testing::PutI32At(after, 12, 0);  // back to an empty table for the next round
    after.resize(192);
    testing::WriteBytes(path, after);
  }
}

TEST(TableStream, CreateTableTruncatesAnExistingFile) {
  TTempDir dir;
  std::string path = dir.File("userdat.kd2");
  ASSERT_TRUE(CreateUsers(path));
  {
    TTableStream t(path, kRW);
    ASSERT_TRUE(AddUser(t, "a"));
    ASSERT_TRUE(t.Close());
  }
  ASSERT_TRUE(CreateUsers(path));
  TTableStream t(path, kRW);
  ASSERT_TRUE(t.IsOpen());
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_EQ(t.AppendedCount(), 0);
  EXPECT_EQ(ReadBytes(path).size(), 192u);
}

TEST(TableStream, StaleTemporaryFileOfACrashedPackIsCleanedUp) {
  TTempDir dir;
  std::string path = dir.File("userdat.kd2");
  ASSERT_TRUE(CreateUsers(path));
  testing::WriteBytes(path + ".pack-a1B2c3", Bytes(100, 0x55));
  testing::WriteBytes(dir.File("other.kd2.pack-a1B2c3"), Bytes(1, 0));
  {
    TTableStream r(path, TTableStream::kModeReadShared);
    ASSERT_TRUE(r.IsOpen());
    EXPECT_TRUE(std::filesystem::exists(path + ".pack-a1B2c3")) << "a reader leaves it alone";
  }
  TTableStream t(path, kRW);
  ASSERT_TRUE(t.IsOpen()) << t.ErrorString();
  EXPECT_FALSE(std::filesystem::exists(path + ".pack-a1B2c3"));
  EXPECT_TRUE(std::filesystem::exists(dir.File("other.kd2.pack-a1B2c3"))) << "another table's";
}

}  // namespace
}  // namespace kadrel
