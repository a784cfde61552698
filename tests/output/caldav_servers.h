// Real calendar servers for the publish tests and benchmarks, started in a
// folder of the caller's on 127.0.0.1 and stopped with the object:
//   - Radicale (Debian's radicale) with htpasswd users alice:secret and
//     bob:hunter2, each owning only their own calendars, served by its own
//     HTTP/1.0 server, which closes each connection, or by gunicorn's
//     threaded worker (Debian's gunicorn), which keeps them;
//   - lighttpd in front of a Radicale, as people deploy it: Digest
//     authentication (alice:secret), HTTPS with that certificate, and
//     connections kept open, which Radicale's own HTTP/1.0 server never does;
//   - a port that accepts connections and never answers, and one that
//     nobody listens on.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <fcntl.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace kadrel::davtest {

namespace fs = std::filesystem;

class TProcess {
 public:
  TProcess() = default;
  TProcess(const TProcess&) = delete;
  TProcess& operator=(const TProcess&) = delete;
  ~TProcess() { Stop(); }

  bool Start(const std::vector<std::string>& args, const fs::path& log) {
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
      if (out >= 0) {
        ::dup2(out, 1);
        ::dup2(out, 2);
      }
      ::execvp(argv[0], argv.data());
      ::_exit(127);
    }
    return pid_ > 0;
  }
  bool Alive() { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }
  // Waits for the end; true when it exited with status 0.
  bool Wait() {
    int status = 0;
    const bool ended = pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_;
    pid_ = -1;
    return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 100 && ::waitpid(pid_, nullptr, WNOHANG) == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (::kill(pid_, 0) == 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

// A port nothing listens on a moment ago; the kernel gives each one once
// before it cycles, so a server told to take it gets it.
inline int FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
    port = ntohs(a.sin_port);
  }
  ::close(s);
  return port;
}

inline bool Accepts(int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(s);
  return ok;
}

// A listening socket that never accepts: connections complete in its queue,
// and no byte ever comes back.
class TSilentPort {
 public:
  TSilentPort() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd_, 16) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
      port_ = ntohs(a.sin_port);
    }
  }
  ~TSilentPort() { ::close(fd_); }
  int Port() const { return port_; }

 private:
  int fd_;
  int port_ = 0;
};

inline bool RunTool(const std::vector<std::string>& args, const fs::path& log) {
  TProcess p;
  return p.Start(args, log) && p.Wait();
}

