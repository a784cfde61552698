#include "store/uTableStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>

#include "platform/uClock.h"
#include "platform/uFileLock.h"
#include "platform/uFileOps.h"
#include "platform/uGbk.h"
#include "store/uTableFile.h"
#include "store/uTableHold.h"

namespace kadrel {
namespace {

using Bytes = std::vector<unsigned char>;
constexpr unsigned char kSignature[4] = {0x04, 0x31, 0x2E, 0x31};
constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// ---- little-endian helpers -------------------------------------------------

std::uint32_t GetU32(const unsigned char* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

std::int32_t GetI32(const unsigned char* p) { return static_cast<std::int32_t>(GetU32(p)); }

std::int16_t GetI16(const unsigned char* p) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | p[1] << 8));
}

void PutU32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

void PutI32(unsigned char* p, std::int32_t v) { PutU32(p, static_cast<std::uint32_t>(v)); }

void PutI16(unsigned char* p, std::int16_t v) {
  auto u = static_cast<std::uint16_t>(v);
  p[0] = static_cast<unsigned char>(u);
  p[1] = static_cast<unsigned char>(u >> 8);
}

double GetDouble(const unsigned char* p) {
  std::uint64_t bits = GetU32(p) | std::uint64_t{GetU32(p + 4)} << 32;
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

void PutDouble(unsigned char* p, double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  PutU32(p, static_cast<std::uint32_t>(bits));
  PutU32(p + 4, static_cast<std::uint32_t>(bits >> 32));
}

// Whether a text field of `width` bytes at `p` holds exactly `text`, the
// letters A to Z compared as lower case outside two-byte characters. The same
// as comparing its AsString, but with no copy, and most slots rejected by one
// byte. `folded` is GbkFoldAZ of the text; the slot's bytes follow the same
// character boundaries wherever they still match it.
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
constexpr std::uint64_t Bytes8(unsigned char b) { return 0x0101010101010101ULL * b; }

// A to Z of eight ASCII bytes (none of 0x80 or more) in lower case at once:
// a byte's high bit is set after adding 0x80 - 'A' when it is 'A' or above,
// and after adding 0x80 - 'Z' - 1 when it is above 'Z'.
std::uint64_t FoldAscii8(std::uint64_t x) {
  const std::uint64_t atLeastA = x + Bytes8(0x80 - 'A');
  const std::uint64_t aboveZ = x + Bytes8(0x80 - 'Z' - 1);
  return x | ((atLeastA & ~aboveZ & kHighBits) >> 2);
}

// Any zero byte among eight.
bool HasZero8(std::uint64_t x) { return ((x - Bytes8(1)) & ~x & kHighBits) != 0; }

bool FieldTextIs(const unsigned char* p, std::size_t width, std::string_view folded) {
  const std::size_t n = folded.size();
  if (n > width || (n < width && p[n] != 0)) return false;
  std::size_t i = 0;
  // Names are mostly ASCII: eight bytes at a time while neither side holds a
  // byte of 0x80 or more, where there are no two-byte characters to mind.
  for (; i + 8 <= n; i += 8) {
    std::uint64_t a;
    std::uint64_t b;
    std::memcpy(&a, p + i, 8);
    std::memcpy(&b, folded.data() + i, 8);
    if (((a | b) & kHighBits) != 0) break;
    if (HasZero8(a) || FoldAscii8(a) != b) return false;
  }
  bool second = false;
  for (; i < n; ++i) {
    const unsigned char c = p[i];
    if (c == 0) return false;
    const unsigned char f = second || c < 'A' || c > 'Z' ? c : static_cast<unsigned char>(c + ('a' - 'A'));
    if (f != static_cast<unsigned char>(folded[i])) return false;
    second = !second && IsGbkLeadByte(c);
  }
  return true;
}

// The text of `n` bytes at `p`, blanks after it, compared without them.
[[gnu::noinline]] bool TextBeforeBlanksIs(const unsigned char* p, std::size_t n, std::string_view folded) {
  unsigned char text[TFields::kMaxFieldWidth + 1];
  std::memcpy(text, p, n);
  text[n] = 0;
  return FieldTextIs(text, n + 1, folded);
}

// The same with blanks (bytes up to 0x20, never part of a two-byte
// character) at both ends of the field's text left out; `folded` has none.
bool FieldTextIsTrimmed(const unsigned char* p, std::size_t width, std::string_view folded) {
  std::size_t from = 0;
  while (from < width && p[from] != 0 && p[from] <= 0x20) ++from;
  const std::size_t n = folded.size();
  if (n > width - from) return false;
  // Most names begin with no blank and differ in their first byte.
  if (n > 0 && p[from] != static_cast<unsigned char>(folded[0]) &&
      (p[from] < 'A' || p[from] > 'Z' || p[from] + ('a' - 'A') != static_cast<unsigned char>(folded[0]))) {
    return false;
  }
  if (from + n == width || p[from + n] == 0) return FieldTextIs(p + from, width - from, folded);
  for (std::size_t end = from + n; end < width && p[end] != 0; ++end) {
    if (p[end] > 0x20) return false;
  }
  return TextBeforeBlanksIs(p + from, n, folded);
}

bool NamesEqual(std::string_view a, std::string_view b) { return GbkEqualFoldAZ(a, b); }

// ---- field values inside a slot ----------------------------------------------
// A field view is (offset, width) into a slot's bytes; width 0 means "no such
// field". Values are read bounded by the slot; missing bytes read as zero.

struct TFieldView {
  std::int32_t Offset = 0;
  std::int32_t Width = 0;
};

void CopyBounded(const unsigned char* slot, std::size_t size, TFieldView f, unsigned char* out,
                 std::size_t n) {
  std::memset(out, 0, n);
  if (f.Width <= 0 || f.Offset < 0 || static_cast<std::size_t>(f.Offset) >= size) return;
  std::memcpy(out, slot + f.Offset, std::min(n, size - static_cast<std::size_t>(f.Offset)));
}

std::int32_t IntegerAt(const unsigned char* slot, std::size_t size, TFieldView f) {
  unsigned char b[4];
  CopyBounded(slot, size, f, b, sizeof b);
  return GetI32(b);
}

double FloatAt(const unsigned char* slot, std::size_t size, TFieldView f) {
  unsigned char b[8];
  CopyBounded(slot, size, f, b, sizeof b);
  return GetDouble(b);
}

// The text of a field: its bytes up to the first zero, at most its width.
std::string_view TextAt(const unsigned char* slot, std::size_t size, TFieldView f) {
  if (f.Width <= 0 || f.Offset < 0 || static_cast<std::size_t>(f.Offset) >= size) return {};
  const auto* p = slot + f.Offset;
  std::size_t n = std::min(static_cast<std::size_t>(f.Width), size - f.Offset);
  const void* zero = std::memchr(p, 0, n);
  if (zero) n = static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - p);
  return {reinterpret_cast<const char*>(p), n};
}

