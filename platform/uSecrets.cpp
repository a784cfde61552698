#include "platform/uSecrets.h"

#include <fcntl.h>
#include <libsecret/secret.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/uAtomicFile.h"
#include "platform/uFileLock.h"
#include "platform/uFileOps.h"

namespace kadrel {
namespace {

// No password file of ours comes near this; a bigger one is not one.
constexpr off_t kMaxFileBytes = 64 * 1024;

const SecretSchema kSchema = {"org.kadrel.CalendarAccount",
                              SECRET_SCHEMA_NONE,
                              {{"server", SECRET_SCHEMA_ATTRIBUTE_STRING},
                               {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
                               {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                              0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

struct TGError {
  GError* Error = nullptr;
  ~TGError() {
    if (Error) g_error_free(Error);
  }
  // No session bus, or no Secret Service on it: the file stands in. A
  // refusal by the service itself (a locked keyring the user would not
  // open) is an answer, and the file must not quietly take its place.
  bool NoService() const {
    return Error && Error->domain != SECRET_ERROR && !g_error_matches(Error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
  }
  std::string Text() const { return Error && Error->message ? Error->message : "unknown error"; }
};

// After a Secret Service call failed with `g`: whether the file stands in,
// else `error` says what the keyring did not do.
bool FileStandsIn(const TGError& g, const char* what, std::string& error) {
  if (g.NoService()) return true;
  error = std::string("the keyring did not ") + what + " the password: " + g.Text();
  return false;
}

std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '%' || c == '\t' || c == '\r' || c == '\n') {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", static_cast<unsigned char>(c));
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::strtol(std::string(text.substr(i + 1, 2)).c_str(), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The whole file, when it is one only its owner may read; nullopt with
// `error` otherwise. A missing file is nullopt with `missing` set.
std::optional<std::string> ReadPrivateFile(const std::string& path, std::string& error, bool* missing = nullptr) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (missing) *missing = errno == ENOENT;
    error = path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  TUniqueFd file(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = path + ": not a regular file";
    return std::nullopt;
  }
  if (st.st_uid != ::geteuid()) {
    error = path + ": the file belongs to another user; Kadrel reads passwords only from your own files";
    return std::nullopt;
  }
  if ((st.st_mode & 077) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    error = path + ": group or others may read or change it (mode " + mode +
            "); Kadrel reads passwords only from a file of mode 0600 (chmod 600 the file)";
    return std::nullopt;
  }
  if (st.st_size > kMaxFileBytes) {
    error = path + ": too large to be a password file";
    return std::nullopt;
  }
  std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = path + ": " + (n < 0 ? std::strerror(errno) : "the file shrank while it was read");
      return std::nullopt;
    }
    got += static_cast<std::size_t>(n);
  }
  return bytes;
}

struct TAccountLine {
  std::string Server, User, Password;
};

std::vector<TAccountLine> ParseAccounts(std::string_view bytes) {
  std::vector<TAccountLine> lines;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    const std::size_t a = line.find('\t');
    const std::size_t b = a == std::string_view::npos ? a : line.find('\t', a + 1);
    if (b == std::string_view::npos) continue;
    lines.push_back({Unescaped(line.substr(0, a)), Unescaped(line.substr(a + 1, b - a - 1)), Unescaped(line.substr(b + 1))});
  }
  return lines;
}

// The accounts of the file; none when there is no file yet, nullopt when
// it is refused.
std::optional<std::vector<TAccountLine>> ReadAccounts(const std::string& file, std::string& error) {
  bool missing = false;
  const auto bytes = ReadPrivateFile(file, error, &missing);
  if (bytes) return ParseAccounts(*bytes);
  if (!missing) return std::nullopt;
  error.clear();
  return std::vector<TAccountLine>{};
}

// The accounts as the whole new file, mode 0600 when it is new.
bool WriteAccounts(const std::string& file, const std::vector<TAccountLine>& accounts, std::string& error) {
  std::string bytes;
  for (const auto& a : accounts) bytes += Escaped(a.Server) + "\t" + Escaped(a.User) + "\t" + Escaped(a.Password) + "\n";
  TAtomicFile out;
  if (out.Begin(file, 0600) && out.WriteWhole(bytes)) return true;
  error = file + ": " + std::strerror(out.Error().Errno);
  return false;
}

bool MakePrivateFolder(const std::string& folder, std::string& error) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) == 0) return true;
  const std::string parent = FolderOf(folder);
  if (parent != folder && !MakePrivateFolder(parent, error)) return false;
  if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) return true;
  error = folder + ": " + std::strerror(errno);
  return false;
}

}  // namespace

