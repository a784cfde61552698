#include "platform/uAtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <random>

namespace kadrel {
namespace {

constexpr std::string_view kTemporaryInfix = ".new-";
constexpr std::size_t kTemporaryRandom = 6;

}  // namespace

bool IsAtomicTemporaryOf(std::string_view name, std::string_view base) {
  return name.size() == base.size() + kTemporaryInfix.size() + kTemporaryRandom && name.starts_with(base) &&
         name.substr(base.size()).starts_with(kTemporaryInfix);
}

std::string FollowLinks(std::string path) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
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

bool TAtomicFile::Fail(TAtomicFault fault, int err, mode_t type) {
  error_ = {fault, err, type};
  return false;
}

bool TAtomicFile::Begin(const std::string& target, mode_t newMode) {
  Abandon();
  error_ = {};
  written_ = 0;
  existed_ = false;
  folderSyncErrno_ = 0;
  if (target.empty()) return Fail(TAtomicFault::System, ENOENT);
  target_ = FollowLinks(target);
  if (target_.empty()) return Fail(TAtomicFault::System, errno);
  struct stat st {};
  if (::lstat(target_.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      return Fail(TAtomicFault::NotRegular, S_ISDIR(st.st_mode) ? EISDIR : EINVAL, st.st_mode & S_IFMT);
    }
    existed_ = true;
    uid_ = st.st_uid;
    gid_ = st.st_gid;
    mode_ = st.st_mode & 07777;
  } else if (errno != ENOENT) {
    return Fail(TAtomicFault::System, errno);
  }
  return CreateTemporary(newMode);
}

bool TAtomicFile::CreateTemporary(mode_t newMode) {
  thread_local std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())};
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = target_ + std::string(kTemporaryInfix);
    for (std::size_t i = 0; i < kTemporaryRandom; ++i) name += kChars[random() % (sizeof kChars - 1)];
    fd_.Reset(ops_->Open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, newMode));
    if (fd_.Valid()) {
      temp_ = std::move(name);
      break;
    }
    if (errno != EEXIST) return Fail(TAtomicFault::System, errno);
  }
  if (!fd_.Valid()) return Fail(TAtomicFault::System, EEXIST);
  // A new file nobody else has: the lock only tells a folder's keeper that
  // its writer lives.
  TryLockByte(fd_.Get(), kWriterLockByte, TLockKind::Exclusive);
  if (existed_) TakeOwnerAndMode();
  return true;
}

void TAtomicFile::TakeOwnerAndMode() {
  // Owner first: giving a file away clears its set-ID bits.
  if (::fchown(fd_.Get(), uid_, gid_) != 0) (void)!::fchown(fd_.Get(), static_cast<uid_t>(-1), gid_);
  ::fchmod(fd_.Get(), mode_);
}

void TAtomicFile::TakeOwnerAndModeOfNewcomer() {
  struct stat st {};
  if (existed_ || !fd_.Valid() || ::lstat(target_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  existed_ = true;
  uid_ = st.st_uid;
  gid_ = st.st_gid;
  mode_ = st.st_mode & 07777;
  TakeOwnerAndMode();
}

bool TAtomicFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ops_->Write(fd_.Get(), bytes.data(), bytes.size(), written_);
    if (n <= 0) return Fail(TAtomicFault::System, n == 0 ? EIO : errno);
    written_ += n;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool TAtomicFile::Flush() {
  return ops_->Sync(fd_.Get()) == 0 || Fail(TAtomicFault::System, errno);
}

bool TAtomicFile::Place(TAtomicPlace how) {
  if (temp_.empty()) return Fail(TAtomicFault::System, EBADF);
  if (how == TAtomicPlace::Replace) {
    TakeOwnerAndModeOfNewcomer();
    if (ops_->Rename(temp_.c_str(), target_.c_str()) != 0) return Fail(TAtomicFault::System, errno);
  } else {
    if (ops_->Link(temp_.c_str(), target_.c_str()) != 0) {
      return Fail(errno == EEXIST ? TAtomicFault::Exists : TAtomicFault::System, errno);
    }
    // Should this fail, the new file keeps a second name of the temporary
    // pattern, which the folder's keeper clears like any other leftover.
    ops_->Unlink(temp_.c_str());
  }
  temp_.clear();
  folderSyncErrno_ = SyncFolderOf(*ops_, target_) == 0 ? 0 : (errno ? errno : EIO);
  return true;
}

void TAtomicFile::Abandon() {
  if (!temp_.empty()) ops_->Unlink(temp_.c_str());
  temp_.clear();
  fd_.Reset();
}

bool TAtomicFile::WriteWhole(std::string_view bytes, TAtomicPlace how) {
  bool ok = Write(bytes) && Flush();
  if (ok && how == TAtomicPlace::Replace) TakeOwnerAndModeOfNewcomer();
  if (ok && ::close(fd_.Release()) != 0) ok = Fail(TAtomicFault::System, errno);
  ok = ok && Place(how);
  if (!ok) Abandon();
  return ok;
}

}  // namespace kadrel
