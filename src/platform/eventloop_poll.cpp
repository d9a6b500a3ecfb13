// The poll()-based event loop used by tests and tools.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <map>
#include <mutex>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "platform/eventloop.h"

namespace tav {

namespace {

using Clock = std::chrono::steady_clock;

class PollEventLoop final : public EventLoop {
 public:
  PollEventLoop();
  ~PollEventLoop() override;

  TargetId AddTarget(std::function<void(const Message&)> handler) override;
  void RemoveTarget(TargetId id) override;
  bool Post(TargetId target, Message m) override;
  void PostTask(std::function<void()> fn) override;
  TimerId StartTimer(int interval_ms, bool single_shot, std::function<void()> fn) override;
  void StopTimer(TimerId id) override;
  WatchId WatchFd(int fd, std::function<void(bool, bool)> fn) override;
  void SetFdInterest(WatchId id, bool read, bool write) override;
  void UnwatchFd(WatchId id) override;
  bool ProcessEvents(int timeout_ms) override;
  void Wake() override;

 private:
  using Handler = std::shared_ptr<std::function<void(const Message&)>>;
  struct Posted {
    TargetId target = 0;  // 0: a task
    Message msg;
    std::function<void()> task;
  };
  struct Timer {
    std::chrono::milliseconds interval{0};
    bool single = false;
    Clock::time_point due;
    std::shared_ptr<std::function<void()>> fn;
  };
  struct Watch {
    int fd = -1;
    bool read = true, write = false;
    std::shared_ptr<std::function<void(bool, bool)>> fn;
    short PollEvents() const { return static_cast<short>((read ? POLLIN : 0) | (write ? POLLOUT : 0)); }
  };
  struct Ready {
    WatchId id;
    int fd;
    short revents;
  };

  int WaitMs(int timeout_ms);  // with mutex_ held
  void DrainWake();
  bool DispatchPosted();
  bool DispatchTimers();
  bool DispatchFds(std::vector<Ready>& ready, uint64_t round);

  std::mutex mutex_;
  std::unordered_map<TargetId, Handler> targets_;
  std::deque<Posted> queue_;
  std::map<TimerId, Timer> timers_;
  std::map<WatchId, Watch> watches_;
  int wake_fd_ = -1;
  uint64_t poll_round_ = 0;  // loop thread only
};

PollEventLoop::PollEventLoop() {
  wake_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake_fd_ < 0) throw std::runtime_error("cannot create the event loop's wake-up descriptor");
}

PollEventLoop::~PollEventLoop() { close(wake_fd_); }

TargetId PollEventLoop::AddTarget(std::function<void(const Message&)> handler) {
  TargetId id = NewId();
  std::lock_guard lock(mutex_);
  targets_.emplace(id, std::make_shared<std::function<void(const Message&)>>(std::move(handler)));
  return id;
}

void PollEventLoop::RemoveTarget(TargetId id) {
  Handler gone;  // destroyed outside the lock
  std::lock_guard lock(mutex_);
  auto it = targets_.find(id);
  if (it == targets_.end()) return;
  gone = std::move(it->second);
  targets_.erase(it);
}

bool PollEventLoop::Post(TargetId target, Message m) {
  {
    std::lock_guard lock(mutex_);
    if (targets_.find(target) == targets_.end()) return false;
    queue_.push_back({target, m, {}});
  }
  Wake();
  return true;
}

void PollEventLoop::PostTask(std::function<void()> fn) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back({0, {}, std::move(fn)});
  }
  Wake();
}

TimerId PollEventLoop::StartTimer(int interval_ms, bool single_shot, std::function<void()> fn) {
  TimerId id = NewId();
  Timer t;
  t.interval = std::chrono::milliseconds(std::max(0, interval_ms));
  t.single = single_shot;
  t.due = Clock::now() + t.interval;
  t.fn = std::make_shared<std::function<void()>>(std::move(fn));
  {
    std::lock_guard lock(mutex_);
    timers_.emplace(id, std::move(t));
  }
  Wake();
  return id;
}

void PollEventLoop::StopTimer(TimerId id) {
  std::shared_ptr<std::function<void()>> gone;
  std::lock_guard lock(mutex_);
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  gone = std::move(it->second.fn);
  timers_.erase(it);
}

WatchId PollEventLoop::WatchFd(int fd, std::function<void(bool, bool)> fn) {
  WatchId id = NewId();
  Watch w;
  w.fd = fd;
  w.fn = std::make_shared<std::function<void(bool, bool)>>(std::move(fn));
  {
    std::lock_guard lock(mutex_);
    watches_.emplace(id, std::move(w));
  }
  Wake();
  return id;
}

void PollEventLoop::SetFdInterest(WatchId id, bool read, bool write) {
  {
    std::lock_guard lock(mutex_);
    auto it = watches_.find(id);
    if (it == watches_.end()) return;
    it->second.read = read;
    it->second.write = write;
  }
  Wake();
}

void PollEventLoop::UnwatchFd(WatchId id) {
  std::shared_ptr<std::function<void(bool, bool)>> gone;
  std::lock_guard lock(mutex_);
  auto it = watches_.find(id);
  if (it == watches_.end()) return;
  gone = std::move(it->second.fn);
  watches_.erase(it);
}

