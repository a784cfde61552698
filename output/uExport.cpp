#include "output/uExport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <algorithm>
#include <cerrno>

#include "platform/uFileLock.h"

namespace kadrel {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TIoError Fail(int err, const std::string& fileName) {
  return IoErrorFromErrno(err, IsFolder(FolderOf(fileName)));
}

// O_EXCL with a name of our own rather than mkstemp, so the new file gets the
// permissions the user's umask gives any other file they create.
TUniqueFd CreateTemporary(const std::string& fileName, std::string& tempName) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempName = fileName + ".kadrel-tmp-" + std::to_string(::getpid()) + "-" +
               std::to_string(counter.fetch_add(1));
    int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return TUniqueFd(fd);
  }
  return TUniqueFd(-1);
}

bool WriteAll(TFileOps& ops, int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    std::size_t size = std::min(kChunk, bytes.size() - done);
    ssize_t n = ops.Write(fd, bytes.data() + done, size, static_cast<off_t>(done));
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The file a name stands for, every symbolic link followed; the file itself
// may not exist yet. Empty (errno ELOOP) for a loop of links.
std::string FollowLinks(std::string path) {
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n < 0) return path;
    target.resize(static_cast<std::size_t>(n));
    path = !target.empty() && target[0] == '/' ? target : FolderOf(path) + "/" + target;
  }
  errno = ELOOP;
  return {};
}

// A FIFO or a character device takes the bytes as a stream: what reads it
// (or /dev/null) gets them, and the node stays what it is.
std::optional<TIoError> WriteThrough(const std::string& target, std::string_view bytes) {
  TUniqueFd fd(::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
  if (!fd.Valid()) return Fail(errno, target);
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd.Get(), bytes.data() + done, std::min(kChunk, bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail(n == 0 ? EIO : errno, target);
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd.Release()) != 0) return Fail(errno, target);
  return std::nullopt;
}

// A file with more than one name is written where it is, so that every name
// keeps showing the same file; that cannot be atomic.
std::optional<TIoError> WriteInPlace(const std::string& target, std::string_view bytes, TFileOps& ops) {
  TUniqueFd fd(ops.Open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC, 0));
  if (!fd.Valid()) return Fail(errno, target);
  if (!WriteAll(ops, fd.Get(), bytes) || ops.Truncate(fd.Get(), static_cast<off_t>(bytes.size())) != 0 ||
      ops.Sync(fd.Get()) != 0) {
    return Fail(errno, target);
  }
  return std::nullopt;
}

}  // namespace

TIoError IoErrorFromErrno(int err, bool folderExists) {
  switch (err) {
    case ENOENT:
      return folderExists ? TIoError{2, "File not found"} : TIoError{3, "Invalid filename"};
    case ENOTDIR:
      return TIoError{3, "Invalid filename"};
    case EMFILE:
    case ENFILE:
      return TIoError{4, "Too many open files"};
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return TIoError{5, "File access denied"};
    case ENOSPC:
    case EDQUOT:
      return TIoError{101, "Disk full"};
    default:
      return TIoError{err, "I/O error " + std::to_string(err)};
  }
}

std::optional<TIoError> WriteFileAtomically(const std::string& fileName, std::string_view bytes,
                                            TFileOps& ops) {
  if (fileName.empty()) return TIoError{2, "File not found"};
  const std::string target = FollowLinks(fileName);
  if (target.empty()) return Fail(errno, fileName);
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return TIoError{5, "File access denied"};
  if (exists && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) return WriteThrough(target, bytes);
  if (exists && !S_ISREG(st.st_mode)) return TIoError{5, "File access denied"};  // a block device, a socket
  if (exists && st.st_nlink > 1) return WriteInPlace(target, bytes, ops);

  std::string tempName;
  TUniqueFd fd = CreateTemporary(target, tempName);
  if (fd.Get() < 0) return Fail(errno, target);
  auto abandon = [&](int err) {
    fd.Reset();
    ::unlink(tempName.c_str());
    return Fail(err, target);
  };
  // A file that is replaced keeps its owner and permissions.
  if (exists) {
    TUniqueFd old(::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (old.Valid()) CopyOwnerAndMode(old.Get(), fd.Get());
  }
  if (!WriteAll(ops, fd.Get(), bytes)) return abandon(errno);
  if (ops.Sync(fd.Get()) != 0) return abandon(errno);
  if (::close(fd.Release()) != 0) {
    int err = errno;
    ::unlink(tempName.c_str());
    return Fail(err, target);
  }
  if (ops.Rename(tempName.c_str(), target.c_str()) != 0) {
    int err = errno;
    ::unlink(tempName.c_str());
    return Fail(err, target);
  }
  // The rename is already visible; a folder that cannot be flushed only
  // weakens crash safety, so it is not reported as a failed export.
  SyncFolderOf(ops, target);
  return std::nullopt;
}

std::optional<TIoError> SaveAsText(std::string_view title, const std::string& fileName,
                                   std::span<const std::string> lines, TFileOps& ops) {
  return WriteFileAtomically(fileName, BuildTextFile(title, lines), ops);
}

std::optional<TIoError> SaveAsHtml(std::string_view title, const std::string& fileName,
                                   std::span<const std::string> lines, TFileOps& ops) {
  return WriteFileAtomically(fileName, BuildHtmlFile(title, lines), ops);
}

std::optional<TIoError> SaveAsDat(std::string_view, const std::string& fileName,
                                  std::span<const std::string> lines, TFileOps& ops) {
  return WriteFileAtomically(fileName, BuildDatFile(lines), ops);
}

}  // namespace kadrel
