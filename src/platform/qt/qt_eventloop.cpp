#include "platform/qt/qt_eventloop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/controls.h"

namespace tav {

namespace {

class QtEventLoop;
QtEventLoop* installed_loop = nullptr;

class QtEventLoop final : public EventLoop {
 public:
  QtEventLoop() : context_(std::make_unique<QObject>()) { installed_loop = this; }
  ~QtEventLoop() override {
    if (installed_loop == this) installed_loop = nullptr;
    for (auto& [id, t] : timers_) delete t;
    for (auto& [id, w] : watches_) {
      delete w.read;
      delete w.write;
    }
  }

  TargetId AddTarget(std::function<void(const Message&)> handler) override {
    TargetId id = NewId();
    std::lock_guard lock(mutex_);
    targets_.emplace(id, std::make_shared<std::function<void(const Message&)>>(std::move(handler)));
    return id;
  }

  void RemoveTarget(TargetId id) override {
    Handler gone;
    std::lock_guard lock(mutex_);
    auto it = targets_.find(id);
    if (it == targets_.end()) return;
    gone = std::move(it->second);
    targets_.erase(it);
  }

  bool Post(TargetId target, Message m) override {
    {
      std::lock_guard lock(mutex_);
      if (targets_.find(target) == targets_.end()) return false;
    }
    QMetaObject::invokeMethod(
        context_.get(),
        [this, target, m] {
          Handler handler;
          {
            std::lock_guard lock(mutex_);
            auto it = targets_.find(target);
            if (it == targets_.end()) return;  // target gone: dropped
            handler = it->second;
          }
          Deliver([&] { (*handler)(m); });
        },
        Qt::QueuedConnection);
    return true;
  }

  void PostTask(std::function<void()> fn) override {
    QMetaObject::invokeMethod(
        context_.get(), [this, fn = std::move(fn)] { Deliver(fn); }, Qt::QueuedConnection);
  }

  TimerId StartTimer(int interval_ms, bool single_shot, std::function<void()> fn) override {
    TimerId id = NewId();
    OnLoopThread([this, id, interval_ms, single_shot, f = std::make_shared<std::function<void()>>(std::move(fn))] {
      auto* timer = new QTimer(context_.get());
      timer->setSingleShot(single_shot);
      timer->setInterval(std::max(0, interval_ms));
      timer->setTimerType(interval_ms < 50 ? Qt::PreciseTimer : Qt::CoarseTimer);
      QObject::connect(timer, &QTimer::timeout, context_.get(), [this, id, single_shot, f] {
        if (single_shot) StopTimer(id);
        Deliver([&] { (*f)(); });
      });
      timers_[id] = timer;
      timer->start();
    });
    return id;
  }

  void StopTimer(TimerId id) override {
    OnLoopThread([this, id] {
      auto it = timers_.find(id);
      if (it == timers_.end()) return;
      QTimer* timer = it->second;
      timers_.erase(it);
      timer->stop();
      timer->deleteLater();  // it may be the one firing right now
    });
  }

  WatchId WatchFd(int fd, std::function<void(bool, bool)> fn) override {
    WatchId id = NewId();
    OnLoopThread([this, id, fd, f = std::make_shared<std::function<void(bool, bool)>>(std::move(fn))] {
      Watch w;
      w.fn = f;
      w.read = new QSocketNotifier(fd, QSocketNotifier::Read, context_.get());
      w.write = new QSocketNotifier(fd, QSocketNotifier::Write, context_.get());
      w.write->setEnabled(false);
      QObject::connect(w.read, &QSocketNotifier::activated, context_.get(), [this, id] { FdReady(id, true); });
      QObject::connect(w.write, &QSocketNotifier::activated, context_.get(), [this, id] { FdReady(id, false); });
      watches_[id] = w;
    });
    return id;
  }

