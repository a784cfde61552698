// A crash-simulating file layer for the store tests. TCrashOps does every
// call for real, in one folder, and keeps a model of what a disk would have
// kept of it: a file's bytes as of its last fsync plus the writes and
// truncations since, and the folder's names as of its last fsync plus the
// creations, links, renames and removals since.
//
//   - StopAt = N makes the N-th call and every later one fail with EIO and do
//     nothing, as if the process had been killed there; the folder then holds
//     what a killed process leaves (the kernel keeps every call it made).
//   - PowerCutImages() gives what a power cut at that moment could leave:
//     each file its synced bytes with any subset of the later writes applied
//     (in any combination, so also out of order), the last of them possibly
//     torn: half of it written and the rest of every sector it touches
//     garbage, as a disk that loses power in the middle of a sector leaves
//     it; and the folder any prefix of its unsynced name changes (metadata
//     is journalled in order).
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/uFileOps.h"
#include "tests/store/test_table_stream_util.h"

namespace kadrel::testing {

// A folder's files by name.
using TImage = std::map<std::string, Bytes>;

inline TImage ReadFolder(const std::filesystem::path& dir) {
  TImage image;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    image[e.path().filename().string()] = ReadBytes(e.path().string());
  }
  return image;
}

inline void WriteFolder(const std::filesystem::path& dir, const TImage& image) {
  for (const auto& e : std::filesystem::directory_iterator(dir)) std::filesystem::remove(e.path());
  for (const auto& [name, bytes] : image) WriteBytes((dir / name).string(), bytes);
}

class TCrashOps : public TFileOps {
 public:
  int StopAt = 0;  // 0: never

  explicit TCrashOps(std::filesystem::path dir) : dir_(std::move(dir)) {
    struct stat st {};
    ::stat(dir_.c_str(), &st);
    dirIno_ = st.st_ino;
    for (const auto& [name, bytes] : ReadFolder(dir_)) {
      ::stat((dir_ / name).c_str(), &st);
      names_[name] = st.st_ino;
      files_[st.st_ino] = {bytes, bytes, {}};
    }
    durableNames_ = names_;
  }

  int Calls() const { return calls_; }
  bool Stopped() const { return StopAt > 0 && calls_ >= StopAt; }

  ssize_t Write(int fd, const void* data, std::size_t size, off_t offset) override {
    if (Stop()) return -1;
    ssize_t n = TFileOps::Write(fd, data, size, offset);
    if (n > 0) {
      const auto* p = static_cast<const unsigned char*>(data);
      Record(fd, {false, offset, Bytes(p, p + n)});
    }
    return n;
  }
  int Truncate(int fd, off_t length) override {
    if (Stop()) return -1;
    int rc = TFileOps::Truncate(fd, length);
    if (rc == 0) Record(fd, {true, length, {}});
    return rc;
  }
  int Sync(int fd) override {
    if (Stop()) return -1;
    struct stat st {};
    ::fstat(fd, &st);
    if (S_ISDIR(st.st_mode)) {
      if (st.st_ino == dirIno_) {
        durableNames_ = names_;
        pendingNames_.clear();
      }
    } else if (auto it = files_.find(st.st_ino); it != files_.end()) {
      it->second.Durable = it->second.Current;
      it->second.Pending.clear();
    }
    return TFileOps::Sync(fd);
  }
  int Open(const char* path, int flags, mode_t mode) override {
    if (Stop()) return -1;
    const std::string name = Name(path);
    const bool existed = names_.count(name) > 0;
    int fd = TFileOps::Open(path, flags, mode);
    if (fd < 0) return fd;
    struct stat st {};
    ::fstat(fd, &st);
    if (!existed && (flags & O_CREAT)) {
      files_[st.st_ino] = {};
      names_[name] = st.st_ino;
      pendingNames_.push_back(names_);
    } else if (existed && (flags & O_TRUNC)) {
      Record(fd, {true, 0, {}});
    }
    return fd;
  }
  int Unlink(const char* path) override {
    if (Stop()) return -1;
    int rc = TFileOps::Unlink(path);
    if (rc == 0) ChangeNames([&] { names_.erase(Name(path)); });
    return rc;
  }
  int Rename(const char* from, const char* to) override {
    if (Stop()) return -1;
    int rc = TFileOps::Rename(from, to);
    if (rc == 0) {
      ChangeNames([&] {
        names_[Name(to)] = names_[Name(from)];
        names_.erase(Name(from));
      });
    }
    return rc;
  }
  int Link(const char* from, const char* to) override {
    if (Stop()) return -1;
    int rc = TFileOps::Link(from, to);
    if (rc == 0) ChangeNames([&] { names_[Name(to)] = names_[Name(from)]; });
    return rc;
  }