std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& error) {
  auto bytes = ReadPrivateFile(path, error);
  if (!bytes) return std::nullopt;
  bytes->resize(std::min(bytes->find('\n'), bytes->size()));
  if (!bytes->empty() && bytes->back() == '\r') bytes->pop_back();
  if (bytes->empty()) {
    error = path + ": the first line is empty";
    return std::nullopt;
  }
  return bytes;
}

std::string DefaultPasswordFile() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  std::string base = config && *config == '/' ? config : std::string(home ? home : "") + "/.config";
  return base + "/kadrel/passwords";
}

TPasswordStore::TPasswordStore(std::string file) : file_(std::move(file)) {}

bool TPasswordStore::Store(std::string_view server, std::string_view user, std::string_view password,
                           std::string& error) {
  const std::string s(server), u(user), p(password);
  const std::string label = "Kadrel: " + u + " on " + s;
  TGError g;
  if (secret_password_store_sync(&kSchema, SECRET_COLLECTION_DEFAULT, label.c_str(), p.c_str(), nullptr, &g.Error,
                                 "server", s.c_str(), "user", u.c_str(), nullptr)) {
    place_ = TSecretPlace::SecretService;
    return true;
  }
  if (!FileStandsIn(g, "keep", error)) return false;
  place_ = TSecretPlace::File;
  auto accounts = ReadAccounts(file_, error);
  if (!accounts) return false;
  std::erase_if(*accounts, [&](const TAccountLine& a) { return a.Server == s && a.User == u; });
  accounts->push_back({s, u, p});
  return MakePrivateFolder(FolderOf(file_), error) && WriteAccounts(file_, *accounts, error);
}

std::optional<std::string> TPasswordStore::Lookup(std::string_view server, std::string_view user, std::string& error) {
  error.clear();
  const std::string s(server), u(user);
  TGError g;
  gchar* found = secret_password_lookup_sync(&kSchema, nullptr, &g.Error, "server", s.c_str(), "user", u.c_str(), nullptr);
  if (found) {
    place_ = TSecretPlace::SecretService;
    std::string password = found;
    secret_password_free(found);
    return password;
  }
  if (!g.Error) {
    place_ = TSecretPlace::SecretService;
    return std::nullopt;
  }
  if (!FileStandsIn(g, "give", error)) return std::nullopt;
  place_ = TSecretPlace::File;
  auto accounts = ReadAccounts(file_, error);
  for (auto& a : accounts ? *accounts : std::vector<TAccountLine>{}) {
    if (a.Server == s && a.User == u) return std::move(a.Password);
  }
  return std::nullopt;
}

bool TPasswordStore::Forget(std::string_view server, std::string_view user, std::string& error) {
  const std::string s(server), u(user);
  TGError g;
  secret_password_clear_sync(&kSchema, nullptr, &g.Error, "server", s.c_str(), "user", u.c_str(), nullptr);
  if (!g.Error) {
    place_ = TSecretPlace::SecretService;
    return true;
  }
  if (!FileStandsIn(g, "forget", error)) return false;
  place_ = TSecretPlace::File;
  auto accounts = ReadAccounts(file_, error);
  if (!accounts) return false;
  const auto erased = std::erase_if(*accounts, [&](const TAccountLine& a) { return a.Server == s && a.User == u; });
  return erased == 0 || WriteAccounts(file_, *accounts, error);
}

}  // namespace kadrel