// ---- header ------------------------------------------------------------------

struct THeader {
  unsigned char Signature[4] = {0x04, 0x31, 0x2E, 0x31};
  TDateTime Created = 0;
  std::int32_t Slots = 0;
  std::int32_t Deleted = 0;
  std::int32_t DataStart = 0;
  std::int32_t Head = 0;
  std::int32_t Appended = 0;
};

THeader DecodeHeader(const unsigned char* p) {
  THeader h;
  std::memcpy(h.Signature, p, 4);
  h.Created = GetDouble(p + 4);
  h.Slots = GetI32(p + 12);
  h.Deleted = GetI32(p + 16);
  h.DataStart = GetI32(p + 20);
  h.Head = GetI32(p + 24);
  h.Appended = GetI32(p + 28);
  return h;
}

std::array<unsigned char, TTableStream::kHeaderSize> EncodeHeader(const THeader& h) {
  std::array<unsigned char, TTableStream::kHeaderSize> b{};
  std::memcpy(b.data(), kSignature, 4);
  PutDouble(b.data() + 4, h.Created);
  PutI32(b.data() + 12, h.Slots);
  PutI32(b.data() + 16, h.Deleted);
  PutI32(b.data() + 20, h.DataStart);
  PutI32(b.data() + 24, h.Head);
  PutI32(b.data() + 28, h.Appended);
  return b;
}

Bytes EncodeFieldTable(const TFields& fields) {
  Bytes b(static_cast<std::size_t>(fields.Count()) * TTableStream::kFieldDefSize, 0);
  for (int i = 0; i < fields.Count(); ++i) {
    TFieldDef f = fields.Field(i);
    unsigned char* p = b.data() + static_cast<std::size_t>(i) * TTableStream::kFieldDefSize;
    std::size_t n = std::min(f.Name.size(), TFields::kMaxNameLength);
    p[0] = static_cast<unsigned char>(n);
    std::memcpy(p + 1, f.Name.data(), n);
    PutI16(p + 10, f.Type);
    PutI32(p + 12, f.Width);
  }
  return b;
}

// ---- validation of a file's header and field table ----------------------------
// Each check gives the first rule the file breaks, or no failure.

TTableError CheckHeader(const THeader& h, std::int64_t fileSize) {
  using enum TDamage;
  if (std::memcmp(h.Signature, kSignature, 4) != 0) {
    return TTableError::Damaged(Signature, "wrong signature (not a table file)");
  }
  std::int64_t fieldBytes = std::int64_t{h.DataStart} - TTableStream::kFieldTableStart;
  if (fieldBytes <= 0 || fieldBytes % TTableStream::kFieldDefSize != 0 ||
      fieldBytes / TTableStream::kFieldDefSize > TFields::kMaxFields) {
    return TTableError::Damaged(DataStart,
                                "data start " + std::to_string(h.DataStart) + " does not match a field count of 1 to " +
                                    std::to_string(TFields::kMaxFields),
                                h.DataStart);
  }
  if (fileSize < h.DataStart) return TTableError::Damaged(FieldTable, "file is shorter than its field table");
  if (h.Slots < 0) return TTableError::Damaged(Counts, "negative slot count " + std::to_string(h.Slots));
  if (h.Deleted < 0 || h.Deleted > h.Slots) {
    return TTableError::Damaged(Counts, "deleted count " + std::to_string(h.Deleted) + " outside 0 to the slot count " +
                                            std::to_string(h.Slots));
  }
  if (h.Appended < h.Slots) {
    return TTableError::Damaged(Counts, "appended count " + std::to_string(h.Appended) + " is below the slot count " +
                                            std::to_string(h.Slots));
  }
  if (h.Head < 0 || h.Head > h.Slots) {
    return TTableError::Damaged(Counts, "free-list head " + std::to_string(h.Head) + " out of range");
  }
  return {};
}

TTableError ParseFieldDef(const unsigned char* p, int i, TFields& fields) {
  auto invalid = [i](const std::string& why) {
    return TTableError::Damaged(TDamage::Field, "field " + std::to_string(i + 1) + why, i + 1);
  };
  if (p[0] < 1 || p[0] > TFields::kMaxNameLength) {
    return invalid(" has a name length of " + std::to_string(p[0]) + " (valid: 1 to 9)");
  }
  std::int16_t type = GetI16(p + 10);
  std::int32_t width = GetI32(p + 12);
  std::int32_t size = TFields::FieldSize(type);
  if (size < 0) return invalid(" has type code " + std::to_string(type) + " (valid: 1 to 6)");
  if (size > 0 && width != size) {
    return invalid(" has width " + std::to_string(width) + " but its type " + std::to_string(type) + " needs " +
                   std::to_string(size));
  }
  if (width < 1 || width > TFields::kMaxFieldWidth) {
    return invalid(" has width " + std::to_string(width) + " (valid: 1 to " + std::to_string(TFields::kMaxFieldWidth) +
                   ")");
  }
  std::string name(reinterpret_cast<const char*>(p + 1), p[0]);
  if (!fields.AddField(name, type, width)) return invalid(" cannot be added");
  return {};
}

TTableError SlotUnreadable(std::int64_t k) {
  return TTableError::Damaged(TDamage::Slot, "cannot read slot " + std::to_string(k), k);
}

TTableError FreeListDamage(std::string text) { return TTableError::Damaged(TDamage::FreeList, std::move(text)); }

