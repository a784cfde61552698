// A cupsd of the test's own (its own folders and socket, beside any system
// one) with a cups-pdf queue as the default printer, the way a user's
// printer is set up; and where the queue's PDF files land. The print tests
// of the year and of the roster share it.
#pragma once

#include <QProcess>
#include <QStringList>
#include <cups/cups.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace kadrel::testing {

class TCupsServer {
 public:
  static constexpr const char* kCupsd = "/usr/sbin/cupsd";
  static constexpr const char* kQueue = "kadrel-pdf";

  // Starts the service inside the test's folder `dir`. Empty on success,
  // else why it could not start (a reason to skip); a queue that could not
  // be set up is a failure, in SetupError.
  std::string Start(const std::filesystem::path& dir) {
    namespace fs = std::filesystem;
    using namespace std::chrono_literals;
    root_ = dir / "cups";
    socket_ = (root_ / "cups.sock").string();
    // The filters run as the service's own user and must reach the folders.
    fs::permissions(dir, fs::perms::group_exec | fs::perms::others_exec, fs::perm_options::add);
    fs::create_directories(root_ / "tmp");
    fs::permissions(root_ / "tmp", fs::perms::all | fs::perms::sticky_bit);
    const std::string r = root_.string();
    std::ofstream(root_ / "cupsd.conf") << "Listen " << socket_ << "\nBrowsing Off\nWebInterface No\n"
                                        << "DefaultAuthType None\n<Policy default>\n<Limit All>\n"
                                        << "Order deny,allow\nAllow all\n</Limit>\n</Policy>\n";
    std::ofstream(root_ / "cups-files.conf")
        << "ServerRoot " << r << "\nRequestRoot " << r << "/spool\nCacheDir " << r << "/cache\nStateDir " << r
        << "/state\nTempDir " << r << "/tmp\nErrorLog " << r << "/error_log\nAccessLog " << r
        << "/access_log\nPageLog " << r << "/page_log\nFileDevice Yes\n";
    cupsd_.setProcessChannelMode(QProcess::MergedChannels);
    cupsd_.start(kCupsd, {"-f", "-c", Q(root_ / "cupsd.conf"), "-s", Q(root_ / "cups-files.conf")});
    for (int i = 0; i < 100 && !fs::exists(socket_) && cupsd_.state() != QProcess::NotRunning; ++i)
      std::this_thread::sleep_for(50ms);
    if (!fs::exists(socket_)) {
      return std::string("cupsd cannot start (") + kCupsd + ", package cups): " + cupsd_.errorString().toStdString() +
             " " + cupsd_.readAll().toStdString();
    }
    // The program, the toolkit and the tools all talk to this service.
    setenv("CUPS_SERVER", socket_.c_str(), 1);
    cupsSetServer(socket_.c_str());
    started_ = true;
    // Only a cupsd started by root runs the cups-pdf backend; without root
    // the queue prints into /dev/null, which still lists the job and refuses.
    const char* device = geteuid() == 0 ? "cups-pdf:/" : "file:///dev/null";
    setupError_ = Admin({"-p", kQueue, "-E", "-v", device, "-P", "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd"});
    if (setupError_.empty()) setupError_ = Admin({"-d", kQueue});
    return {};
  }
  const std::string& SetupError() const { return setupError_; }

  ~TCupsServer() {
    if (!started_) return;
    cupsd_.terminate();
    cupsd_.waitForFinished(5000);
    cupsSetServer(nullptr);
    unsetenv("CUPS_SERVER");
  }

  const std::filesystem::path& Root() const { return root_; }
  static bool WritesPdfFiles() { return geteuid() == 0; }

  // lpadmin with `args`; empty when it succeeded, else its complaint.
  static std::string Admin(const QStringList& args) {
    QProcess tool;
    tool.start("lpadmin", args);
    if (!tool.waitForFinished(30000) || tool.exitCode() != 0)
      return "lpadmin: " + tool.readAllStandardError().toStdString();
    return {};
  }

  struct TJob {
    int Id;
    std::string Title;
    ipp_jstate_t State;
  };
  static std::vector<TJob> Jobs(const char* queue = kQueue) {
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue, 0, CUPS_WHICHJOBS_ALL);
    std::vector<TJob> list;
    for (int i = 0; i < count; ++i) list.push_back({jobs[i].id, jobs[i].title ? jobs[i].title : "", jobs[i].state});
    cupsFreeJobs(count, jobs);
    return list;
  }
  // The jobs once the last one has ended, at most 15 seconds on.
  static std::vector<TJob> FinishedJobs() {
    std::vector<TJob> jobs = Jobs();
    for (int i = 0; i < 300 && !jobs.empty() && jobs.back().State < IPP_JSTATE_STOPPED; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      jobs = Jobs();
    }
    return jobs;
  }

  // cups-pdf's folder for the user's files (by default ~/PDF).
  static std::filesystem::path CupsPdfFolder() {
    std::string out = "${HOME}/PDF";
    std::ifstream conf("/etc/cups/cups-pdf.conf");
    for (std::string line; std::getline(conf, line);)
      if (line.rfind("Out ", 0) == 0) out = line.substr(4);
    const passwd* me = getpwuid(geteuid());
    for (auto [key, value] : {std::pair{"${HOME}", me->pw_dir}, std::pair{"${USER}", me->pw_name}})
      if (auto at = out.find(key); at != std::string::npos) out.replace(at, std::string(key).size(), value);
    return out;
  }
  // The file of job `id` there, whose name also holds `mark`.
  static std::filesystem::path CupsPdfFile(const std::filesystem::path& folder, int id, const std::string& mark) {
    const std::string tail = "job_" + std::to_string(id) + ".pdf";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
      const std::string name = entry.path().filename().string();
      if (name.ends_with(tail) && name.find(mark) != std::string::npos) return entry.path();
    }
    return {};
  }

 private:
  static QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

  std::filesystem::path root_;
  std::string socket_;
  QProcess cupsd_;
  bool started_ = false;
  std::string setupError_;
};

}  // namespace kadrel::testing