  // What the folder may hold after a power cut now: every combination while
  // there are at most `limit` for a prefix of the name changes, otherwise
  // "nothing unsynced survived", "everything did" and random others.
  std::vector<TImage> PowerCutImages(std::size_t limit = 48) const {
    std::vector<TImage> images;
    for (std::size_t prefix = 0; prefix <= pendingNames_.size(); ++prefix) {
      const auto& names = prefix == 0 ? durableNames_ : pendingNames_[prefix - 1];
      std::vector<std::pair<std::string, const TFile*>> files;
      std::uint64_t combos = 1;
      for (const auto& [name, ino] : names) {
        files.emplace_back(name, &files_.at(ino));
        combos = std::min<std::uint64_t>(combos * Choices(*files.back().second), std::uint64_t{1} << 40);
      }
      std::mt19937_64 random(prefix * 7919 + combos);
      const std::uint64_t count = std::min<std::uint64_t>(combos, limit);
      for (std::uint64_t i = 0; i < count; ++i) {
        std::uint64_t pick = combos <= limit ? i : random() % combos;
        TImage image;
        for (const auto& [name, f] : files) {
          const std::uint64_t n = Choices(*f);
          std::uint64_t choice = pick % n;
          pick /= n;
          if (combos > limit && i < 2) choice = i == 0 ? 0 : All(*f);
          image[name] = Build(*f, choice);
        }
        images.push_back(std::move(image));
      }
    }
    return images;
  }

 private:
  struct TOp {
    bool IsTruncate = false;
    off_t Offset = 0;  // or the new length
    Bytes Data;
  };
  struct TFile {
    Bytes Current;
    Bytes Durable;
    std::vector<TOp> Pending;
  };

  bool Stop() {
    ++calls_;
    if (!Stopped()) return false;
    errno = EIO;
    return true;
  }
  static std::string Name(const char* path) { return std::filesystem::path(path).filename().string(); }
  template <class Change>
  void ChangeNames(Change change) {
    change();
    pendingNames_.push_back(names_);
  }
  static void Apply(Bytes& b, const TOp& op, bool torn = false) {
    if (op.IsTruncate) {
      b.resize(static_cast<std::size_t>(op.Offset), 0);
      return;
    }
    const auto at = static_cast<std::size_t>(op.Offset);
    std::size_t n = torn ? op.Data.size() / 2 : op.Data.size();
    if (b.size() < at + op.Data.size()) b.resize(at + (torn ? op.Data.size() : n), 0);
    std::copy(op.Data.begin(), op.Data.begin() + static_cast<std::ptrdiff_t>(n), b.begin() + op.Offset);
    if (!torn) return;
    constexpr std::size_t kSector = 4096;
    const std::size_t end = std::min(b.size(), (at + op.Data.size() + kSector - 1) / kSector * kSector);
    for (std::size_t i = at / kSector * kSector; i < end; ++i) {
      if (i < at || i >= at + n) b[i] = static_cast<unsigned char>(0xA5 ^ (i * 131));
    }
  }
  void Record(int fd, TOp op) {
    struct stat st {};
    ::fstat(fd, &st);
    TFile& f = files_[st.st_ino];
    Apply(f.Current, op);
    f.Pending.push_back(std::move(op));
  }
  // Each pending op applied or not, and the last write also torn.
  static std::uint64_t Choices(const TFile& f) {
    std::size_t n = std::min<std::size_t>(f.Pending.size(), 16);
    return (std::uint64_t{1} << n) + (n > 0 ? 1 : 0);
  }
  static std::uint64_t All(const TFile& f) {
    return (std::uint64_t{1} << std::min<std::size_t>(f.Pending.size(), 16)) - 1;
  }
  static Bytes Build(const TFile& f, std::uint64_t choice) {
    Bytes b = f.Durable;
    std::size_t n = std::min<std::size_t>(f.Pending.size(), 16);
    if (choice == (std::uint64_t{1} << n)) {  // all but the last, and the last torn
      for (std::size_t i = 0; i + 1 < n; ++i) Apply(b, f.Pending[i]);
      if (n > 0) Apply(b, f.Pending[n - 1], true);
      return b;
    }
    for (std::size_t i = 0; i < n; ++i) {
      if (choice >> i & 1) Apply(b, f.Pending[i]);
    }
    return b;
  }

  std::filesystem::path dir_;
  ino_t dirIno_ = 0;
  int calls_ = 0;
  std::map<std::string, ino_t> names_;
  std::map<std::string, ino_t> durableNames_;
  std::vector<std::map<std::string, ino_t>> pendingNames_;
  std::map<ino_t, TFile> files_;
};

}  // namespace kadrel::testing