TTableError Refusal(std::string text) { return TTableError::Of(TTableFault::Refused, std::move(text)); }

// ---- chunked reading ---------------------------------------------------------

// Serves reads of file ranges from one chunk read ahead of them, so that a
// scan costs one read call per kChunkBytes instead of one per slot. A
// reader's whole copy of the file can be pinned as the one chunk; then the
// file itself is never read again. A writer keeps its whole table in memory
// (TTableFile::Whole), which serves as the chunk without a copy.
class TChunkReader {
 public:
  // Pointer to `n` bytes at `offset`, or null if the table (whose length is
  // `end`) lacks them or reading fails.
  const unsigned char* Get(TTableFile& file, std::int64_t offset, std::size_t n, std::int64_t end) {
    if (offset >= start_ && offset + static_cast<std::int64_t>(n) <= start_ + len_) {
      return base_ + (offset - start_);
    }
    if (pinned_ || offset < 0 || offset + static_cast<std::int64_t>(n) > end) return nullptr;
    if (const auto whole = file.Whole(); !whole.empty()) {
      base_ = whole.data();
      start_ = 0;
      len_ = static_cast<std::int64_t>(whole.size());
      return offset + static_cast<std::int64_t>(n) <= len_ ? base_ + offset : nullptr;
    }
    auto want = static_cast<std::size_t>(
        std::min<std::int64_t>(end - offset, std::max(n, TTableStream::kChunkBytes)));
    if (chunk_.size() < want) chunk_.resize(want);
    len_ = 0;
    if (!file.Read(offset, chunk_.data(), want)) return nullptr;
    base_ = chunk_.data();
    start_ = offset;
    len_ = static_cast<std::int64_t>(want);
    return base_;
  }
  // Bytes held from `offset` (inside the chunk) on.
  std::int64_t Available(std::int64_t offset) const { return start_ + len_ - offset; }
  void Invalidate() {
    if (!pinned_) len_ = 0;
  }
  void Pin(Bytes whole) {
    chunk_ = std::move(whole);
    base_ = chunk_.data();
    start_ = 0;
    len_ = static_cast<std::int64_t>(chunk_.size());
    pinned_ = true;
  }
  void Release() {
    Bytes().swap(chunk_);
    base_ = nullptr;
    len_ = 0;
    pinned_ = false;
  }

 private:
  Bytes chunk_;
  const unsigned char* base_ = nullptr;  // chunk_, or the writer's table
  std::int64_t start_ = 0;
  std::int64_t len_ = 0;
  bool pinned_ = false;
};

// The counts that Post, Delete and Pack change, saved so a failure can put
// them back.
struct TCounts {
  std::int32_t Slots = 0;
  std::int32_t Deleted = 0;
  std::int32_t Head = 0;
  std::int32_t Appended = 0;
  std::int32_t Current = 0;
};

enum class TState : std::uint8_t { Insert = 0, Edit = 1, Browse = 2 };

}  // namespace

// ---- TFields -------------------------------------------------------------------
std::int32_t TFields::FieldSize(std::int16_t type) {
  switch (type) {
    case 1: return 4;
    case 2: case 4: case 6: return 8;
    case 3: return 0;
    case 5: return 1;
    default: return -1;
  }
}

bool TFields::AddField(std::string_view name, std::int16_t type, std::int32_t width) {
  std::int32_t size = FieldSize(type);
  if (name.empty() || name.size() > kMaxNameLength || size < 0) return false;
  if (Count() >= kMaxFields) return false;
  if (size > 0) width = size;
  if (width < 1 || width > kMaxFieldWidth) return false;
  std::int32_t offset = defs_.empty() ? kFirstOffset : defs_.back().Offset + defs_.back().Width;
  defs_.push_back(TFieldDef{std::string(name), type, width, offset});
  return true;
}

const TFieldDef* TFields::FindField(std::string_view name) const {
  int i = IndexOf(name);
  return i < 0 ? nullptr : &defs_[static_cast<std::size_t>(i)];
}

int TFields::IndexOf(std::string_view name) const {
  for (std::size_t i = 0; i < defs_.size(); ++i) {
    if (NamesEqual(defs_[i].Name, name)) return static_cast<int>(i);
  }
  return -1;
}

const TFieldDef* TFields::At(int index) const {
  return index < 0 || index >= Count() ? nullptr : &defs_[static_cast<std::size_t>(index)];
}

TFieldDef TFields::Field(int index) const {
  if (index < 0 || index >= Count()) return {};
  return defs_[static_cast<std::size_t>(index)];
}

bool TFields::Remove(int index) {
  if (index < 0 || index >= Count()) return false;
  defs_.erase(defs_.begin() + index);
  std::int32_t offset = kFirstOffset;
  for (auto& d : defs_) {
    d.Offset = offset;
    offset += d.Width;
  }
  return true;
}

std::int32_t TFields::RecordSize() const {
  std::int32_t size = 0;
  for (const auto& d : defs_) size += d.Width;
  return size;
}

// ---- TRecordStream ---------------------------------------------------------------

std::int32_t TRecordStream::AsInteger() const {
  return IntegerAt(bytes_.data(), bytes_.size(), {pos_, width_});
}

double TRecordStream::AsFloat() const {
  return FloatAt(bytes_.data(), bytes_.size(), {pos_, width_});
}

std::string TRecordStream::AsString() const {
  return std::string(TextAt(bytes_.data(), bytes_.size(), {pos_, width_}));
}

// ---- TTableStream::Impl ------------------------------------------------------------

struct TTableStream::Impl {
  std::string fileName;
  std::uint16_t openMode = kModeReadShared;
  TDateTime created = Today();
  THeader head;  // Slots, Deleted, DataStart, Head, Appended as in the file
  std::int32_t recordSize = 0;
  // What every file of this object is given (before `file`, which uses them).
  TFileOps* ops = nullptr;
  TTableWaits waits;
  TTableHolder* holder = nullptr;  // the transaction holding the table's changes
  std::unique_ptr<TTableFile> file = NewFile();
  bool isOpen = false;
  TState state = TState::Browse;
  TRecordStream buffer;
  bool eof = false;
  std::array<std::int64_t, kPositionStackSize> stack{};
  int depth = 0;
  std::int32_t current = 0;
  TFields fields;
  std::vector<TFieldDef> fieldsAtOpen;
  TTableError error;
  std::string errorText;  // "<file name>: <error.Text>"
  TChunkReader reader;

