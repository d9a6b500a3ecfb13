#include "platform/eventloop.h"

#include <algorithm>
#include <mutex>

namespace tav {

namespace {
constexpr int kConditionCheckMs = 100;

std::mutex main_loop_mutex;
std::unique_ptr<EventLoop>& MainLoopSlot() {
  static std::unique_ptr<EventLoop> loop;
  return loop;
}
}  // namespace

uint64_t EventLoop::NewId() {
  static std::atomic<uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

void EventLoop::Quit() {
  quit_ = true;
  Wake();
}

bool EventLoop::RunUntil(const std::function<bool()>& done, int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0, timeout_ms));
  ++run_depth_;
  while (!quit_ && !(done && done())) {
    int wait = kConditionCheckMs;
    if (timeout_ms >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) break;
      wait = static_cast<int>(std::min<long long>(left, kConditionCheckMs));
    }
    ProcessEvents(wait);
  }
  --run_depth_;
  const bool result = done && done();
  if (run_depth_ == 0) quit_ = false;
  return result;
}

void EventLoop::Run() { RunUntil(nullptr); }

EventLoop& MainLoop() {
  std::lock_guard lock(main_loop_mutex);
  auto& slot = MainLoopSlot();
  if (!slot) slot = MakePollEventLoop();
  return *slot;
}

void SetMainLoop(std::unique_ptr<EventLoop> loop) {
  std::unique_ptr<EventLoop> old;
  {
    std::lock_guard lock(main_loop_mutex);
    old = std::move(MainLoopSlot());
    MainLoopSlot() = std::move(loop);
  }
  // The old loop goes outside the lock: its callbacks' owners may call MainLoop().
}

uint32_t TickCount() {
  static const auto start = std::chrono::steady_clock::now();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  return static_cast<uint32_t>(ms);
}

}  // namespace tav