// A self-signed certificate for 127.0.0.1: cert.pem and key.pem in `dir`.
inline bool MakeCertificate(const fs::path& dir) {
  return RunTool({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", (dir / "key.pem").string(),
                  "-out", (dir / "cert.pem").string(), "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                  "subjectAltName=IP:127.0.0.1"},
                 dir / "openssl.log");
}

inline bool WaitUntilAccepting(int port, TProcess& process) {
  // Radicale takes a second or more to start on a busy machine.
  for (int i = 0; i < 300; ++i) {
    if (Accepts(port)) return true;
    if (!process.Alive()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

inline std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class TRadicale {
 public:
  enum class TAuth { Htpasswd, FromProxy };
  enum class TServe { Own, Gunicorn };

  // `error` says why it did not start.
  explicit TRadicale(const fs::path& dir, TAuth auth = TAuth::Htpasswd, TServe serve = TServe::Own) : dir_(dir) {
    fs::create_directories(dir_);
    port_ = FreePort();
    std::ofstream(dir_ / "users") << "alice:secret\nbob:hunter2\n";
    std::ofstream conf(dir_ / "config");
    conf << "[server]\nhosts = 127.0.0.1:" << port_ << "\n";
    if (auth == TAuth::Htpasswd) {
      conf << "[auth]\ntype = htpasswd\nhtpasswd_filename = " << (dir_ / "users").string()
           << "\nhtpasswd_encryption = plain\ndelay = 0\n";
    } else {
      conf << "[auth]\ntype = http_x_remote_user\n";
    }
    conf << "[storage]\nfilesystem_folder = " << (dir_ / "collections").string() << "\n[web]\ntype = none\n"
         << "[logging]\nlevel = info\n";
    conf.close();
    // Without fsync (eatmydata; Radicale's own switch is not for config
    // files): these servers' data lives as long as the test, and a fsync
    // per stored object makes the disk, not the client or the server, what
    // a publish's time measures on a shared machine. KADREL_RADICALE_FSYNC=1
    // keeps it, for a benchmark of the server as deployed.
    std::vector<std::string> command = {"radicale", "--config", (dir_ / "config").string()};
    if (serve == TServe::Gunicorn) {
      command = {"gunicorn", "--bind", "127.0.0.1:" + std::to_string(port_), "--worker-class", "gthread",
                 "--threads", "2", "--keep-alive", "60", "--env", "RADICALE_CONFIG=" + (dir_ / "config").string(),
                 "radicale:application"};
    }
    if (!std::getenv("KADREL_RADICALE_FSYNC") && ::access("/usr/bin/eatmydata", X_OK) == 0) {
      command.insert(command.begin(), "eatmydata");
    }
    if (!process_.Start(command, dir_ / "radicale.log") ||
        !WaitUntilAccepting(port_, process_)) {
      error_ = std::string(serve == TServe::Own ? "radicale (package radicale)" : "gunicorn (package gunicorn)") +
               " did not start: " + ReadAll(dir_ / "radicale.log");
    }
  }

  bool Running() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  int Port() const { return port_; }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  // The objects of a calendar as Radicale keeps them on disk.
  fs::path Folder(const std::string& user, const std::string& calendar) const {
    return dir_ / "collections" / "collection-root" / user / calendar;
  }

 private:
  fs::path dir_;
  int port_ = 0;
  TProcess process_;
  std::string error_;
};

// lighttpd in front of a Radicale of its own: HTTPS, Digest, kept connections.
class TDigestFront {
 public:
  explicit TDigestFront(const fs::path& dir) : dir_(dir), radicale_(dir / "radicale", TRadicale::TAuth::FromProxy) {
    if (!radicale_.Running()) {
      error_ = radicale_.Error();
      return;
    }
    port_ = FreePort();
    // htdigest: user:realm:MD5("alice:kadrel:secret").
    std::ofstream(dir_ / "htdigest") << "alice:kadrel:79ae0d938b75fc96df3958eb6548b89e\n";
    if (!MakeCertificate(dir_)) {
      error_ = "openssl could not make a certificate";
      return;
    }
    std::ofstream(dir_ / "both.pem") << ReadAll(dir_ / "cert.pem") << ReadAll(dir_ / "key.pem");
    std::ofstream(dir_ / "lighttpd.conf")
        << "server.modules = (\"mod_auth\", \"mod_authn_file\", \"mod_setenv\", \"mod_proxy\", \"mod_openssl\")\n"
        << "server.document-root = \"" << dir_.string() << "\"\nserver.bind = \"127.0.0.1\"\nserver.port = " << port_
        << "\nserver.errorlog = \"" << (dir_ / "lighttpd-error.log").string() << "\"\n"
        << "auth.backend = \"htdigest\"\nauth.backend.htdigest.userfile = \"" << (dir_ / "htdigest").string() << "\"\n"
        << "auth.require = (\"\" => (\"method\" => \"digest\", \"realm\" => \"kadrel\", \"require\" => \"valid-user\"))\n"
        << "setenv.set-request-header = (\"X-Remote-User\" => \"alice\")\n"
        << "proxy.server = (\"\" => ((\"host\" => \"127.0.0.1\", \"port\" => " << radicale_.Port() << ")))\n"
        << "ssl.engine = \"enable\"\nssl.pemfile = \"" << (dir_ / "both.pem").string() << "\"\n";
    if (!process_.Start({"lighttpd", "-D", "-f", (dir_ / "lighttpd.conf").string()}, dir_ / "lighttpd.log") ||
        !WaitUntilAccepting(port_, process_)) {
      error_ = "lighttpd (packages lighttpd, lighttpd-mod-openssl) did not start: " + ReadAll(dir_ / "lighttpd.log") +
               ReadAll(dir_ / "lighttpd-error.log");
    }
  }

  bool Running() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  std::string Url() const { return "https://127.0.0.1:" + std::to_string(port_); }
  fs::path Certificate() const { return dir_ / "cert.pem"; }

 private:
  fs::path dir_;
  TRadicale radicale_;
  int port_ = 0;
  TProcess process_;
  std::string error_;
};

}  // namespace kadrel::davtest