  std::unique_ptr<TTableFile> NewFile() const {
    auto f = std::make_unique<TTableFile>();
    f->SetOps(ops);
    f->SetWaits(waits.ChangeMs, waits.WriterMs, waits.Session);
    f->SetFit(TableJournalFit);
    f->Hold(holder != nullptr);
    return f;
  }
  // A closed table's file goes to its transaction while it holds a change.
  void HandOver() {
    if (holder && file->Staged()) {
      holder->Adopt(std::move(file));
      file = NewFile();
    }
  }

  // -- geometry
  std::int64_t SlotSize() const { return std::int64_t{recordSize} + 5; }
  // 64-bit throughout: a header may claim 2147483647 slots.
  std::int64_t SlotOffset(std::int64_t k) const { return head.DataStart + (k - 1) * SlotSize(); }
  std::int64_t FileEnd() const { return SlotOffset(std::int64_t{head.Slots} + 1); }
  TCounts Counts() const { return {head.Slots, head.Deleted, head.Head, head.Appended, current}; }
  void Restore(const TCounts& c) {
    head.Slots = c.Slots;
    head.Deleted = c.Deleted;
    head.Head = c.Head;
    head.Appended = c.Appended;
    current = c.Current;
  }

  bool Fail(TTableError why) {
    error = std::move(why);
    errorText = fileName + ": " + error.Text;
    return false;
  }
  bool Refuse(std::string why) { return Fail(Refusal(std::move(why))); }
  void ClearError() {
    error = {};
    errorText.clear();
  }

  TFieldView View(int index) const {
    const TFieldDef* f = fields.At(index);
    if (!f || std::int64_t{f->Offset} + f->Width > static_cast<std::int64_t>(buffer.Bytes().size())) return {};
    return {f->Offset, f->Width};
  }

  // -- reading slots
  const unsigned char* SlotBytes(std::int64_t k) {
    if (!isOpen || k < 1 || k > head.Slots) return nullptr;
    return reader.Get(*file, SlotOffset(k), static_cast<std::size_t>(SlotSize()), FileEnd());
  }
  bool LoadSlot(std::int32_t k) {
    const unsigned char* p = SlotBytes(k);
    if (!p) return Fail(SlotUnreadable(k));
    buffer.Bytes().assign(p, p + SlotSize());
    buffer.Position(0, 0);
    return true;
  }

  // -- writing: every change is one all-or-nothing Commit of the file
  Bytes HeaderBytes(const THeader& h) const {
    THeader withDate = h;
    withDate.Created = created;
    auto b = EncodeHeader(withDate);
    return Bytes(b.begin(), b.end());
  }
  bool Commit(std::vector<TTableFile::TWrite> writes, std::int64_t newLength) {
    reader.Invalidate();
    bool ok = file->Commit(std::move(writes), newLength);
    reader.Invalidate();
    // Poisoned (see TTableFile): from now on reads come from a copy without
    // the half change.
    if (Bytes copy = file->ReleaseCopy(); !copy.empty()) reader.Pin(std::move(copy));
    return ok || Fail(file->Error());
  }

  // -- lifecycle
  bool Validate(std::int64_t fileSize);
  void Opened();
  TTableError ValidateFieldTable(std::int64_t fileSize);
  TTableError ScanSlots(std::vector<std::int32_t>& links);
  TTableError CheckFreeList(std::vector<std::int32_t>& links) const;
  void ResetClosed();
  bool WriteSchema();
  bool FinishCreate();
  bool FieldsChanged() const;

  // -- changes
  bool PostNew();
  bool PostEdit();
  bool RequireWritable(const char* op);

  // -- pack
  bool Pack();

  // -- search
  template <class Match>
  bool Scan(TFieldView f, Match match, std::int64_t from = 1);
};

TTableError TTableStream::Impl::ValidateFieldTable(std::int64_t fileSize) {
  const unsigned char* p = reader.Get(*file, 0, kHeaderSize, fileSize);
  if (!p) return TTableError::Damaged(TDamage::HeaderSize, "file is shorter than its 32-byte header");
  THeader h = DecodeHeader(p);
  if (TTableError why = CheckHeader(h, fileSize); why.Failed()) return why;
  int count = (h.DataStart - kFieldTableStart) / kFieldDefSize;
  fields.Clear();
  for (int i = 0; i < count; ++i) {
    p = reader.Get(*file, kFieldTableStart + std::int64_t{i} * kFieldDefSize, kFieldDefSize, fileSize);
    if (!p) return TTableError::Damaged(TDamage::FieldTable, "cannot read the field table");
    if (TTableError why = ParseFieldDef(p, i, fields); why.Failed()) return why;
  }
  head = h;
  created = h.Created;
  recordSize = fields.RecordSize();
  if (fileSize != FileEnd()) {
    return TTableError::Damaged(TDamage::FileLength,
                                "file length " + std::to_string(fileSize) + " is not data start + " +
                                    std::to_string(h.Slots) + " slots of " + std::to_string(SlotSize()) + " bytes (" +
                                    std::to_string(FileEnd()) + ")",
                                fileSize, h.Slots);
  }
  return {};
}

// Checks every slot's status and number; links[k] gets a deleted slot's link
// and -1 for a live slot.
TTableError TTableStream::Impl::ScanSlots(std::vector<std::int32_t>& links) {
  std::int32_t deleted = 0;
  if (head.Deleted > 0) links.assign(static_cast<std::size_t>(head.Slots) + 1, -1);
  for (std::int64_t k = 1; k <= head.Slots; ++k) {
    const unsigned char* p = SlotBytes(k);
    if (!p) return SlotUnreadable(k);
    std::int32_t number = GetI32(p + 1);
    if (p[0] == kLive) {
      if (number != k) {
        return TTableError::Damaged(TDamage::Slot,
                                    "live slot " + std::to_string(k) + " carries number " + std::to_string(number), k);
      }
    } else if (p[0] == kDeleted) {
      if (++deleted > head.Deleted) return FreeListDamage("more deleted slots than the deleted count");
      links[static_cast<std::size_t>(k)] = number;
    } else {
      return TTableError::Damaged(TDamage::Slot,
                                  "slot " + std::to_string(k) + " has status byte " + std::to_string(p[0]), k);
    }
  }
  if (deleted != head.Deleted) return FreeListDamage("fewer deleted slots than the deleted count");
  return {};
}

