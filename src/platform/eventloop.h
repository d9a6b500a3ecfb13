// The program's event loop: posted messages to targets, timers and file
// descriptor watches, with nested runs. Two implementations exist: a
// poll()-based one (tests and tools) and one on Qt's loop (the program).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace tav {

// A posted message, shaped like a window message.
struct Message {
  uint32_t msg = 0;
  uintptr_t wparam = 0;
  intptr_t lparam = 0;
};

using TargetId = uint64_t;  // never reused within a run; 0 is no target
using TimerId = uint64_t;   // 0 is no timer
using WatchId = uint64_t;   // 0 is no watch

class EventLoop {
 public:
  virtual ~EventLoop() = default;

  // Message targets (the stand-in for hidden message windows). A message
  // posted to a target that is gone by the time it is dispatched is dropped.
  virtual TargetId AddTarget(std::function<void(const Message&)> handler) = 0;
  virtual void RemoveTarget(TargetId id) = 0;
  // Thread-safe; wakes the loop. Returns false when the target does not exist.
  virtual bool Post(TargetId target, Message m) = 0;
  // Thread-safe: runs fn on the loop's thread.
  virtual void PostTask(std::function<void()> fn) = 0;

  // Timers fire on the loop's thread; a repeating timer fires every interval.
  virtual TimerId StartTimer(int interval_ms, bool single_shot, std::function<void()> fn) = 0;
  virtual void StopTimer(TimerId id) = 0;

  // fd readiness, with read and write interest switched separately. A new
  // watch has read interest only; a watch with neither interest is not
  // polled. The callback gets (readable, writable); errors and hang-ups count
  // as readable (and as writable while write interest is on), so a failed
  // connect shows up on a write-only watch too.
  virtual WatchId WatchFd(int fd, std::function<void(bool readable, bool writable)> fn) = 0;
  virtual void SetFdInterest(WatchId id, bool read, bool write) = 0;
  virtual void UnwatchFd(WatchId id) = 0;

  // Dispatches what is ready; waits at most timeout_ms for something to do
  // (0: does not wait). Returns true when something was dispatched.
  virtual bool ProcessEvents(int timeout_ms = 0) = 0;
  // Runs (nested if called from a handler) until done() is true or Quit().
  // With a deadline, gives up at that time; returns done() at the end.
  // done() is checked after every dispatched event and at least every
  // 100 ms, so a condition set by another thread is seen too.
  virtual bool RunUntil(const std::function<bool()>& done, int timeout_ms = -1);
  // Runs until Quit().
  void Run();
  // Thread-safe. Ends Run() and every RunUntil() in progress (nested ones
  // first); once the outermost of them has returned, the request is cleared.
  void Quit();
  bool QuitRequested() const { return quit_; }
  // Thread-safe: makes a waiting ProcessEvents() return.
  virtual void Wake() = 0;

 protected:
  // Ids for targets, timers and watches, unique in the process (so an id
  // kept across a change of the main loop can never name something else).
  static uint64_t NewId();
  std::atomic<bool> quit_{false};
  int run_depth_ = 0;
};

// The loop of this process. Defaults to a poll()-based loop; the program
// installs the Qt one before it creates its windows.
EventLoop& MainLoop();
void SetMainLoop(std::unique_ptr<EventLoop> loop);
std::unique_ptr<EventLoop> MakePollEventLoop();

// Milliseconds since an arbitrary start (steady clock), like a tick counter.
uint32_t TickCount();

}  // namespace tav
