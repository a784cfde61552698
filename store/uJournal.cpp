#include "store/uJournal.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kadrel {
namespace {

constexpr unsigned char kMagic[8] = {'K', 'D', 'R', 'L', 'J', 'N', 'L', '1'};
constexpr std::size_t kChecksummed = 16;  // the checksum covers the bytes from here on

constexpr std::array<std::uint64_t, 256> MakeCrcTable() {
  std::array<std::uint64_t, 256> table{};
  for (std::uint64_t i = 0; i < 256; ++i) {
    std::uint64_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xC96C5795D7870F42ULL : c >> 1;
    table[i] = c;
  }
  return table;
}
constexpr auto kCrcTable = MakeCrcTable();

// GF(2) matrices of 64 rows: appending zero bits to a message multiplies its
// CRC by a power of x, which is a matrix times the CRC.
using TMatrix = std::array<std::uint64_t, 64>;

std::uint64_t Times(const TMatrix& m, std::uint64_t v) {
  std::uint64_t sum = 0;
  for (int i = 0; v != 0; ++i, v >>= 1) {
    if (v & 1) sum ^= m[static_cast<std::size_t>(i)];
  }
  return sum;
}

TMatrix Square(const TMatrix& m) {
  TMatrix out{};
  for (std::size_t i = 0; i < 64; ++i) out[i] = Times(m, m[i]);
  return out;
}

std::uint64_t Get(const unsigned char* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

void Put(std::vector<unsigned char>& out, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// Whether the regions cover every byte of [from, to).
bool Covers(std::vector<std::pair<std::int64_t, std::int64_t>> spans, std::int64_t from, std::int64_t to) {
  std::sort(spans.begin(), spans.end());
  for (const auto& [start, end] : spans) {
    if (from >= to) break;
    if (start > from) return false;
    from = std::max(from, end);
  }
  return from >= to;
}

}  // namespace

std::string JournalPath(const std::string& tablePath) { return tablePath + "-journal"; }

std::uint64_t Crc64(const unsigned char* data, std::size_t size, std::uint64_t crc) {
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

// kZeroBytes[k] appends 2^k zero bytes; made once, so that a combine costs a
// few matrix-vector products instead of squaring matrices each time.
const std::array<TMatrix, 64>& ZeroBytes() {
  static const std::array<TMatrix, 64> table = [] {
    std::array<TMatrix, 64> t{};
    TMatrix bit{};  // one zero bit
    bit[0] = 0xC96C5795D7870F42ULL;
    for (std::size_t i = 1; i < 64; ++i) bit[i] = std::uint64_t{1} << (i - 1);
    t[0] = Square(Square(Square(bit)));  // eight zero bits
    for (std::size_t k = 1; k < t.size(); ++k) t[k] = Square(t[k - 1]);
    return t;
  }();
  return table;
}

std::uint64_t Crc64Combine(std::uint64_t crcA, std::uint64_t crcB, std::uint64_t lengthB) {
  const auto& zeros = ZeroBytes();
  for (std::size_t k = 0; lengthB != 0; ++k, lengthB >>= 1) {
    if (lengthB & 1) crcA = Times(zeros[k], crcA);
  }
  return crcA ^ crcB;
}

std::vector<unsigned char> EncodeJournal(const TJournal& journal) {
  std::vector<unsigned char> out(kMagic, kMagic + 8);
  Put(out, 0, 8);  // the checksum, filled in below
  Put(out, static_cast<std::uint64_t>(journal.OldLength), 8);
  Put(out, journal.OldCrc, 8);
  Put(out, journal.Regions.size(), 4);
  Put(out, 0, 4);
  for (const auto& r : journal.Regions) {
    Put(out, static_cast<std::uint64_t>(r.Offset), 8);
    Put(out, r.Old.size(), 4);
    out.insert(out.end(), r.Old.begin(), r.Old.end());
  }
  std::uint64_t crc = Crc64(out.data() + kChecksummed, out.size() - kChecksummed);
  for (int i = 0; i < 8; ++i) out[8 + static_cast<std::size_t>(i)] = static_cast<unsigned char>(crc >> (8 * i));
  return out;
}

TJournalState DecodeJournal(const unsigned char* data, std::size_t size, std::int64_t tableLength,
                            TJournal& journal, std::string& why) {
  journal = {};
  if (size < kJournalHeaderBytes || std::memcmp(data, kMagic, 8) != 0) {
    why = "not a whole journal";
    return TJournalState::Torn;
  }
  if (Get(data + 8, 8) != Crc64(data + kChecksummed, size - kChecksummed)) {
    why = "its checksum fails";
    return TJournalState::Torn;
  }
  // From here on the bytes are as a writer meant them; what they say must
  // still fit this table, or the journal is someone else's.
  const std::uint64_t oldLength = Get(data + 16, 8);
  const std::uint64_t count = Get(data + 32, 4);
  if (oldLength > static_cast<std::uint64_t>(INT64_MAX / 2)) {
    why = "it gives an impossible table length";
    return TJournalState::Damaged;
  }
  TJournal parsed;
  parsed.OldLength = static_cast<std::int64_t>(oldLength);
  parsed.OldCrc = Get(data + 24, 8);
  std::vector<std::pair<std::int64_t, std::int64_t>> spans;
  std::size_t at = kJournalHeaderBytes;
  for (std::uint64_t i = 0; i < count; ++i) {
    if (size - at < kJournalRegionHeaderBytes) {
      why = "it holds fewer regions than it counts";
      return TJournalState::Damaged;
    }
    const std::uint64_t offset = Get(data + at, 8);
    const std::uint64_t length = Get(data + at + 8, 4);
    at += kJournalRegionHeaderBytes;
    if (length > size - at || offset > oldLength || length > oldLength - offset) {
      why = "a region lies outside the table";
      return TJournalState::Damaged;
    }
    TJournalRegion r;
    r.Offset = static_cast<std::int64_t>(offset);
    r.Old.assign(data + at, data + at + length);
    at += length;
    spans.emplace_back(r.Offset, r.Offset + static_cast<std::int64_t>(length));
    parsed.Regions.push_back(std::move(r));
  }
  if (at != size) {
    why = "bytes follow its last region";
    return TJournalState::Damaged;
  }
  if (!Covers(spans, std::min(tableLength, parsed.OldLength), parsed.OldLength)) {
    why = "it does not hold the part of the table that was cut off";
    return TJournalState::Damaged;
  }
  journal = std::move(parsed);
  why.clear();
  return TJournalState::Valid;
}

bool ApplyJournal(const TJournal& journal, std::vector<unsigned char>& image) {
  image.resize(static_cast<std::size_t>(journal.OldLength), 0);
  for (const auto& r : journal.Regions) {
    std::copy(r.Old.begin(), r.Old.end(), image.begin() + r.Offset);
  }
  return Crc64(image.data(), image.size()) == journal.OldCrc;
}

}  // namespace kadrel