TTableError TTableStream::Impl::CheckFreeList(std::vector<std::int32_t>& links) const {
  std::int32_t k = head.Head;
  std::int32_t length = 0;
  while (k != 0) {
    if (k < 0 || k > head.Slots) return FreeListDamage("free list leaves the table at " + std::to_string(k));
    std::int32_t& link = links[static_cast<std::size_t>(k)];
    if (link == -1) return FreeListDamage("free list runs through live slot " + std::to_string(k));
    if (link == -2) return FreeListDamage("free list has a cycle at slot " + std::to_string(k));
    ++length;
    k = link;
    link = -2;  // visited
  }
  if (length != head.Deleted) {
    return FreeListDamage("free list holds " + std::to_string(length) + " slots, the deleted count says " +
                          std::to_string(head.Deleted));
  }
  return {};
}

bool TTableStream::Impl::Validate(std::int64_t fileSize) {
  if (fileSize < 0) return Fail(TTableError::System(errno, TTableFault::IoError, "cannot read"));
  reader.Invalidate();
  isOpen = true;  // SlotBytes reads only while open; undone by the caller on failure
  std::vector<std::int32_t> links;
  TTableError why = ValidateFieldTable(fileSize);
  if (!why.Failed()) why = ScanSlots(links);
  if (!why.Failed() && head.Deleted > 0) why = CheckFreeList(links);
  if (!why.Failed() && head.Deleted == 0 && head.Head != 0) {
    why = FreeListDamage("free-list head set on an empty free list");
  }
  if (why.Failed()) return Fail(std::move(why));
  return true;
}

// After Open validated the file: the cursor before the first slot, browsing.
void TTableStream::Impl::Opened() {
  fieldsAtOpen.clear();
  for (int i = 0; i < fields.Count(); ++i) fieldsAtOpen.push_back(fields.Field(i));
  state = TState::Browse;
  depth = 0;
  current = 0;
  buffer.Bytes().assign(static_cast<std::size_t>(SlotSize()), 0);
  buffer.Position(0, 0);
  eof = true;
  if (head.Slots > 0) {
    current = 1;
    eof = !LoadSlot(1);
  }
}

void TTableStream::Impl::ResetClosed() {
  HandOver();
  file->Close();
  reader.Release();
  isOpen = false;
  fields.Clear();
  fieldsAtOpen.clear();
  head = THeader{};
  recordSize = 0;
  state = TState::Browse;
  current = 0;
  depth = 0;
}

bool TTableStream::Impl::FieldsChanged() const {
  if (static_cast<int>(fieldsAtOpen.size()) != fields.Count()) return true;
  for (int i = 0; i < fields.Count(); ++i) {
    TFieldDef a = fields.Field(i);
    const TFieldDef& b = fieldsAtOpen[static_cast<std::size_t>(i)];
    if (a.Name != b.Name || a.Type != b.Type || a.Width != b.Width) return true;
  }
  return false;
}

// Close of an open table: only a field list changed on a table without
// records is written (through the journal, like any change); the header and
// every slot are on disk since their last change.
bool TTableStream::Impl::WriteSchema() {
  if (!FieldsChanged()) return true;
  if (head.Slots > 0) return Refuse("the field list changed while the table holds records; it was not written");
  Bytes table = EncodeFieldTable(fields);
  THeader h = head;
  h.DataStart = kFieldTableStart + static_cast<std::int32_t>(table.size());
  std::vector<TTableFile::TWrite> writes;
  if (!table.empty()) writes.push_back({kFieldTableStart, std::move(table)});
  writes.push_back({0, HeaderBytes(h)});
  return Commit(std::move(writes), h.DataStart);
}

// Close after CreateTable: header, the zero gap and the field table become
// the new file, which only then takes the table's name.
bool TTableStream::Impl::FinishCreate() {
  Bytes table = EncodeFieldTable(fields);
  head.DataStart = kFieldTableStart + static_cast<std::int32_t>(table.size());
  const Bytes header = HeaderBytes(head);
  Bytes bytes(static_cast<std::size_t>(head.DataStart), 0);
  std::copy(header.begin(), header.end(), bytes.begin());
  std::copy(table.begin(), table.end(), bytes.begin() + kFieldTableStart);
  return file->Finish(bytes) || Fail(file->Error());
}

bool TTableStream::Impl::RequireWritable(const char* op) {
  if (!isOpen) return Refuse(std::string(op) + ": the table is not open");
  if (!file->Writable()) return Refuse(std::string(op) + ": the table is open read-only");
  if (file->Creating()) return Refuse(std::string(op) + ": the new table must be closed and opened first");
  return true;
}

bool TTableStream::Impl::PostNew() {
  if (head.Appended == kInt32Max) return Refuse("the appended count cannot grow past 2147483647");
  const TCounts before = Counts();
  const bool reuse = head.Head > 0;
  const std::int32_t k = reuse ? head.Head : head.Slots + 1;
  if (reuse) {
    const unsigned char* p = SlotBytes(k);
    if (!p || p[0] != kDeleted) return Fail(FreeListDamage("free list damaged at slot " + std::to_string(k)));
    std::int32_t link = GetI32(p + 1);
    if (link < 0 || link > head.Slots) return Fail(FreeListDamage("free list damaged at slot " + std::to_string(k)));
    head.Head = link;
    --head.Deleted;
  } else {
    ++head.Slots;
  }
  ++head.Appended;
  Bytes& b = buffer.Bytes();
  b.resize(static_cast<std::size_t>(SlotSize()));
  b[0] = kLive;
  PutI32(b.data() + 1, k);
  if (!Commit({{SlotOffset(k), b}, {0, HeaderBytes(head)}}, FileEnd())) {
    Restore(before);
    return false;
  }
  // The buffer holds what was written: nothing is read back, so nothing can
  // fail once the record is on disk.
  current = k;
  buffer.Position(0, 0);
  return true;
}

