#include "output/uExport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/uFileLock.h"

namespace kadrel {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

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

void SyncFolder(TFileOps& ops, const std::string& folder) {
  TUniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  // The rename is already visible; a folder that cannot be flushed only
  // weakens crash safety, so it is not reported as a failed export.
  if (dir.Get() >= 0) ops.Sync(dir.Get());
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
  if (IsFolder(fileName)) return TIoError{5, "File access denied"};
  std::string tempName;
  TUniqueFd fd = CreateTemporary(fileName, tempName);
  if (fd.Get() < 0) return Fail(errno, fileName);

  auto abandon = [&](int err) {
    fd.Reset();
    ::unlink(tempName.c_str());
    return Fail(err, fileName);
  };
  if (!WriteAll(ops, fd.Get(), bytes)) return abandon(errno);
  if (ops.Sync(fd.Get()) != 0) return abandon(errno);
  if (::close(fd.Release()) != 0) {
    int err = errno;
    ::unlink(tempName.c_str());
    return Fail(err, fileName);
  }
  if (ops.Rename(tempName.c_str(), fileName.c_str()) != 0) {
    int err = errno;
    ::unlink(tempName.c_str());
    return Fail(err, fileName);
  }
  SyncFolder(ops, FolderOf(fileName));
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
