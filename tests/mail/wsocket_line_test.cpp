// Line mode, line editing and the blocking waits of the socket, against a
// plain peer on 127.0.0.1.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "mail/wsocket.h"
#include "mail/wsocket_test_util.h"

using namespace tav;
using namespace tav::test;

namespace {

// A data handler that takes up to size bytes per event into out.
TSessionNotify Collect(std::vector<std::string>& out, int size) {
  return [&out, size](TCustomWSocket* s, int) {
    std::string buf(static_cast<std::size_t>(size), '\0');
    int n = s->Receive(buf.data(), size);
    if (n > 0) out.push_back(buf.substr(0, static_cast<std::size_t>(n)));
  };
}

// A line-mode socket connected to a plain peer, collecting what it receives
// in lines (unless the test reads itself).
struct LinePair : Connection {
  std::vector<std::string> lines;

  explicit LinePair(bool take_lines = true) : Connection(false) {
    sock.SetLineMode(true);
    if (take_lines) sock.OnDataAvailable = Collect(lines, 256);
  }
};

}  // namespace

TEST(WSocketLine, LinesAreAssembledAcrossPacketsAndTheRestWaits) {
  LinePair p;
  ASSERT_TRUE(p.Open());
  // "b" waits for its line end, which comes split over two packets.
  WriteAll(p.peer, "a\r\nb");
  ASSERT_TRUE(Pump([&] { return p.lines.size() == 1; }));
  WriteAll(p.peer, "c\r");
  PumpFor(30);
  EXPECT_EQ(p.sock.RcvdBufferedCount(), 3);
  WriteAll(p.peer, "\nd\r\ne\r\n");
  ASSERT_TRUE(Pump([&] { return p.lines.size() == 4; }));
  EXPECT_EQ(p.lines, (std::vector<std::string>{"a\r\n", "bc\r\n", "d\r\n", "e\r\n"}));

  // A burst of many short lines (megabytes in the socket at once) comes out
  // whole and in order, without the loop stalling on it.
  std::string burst;
  for (int i = 0; i < 150000; ++i) burst += "line " + std::to_string(i) + "\r\n";
  p.lines.clear();
  std::size_t got = 0;
  std::thread writer([&] { WriteAll(p.peer, burst); });
  bool all = Pump([&] {
    for (; got < p.lines.size(); ++got) EXPECT_EQ(p.lines[got], "line " + std::to_string(got) + "\r\n");
    return got == 150000;
  }, 8000);
  if (!all) ::shutdown(p.peer, SHUT_RDWR);  // lets a blocked writer go
  writer.join();
  EXPECT_TRUE(all) << got;
}

TEST(WSocketLine, ALineTakenInPiecesAndOtherLineEnds) {
  LinePair p(false);
  std::vector<std::string> events;
  p.sock.SetLineEnd("\n");
  p.sock.OnDataAvailable = Collect(events, 3);  // smaller than the line
  ASSERT_TRUE(p.Open());
  WriteAll(p.peer, "hello\nxy\n");
  ASSERT_TRUE(Pump([&] { return events.size() == 3; }));
  PumpFor(30);
  EXPECT_EQ(events, (std::vector<std::string>{"hel", "lo\n", "xy\n"}));
}

TEST(WSocketLine, LineLimitDiscardsAnOverlongLineUnlessTheHandlerKeepsIt) {
  LinePair p;
  p.sock.SetLineLimit(10);
  std::vector<int> exceeded;
  bool keep = false;
  p.sock.OnLineLimitExceeded = [&](TCustomWSocket*, int cnt, bool& clear) {
    exceeded.push_back(cnt);
    clear = !keep;
  };
  ASSERT_TRUE(p.Open());
  WriteAll(p.peer, std::string(25, 'z'));
  ASSERT_TRUE(Pump([&] { return !exceeded.empty(); }));
  EXPECT_EQ(exceeded[0], 25);
  EXPECT_EQ(p.sock.RcvdBufferedCount(), 0);
  WriteAll(p.peer, "ok\r\n");
  ASSERT_TRUE(Pump([&] { return p.lines.size() == 1; }));
  EXPECT_EQ(p.lines[0], "ok\r\n");

  keep = true;
  exceeded.clear();
  WriteAll(p.peer, std::string(12, 'k'));
  ASSERT_TRUE(Pump([&] { return !exceeded.empty(); }));
  EXPECT_EQ(p.sock.RcvdBufferedCount(), 12);
  WriteAll(p.peer, "\r\n");
  ASSERT_TRUE(Pump([&] { return p.lines.size() == 2; }));
  EXPECT_EQ(p.lines[1], std::string(12, 'k') + "\r\n");
}

