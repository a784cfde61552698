// TPublishRunner: a publish to a calendar server on a thread of its own, so
// that the windows stay responsive through the seconds a first publish
// takes. One runs at a time, for the dialog and the automatic republish
// alike: two would be two writers of the same records.
//
// The job is taken on the GUI thread (PreparePublish: a snapshot of the
// rota, so a change made meanwhile waits for the next publish); the thread
// touches only the network and syncdat.kd2, which the job opens for itself.
// The one thing it needs of the folder, keeping a new calendar key, is done
// on the GUI thread at its request; a thread told to stop gives up waiting
// for that, so neither side ever waits for the other in a circle.
//
// Stopping. Cancel makes the client drop its request within a second; the
// records already written stay, and the next publish converges. The
// destructor cancels and waits, so the folder outlives every thread that
// uses it as long as the runner is destroyed, or Finish called, first.
#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "output/uPublishUser.h"

namespace kadrel {

class TScheduleFolder;

class TPublishRunner : public QObject {
  Q_OBJECT

 public:
  explicit TPublishRunner(QObject* parent = nullptr);
  ~TPublishRunner() override;

  bool Busy() const { return worker_.joinable(); }
  // Runs `job` of `folder`, unless a publish runs already (false). `done`
  // is called on this object's thread with the result, before Finished.
  bool Start(TScheduleFolder& folder, TPublishJob job, std::function<void(const TPublishResult&)> done);
  // Waits for the publish running, if any, serving the GUI meanwhile.
  void Wait();
  // Stops the publish running and waits for it; its `done` is still called.
  void Stop();
  // Stop, and start none after: for the main window that closes.
  void Finish();

 signals:
  void Finished();

 private:
  void Ended(const TPublishResult& result);
  bool KeepKeyOnGuiThread(const TPublishJob& job, TScheduleError& error);

  TScheduleFolder* folder_ = nullptr;
  std::function<void(const TPublishResult&)> done_;
  std::atomic<bool> cancel_{false};
  bool finished_ = false;
  std::thread worker_;
};

}  // namespace kadrel
