#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/eventloop.h"

using namespace tav;

namespace {

struct Pipe {
  int r = -1, w = -1;
  Pipe() {
    int fds[2];
    EXPECT_EQ(pipe2(fds, O_NONBLOCK | O_CLOEXEC), 0);
    r = fds[0];
    w = fds[1];
  }
  ~Pipe() {
    if (r >= 0) close(r);
    if (w >= 0) close(w);
  }
};

struct SocketPair {
  int a = -1, b = -1;
  SocketPair() {
    int fds[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds), 0);
    a = fds[0];
    b = fds[1];
  }
  ~SocketPair() {
    close(a);
    close(b);
  }
};

class EventLoopTest : public ::testing::Test {
 protected:
  std::unique_ptr<EventLoop> loop = MakePollEventLoop();
};

}  // namespace

TEST_F(EventLoopTest, TimersFireOnceOrRepeatedlyInOrderOfDueTimeAndStop) {
  int single = 0, repeating = 0, stopped = 0;
  std::vector<int> order;
  loop->StartTimer(30, true, [&] { order.push_back(3); });
  loop->StartTimer(1, true, [&] { order.push_back(1); });
  loop->StartTimer(15, true, [&] { order.push_back(2); });
  loop->StartTimer(5, true, [&] { ++single; });
  TimerId rep = loop->StartTimer(2, false, [&] { ++repeating; });
  TimerId never = loop->StartTimer(5, true, [&] { ++stopped; });
  loop->StopTimer(never);
  EXPECT_TRUE(loop->RunUntil([&] { return repeating >= 5; }, 2000));
  loop->StopTimer(rep);
  loop->RunUntil([&] { return order.size() == 3; }, 2000);
  loop->RunUntil([] { return false; }, 20);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(single, 1);
  EXPECT_EQ(stopped, 0);
  EXPECT_EQ(repeating, 5) << "a stopped timer fires no more";
}

// ProcessEvents waits at most its timeout, and a post from a thread ends
// the wait at once.
TEST_F(EventLoopTest, ProcessEventsWaitsAtMostItsTimeoutOrUntilAPostFromAThread) {
  auto t0 = TickCount();
  EXPECT_FALSE(loop->ProcessEvents(30));
  auto waited = TickCount() - t0;
  EXPECT_GE(waited, 25u);
  EXPECT_LT(waited, 1000u);
  EXPECT_FALSE(loop->ProcessEvents(0));
  bool got = false;
  TargetId t = loop->AddTarget([&](const Message&) { got = true; });
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    loop->Post(t, {9, 0, 0});
  });
  t0 = TickCount();
  EXPECT_TRUE(loop->ProcessEvents(3000));
  EXPECT_LT(TickCount() - t0, 2000u);
  poster.join();
  EXPECT_TRUE(got);
}

TEST_F(EventLoopTest, MessagesArriveInOrderAndGoneTargetsDropThem) {
  std::vector<uint32_t> got;
  TargetId a = loop->AddTarget([&](const Message& m) { got.push_back(m.msg); });
  TargetId b = loop->AddTarget([&](const Message& m) { got.push_back(1000 + m.msg); });
  EXPECT_NE(a, b);
  EXPECT_TRUE(loop->Post(a, {1, 0, 0}));
  EXPECT_TRUE(loop->Post(b, {2, 0, 0}));
  EXPECT_TRUE(loop->Post(a, {3, 7, -7}));
  loop->RemoveTarget(b);                  // its queued message is dropped
  EXPECT_FALSE(loop->Post(b, {4, 0, 0}));  // and new ones refused
  EXPECT_FALSE(loop->Post(0, {5, 0, 0}));
  while (loop->ProcessEvents(0)) {}
  EXPECT_EQ(got, (std::vector<uint32_t>{1, 3}));
  TargetId c = loop->AddTarget([](const Message&) {});
  EXPECT_GT(c, b) << "ids are never reused";
}