bool TTableStream::Impl::PostEdit() {
  Bytes& b = buffer.Bytes();
  b.resize(static_cast<std::size_t>(SlotSize()));
  Bytes data(b.begin() + 5, b.end());
  // The header does not change; Commit leaves out what is already on disk.
  if (!Commit({{SlotOffset(current) + 5, std::move(data)}, {0, HeaderBytes(head)}}, FileEnd())) return false;
  buffer.Position(0, 0);
  return true;
}


template <class Match>
bool TTableStream::Impl::Scan(TFieldView f, Match match, std::int64_t from) {
  if (!isOpen || head.Slots == 0) return false;
  const auto size = static_cast<std::size_t>(SlotSize());
  for (std::int64_t k = std::max<std::int64_t>(from, 1); k <= head.Slots;) {
    const unsigned char* p = SlotBytes(k);
    if (!p) {
      eof = true;
      return Fail(SlotUnreadable(k));
    }
    // Every whole slot the chunk holds from slot k on, without a call each.
    std::int64_t held = std::min<std::int64_t>(reader.Available(SlotOffset(k)) / SlotSize(), head.Slots - k + 1);
    for (; held > 0; --held, ++k, p += size) {
      if (!match(p, size)) continue;
      current = static_cast<std::int32_t>(k);
      eof = false;
      buffer.Bytes().assign(p, p + size);
      buffer.Position(f.Offset, f.Width);
      return true;
    }
  }
  // As a First/Next walk to the end leaves it: on the last slot, Eof.
  current = head.Slots;
  LoadSlot(current);
  buffer.Position(f.Offset, f.Width);
  eof = true;
  return false;
}


// ---- pack --------------------------------------------------------------------

// In place, through the journal, like any other change: the live slots from
// the first deleted one on move up and are renumbered, the file is cut after
// the last. The file stays the same file, so its links, owner, mode and
// every other opener's locks stay as they were.
bool TTableStream::Impl::Pack() {
  if (!RequireWritable("Pack")) return false;
  if (state != TState::Browse) return Refuse("Pack: a record is being edited or appended");
  ClearError();
  if (head.Head == 0) return true;
  std::int64_t first = 0;
  Bytes tail;
  std::int32_t live = 0;
  for (std::int64_t k = 1; k <= head.Slots; ++k) {
    const unsigned char* p = SlotBytes(k);
    if (!p) return Fail(SlotUnreadable(k));
    if (p[0] != kLive) {
      if (first == 0) first = k;
      continue;
    }
    ++live;
    if (first == 0) continue;  // before the first gap nothing moves
    std::size_t at = tail.size();
    tail.insert(tail.end(), p, p + SlotSize());
    PutI32(tail.data() + at + 1, live);
  }
  if (first == 0) return Fail(FreeListDamage("the free list is set but no slot is deleted"));
  THeader h = head;
  h.Slots = live;
  h.Deleted = 0;
  h.Head = 0;
  const std::int64_t newLength = head.DataStart + std::int64_t{live} * SlotSize();
  if (!Commit({{0, HeaderBytes(h)}, {SlotOffset(first), std::move(tail)}}, newLength)) return false;
  head = h;
  openMode = kModeReadWrite;
  depth = 0;
  state = TState::Browse;
  current = 0;
  eof = head.Slots == 0;
  if (head.Slots > 0) {
    current = 1;
    LoadSlot(1);  // a failed read here is a read error, not a failed Pack
    ClearError();
  }
  return true;
}

// ---- TTableStream ------------------------------------------------------------

TTableStream::TTableStream() : d_(std::make_unique<Impl>()) {}

TTableStream::TTableStream(std::uint16_t openMode) : TTableStream() { d_->openMode = openMode; }

TTableStream::TTableStream(const std::string& fileName, std::uint16_t openMode)
    : TTableStream(openMode) {
  Open(fileName);
}

// A table destroyed inside a transaction leaves its change to it, as Close does.
TTableStream::~TTableStream() {
  d_->HandOver();
  if (d_->holder) d_->holder->Forget(*this);
}

bool TTableStream::CreateTable(const std::string& fileName) { return CreateTable(fileName, TCreateMode::Replace); }

bool TTableStream::CreateTable(const std::string& fileName, TCreateMode mode) {
  if (d_->isOpen) Close();
  Impl& d = *d_;
  d.ClearError();
  d.fileName = fileName;
  if (!d.file->Create(fileName, mode == TCreateMode::Replace ? TTableFile::TCreate::Replace
                                                            : TTableFile::TCreate::KeepExisting)) {
    return d.Fail(d.file->Error());
  }
  d.isOpen = true;
  d.fields.Clear();
  d.fieldsAtOpen.clear();
  d.head = THeader{};
  d.head.DataStart = kFieldTableStart;
  d.recordSize = 0;
  d.state = TState::Browse;
  d.eof = true;
  d.current = 0;
  d.depth = 0;
  return true;
}

bool TTableStream::Open(const std::string& fileName) {
  if (d_->isOpen) Close();
  d_->fileName = fileName;
  return Open();
}

bool TTableStream::Open() {
  if (d_->isOpen) Close();
  Impl& d = *d_;
  d.ClearError();
  if (d.fileName.empty()) return d.Fail(TTableError::Of(TTableFault::CannotOpen, "no file name given"));
  const bool write = (d.openMode & 3) != 0;
  if (d.holder && !write) return d.Refuse("a table in a transaction opens for writing only");
  if (!d.file->Open(d.fileName, write)) return d.Fail(d.file->Error());
  if (d.file->HasCopy()) d.reader.Pin(d.file->ReleaseCopy());
  if (!d.Validate(d.file->Length())) {
    TTableError why = d.error;
    d.ResetClosed();
    d.Fail(std::move(why));
    return false;
  }
  d.Opened();
  return true;
}

bool TTableStream::Close() {
  Impl& d = *d_;
  if (!d.isOpen) return true;
  d.ClearError();
  bool ok = true;
  if (d.file->Creating()) {
    ok = d.FinishCreate();
  } else if (d.file->Poisoned()) {
    ok = d.Fail(TTableError::Damaged(
        TDamage::CannotUndo, "an earlier change could not be undone here; the next open of the table undoes it"));
  } else if (d.file->Writable()) {
    ok = d.WriteSchema();
  }
  d.ResetClosed();
  return ok;
}

