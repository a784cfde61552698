#include "store/uJournal.h"

#include <algorithm>
#include <cstring>

namespace kadrel {
namespace {

constexpr unsigned char kMagic1[8] = {'K', 'D', 'R', 'L', 'J', 'N', 'L', '1'};
constexpr unsigned char kMagic2[8] = {'K', 'D', 'R', 'L', 'J', 'N', 'L', '2'};
constexpr unsigned char kRecordMagic[8] = {'K', 'D', 'R', 'L', 'C', 'H', 'G', '1'};
constexpr std::uint64_t kNoFile = ~std::uint64_t{0};
constexpr std::size_t kV1HeaderBytes = 40;
constexpr std::size_t kV1RegionHeaderBytes = 12;
constexpr std::size_t kRecordHeaderBytes = 32;
constexpr std::uint64_t kLongest = std::uint64_t{1} << 40;  // no table comes near

std::uint64_t Get(const unsigned char* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

void Put(std::vector<unsigned char>& out, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void PutAt(std::vector<unsigned char>& out, std::size_t at, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(v >> (8 * i));
}

// Whether the regions cover every byte of [from, to).
bool Covers(const std::vector<TJournalRegion>& regions, std::int64_t from, std::int64_t to) {
  for (const auto& r : regions) {
    if (from >= to) break;
    if (r.Offset > from) return false;
    from = std::max(from, r.Offset + static_cast<std::int64_t>(r.Old.size()));
  }
  return from >= to;
}

TJournalState Refuse(std::string& why, const char* text) {
  why = text;
  return TJournalState::Damaged;
}

TJournalState Unfinished(std::string& why, const char* text) {
  why = text;
  return TJournalState::Torn;
}

// What a whole journal says of the lengths must fit a table now
// `tableLength` long: a change moves the length only between the two.
bool LengthFits(std::int64_t oldLength, std::int64_t newLength, std::int64_t tableLength) {
  if (oldLength < 0) return tableLength == newLength;
  return tableLength >= std::min(oldLength, newLength) && tableLength <= std::max(oldLength, newLength);
}

TJournalState DecodeV1(const unsigned char* data, std::size_t size, std::int64_t tableLength, TJournal& journal,
                       std::string& why) {
  if (size < kV1HeaderBytes) return Unfinished(why, "not a whole journal");
  if (Get(data + 8, 8) != Crc64(data + 16, size - 16)) return Unfinished(why, "its checksum fails");
  const std::uint64_t oldLength = Get(data + 16, 8);
  const std::uint64_t count = Get(data + 32, 4);
  if (oldLength > static_cast<std::uint64_t>(INT64_MAX / 2)) return Refuse(why, "it gives an impossible table length");
  TJournal parsed;
  parsed.Version = 1;
  parsed.OldLength = static_cast<std::int64_t>(oldLength);
  parsed.OldCrc = Get(data + 24, 8);
  std::size_t at = kV1HeaderBytes;
  for (std::uint64_t i = 0; i < count; ++i) {
    if (size - at < kV1RegionHeaderBytes) return Refuse(why, "it holds fewer regions than it counts");
    const std::uint64_t offset = Get(data + at, 8);
    const std::uint64_t length = Get(data + at + 8, 4);
    at += kV1RegionHeaderBytes;
    if (length > size - at || offset > oldLength || length > oldLength - offset) {
      return Refuse(why, "a region lies outside the table");
    }
    parsed.Regions.push_back({static_cast<std::int64_t>(offset), {data + at, data + at + length}});
    at += length;
  }
  if (at != size) return Refuse(why, "bytes follow its last region");
  std::sort(parsed.Regions.begin(), parsed.Regions.end(),
            [](const TJournalRegion& a, const TJournalRegion& b) { return a.Offset < b.Offset; });
  if (!Covers(parsed.Regions, std::min(tableLength, parsed.OldLength), parsed.OldLength)) {
    return Refuse(why, "it does not hold the part of the table that was cut off");
  }
  journal = std::move(parsed);
  return TJournalState::Valid;
}

}  // namespace

std::string JournalPath(const std::string& tablePath) { return tablePath + "-journal"; }

std::int64_t LargestUnfinishedJournal(std::int64_t tableLength) {
  const std::int64_t sectors = std::max<std::int64_t>(tableLength, 0) / kSectorBytes + 2;
  return static_cast<std::int64_t>(kJournalHeaderBytes + kMaxRecordPathBytes) +
         sectors * (kSectorBytes + static_cast<std::int64_t>(kJournalRegionHeaderBytes));
}

std::vector<unsigned char> EncodeJournal(const TJournal& journal) {
  std::vector<unsigned char> out(kMagic2, kMagic2 + 8);
  Put(out, 0, 8);  // the checksums and the body length, filled in below
  Put(out, 0, 8);
  Put(out, 0, 8);
  Put(out, journal.Creates() ? kNoFile : static_cast<std::uint64_t>(journal.OldLength), 8);
  Put(out, journal.OldCrc, 8);
  Put(out, static_cast<std::uint64_t>(journal.NewLength), 8);
  Put(out, journal.NewCrc, 8);
  Put(out, static_cast<std::uint64_t>(kSectorBytes), 4);
  Put(out, journal.Regions.size(), 4);
  Put(out, journal.Nonce, 8);
  Put(out, journal.Record.size(), 4);
  out.resize(kJournalHeaderBytes, 0);
  out.insert(out.end(), journal.Record.begin(), journal.Record.end());
  for (const auto& r : journal.Regions) {
    Put(out, static_cast<std::uint64_t>(r.Offset), 8);
    Put(out, r.Old.size(), 4);
    Put(out, 0, 4);
    out.insert(out.end(), r.Old.begin(), r.Old.end());
  }
  PutAt(out, 24, out.size() - kJournalHeaderBytes);
  PutAt(out, 16, Crc64(out.data() + kJournalHeaderBytes, out.size() - kJournalHeaderBytes));
  PutAt(out, 8, Crc64(out.data() + 16, kJournalHeaderBytes - 16));
  return out;
}

TJournalState PeekJournal(const unsigned char* head, std::size_t size, std::int64_t fileSize,
                          std::int64_t tableLength, std::string& why) {
  why.clear();
  const bool v2 = size >= kJournalHeaderBytes && std::memcmp(head, kMagic2, 8) == 0 &&
                  Get(head + 8, 8) == Crc64(head + 16, kJournalHeaderBytes - 16);
  if (!v2 && size >= kV1HeaderBytes && std::memcmp(head, kMagic1, 8) == 0) {
    // An older version's: exactly the bytes overwritten, in at most three
    // regions, so its old length bounds it.
    const std::uint64_t oldLength = Get(head + 16, 8);
    if (oldLength > kLongest || static_cast<std::uint64_t>(fileSize) > kV1HeaderBytes + 8 * kV1RegionHeaderBytes + oldLength) {
      return Refuse(why, "it is larger than any change of this table could write");
    }
    return TJournalState::Valid;
  }
  if (!v2) {
    // The table of an unfinished journal was not touched yet: it bounds it.
    if (fileSize > LargestUnfinishedJournal(tableLength)) {
      return Refuse(why, "it is far too large to be a journal of this table");
    }
    return Unfinished(why, "not a whole journal");
  }
  const std::uint64_t body = Get(head + 24, 8);
  if (body != static_cast<std::uint64_t>(fileSize) - kJournalHeaderBytes) return Unfinished(why, "not a whole journal");
  const std::uint64_t oldField = Get(head + 32, 8);
  const std::uint64_t newLength = Get(head + 48, 8);
  const std::uint64_t count = Get(head + 68, 4);
  const std::uint64_t recordBytes = Get(head + 80, 4);
  if ((oldField != kNoFile && oldField > kLongest) || newLength > kLongest || Get(head + 64, 4) != kSectorBytes ||
      recordBytes > kMaxRecordPathBytes) {
    return Refuse(why, "its header gives impossible sizes");
  }
  const std::int64_t oldLength = oldField == kNoFile ? -1 : static_cast<std::int64_t>(oldField);
  if (!LengthFits(oldLength, static_cast<std::int64_t>(newLength), tableLength)) {
    return Refuse(why, "the table is not as long as the change it protects could have left it");
  }
  const std::uint64_t sectors = static_cast<std::uint64_t>(std::max<std::int64_t>(oldLength, 0) / kSectorBytes + 1);
  if (count > sectors || body > recordBytes + count * kJournalRegionHeaderBytes + sectors * kSectorBytes) {
    return Refuse(why, "it is larger than any change of this table could write");
  }
  return TJournalState::Valid;
}

TJournalState DecodeJournal(const unsigned char* data, std::size_t size, std::int64_t tableLength,
                            TJournal& journal, std::string& why) {
  journal = {};
  why.clear();
  TJournalState peek = PeekJournal(data, std::min(size, kJournalHeaderBytes), static_cast<std::int64_t>(size),
                                   tableLength, why);
  if (peek != TJournalState::Valid) return peek;
  if (std::memcmp(data, kMagic1, 8) == 0) return DecodeV1(data, size, tableLength, journal, why);
  if (Get(data + 16, 8) != Crc64(data + kJournalHeaderBytes, size - kJournalHeaderBytes)) {
    return Unfinished(why, "its checksum fails");
  }
  // From here on the bytes are as a writer meant them; what they say must
  // still fit this table, or the journal is someone else's.
  TJournal parsed;
  const std::uint64_t oldField = Get(data + 32, 8);
  parsed.OldLength = oldField == kNoFile ? -1 : static_cast<std::int64_t>(oldField);
  parsed.OldCrc = Get(data + 40, 8);
  parsed.NewLength = static_cast<std::int64_t>(Get(data + 48, 8));
  parsed.NewCrc = Get(data + 56, 8);
  parsed.Nonce = Get(data + 72, 8);
  const std::uint64_t count = Get(data + 68, 4);
  const std::size_t recordBytes = static_cast<std::size_t>(Get(data + 80, 4));
  std::size_t at = kJournalHeaderBytes;
  if (size - at < recordBytes) return Refuse(why, "it is shorter than its header says");
  parsed.Record.assign(reinterpret_cast<const char*>(data + at), recordBytes);
  at += recordBytes;
  if ((parsed.Nonce == 0) != parsed.Record.empty()) return Refuse(why, "it names a change record without a nonce");
  const std::int64_t oldLength = std::max<std::int64_t>(parsed.OldLength, 0);
  std::int64_t end = 0;  // where the previous region ended
  for (std::uint64_t i = 0; i < count; ++i) {
    if (size - at < kJournalRegionHeaderBytes) return Refuse(why, "it holds fewer regions than it counts");
    const std::int64_t offset = static_cast<std::int64_t>(Get(data + at, 8));
    const std::int64_t length = static_cast<std::int64_t>(Get(data + at + 8, 4));
    at += kJournalRegionHeaderBytes;
    if (static_cast<std::uint64_t>(length) > size - at || offset < end || offset > oldLength ||
        length > oldLength - offset || length == 0) {
      return Refuse(why, "a region lies outside the table or over another");
    }
    if (offset % kSectorBytes != 0 || ((offset + length) % kSectorBytes != 0 && offset + length != oldLength)) {
      return Refuse(why, "a region does not cover whole sectors");
    }
    parsed.Regions.push_back({offset, {data + at, data + at + length}});
    at += static_cast<std::size_t>(length);
    end = offset + length;
  }
  if (at != size) return Refuse(why, "bytes follow its last region");
  if (parsed.Creates() && !parsed.Regions.empty()) return Refuse(why, "it creates a table but holds old bytes");
  if (!parsed.Creates() && !Covers(parsed.Regions, std::min(parsed.NewLength, oldLength), oldLength)) {
    return Refuse(why, "it does not hold the part of the table that was cut off");
  }
  journal = std::move(parsed);
  return TJournalState::Valid;
}

std::uint64_t JournalNonce(const unsigned char* head, std::size_t size) {
  if (size < kJournalHeaderBytes || std::memcmp(head, kMagic2, 8) != 0 ||
      Get(head + 8, 8) != Crc64(head + 16, kJournalHeaderBytes - 16)) {
    return 0;
  }
  return Get(head + 72, 8);
}

bool ApplyJournal(const TJournal& journal, std::vector<unsigned char>& image) {
  if (journal.Creates()) return false;
  image.resize(static_cast<std::size_t>(journal.OldLength), 0);
  for (const auto& r : journal.Regions) {
    std::copy(r.Old.begin(), r.Old.end(), image.begin() + r.Offset);
  }
  return Crc64(image.data(), image.size()) == journal.OldCrc;
}

std::vector<unsigned char> EncodeChangeRecord(const TChangeRecord& record) {
  std::vector<unsigned char> out(kRecordMagic, kRecordMagic + 8);
  Put(out, 0, 8);
  Put(out, record.Nonce, 8);
  Put(out, record.Journals.size(), 4);
  Put(out, 0, 4);
  for (const auto& name : record.Journals) {
    Put(out, name.size(), 4);
    out.insert(out.end(), name.begin(), name.end());
  }
  PutAt(out, 8, Crc64(out.data() + 16, out.size() - 16));
  return out;
}

bool DecodeChangeRecord(const unsigned char* data, std::size_t size, TChangeRecord& record) {
  record = {};
  if (size < kRecordHeaderBytes || std::memcmp(data, kRecordMagic, 8) != 0 ||
      Get(data + 8, 8) != Crc64(data + 16, size - 16)) {
    return false;
  }
  TChangeRecord parsed;
  parsed.Nonce = Get(data + 16, 8);
  const std::uint64_t count = Get(data + 24, 4);
  std::size_t at = kRecordHeaderBytes;
  for (std::uint64_t i = 0; i < count; ++i) {
    if (size - at < 4) return false;
    const std::size_t length = static_cast<std::size_t>(Get(data + at, 4));
    at += 4;
    if (length > size - at || length > kMaxRecordPathBytes) return false;
    parsed.Journals.emplace_back(reinterpret_cast<const char*>(data + at), length);
    at += length;
  }
  if (at != size || parsed.Nonce == 0) return false;
  record = std::move(parsed);
  return true;
}

}  // namespace kadrel
