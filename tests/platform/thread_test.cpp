#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "platform/thread.h"

using namespace tav;

namespace {

// A worker in the style of the analysis threads: its own copy of the input,
// results written before the completion event is set.
class SumWorker : public TThread {
 public:
  explicit SumWorker(std::vector<int> input, TEvent& done) : input_(std::move(input)), done_(done) {}
  ~SumWorker() override { WaitFor(); }
  long long result = 0;

 protected:
  void Execute() override {
    for (int v : input_) result += v;
    done_.Set();
    Terminate();
  }

 private:
  std::vector<int> input_;
  TEvent& done_;
};

}  // namespace

TEST(Thread, ExecuteRunsOnceAndSignalsCompletion) {
  TEvent block_done;
  std::vector<int> input(100000, 3);
  SumWorker worker(input, block_done);
  EXPECT_FALSE(worker.Started());
  worker.Start();
  worker.Start();  // once only
  ASSERT_TRUE(block_done.Wait(5000));
  EXPECT_EQ(worker.result, 300000) << "visible after the event";
  EXPECT_TRUE(worker.Done().Wait(5000));
  worker.WaitFor();
  EXPECT_TRUE(worker.Finished());
  EXPECT_TRUE(worker.Terminated());
  EXPECT_TRUE(worker.FatalException().empty());
}

TEST(Thread, EntryFunctionSeesTheStopRequest) {
  std::atomic<int> rounds{0};
  TThread t([&](TThread& self) {
    while (!self.Terminated()) {
      ++rounds;
      std::this_thread::yield();
    }
  });
  t.Start();
  while (rounds.load() < 10) std::this_thread::yield();
  EXPECT_FALSE(t.Finished());
  t.Terminate();
  EXPECT_TRUE(t.Done().Wait(5000));
  t.WaitFor();
  t.WaitFor();  // joining twice is harmless
}

TEST(Thread, ExceptionsInTheWorkerAreKeptAndCompletionStillSignalled) {
  TThread t([](TThread&) { throw std::runtime_error("trip file damaged"); });
  t.Start();
  EXPECT_TRUE(t.Done().Wait(5000));
  t.WaitFor();
  EXPECT_EQ(t.FatalException(), "trip file damaged");
}

TEST(Thread, DestructorStopsAndJoinsAndNeverStartedThreadsAreFine) {
  std::atomic<bool> stopped{false};
  {
    TThread t([&](TThread& self) {
      while (!self.Terminated()) std::this_thread::yield();
      stopped = true;
    });
    t.Start();
  }
  EXPECT_TRUE(stopped);
  TThread idle([](TThread&) {});
  idle.WaitFor();
  EXPECT_FALSE(idle.Finished());
}

TEST(Thread, EventWaitsTimeOutAndReset) {
  TEvent e;
  EXPECT_FALSE(e.Wait(10));
  e.Set();
  EXPECT_TRUE(e.Wait(0));
  e.Reset();
  EXPECT_FALSE(e.IsSet());
}