  void SetFdInterest(WatchId id, bool read, bool write) override {
    OnLoopThread([this, id, read, write] {
      auto it = watches_.find(id);
      if (it == watches_.end()) return;
      it->second.read->setEnabled(read);
      it->second.write->setEnabled(write);
    });
  }

  void UnwatchFd(WatchId id) override {
    OnLoopThread([this, id] {
      auto it = watches_.find(id);
      if (it == watches_.end()) return;
      Watch w = it->second;
      watches_.erase(it);
      w.read->setEnabled(false);
      w.write->setEnabled(false);
      w.read->deleteLater();
      w.write->deleteLater();
    });
  }

  bool ProcessEvents(int timeout_ms) override {
    Application().Backend().Sync();  // what code changed outside any handler
    const uint64_t before = dispatched_;
    if (timeout_ms == 0) {
      QCoreApplication::processEvents(QEventLoop::AllEvents);
    } else {
      QTimer wake;  // ends the wait at the latest after timeout_ms
      if (timeout_ms > 0) {
        wake.setSingleShot(true);
        wake.start(timeout_ms);
      }
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return dispatched_ != before;
  }

  bool RunUntil(const std::function<bool()>& done, int timeout_ms) override {
    auto finished = [&] { return quit_ || (done && done()); };
    Application().Backend().Sync();  // what code changed outside any handler
    ++run_depth_;
    if (!finished()) {
      QEventLoop loop;
      running_.push_back({&done, &loop});
      QTimer check;  // also sees conditions that another thread changed
      QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (finished()) loop.quit();
      });
      check.start(100);
      QTimer deadline;
      if (timeout_ms >= 0) {
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        deadline.start(timeout_ms);
      }
      loop.exec();
      running_.pop_back();
    }
    --run_depth_;
    const bool result = done && done();
    if (run_depth_ == 0)
      quit_ = false;
    else if (quit_)
      Wake();  // the next outer run ends too
    return result;
  }

  void Wake() override {
    QMetaObject::invokeMethod(context_.get(), [this] { Poke(); }, Qt::QueuedConnection);
  }

  // Ends every running loop whose condition holds (outer ones return as soon
  // as the inner ones have).
  void Poke() {
    for (auto& r : running_)
      if (quit_ || (*r.done && (*r.done)())) r.loop->quit();
  }

 private:
  using Handler = std::shared_ptr<std::function<void(const Message&)>>;
  struct Watch {
    QSocketNotifier* read = nullptr;
    QSocketNotifier* write = nullptr;
    std::shared_ptr<std::function<void(bool, bool)>> fn;
  };
  struct Running {
    const std::function<bool()>* done;
    QEventLoop* loop;
  };

  void OnLoopThread(std::function<void()> fn) {
    if (QThread::currentThread() == context_->thread())
      fn();
    else
      QMetaObject::invokeMethod(context_.get(), std::move(fn), Qt::QueuedConnection);
  }

  void FdReady(WatchId id, bool readable) {
    auto it = watches_.find(id);
    if (it == watches_.end()) return;
    auto fn = it->second.fn;
    Deliver([&] { (*fn)(readable, !readable); });
  }

  void Deliver(const std::function<void()>& fn) {
    ++dispatched_;
    TApplication& app = Application();
    app.Dispatch(fn);
    if (app.DispatchDepth() > 0) app.Backend().Sync();  // the outermost level synced already
    Poke();
  }

  std::unique_ptr<QObject> context_;
  std::mutex mutex_;
  std::unordered_map<TargetId, Handler> targets_;
  std::map<TimerId, QTimer*> timers_;
  std::map<WatchId, Watch> watches_;
  std::vector<Running> running_;
  uint64_t dispatched_ = 0;
};

}  // namespace

std::unique_ptr<EventLoop> MakeQtEventLoop() { return std::make_unique<QtEventLoop>(); }

void PokeQtEventLoop() {
  if (installed_loop) installed_loop->Poke();
}

}  // namespace tav
