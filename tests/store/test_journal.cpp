// The journal's format: whole journals round-trip, every torn or flipped one
// is discarded, and a whole one that cannot be this table's is refused.
#include "store/uJournal.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kadrel {
namespace {

using Bytes = std::vector<unsigned char>;

// A table of 300 bytes: 32 of 0x11, then 0x99, the last 46 0x22.
Bytes OldTable() {
  Bytes t(300, 0x99);
  std::fill(t.begin(), t.begin() + 32, 0x11);
  std::fill(t.begin() + 254, t.end(), 0x22);
  return t;
}

// The journal of a change that rewrote the header and cut the table to 254.
TJournal Sample() {
  TJournal j;
  j.OldLength = 300;
  const Bytes old = OldTable();
  j.OldCrc = Crc64(old.data(), old.size());
  j.Regions.push_back({0, Bytes(32, 0x11)});
  j.Regions.push_back({254, Bytes(46, 0x22)});
  return j;
}

TJournalState Decode(const Bytes& b, std::int64_t tableLength, TJournal& j) {
  std::string why;
  TJournalState state = DecodeJournal(b.data(), b.size(), tableLength, j, why);
  EXPECT_EQ(why.empty(), state == TJournalState::Valid);
  return state;
}

TEST(Journal, CrcIsTheStandardCrc64Xz) {
  const char* check = "123456789";
  EXPECT_EQ(Crc64(reinterpret_cast<const unsigned char*>(check), 9), 0x995DC9BBDF1939FAULL);
}

TEST(Journal, CrcsCombineAsIfTheBytesWereRead) {
  Bytes all = OldTable();
  for (std::size_t cut : {0u, 1u, 31u, 32u, 299u, 300u}) {
    const std::uint64_t a = Crc64(all.data(), cut), b = Crc64(all.data() + cut, all.size() - cut);
    EXPECT_EQ(Crc64Combine(a, b, all.size() - cut), Crc64(all.data(), all.size())) << cut;
  }
}

TEST(Journal, AWholeJournalRoundTripsAndPutsTheOldBytesBack) {
  Bytes encoded = EncodeJournal(Sample());
  ASSERT_EQ(encoded.size(), 40u + 12u + 32u + 12u + 46u);
  EXPECT_EQ(std::memcmp(encoded.data(), "KDRLJNL1", 8), 0);
  TJournal j;
  ASSERT_EQ(Decode(encoded, 254, j), TJournalState::Valid);
  Bytes image(254, 0x99);
  image[0] = 0x55;  // the new header, or half of it
  EXPECT_TRUE(ApplyJournal(j, image));
  EXPECT_EQ(image, OldTable());
  Bytes other(254, 0x98);  // changed outside the regions: not the table it was written for
  EXPECT_FALSE(ApplyJournal(j, other));
}

TEST(Journal, EveryCutAndEveryFlippedByteIsTorn) {
  const Bytes encoded = EncodeJournal(Sample());
  TJournal j;
  for (std::size_t n = 0; n < encoded.size(); ++n) {
    EXPECT_EQ(Decode(Bytes(encoded.begin(), encoded.begin() + n), 300, j), TJournalState::Torn) << n;
    Bytes flipped = encoded;
    flipped[n] ^= 0x01;
    EXPECT_EQ(Decode(flipped, 300, j), TJournalState::Torn) << n;
  }
  Bytes zeros(encoded.size(), 0);  // its size landed, its data did not
  EXPECT_EQ(Decode(zeros, 300, j), TJournalState::Torn);
}

TEST(Journal, AWholeJournalThatCannotBeThisTablesIsRefused) {
  TJournal j;
  TJournal outside = Sample();
  outside.Regions[1].Offset = 260;  // past the old length
  EXPECT_EQ(Decode(EncodeJournal(outside), 300, j), TJournalState::Damaged);
  // The table is shorter than it was, but the journal lacks the part cut off.
  TJournal gap = Sample();
  gap.Regions.pop_back();
  EXPECT_EQ(Decode(EncodeJournal(gap), 254, j), TJournalState::Damaged);
  EXPECT_EQ(Decode(EncodeJournal(gap), 300, j), TJournalState::Valid) << "nothing was cut";
  TJournal huge = Sample();
  huge.OldLength = INT64_MAX;
  EXPECT_EQ(Decode(EncodeJournal(huge), 300, j), TJournalState::Damaged);
}

}  // namespace
}  // namespace kadrel