TEST(WSocketLine, SwitchingLineModeOffHandsOutTheRestPlainly) {
  LinePair p(false);
  std::vector<std::string> events;
  p.sock.OnDataAvailable = [&, collect = Collect(events, 64)](TCustomWSocket* s, int e) {
    collect(s, e);
    if (events.size() == 1) static_cast<TWSocket*>(s)->SetLineMode(false);
  };
  ASSERT_TRUE(p.Open());
  WriteAll(p.peer, "first\r\nsecond\r\nthird");
  ASSERT_TRUE(Pump([&] { return events.size() == 2; }));
  PumpFor(30);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], "first\r\n");
  EXPECT_EQ(events[1], "second\r\nthird");

  // Switched on again with a partial line buffered, and off: the buffered
  // bytes come out from the loop.
  p.sock.SetLineMode(true);
  WriteAll(p.peer, "par");
  PumpFor(30);
  p.sock.SetLineMode(false);
  ASSERT_TRUE(Pump([&] { return events.size() == 3; }));
  EXPECT_EQ(events[2], "par");
}

TEST(WSocketLine, ALineTheHandlerLeavesStaysAndNothingSpins) {
  LinePair p(false);
  int events = 0;
  p.sock.OnDataAvailable = [&](TCustomWSocket*, int) { ++events; };
  ASSERT_TRUE(p.Open());
  WriteAll(p.peer, "kept\r\nnext\r\n");
  ASSERT_TRUE(Pump([&] { return events > 0; }));
  PumpFor(100);
  EXPECT_EQ(events, 1);
  EXPECT_FALSE(MainLoop().ProcessEvents(0));
  EXPECT_EQ(p.sock.GetRcvdCount(), 6);
  // The owner takes the lines later, in order.
  EXPECT_EQ(p.sock.ReceiveStr(), "kept\r\n");
  EXPECT_EQ(p.sock.ReceiveStr(), "next\r\n");
  char c;
  EXPECT_EQ(p.sock.Receive(&c, 1), -1);
  EXPECT_EQ(p.sock.LastError(), 10035);
  // The session's close delivers the last incomplete line first.
  std::vector<std::string> order;
  p.sock.OnDataAvailable = Collect(order, 64);
  p.sock.OnSessionClosed = [&](TCustomWSocket*, int) { order.push_back("closed"); };
  WriteAll(p.peer, "one\r\ntwo");
  p.peer.Close();
  ASSERT_TRUE(Pump([&] { return !order.empty() && order.back() == "closed"; }));
  EXPECT_EQ(order, (std::vector<std::string>{"one\r\n", "two", "closed"}));
}

TEST(WSocketLine, EditAndEchoAndSendLine) {
  LinePair p;
  p.sock.SetLineEdit(true);
  p.sock.SetLineEcho(true);
  ASSERT_TRUE(p.Open());
  WriteAll(p.peer, "abx\bc\td\r\n");
  ASSERT_TRUE(Pump([&] { return p.lines.size() == 1; }));
  EXPECT_EQ(p.lines[0], "abc     d\r\n");
  EXPECT_EQ(ReadAtLeast(p.peer, 15), "abx\b \bc     d\r\n");
  // Backspaces in a later packet erase what an earlier one brought; the line
  // end behind them still ends the line.
  WriteAll(p.peer, "abc");
  ASSERT_TRUE(Pump([&] { return p.sock.RcvdBufferedCount() == 3; }));
  WriteAll(p.peer, "\b\b\r\n");
  ASSERT_TRUE(Pump([&] { return p.lines.size() == 2; }, 2000));
  EXPECT_EQ(p.lines[1], "a\r\n");
  EXPECT_EQ(ReadAtLeast(p.peer, 11), "abc\b \b\b \b\r\n");

  p.sock.SetLineEnd("\n");
  EXPECT_EQ(p.sock.SendLine("QUIT"), 5);
  EXPECT_EQ(ReadAtLeast(p.peer, 5), "QUIT\n");
}

TEST(WSocketSync, WaitUntilReadyTimesOutOrSeesTheFlagOrAQuit) {
  TWSocket s;
  bool flag = false;
  s.SetTimeout(150);
  uint32_t t0 = TickCount();
  EXPECT_EQ(s.WaitUntilReady(flag), 12001);
  EXPECT_GE(TickCount() - t0, 140u);
  TimerId timer = MainLoop().StartTimer(30, true, [&] { flag = true; });
  s.SetTimeout(0);  // no limit
  EXPECT_EQ(s.WaitUntilReady(flag), 0);
  MainLoop().StopTimer(timer);
  flag = false;
  MainLoop().StartTimer(20, true, [] { MainLoop().Quit(); });
  EXPECT_EQ(s.WaitUntilReady(flag), 12001);
}

TEST(WSocketSync, ReadLineWaitsForALineOrTimesOut) {
  LinePair p(false);
  p.sock.SetLineMode(false);
  ASSERT_TRUE(p.Open());
  WriteAll(p.peer, "hello\r\nworld\r\npartial");
  std::string line;
  EXPECT_EQ(p.sock.ReadLine(2000, line), 0);
  EXPECT_EQ(line, "hello");
  EXPECT_EQ(p.sock.ReadLine(2000, line), 0);
  EXPECT_EQ(line, "world");
  EXPECT_EQ(p.sock.ReadLine(100, line), 12001);
  EXPECT_EQ(line, "");
  WriteAll(p.peer, " line\r\n");
  EXPECT_EQ(p.sock.ReadLine(2000, line), 0);
  EXPECT_EQ(line, "partial line");

  TWSocket idle;
  EXPECT_THROW(idle.ReadLine(10, line), ESocketException);
}