bool TTableStream::SetOpenMode(std::uint16_t mode) {
  if (d_->isOpen) return false;
  d_->openMode = mode;
  return true;
}

std::uint16_t TTableStream::OpenMode() const { return d_->openMode; }
bool TTableStream::IsOpen() const { return d_->isOpen; }
TFields& TTableStream::Fields() { return d_->fields; }
bool TTableStream::Eof() const { return d_->eof; }
std::int32_t TTableStream::RecordCount() const { return d_->head.Slots; }
std::int32_t TTableStream::AppendedCount() const { return d_->head.Appended; }
std::int32_t TTableStream::DeletedCount() const { return d_->head.Deleted; }
std::int32_t TTableStream::FreeListHead() const { return d_->head.Head; }
std::int32_t TTableStream::DataStart() const { return d_->head.DataStart; }
std::int32_t TTableStream::SlotSize() const { return static_cast<std::int32_t>(d_->SlotSize()); }
TDateTime TTableStream::CreationDate() const { return d_->created; }
std::int32_t TTableStream::CurrentSlot() const { return d_->current; }
const std::string& TTableStream::FileName() const { return d_->fileName; }
const std::string& TTableStream::ErrorString() const { return d_->errorText; }
const TTableError& TTableStream::Error() const { return d_->error; }
void TTableStream::SetFileOps(TFileOps* ops) {
  d_->ops = ops;
  d_->file->SetOps(ops);
}

void TTableStream::SetWaits(const TTableWaits& waits) {
  d_->waits = waits;
  d_->file->SetWaits(waits.ChangeMs, waits.WriterMs, waits.Session);
}

bool TTableStream::ReadThroughJournal() const { return d_->isOpen && d_->file->ReadThroughJournal(); }

void TTableStream::First() {
  Impl& d = *d_;
  if (!d.isOpen || d.head.Slots == 0) return;
  d.current = 1;
  d.eof = false;
  if (!d.LoadSlot(1)) d.eof = true;
}

bool TTableStream::Next() { return MoveBy(1); }

bool TTableStream::MoveBy(std::int32_t n) {
  Impl& d = *d_;
  if (!d.isOpen) return false;
  const std::int64_t target = std::int64_t{d.current} + n;
  if (n > 0) {
    if (target > d.head.Slots) {
      d.eof = true;
      return false;
    }
  } else if (d.current <= 1 || target < 1) {
    return false;
  }
  if (!d.LoadSlot(static_cast<std::int32_t>(target))) {
    d.eof = true;
    return false;
  }
  d.current = static_cast<std::int32_t>(target);
  if (n <= 0) d.eof = false;
  return true;
}

bool TTableStream::IsDeleted() const {
  const auto& b = d_->buffer.Bytes();
  return !b.empty() && b[0] == kDeleted;
}

TRecordStream& TTableStream::FieldByName(std::string_view name) {
  return FieldByIndex(d_->fields.IndexOf(name));
}

TRecordStream& TTableStream::FieldByIndex(int index) {
  TFieldView f = d_->View(index);
  d_->buffer.Position(f.Offset, f.Width);
  return d_->buffer;
}

bool TTableStream::Edit() {
  Impl& d = *d_;
  if (d.state != TState::Browse || !d.RequireWritable("Edit")) return false;
  if (d.current < 1) return d.Refuse("Edit: there is no current record");
  d.state = TState::Edit;
  return true;
}

bool TTableStream::Append() {
  Impl& d = *d_;
  if (d.state != TState::Browse || !d.RequireWritable("Append")) return false;
  if (d.head.Appended == kInt32Max) return d.Refuse("the appended count cannot grow past 2147483647");
  d.buffer.Bytes().assign(static_cast<std::size_t>(d.SlotSize()), 0);
  d.buffer.Position(0, 0);
  d.state = TState::Insert;
  return true;
}

bool TTableStream::SetInteger(int index, std::int32_t value) {
  TFieldView f = d_->View(index);
  if (f.Width == 0) return false;
  unsigned char b[4];
  PutI32(b, value);
  std::memcpy(d_->buffer.Bytes().data() + f.Offset, b, std::min<std::size_t>(4, f.Width));
  d_->buffer.Position(f.Offset, f.Width);
  return true;
}

bool TTableStream::SetFloat(int index, double value) {
  TFieldView f = d_->View(index);
  std::int32_t size = TFields::FieldSize(d_->fields.Field(index).Type);
  if (f.Width == 0 || size <= 0) return false;
  unsigned char b[8];
  PutDouble(b, value);
  std::memcpy(d_->buffer.Bytes().data() + f.Offset, b, std::min<std::size_t>(size, f.Width));
  d_->buffer.Position(f.Offset, f.Width);
  return true;
}

bool TTableStream::SetText(int index, std::string_view text) {
  TFieldView f = d_->View(index);
  if (f.Width == 0 || text.size() > static_cast<std::size_t>(f.Width) - 1) return false;
  unsigned char* p = d_->buffer.Bytes().data() + f.Offset;
  std::memset(p, 0, static_cast<std::size_t>(f.Width));
  std::memcpy(p, text.data(), text.size());
  d_->buffer.Position(f.Offset, f.Width);
  return true;
}

bool TTableStream::Post() {
  Impl& d = *d_;
  if (d.state == TState::Browse) return d.Refuse("Post: no record is being edited or appended");
  if (!d.RequireWritable("Post")) return false;
  d.ClearError();
  const TState was = d.state;
  d.state = TState::Browse;  // whatever happens: there is no other way out of insert or edit
  if (was == TState::Insert ? d.PostNew() : d.PostEdit()) return true;
  TTableError why = d.error;
  if (d.current > 0) d.LoadSlot(d.current);  // the buffer shows the file again
  d.Fail(std::move(why));
  return false;
}

