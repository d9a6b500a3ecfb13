// Worker threads: an object with an entry (a virtual Execute or a function),
// a stop request the worker polls, a join, and a waitable completion event.
// A thread object never deletes itself; its owner joins it (the destructor
// asks it to stop and joins as a last resort).
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tav {

// A manual-reset event: Set() releases every waiter until Reset().
// Set() orders all writes before it before every Wait() that sees it.
class TEvent {
 public:
  explicit TEvent(bool initially_set = false) : set_(initially_set) {}
  void Set();
  void Reset();
  bool IsSet() const;
  // Waits until set; timeout_ms < 0 waits for ever. True when set.
  bool Wait(int timeout_ms = -1) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  bool set_;
};

class TThread {
 public:
  // A thread that runs Execute() (override it) once started.
  TThread() = default;
  // A thread that runs entry(*this) once started.
  explicit TThread(std::function<void(TThread&)> entry) : entry_(std::move(entry)) {}
  // Requests the stop and joins. A class that overrides Execute must call
  // WaitFor() in its own destructor: by the time this one runs the
  // override is gone.
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts the thread; later calls do nothing. Throws std::system_error
  // when no thread can be made (Started() then stays false).
  void Start();
  bool Started() const { return started_; }
  // Asks the worker to stop; it sees Terminated() and returns.
  void Terminate() { terminated_.store(true, std::memory_order_release); }
  bool Terminated() const { return terminated_.load(std::memory_order_acquire); }
  // The flag itself, for work that checks it deep inside its loops.
  const std::atomic<bool>* TerminateFlag() const { return &terminated_; }
  // Joins the thread (nothing when it never started or was joined).
  void WaitFor();
  // Set when Execute has returned (or thrown); waitable from any thread.
  TEvent& Done() { return done_; }
  bool Finished() const { return done_.IsSet(); }
  // The message of an exception that escaped Execute, empty when none.
  std::string FatalException() const;

 protected:
  virtual void Execute();

 private:
  void Main();
  std::function<void(TThread&)> entry_;
  std::thread thread_;
  std::atomic<bool> terminated_{false};
  bool started_ = false;
  TEvent done_;
  mutable std::mutex error_mutex_;
  std::string error_;
};

}  // namespace tav
