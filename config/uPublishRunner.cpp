#include "config/uPublishRunner.h"

#include <QEventLoop>
#include <QMetaObject>

#include <chrono>
#include <future>

#include "schedule/uScheduleFolder.h"

namespace kadrel {

TPublishRunner::TPublishRunner(QObject* parent) : QObject(parent) {}

TPublishRunner::~TPublishRunner() {
  cancel_ = true;
  // The thread's last call to this object is queued, and dies with it.
  if (worker_.joinable()) worker_.join();
}

bool TPublishRunner::Start(TScheduleFolder& folder, TPublishJob job, std::function<void(const TPublishResult&)> done) {
  if (Busy() || finished_) return false;
  folder_ = &folder;
  done_ = std::move(done);
  cancel_ = false;
  job.Account.Cancel = &cancel_;
  worker_ = std::thread([this, job = std::move(job)] {
    const TPublishResult result =
        RunPublish(job, [this, &job](TScheduleError& error) { return KeepKeyOnGuiThread(job, error); });
    QMetaObject::invokeMethod(this, [this, result] { Ended(result); }, Qt::QueuedConnection);
  });
  return true;
}

bool TPublishRunner::KeepKeyOnGuiThread(const TPublishJob& job, TScheduleError& error) {
  struct TAnswer {
    std::promise<std::pair<bool, TScheduleError>> Promise;
  };
  auto answer = std::make_shared<TAnswer>();
  auto future = answer->Promise.get_future();
  QMetaObject::invokeMethod(
      this,
      [this, answer, user = job.User, key = job.Key] {
        TScheduleError kept;
        const bool ok = folder_ && folder_->KeepCalendarKey(user, key, kept);
        answer->Promise.set_value({ok, kept});
      },
      Qt::QueuedConnection);
  while (future.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
    if (cancel_) {
      return error.Fail(TEditFault::CannotOpen, "the publish was stopped before it wrote anything", kKeysFileName);
    }
  }
  auto [ok, kept] = future.get();
  error = kept;
  return ok;
}

void TPublishRunner::Ended(const TPublishResult& result) {
  worker_.join();
  const auto done = std::move(done_);
  done_ = nullptr;
  if (done) done(result);
  emit Finished();
}

void TPublishRunner::Wait() {
  if (!Busy()) return;
  QEventLoop loop;
  connect(this, &TPublishRunner::Finished, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void TPublishRunner::Stop() {
  cancel_ = true;
  Wait();
}

void TPublishRunner::Finish() {
  finished_ = true;
  Stop();
}

}  // namespace kadrel
