// The journal's format: whole journals round-trip, every torn or flipped one
// is discarded, a whole one that cannot be this table's is refused (from its
// header alone when it is too large), and a journal of the version before
// still decodes.
#include "store/uJournal.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/store/test_table_stream_util.h"

namespace kadrel {
namespace {

using Bytes = std::vector<unsigned char>;
constexpr std::int64_t S = kSectorBytes;

// A table of 2.5 sectors: a header sector of 0x11, 0x99, the last 46 bytes 0x22.
Bytes OldTable() {
  Bytes t(static_cast<std::size_t>(2 * S + S / 2), 0x99);
  std::fill(t.begin(), t.begin() + S, 0x11);
  std::fill(t.end() - 46, t.end(), 0x22);
  return t;
}

// The journal of a change that rewrote the first sector and cut the table
// to 2 sectors and 100 bytes: it holds the first sector, and everything from
// the sector the cut falls in.
TJournal Sample() {
  const Bytes old = OldTable();
  TJournal j;
  j.OldLength = static_cast<std::int64_t>(old.size());
  j.OldCrc = Crc64(old.data(), old.size());
  j.NewLength = 2 * S + 100;
  j.Regions.push_back({0, Bytes(old.begin(), old.begin() + S)});
  j.Regions.push_back({2 * S, Bytes(old.begin() + 2 * S, old.end())});
  return j;
}

TJournalState Decode(const Bytes& b, std::int64_t tableLength, TJournal& j) {
  std::string why;
  TJournalState state = DecodeJournal(b.data(), b.size(), tableLength, j, why);
  EXPECT_EQ(why.empty(), state == TJournalState::Valid) << why;
  return state;
}

std::uint64_t BytewiseCrc(const Bytes& b) {
  std::uint64_t crc = ~std::uint64_t{0};
  for (unsigned char c : b) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xC96C5795D7870F42ULL : crc >> 1;
  }
  return ~crc;
}

TEST(Journal, CrcIsTheStandardCrc64XzAtEveryLengthAndAlignment) {
  const char* check = "123456789";
  EXPECT_EQ(Crc64(reinterpret_cast<const unsigned char*>(check), 9), 0x995DC9BBDF1939FAULL);
  // Long runs go sixteen bytes at a time by another way: every length
  // around their steps, at every alignment.
  Bytes data(700);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 37 + 11);
  for (std::size_t from = 0; from < 8; ++from) {
    for (std::size_t n = 0; from + n <= data.size(); n += (n < 80 ? 3 : 13)) {
      const Bytes part(data.begin() + static_cast<std::ptrdiff_t>(from),
                       data.begin() + static_cast<std::ptrdiff_t>(from + n));
      EXPECT_EQ(Crc64(part.data(), part.size()), BytewiseCrc(part)) << from << "+" << n;
    }
  }
}

TEST(Journal, CrcsCombineAndCutAsIfTheBytesWereRead) {
  Bytes all = OldTable();
  const std::uint64_t whole = Crc64(all.data(), all.size());
  for (std::size_t cut : {0u, 1u, 31u, 4096u, 8291u, 10240u}) {
    const std::uint64_t a = Crc64(all.data(), cut), b = Crc64(all.data() + cut, all.size() - cut);
    EXPECT_EQ(Crc64Combine(a, b, all.size() - cut), whole) << cut;
    EXPECT_EQ(Crc64Uncombine(whole, b, all.size() - cut), a) << cut;
  }
  // A length with high bits set, as a table of 100,000 users has.
  all.resize((std::size_t{1} << 22) + 12345, 0x5A);
  const std::uint64_t a = Crc64(all.data(), 100), b = Crc64(all.data() + 100, all.size() - 100);
  EXPECT_EQ(Crc64Combine(a, b, all.size() - 100), Crc64(all.data(), all.size()));
  EXPECT_EQ(Crc64Uncombine(Crc64(all.data(), all.size()), b, all.size() - 100), a);
}

TEST(Journal, AWholeJournalRoundTripsAndPutsTheOldBytesBack) {
  TJournal sample = Sample();
  sample.Nonce = 77;
  sample.Record = "kadrel-change-000000000000004d";
  const Bytes encoded = EncodeJournal(sample);
  EXPECT_EQ(std::memcmp(encoded.data(), "KDRLJNL2", 8), 0);
  TJournal j;
  ASSERT_EQ(Decode(encoded, 2 * S + 100, j), TJournalState::Valid);
  EXPECT_EQ(j.Nonce, 77u);
  EXPECT_EQ(j.Record, sample.Record);
  EXPECT_EQ(JournalNonce(encoded.data(), kJournalHeaderBytes), 77u);
  // The new first sector torn half-way, the table cut.
  Bytes image = OldTable();
  image.resize(static_cast<std::size_t>(2 * S + 100));
  std::fill(image.begin(), image.begin() + S / 2, 0x55);
  EXPECT_TRUE(ApplyJournal(j, image));
  EXPECT_EQ(image, OldTable());
  Bytes other(static_cast<std::size_t>(2 * S + 100), 0x98);  // changed outside the regions
  EXPECT_FALSE(ApplyJournal(j, other));
}

