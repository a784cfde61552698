// Helpers shared by the table stream tests: a temporary folder, whole-file
// reads and writes, and the users table of the schedule files.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "store/uJournal.h"
#include "store/uTableStream.h"
#include "tests/test_dir.h"

namespace kadrel::testing {

using Bytes = std::vector<unsigned char>;

using TTempDir = TTestDir;

inline Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::int32_t I32At(const Bytes& b, std::size_t at) {
  return static_cast<std::int32_t>(std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 |
                                   std::uint32_t{b[at + 2]} << 16 | std::uint32_t{b[at + 3]} << 24);
}

inline void PutI32At(Bytes& b, std::size_t at, std::int32_t v) {
  auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(u >> (8 * i));
}

// prefix followed by the number. Appends rather than "u" + to_string(i),
// which trips GCC 12's false -Wrestrict warning in Release builds.
inline std::string Numbered(const char* prefix, int number) {
  std::string text(prefix);
  text += std::to_string(number);
  return text;
}

// The users file's schema: Name (3, 10), ShiftID (1), Start (4), FirstID (1).
inline void AddUserFields(TFields& f) {
  f.AddField("Name", 3, 10);
  f.AddField("ShiftID", 1);
  f.AddField("Start", 4);
  f.AddField("FirstID", 1);
}

// Creates an empty users table, closed.
inline bool CreateUsers(const std::string& path) {
  TTableStream t(TTableStream::kModeReadWrite);
  if (!t.CreateTable(path)) return false;
  AddUserFields(t.Fields());
  return t.Close();
}

inline bool AddUser(TTableStream& t, const std::string& name, std::int32_t shift = 0,
                    double start = 37627.0, std::int32_t first = 0) {
  return t.Append() && t.SetText(0, name) && t.SetInteger(1, shift) && t.SetFloat(2, start) &&
         t.SetInteger(3, first) && t.Post();
}

// A journal as the version before wrote it: magic, checksum, old length and
// CRC, count, then regions of the exact bytes overwritten.
inline Bytes EncodeOldJournal(const TJournal& j) {
  Bytes out = {'K', 'D', 'R', 'L', 'J', 'N', 'L', '1'};
  auto put = [&out](std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
  };
  put(0, 8);
  put(static_cast<std::uint64_t>(j.OldLength), 8);
  put(j.OldCrc, 8);
  put(j.Regions.size(), 4);
  put(0, 4);
  for (const auto& r : j.Regions) {
    put(static_cast<std::uint64_t>(r.Offset), 8);
    put(r.Old.size(), 4);
    out.insert(out.end(), r.Old.begin(), r.Old.end());
  }
  const std::uint64_t crc = Crc64(out.data() + 16, out.size() - 16);
  for (int i = 0; i < 8; ++i) out[8 + static_cast<std::size_t>(i)] = static_cast<unsigned char>(crc >> (8 * i));
  return out;
}

// Names of the live records, in slot order, read as every caller reads.
inline std::vector<std::string> LiveNames(TTableStream& t) {
  std::vector<std::string> names;
  for (t.First(); !t.Eof(); t.Next()) {
    if (!t.IsDeleted()) names.push_back(t.FieldByName("Name").AsString());
    if (t.RecordCount() == 0) break;
  }
  return names;
}

}  // namespace kadrel::testing
