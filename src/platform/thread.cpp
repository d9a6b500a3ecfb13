#include "platform/thread.h"

#include <chrono>
#include <exception>

namespace tav {

void TEvent::Set() {
  {
    std::lock_guard lock(mutex_);
    set_ = true;
  }
  cv_.notify_all();
}

void TEvent::Reset() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

bool TEvent::IsSet() const {
  std::lock_guard lock(mutex_);
  return set_;
}

bool TEvent::Wait(int timeout_ms) const {
  std::unique_lock lock(mutex_);
  if (timeout_ms < 0) {
    cv_.wait(lock, [this] { return set_; });
    return true;
  }
  return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return set_; });
}

TThread::~TThread() {
  Terminate();
  WaitFor();
}

void TThread::Start() {
  if (started_) return;
  thread_ = std::thread([this] { Main(); });  // std::system_error when no thread can be made
  started_ = true;
}

void TThread::WaitFor() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

std::string TThread::FatalException() const {
  std::lock_guard lock(error_mutex_);
  return error_;
}

void TThread::Execute() {
  if (entry_) entry_(*this);
}

void TThread::Main() {
  try {
    Execute();
  } catch (const std::exception& e) {
    std::lock_guard lock(error_mutex_);
    error_ = e.what();
  } catch (...) {
    std::lock_guard lock(error_mutex_);
    error_ = "Unknown exception";
  }
  done_.Set();
}

}  // namespace tav
