// The passwords of calendar accounts. They live in the desktop's Secret
// Service (GNOME Keyring, KWallet, KeePassXC) through libsecret when the
// session has one; otherwise in a file only its owner may read. A password
// is never taken from the command line, and no message here holds one.
//
// The file, the fallback store and a file the user names alike, is refused
// when it is not a regular file of ours or when its group or others may read
// or write it (mode & 077), so a password never comes from a file anyone
// else could have read or planted. Kadrel's own file is written whole and
// atomically with mode 0600 in a folder of mode 0700.
//
// A file the user names (--password-file) holds the password on its first
// line. Kadrel's own file holds one account per line: server, user and
// password, separated by tabs, each with %, tab, CR and LF written as %XX.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kadrel {

// The password on the first line of `path`; nullopt with `error` saying why
// when the file is refused or unreadable.
std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& error);

// $XDG_CONFIG_HOME/kadrel/passwords, or ~/.config/kadrel/passwords.
std::string DefaultPasswordFile();

enum class TSecretPlace { SecretService, File };

class TPasswordStore {
 public:
  // `file`: where passwords go when the session has no Secret Service.
  explicit TPasswordStore(std::string file = DefaultPasswordFile());

  bool Store(std::string_view server, std::string_view user, std::string_view password, std::string& error);
  // nullopt with an empty `error` when none is kept for the account.
  std::optional<std::string> Lookup(std::string_view server, std::string_view user, std::string& error);
  bool Forget(std::string_view server, std::string_view user, std::string& error);

  // Where the last call found or put the password.
  TSecretPlace Place() const { return place_; }

 private:
  std::string file_;
  TSecretPlace place_ = TSecretPlace::SecretService;
};

}  // namespace kadrel