TEST_F(EventLoopTest, PostsFromOtherThreadsWakeTheLoopAndKeepTheirOrder) {
  constexpr int kThreads = 4, kEach = 200;
  std::vector<std::vector<intptr_t>> seen(kThreads);
  int total = 0;
  TargetId t = loop->AddTarget([&](const Message& m) {
    seen[m.wparam].push_back(m.lparam);
    ++total;
  });
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] {
      for (int k = 0; k < kEach; ++k) loop->Post(t, {1, static_cast<uintptr_t>(i), k});
    });
  std::atomic<bool> task_ran{false};
  threads.emplace_back([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    loop->PostTask([&] { task_ran = true; });
  });
  EXPECT_TRUE(loop->RunUntil([&] { return total == kThreads * kEach && task_ran; }, 5000));
  for (auto& th : threads) th.join();
  for (int i = 0; i < kThreads; ++i) {
    ASSERT_EQ(seen[i].size(), static_cast<std::size_t>(kEach));
    for (int k = 0; k < kEach; ++k) EXPECT_EQ(seen[i][k], k);
  }
}

TEST_F(EventLoopTest, ReadAndWriteInterestAreSeparate) {
  Pipe p;
  int reads = 0, writes = 0;
  WatchId rw = loop->WatchFd(p.r, [&](bool readable, bool writable) {
    EXPECT_FALSE(writable);
    if (readable) {
      char buf[16];
      while (read(p.r, buf, sizeof buf) > 0) {}
      ++reads;
    }
  });
  WatchId ww = loop->WatchFd(p.w, [&](bool readable, bool writable) {
    EXPECT_FALSE(readable);
    if (writable) ++writes;
  });
  loop->SetFdInterest(ww, false, false);
  EXPECT_FALSE(loop->ProcessEvents(10)) << "nothing to read, write interest off";
  ASSERT_EQ(write(p.w, "x", 1), 1);
  EXPECT_TRUE(loop->ProcessEvents(100));
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(writes, 0);
  loop->SetFdInterest(ww, false, true);
  EXPECT_TRUE(loop->ProcessEvents(100));
  EXPECT_EQ(writes, 1);
  EXPECT_EQ(reads, 1);
  loop->SetFdInterest(ww, false, false);
  loop->SetFdInterest(rw, false, false);
  ASSERT_EQ(write(p.w, "y", 1), 1);
  EXPECT_FALSE(loop->ProcessEvents(10)) << "read interest off";
  loop->SetFdInterest(rw, true, false);
  EXPECT_TRUE(loop->ProcessEvents(100));
  EXPECT_EQ(reads, 2);
}

TEST_F(EventLoopTest, WritableAgainOnceAFullSocketDrains) {
  SocketPair s;
  char block[4096] = {};
  while (send(s.a, block, sizeof block, MSG_DONTWAIT) > 0) {}
  int writable_calls = 0;
  WatchId w = loop->WatchFd(s.a, [&](bool, bool writable) { writable_calls += writable; });
  loop->SetFdInterest(w, false, true);
  EXPECT_FALSE(loop->ProcessEvents(10)) << "buffer full";
  while (recv(s.b, block, sizeof block, MSG_DONTWAIT) > 0) {}
  EXPECT_TRUE(loop->RunUntil([&] { return writable_calls > 0; }, 2000));
}

TEST_F(EventLoopTest, HangUpCountsAsReadable) {
  Pipe p;
  bool readable_seen = false;
  WatchId id = loop->WatchFd(p.r, [&](bool readable, bool) { readable_seen = readable; });
  close(p.w);
  p.w = -1;
  EXPECT_TRUE(loop->RunUntil([&] { return readable_seen; }, 2000));
  loop->UnwatchFd(id);
}