TEST(Journal, EveryCutAndEveryFlippedByteIsTorn) {
  const Bytes encoded = EncodeJournal(Sample());
  TJournal j;
  const std::int64_t table = static_cast<std::int64_t>(OldTable().size());
  for (std::size_t n = 0; n < encoded.size(); n += (n < 200 ? 1 : 97)) {
    EXPECT_EQ(Decode(Bytes(encoded.begin(), encoded.begin() + static_cast<std::ptrdiff_t>(n)), table, j),
              TJournalState::Torn)
        << n;
    Bytes flipped = encoded;
    flipped[n] ^= 0x01;
    EXPECT_EQ(Decode(flipped, table, j), TJournalState::Torn) << n;
  }
  Bytes zeros(encoded.size(), 0);  // its size landed, its data did not
  EXPECT_EQ(Decode(zeros, table, j), TJournalState::Torn);
}

TEST(Journal, AWholeJournalThatCannotBeThisTablesIsRefused) {
  TJournal j;
  const std::int64_t now = 2 * S + 100;
  TJournal outside = Sample();
  outside.Regions[1].Offset = 3 * S;  // past the old length
  EXPECT_EQ(Decode(EncodeJournal(outside), now, j), TJournalState::Damaged);
  TJournal gap = Sample();  // the table was cut, but the journal lacks the part cut off
  gap.Regions.pop_back();
  EXPECT_EQ(Decode(EncodeJournal(gap), now, j), TJournalState::Damaged);
  TJournal unaligned = Sample();
  unaligned.Regions[0].Old.resize(100);
  EXPECT_EQ(Decode(EncodeJournal(unaligned), now, j), TJournalState::Damaged);
  // A table longer than the change could have left it: it grew since.
  EXPECT_EQ(Decode(EncodeJournal(Sample()), OldTable().size() + 31, j), TJournalState::Damaged);
  EXPECT_EQ(Decode(EncodeJournal(Sample()), 2 * S + 99, j), TJournalState::Damaged);
  TJournal huge = Sample();
  huge.OldLength = INT64_MAX;
  EXPECT_EQ(Decode(EncodeJournal(huge), now, j), TJournalState::Damaged);
}

TEST(Journal, TheHeaderAloneRefusesAFileFarTooLargeToBeAJournal) {
  const Bytes encoded = EncodeJournal(Sample());
  std::string why;
  const std::int64_t table = 300;
  Bytes junk(kJournalHeaderBytes, 0x5A);
  EXPECT_EQ(PeekJournal(junk.data(), junk.size(), 1000LL << 20, table, why), TJournalState::Damaged);
  EXPECT_EQ(PeekJournal(junk.data(), junk.size(), LargestUnfinishedJournal(table), table, why), TJournalState::Torn);
  // A whole header that claims a body the file does not have: unfinished.
  EXPECT_EQ(PeekJournal(encoded.data(), kJournalHeaderBytes, static_cast<std::int64_t>(encoded.size()) + 1,
                        2 * S + 100, why),
            TJournalState::Torn);
}

TEST(Journal, AJournalOfTheVersionBeforeStillUndoesItsChange) {
  const Bytes old = OldTable();
  TJournal v1;
  v1.OldLength = static_cast<std::int64_t>(old.size());
  v1.OldCrc = Crc64(old.data(), old.size());
  v1.Regions.push_back({10, Bytes(old.begin() + 10, old.begin() + 42)});
  v1.Regions.push_back({2 * S, Bytes(old.begin() + 2 * S, old.end())});
  TJournal j;
  ASSERT_EQ(Decode(testing::EncodeOldJournal(v1), 2 * S, j), TJournalState::Valid);
  EXPECT_EQ(j.Version, 1);
  Bytes image(old.begin(), old.begin() + 2 * S);
  image[20] = 0x77;
  EXPECT_TRUE(ApplyJournal(j, image));
  EXPECT_EQ(image, old);
  Bytes torn = testing::EncodeOldJournal(v1);
  torn.pop_back();
  EXPECT_EQ(Decode(torn, 2 * S, j), TJournalState::Torn);
}

TEST(Journal, AChangeRecordRoundTripsAndAnEmptyOrTornOneIsNone) {
  TChangeRecord record{0x1234, {"userdat.kd2-journal", "/elsewhere/workdat.kd2-journal"}};
  const Bytes encoded = EncodeChangeRecord(record);
  TChangeRecord back;
  ASSERT_TRUE(DecodeChangeRecord(encoded.data(), encoded.size(), back));
  EXPECT_EQ(back.Nonce, record.Nonce);
  EXPECT_EQ(back.Journals, record.Journals);
  EXPECT_FALSE(DecodeChangeRecord(encoded.data(), 0, back));
  EXPECT_FALSE(DecodeChangeRecord(encoded.data(), encoded.size() - 1, back));
}

}  // namespace
}  // namespace kadrel
