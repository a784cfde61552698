#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kadrel