TEST_F(EventLoopTest, SelfRemovalInsideCallbacksIsSafe) {
  // Each callback captures enough state that a use after free would show.
  struct Big { std::vector<int> data = std::vector<int>(64, 7); };
  int target_calls = 0, timer_calls = 0, watch_calls = 0;
  TargetId target = 0;
  target = loop->AddTarget([&, big = Big{}](const Message&) {
    loop->RemoveTarget(target);
    target_calls += big.data[63] == 7;
  });
  loop->Post(target, {1, 0, 0});
  loop->Post(target, {2, 0, 0});  // dropped: the first removed the target
  TimerId timer = 0;
  timer = loop->StartTimer(1, false, [&, big = Big{}] {
    loop->StopTimer(timer);
    timer_calls += big.data[0] == 7;
  });
  Pipe p;
  ASSERT_EQ(write(p.w, "x", 1), 1);
  WatchId watch = 0;
  watch = loop->WatchFd(p.r, [&, big = Big{}](bool, bool) {
    loop->UnwatchFd(watch);
    watch_calls += big.data[10] == 7;
  });
  loop->RunUntil([&] { return false; }, 50);
  EXPECT_EQ(target_calls, 1);
  EXPECT_EQ(timer_calls, 1);
  EXPECT_EQ(watch_calls, 1);
}

TEST_F(EventLoopTest, NestedRunUntilKeepsDispatching) {
  std::vector<std::string> log;
  bool inner_done = false;
  TargetId t = loop->AddTarget([&](const Message& m) {
    log.push_back("msg" + std::to_string(m.msg));
    if (m.msg == 2) inner_done = true;
  });
  Pipe p;
  bool fd_seen = false;
  loop->WatchFd(p.r, [&](bool readable, bool) {
    char c;
    if (readable && read(p.r, &c, 1) == 1) fd_seen = true;
  });
  loop->StartTimer(1, true, [&] {
    log.push_back("outer timer");
    loop->Post(t, {1, 0, 0});
    loop->StartTimer(5, true, [&] {
      log.push_back("inner timer");
      loop->Post(t, {2, 0, 0});
    });
    EXPECT_EQ(write(p.w, "z", 1), 1);
    EXPECT_TRUE(loop->RunUntil([&] { return inner_done && fd_seen; }, 2000));
    log.push_back("inner loop done");
  });
  EXPECT_TRUE(loop->RunUntil([&] { return log.size() >= 5; }, 3000));
  EXPECT_EQ(log, (std::vector<std::string>{"outer timer", "msg1", "inner timer", "msg2", "inner loop done"}));
}

TEST_F(EventLoopTest, QuitEndsNestedAndOuterRunsThenClears) {
  int depth_reached = 0;
  loop->StartTimer(1, true, [&] {
    depth_reached = 1;
    loop->StartTimer(1, true, [&] {
      depth_reached = 2;
      loop->Quit();
    });
    loop->RunUntil([] { return false; });
  });
  loop->Run();
  EXPECT_EQ(depth_reached, 2);
  EXPECT_FALSE(loop->QuitRequested()) << "cleared once the outermost run returned";
  // Quit from another thread ends a blocked Run.
  std::thread quitter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    loop->Quit();
  });
  loop->Run();
  quitter.join();
}

TEST_F(EventLoopTest, RunUntilSeesAConditionSetByAnotherThread) {
  std::atomic<bool> flag{false};
  std::thread setter([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    flag = true;  // no post: the loop still notices within its check interval
  });
  EXPECT_TRUE(loop->RunUntil([&] { return flag.load(); }, 3000));
  setter.join();
  EXPECT_FALSE(loop->RunUntil([] { return false; }, 10)) << "deadline";
}

TEST(MainLoop, DefaultsToAPollLoopAndCanBeReplaced) {
  EventLoop& first = MainLoop();
  EXPECT_EQ(&first, &MainLoop());
  SetMainLoop(MakePollEventLoop());
  bool ran = false;
  MainLoop().PostTask([&] { ran = true; });
  MainLoop().ProcessEvents(0);
  EXPECT_TRUE(ran);
  SetMainLoop(nullptr);  // back to a fresh default
  EXPECT_FALSE(MainLoop().ProcessEvents(0));
}
