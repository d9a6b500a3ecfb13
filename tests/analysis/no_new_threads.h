// While a NoNewThreads lives, no thread of the process can be made: the
// default stack size of new threads is set far beyond any address space, so
// pthread_create fails and std::thread throws std::system_error. The
// previous default comes back at the end.
#pragma once

#include <pthread.h>

#include <cstddef>

namespace tav::testing_analysis {

class NoNewThreads {
 public:
  NoNewThreads() {
    ok_ = pthread_getattr_default_np(&saved_) == 0;
    pthread_attr_t huge;
    pthread_attr_init(&huge);
    pthread_attr_setstacksize(&huge, std::size_t{1} << 52);
    if (ok_) ok_ = pthread_setattr_default_np(&huge) == 0;
    pthread_attr_destroy(&huge);
  }
  ~NoNewThreads() {
    pthread_setattr_default_np(&saved_);
    pthread_attr_destroy(&saved_);
  }
  NoNewThreads(const NoNewThreads&) = delete;
  NoNewThreads& operator=(const NoNewThreads&) = delete;
  // False when the default could not be changed (the test cannot tell then).
  bool Active() const { return ok_; }

 private:
  pthread_attr_t saved_;
  bool ok_ = false;
};

}  // namespace tav::testing_analysis
