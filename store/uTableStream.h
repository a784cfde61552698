// TTableStream: Kadrel's record store. One table is one file:
//
//   offset                         size  content
//   0                              4     signature 04 31 2E 31 ("\x04" "1.1")
//   4                              8     creation date, TDateTime (IEEE double)
//   12                             4     slot count (deleted slots included)
//   16                             4     deleted count (slots on the free list)
//   20                             4     data start = 64 + 32 * field count
//   24                             4     free-list head, slot number; 0 means none
//   28                             4     appended count: records ever appended;
//                                        never decreases, so count + 1 is a fresh id
//   32                             32    zero
//   64 + 32*i                      32    field i: [0] name length 1..9, [1..9] name,
//                                        [10..11] type code, [12..15] width, rest zero
//   dataStart + (k-1)*slotSize     slot  slot k (1-based), slotSize = record size + 5:
//                                        [0] status 0x20 live / 0x2A deleted,
//                                        [1..4] live: k; deleted: next free slot (0 = end),
//                                        then each field's bytes, exactly its width
//
// All integers are little-endian. Invariants a valid file keeps:
//   1. file length == dataStart + slotCount * slotSize;
//   2. the free list, followed from the head, visits exactly deletedCount
//      distinct deleted slots and ends in 0;
//   3. every live slot carries its own number;
//   4. appendedCount >= slotCount.
// Open checks all of these (and the limits below) before it trusts a file.
//
// Field types: 1 int32 (4), 2 double (8), 3 zero-terminated GBK text (width
// from the definition; at most width - 1 bytes of text), 4 TDateTime (8),
// 5 byte (1), 6 double (8).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/uDateTime.h"

namespace kadrel {

struct TFieldDef {
  std::string Name;      // at most 10 characters in memory, 9 in the file
  std::int16_t Type = 0;
  std::int32_t Width = 0;
  std::int32_t Offset = 0;  // inside a slot; the first field is at 5
};

class TFields {
 public:
  static constexpr std::int32_t kFirstOffset = 5;

  // Width for a type code: 1 -> 4; 2, 4, 6 -> 8; 3 -> 0 (given); 5 -> 1;
  // -1 for an invalid code.
  static std::int32_t FieldSize(std::int16_t type);

  // Refuses a name of 10 or more characters, an empty name, a type code
  // outside 1..6 and a text width below 1.
  bool AddField(std::string_view name, std::int16_t type, std::int32_t width = 0);
  // First definition whose name equals `name` without regard to case; null if none.
  const TFieldDef* FindField(std::string_view name) const;
  // Index of FindField's result, -1 if none.
  int IndexOf(std::string_view name) const;
  TFieldDef Field(int index) const;  // a copy; an empty definition out of range
  bool Remove(int index);
  int Count() const { return static_cast<int>(defs_.size()); }
  std::int32_t RecordSize() const;
  void Clear() { defs_.clear(); }

 private:
  std::vector<TFieldDef> defs_;
};

// The current-record buffer: the bytes of one slot plus the field last
// positioned by FieldByName/FieldByIndex. A read does not advance, so a
// positioned field can be read again. Reading a field the table does not
// define gives 0 or empty text.
class TRecordStream {
 public:
  std::int32_t AsInteger() const;
  double AsFloat() const;
  TDateTime AsDateTime() const { return AsFloat(); }
  std::string AsString() const;  // bytes up to the first zero, at most width

  // Used by the table.
  std::vector<unsigned char>& Bytes() { return bytes_; }
  const std::vector<unsigned char>& Bytes() const { return bytes_; }
  void Position(std::int32_t offset, std::int32_t width) {
    pos_ = offset;
    width_ = width;
  }

 private:
  std::vector<unsigned char> bytes_;
  std::int32_t pos_ = 0;
  std::int32_t width_ = 0;
};

class TTableStream {
 public:
  static constexpr std::uint16_t kModeReadShared = 0x20;  // read; others may read
  static constexpr std::uint16_t kModeReadWrite = 2;      // read and write; nobody else

  TTableStream();
  explicit TTableStream(std::uint16_t openMode);
  TTableStream(const std::string& fileName, std::uint16_t openMode);
  // Releases the file (and its lock) without writing: the file is already
  // consistent after every Post and Delete. Call Close to write the field table.
  ~TTableStream();
  TTableStream(const TTableStream&) = delete;
  TTableStream& operator=(const TTableStream&) = delete;

  bool CreateTable(const std::string& fileName);
  bool Open();
  bool Open(const std::string& fileName);
  bool Close();
  bool SetOpenMode(std::uint16_t mode);

  bool IsOpen() const;
  TFields& Fields();
  bool Eof() const;
  std::int32_t RecordCount() const;
  std::int32_t AppendedCount() const;
  std::int32_t DeletedCount() const;
  std::int32_t CurrentSlot() const;
  const std::string& FileName() const;
  // Why the last failing operation failed, in plain English.
  const std::string& ErrorString() const;

  void First();
  bool Next();
  bool MoveBy(std::int32_t n);
  bool IsDeleted() const;

  TRecordStream& FieldByName(std::string_view name);
  TRecordStream& FieldByIndex(int index);

  bool Edit();
  bool Append();
  bool SetInteger(int index, std::int32_t value);
  bool SetFloat(int index, double value);
  bool SetText(int index, std::string_view text);
  bool Post();
  bool Delete();
  bool Pack();

  bool LocateInteger(std::string_view name, std::int32_t value);
  bool LocateText(std::string_view name, std::string_view text);

  int PushPosition();
  int PopPosition();

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace kadrel