bool TTableStream::Delete() {
  Impl& d = *d_;
  if (!d.RequireWritable("Delete")) return false;
  if (d.state != TState::Browse) return d.Refuse("Delete: a record is being edited or appended");
  const unsigned char* p = d.SlotBytes(d.current);
  if (!p) return d.Refuse("Delete: there is no current record");
  if (p[0] != kLive) return d.Refuse("Delete: slot " + std::to_string(d.current) + " is already deleted");
  d.ClearError();
  const TCounts before = d.Counts();
  const std::int32_t k = d.current;
  // As the slot is read back after its status is marked: its number is still k.
  Bytes slot(p, p + d.SlotSize());
  slot[0] = kDeleted;
  Bytes mark(slot.begin(), slot.begin() + 5);
  PutI32(mark.data() + 1, d.head.Head);
  d.head.Head = k;
  ++d.head.Deleted;
  if (!d.Commit({{d.SlotOffset(k), std::move(mark)}, {0, d.HeaderBytes(d.head)}}, d.FileEnd())) {
    d.Restore(before);
    return false;
  }
  d.buffer.Bytes() = std::move(slot);
  d.buffer.Position(0, 0);
  return true;
}

bool TTableStream::Pack() { return d_->Pack(); }

bool TTableStream::LocateInteger(std::string_view name, std::int32_t value) {
  TFieldView f = d_->View(d_->fields.IndexOf(name));
  if (f.Width < 4) {
    return d_->Scan(f, [&](const unsigned char* slot, std::size_t size) { return IntegerAt(slot, size, f) == value; });
  }
  // A field of 4 bytes or more lies inside the slot (View): read it directly.
  return d_->Scan(f, [&](const unsigned char* slot, std::size_t) { return GetI32(slot + f.Offset) == value; });
}

bool TTableStream::LocateText(std::string_view name, std::string_view text) {
  TFieldView f = d_->View(d_->fields.IndexOf(name));
  const std::string folded = GbkFoldAZ(text);
  // View keeps the field inside the slot, so the bytes can be read directly.
  return d_->Scan(f, [&](const unsigned char* slot, std::size_t) {
    return FieldTextIs(slot + f.Offset, static_cast<std::size_t>(f.Width), folded);
  });
}

bool TTableStream::LocateTrimmedText(std::string_view name, std::string_view text, std::int32_t from) {
  TFieldView f = d_->View(d_->fields.IndexOf(name));
  const std::string folded = GbkFoldAZ(TrimBlanks(text));
  return d_->Scan(
      f,
      [&](const unsigned char* slot, std::size_t) {
        return FieldTextIsTrimmed(slot + f.Offset, static_cast<std::size_t>(f.Width), folded);
      },
      from);
}

int TTableStream::PushPosition() {
  Impl& d = *d_;
  if (d.depth >= kPositionStackSize) return -1;
  d.stack[static_cast<std::size_t>(d.depth)] =
      d.current > 0 ? d.SlotOffset(std::int64_t{d.current} + 1) : std::int64_t{d.head.DataStart};
  return d.depth++;
}

int TTableStream::PopPosition() {
  Impl& d = *d_;
  if (d.depth == 0) return -1;
  --d.depth;
  const std::int64_t pos = d.stack[static_cast<std::size_t>(d.depth)];
  const std::int64_t k = d.SlotSize() > 0 ? (pos - d.head.DataStart) / d.SlotSize() : 0;
  if (k >= 1 && k <= d.head.Slots && d.LoadSlot(static_cast<std::int32_t>(k))) {
    d.current = static_cast<std::int32_t>(k);
  } else if (k <= 0) {
    d.current = 0;
  }
  d.eof = false;
  return d.depth;
}

// ---- transactions -------------------------------------------------------------

bool TTableHold::Join(TTableStream& table, TTableHolder* holder) {
  TTableStream::Impl& d = *table.d_;
  if (d.holder) return false;
  if (d.isOpen && (!d.file->Writable() || d.file->Creating() || d.file->Poisoned())) return false;
  d.holder = holder;
  d.file->Hold(true);
  return true;
}

void TTableHold::Leave(TTableStream& table) {
  table.d_->holder = nullptr;
  table.d_->file->Hold(false);
}

TTableFile* TTableHold::File(TTableStream& table) { return table.d_->isOpen ? table.d_->file.get() : nullptr; }

void TTableHold::Reload(TTableStream& table) {
  TTableStream::Impl& d = *table.d_;
  if (!d.isOpen) return;
  d.file->Discard();
  if (Bytes copy = d.file->ReleaseCopy(); !copy.empty()) d.reader.Pin(std::move(copy));
  if (!d.Validate(d.file->Length())) {
    TTableError why = d.error;
    d.ResetClosed();
    d.Fail(std::move(why));
    return;
  }
  d.Opened();
}

// One change adds at most one slot, or writes the field table of a table
// that holds none; it never leaves a table that breaks the format's first
// rules behind it.
std::string TableJournalFit(const Bytes& before, std::int64_t lengthNow) {
  const auto length = static_cast<std::int64_t>(before.size());
  if (length < TTableStream::kHeaderSize) return "the table it gives back is shorter than a header";
  const THeader h = DecodeHeader(before.data());
  if (TTableError why = CheckHeader(h, length); why.Failed()) return "the table it gives back is not one: " + why.Text;
  TFields fields;
  for (std::int64_t at = TTableStream::kFieldTableStart; at < h.DataStart; at += TTableStream::kFieldDefSize) {
    const int i = static_cast<int>((at - TTableStream::kFieldTableStart) / TTableStream::kFieldDefSize);
    if (TTableError why = ParseFieldDef(before.data() + at, i, fields); why.Failed()) {
      return "the table it gives back is not one: " + why.Text;
    }
  }
  const std::int64_t slotSize = std::int64_t{fields.RecordSize()} + 5;
  if (length != h.DataStart + std::int64_t{h.Slots} * slotSize) return "the table it gives back has the wrong length";
  constexpr std::int64_t kLargestFieldTable =
      TTableStream::kFieldTableStart + std::int64_t{TTableStream::kFieldDefSize} * TFields::kMaxFields;
  if (lengthNow > length + slotSize && !(h.Slots == 0 && lengthNow <= kLargestFieldTable)) {
    return "the table has grown by more than one change could add";
  }
  return {};
}

}  // namespace kadrel