void PollEventLoop::Wake() {
  uint64_t one = 1;
  // A full counter (impossible in practice) still leaves the loop woken.
  [[maybe_unused]] ssize_t n = write(wake_fd_, &one, sizeof one);
}

void PollEventLoop::DrainWake() {
  uint64_t count;
  [[maybe_unused]] ssize_t n = read(wake_fd_, &count, sizeof count);
}

int PollEventLoop::WaitMs(int timeout_ms) {
  if (!queue_.empty()) return 0;
  int wait = timeout_ms < 0 ? -1 : timeout_ms;
  if (!timers_.empty()) {
    auto first = timers_.begin()->second.due;
    for (const auto& [id, t] : timers_) first = std::min(first, t.due);
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(first - Clock::now()).count();
    long long ms = us <= 0 ? 0 : (us + 999) / 1000;
    if (wait < 0 || ms < wait) wait = static_cast<int>(ms);
  }
  return wait;
}

bool PollEventLoop::ProcessEvents(int timeout_ms) {
  std::vector<pollfd> fds;
  std::vector<WatchId> ids;
  int wait;
  {
    std::lock_guard lock(mutex_);
    wait = WaitMs(timeout_ms);
    fds.push_back({wake_fd_, POLLIN, 0});
    ids.push_back(0);
    for (const auto& [id, w] : watches_) {
      const short events = w.PollEvents();
      if (!events) continue;
      fds.push_back({w.fd, events, 0});
      ids.push_back(id);
    }
  }
  int n = poll(fds.data(), fds.size(), wait);
  const uint64_t round = ++poll_round_;
  std::vector<Ready> ready;
  if (n > 0) {
    if (fds[0].revents) DrainWake();
    for (std::size_t i = 1; i < fds.size(); ++i)
      if (fds[i].revents) ready.push_back({ids[i], fds[i].fd, fds[i].revents});
  }
  bool dispatched = DispatchPosted();
  dispatched |= DispatchTimers();
  dispatched |= DispatchFds(ready, round);
  return dispatched;
}

bool PollEventLoop::DispatchPosted() {
  std::size_t count;
  {
    std::lock_guard lock(mutex_);
    count = queue_.size();
  }
  // Only what was queued before this pass: a handler that posts again does
  // not keep this call busy forever.
  bool any = false;
  for (std::size_t i = 0; i < count; ++i) {
    Posted item;
    Handler handler;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) break;  // a nested loop took the rest
      item = std::move(queue_.front());
      queue_.pop_front();
      if (item.target) {
        auto it = targets_.find(item.target);
        if (it == targets_.end()) continue;  // target gone: dropped
        handler = it->second;
      }
    }
    any = true;
    if (handler)
      (*handler)(item.msg);
    else if (item.task)
      item.task();
  }
  return any;
}

bool PollEventLoop::DispatchTimers() {
  const auto now = Clock::now();
  std::vector<std::pair<Clock::time_point, TimerId>> due;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [id, t] : timers_)
      if (t.due <= now) due.emplace_back(t.due, id);
  }
  std::sort(due.begin(), due.end());
  bool any = false;
  for (const auto& [when, id] : due) {
    std::shared_ptr<std::function<void()>> fn;
    {
      std::lock_guard lock(mutex_);
      auto it = timers_.find(id);
      // Gone, or already fired (and rescheduled) by a nested loop.
      if (it == timers_.end() || it->second.due > now) continue;
      fn = it->second.fn;
      if (it->second.single) {
        timers_.erase(it);
      } else {
        auto next = it->second.due + it->second.interval;
        if (next <= now) next = now + std::max(it->second.interval, std::chrono::milliseconds(1));
        it->second.due = next;
      }
    }
    any = true;
    (*fn)();
  }
  return any;
}

bool PollEventLoop::DispatchFds(std::vector<Ready>& ready, uint64_t round) {
  bool any = false;
  for (auto& r : ready) {
    std::shared_ptr<std::function<void(bool, bool)>> fn;
    bool readable, writable;
    {
      std::lock_guard lock(mutex_);
      auto it = watches_.find(r.id);
      if (it == watches_.end() || it->second.fd != r.fd) continue;
      const Watch& w = it->second;
      if (poll_round_ != round) {
        // A handler ran a nested loop: what poll() said may be stale.
        pollfd again{w.fd, w.PollEvents(), 0};
        if (!again.events || poll(&again, 1, 0) <= 0) continue;
        r.revents = again.revents;
      }
      const short failed = POLLHUP | POLLERR | POLLNVAL;
      readable = w.read && (r.revents & (POLLIN | POLLPRI | failed));
      writable = w.write && (r.revents & (POLLOUT | failed));
      if (!readable && !writable) continue;
      fn = w.fn;
    }
    any = true;
    (*fn)(readable, writable);
  }
  return any;
}

}  // namespace

std::unique_ptr<EventLoop> MakePollEventLoop() { return std::make_unique<PollEventLoop>(); }

}  // namespace tav
