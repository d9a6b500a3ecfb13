// Line mode, line editing and the blocking waits of the socket, against a
// plain peer on 127.0.0.1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/wsocket.h"
#include "mail/wsocket_test_util.h"

using namespace tav;
using namespace tav::test;

namespace {

// A line-mode socket connected to a plain peer.
struct LinePair {
  RawListener listener;
  TWSocket sock;
  int peer = -1;
  std::vector<std::string> lines;
  int closed = 0;

  explicit LinePair(bool take_lines = true) {
    sock.SetLineMode(true);
    if (take_lines) {
      sock.OnDataAvailable = [this](TCustomWSocket* s, int) {
        char buf[256];
        int n = s->Receive(buf, sizeof buf);
        if (n > 0) lines.emplace_back(buf, static_cast<std::size_t>(n));
      };
    }
    sock.OnSessionClosed = [this](TCustomWSocket*, int) { ++closed; };
  }
  ~LinePair() {
    if (peer >= 0) ::close(peer);
  }
  bool Connect() {
    bool up = false;
    sock.OnSessionConnected = [&up](TCustomWSocket*, int e) { up = e == 0; };
    sock.SetAddr("127.0.0.1");
    sock.SetPort(listener.PortStr());
    sock.Connect();
    peer = listener.Accept();
    bool ok = peer >= 0 && Pump([&] { return up; });
    sock.OnSessionConnected = nullptr;
    return ok;
  }
};

}  // namespace

TEST(WSocketLine, LinesAreAssembledAcrossPacketsAndTheRestWaits) {
  LinePair p;
  ASSERT_TRUE(p.Connect());
  WriteAll(p.peer, "a\r\nb");
  ASSERT_TRUE(Pump([&] { return p.lines.size() == 1; }));
  EXPECT_EQ(p.lines[0], "a\r\n");
  PumpFor(50);
  EXPECT_EQ(p.lines.size(), 1u);
  EXPECT_EQ(p.sock.RcvdBufferedCount(), 1);  // "b" waits for its line end
  // A line end split over two packets.
  WriteAll(p.peer, "c\r");
  PumpFor(30);
  EXPECT_EQ(p.lines.size(), 1u);
  WriteAll(p.peer, "\nd\r\ne\r\n");
  ASSERT_TRUE(Pump([&] { return p.lines.size() == 4; }));
  EXPECT_EQ(p.lines[1], "bc\r\n");
  EXPECT_EQ(p.lines[2], "d\r\n");
  EXPECT_EQ(p.lines[3], "e\r\n");
}

TEST(WSocketLine, ALineTakenInPiecesAndOtherLineEnds) {
  LinePair p(false);
  std::string got;
  std::vector<std::string> events;
  p.sock.SetLineEnd("\n");
  p.sock.OnDataAvailable = [&](TCustomWSocket* s, int) {
    char buf[3];
    int n = s->Receive(buf, sizeof buf);  // smaller than the line
    if (n > 0) events.emplace_back(buf, static_cast<std::size_t>(n));
  };
  ASSERT_TRUE(p.Connect());
  WriteAll(p.peer, "hello\nxy\n");
  ASSERT_TRUE(Pump([&] { return events.size() == 3; }));
  PumpFor(30);
  std::vector<std::string> want = {"hel", "lo\n", "xy\n"};
  EXPECT_EQ(events, want);
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
  ASSERT_TRUE(p.Connect());
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

TEST(WSocketLine, SessionCloseDeliversTheLastIncompleteLine) {
  LinePair p;
  std::vector<std::string> order;
  p.sock.OnDataAvailable = [&](TCustomWSocket* s, int) {
    char buf[64];
    int n = s->Receive(buf, sizeof buf);
    if (n > 0) order.emplace_back(buf, static_cast<std::size_t>(n));
  };
  p.sock.OnSessionClosed = [&](TCustomWSocket*, int) { order.push_back("closed"); };
  ASSERT_TRUE(p.Connect());
  WriteAll(p.peer, "one\r\ntwo");
  ::close(p.peer);
  p.peer = -1;
  ASSERT_TRUE(Pump([&] { return !order.empty() && order.back() == "closed"; }));
  std::vector<std::string> want = {"one\r\n", "two", "closed"};
  EXPECT_EQ(order, want);
}

TEST(WSocketLine, SwitchingLineModeOffHandsOutTheRestPlainly) {
  LinePair p(false);
  std::vector<std::string> events;
  p.sock.OnDataAvailable = [&](TCustomWSocket* s, int) {
    char buf[64];
    int n = s->Receive(buf, sizeof buf);
    if (n > 0) events.emplace_back(buf, static_cast<std::size_t>(n));
    if (events.size() == 1) static_cast<TWSocket*>(s)->SetLineMode(false);
  };
  ASSERT_TRUE(p.Connect());
  WriteAll(p.peer, "first\r\nsecond\r\nthird");
  ASSERT_TRUE(Pump([&] { return events.size() == 2; }));
  PumpFor(30);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], "first\r\n");
  EXPECT_EQ(events[1], "second\r\nthird");

  // Switched on again with a partial line buffered: it waits for its end.
  p.sock.SetLineMode(true);
  WriteAll(p.peer, "par");
  PumpFor(30);
  p.sock.SetLineMode(false);  // the buffered bytes come out from the loop
  ASSERT_TRUE(Pump([&] { return events.size() == 3; }));
  EXPECT_EQ(events[2], "par");
}

TEST(WSocketLine, ALineTheHandlerLeavesStaysAndNothingSpins) {
  LinePair p(false);
  int events = 0;
  p.sock.OnDataAvailable = [&](TCustomWSocket*, int) { ++events; };
  ASSERT_TRUE(p.Connect());
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
}

TEST(WSocketLine, EditAndEchoAndSendLine) {
  LinePair p;
  p.sock.SetLineEdit(true);
  p.sock.SetLineEcho(true);
  ASSERT_TRUE(p.Connect());
  WriteAll(p.peer, "abx\bc\td\r\n");
  ASSERT_TRUE(Pump([&] { return p.lines.size() == 1; }));
  EXPECT_EQ(p.lines[0], "abc     d\r\n");
  std::string echo;
  ASSERT_TRUE(Pump([&] {
    ReadSome(p.peer, echo);
    return echo.size() >= 14;
  }));
  EXPECT_EQ(echo, "abx\b \bc     d\r\n");

  EXPECT_EQ(p.sock.SendLine("QUIT"), 6);
  std::string got;
  ASSERT_TRUE(Pump([&] {
    ReadSome(p.peer, got);
    return got.size() >= 6;
  }));
  EXPECT_EQ(got, "QUIT\r\n");
  p.sock.SetLineEnd("\n");
  EXPECT_EQ(p.sock.SendLine("x"), 2);
}

TEST(WSocketSync, WaitUntilReadyTimesOutOrSeesTheFlag) {
  TWSocket s;
  bool flag = false;
  s.SetTimeout(150);
  uint32_t t0 = TickCount();
  EXPECT_EQ(s.WaitUntilReady(flag), 12001);
  uint32_t took = TickCount() - t0;
  EXPECT_GE(took, 140u);
  EXPECT_LT(took, 1500u);

  TimerId timer = MainLoop().StartTimer(30, true, [&] { flag = true; });
  s.SetTimeout(2000);
  t0 = TickCount();
  EXPECT_EQ(s.WaitUntilReady(flag), 0);
  EXPECT_LT(TickCount() - t0, 1500u);
  MainLoop().StopTimer(timer);

  // A quit request ends the wait too.
  flag = false;
  s.SetTimeout(0);
  MainLoop().StartTimer(20, true, [] { MainLoop().Quit(); });
  EXPECT_EQ(s.WaitUntilReady(flag), 12001);
}

TEST(WSocketSync, ReadLineWaitsForALineOrTimesOut) {
  LinePair p(false);
  p.sock.SetLineMode(false);
  ASSERT_TRUE(p.Connect());
  WriteAll(p.peer, "hello\r\nworld\r\npartial");
  std::string line;
  EXPECT_EQ(p.sock.ReadLine(2000, line), 0);
  EXPECT_EQ(line, "hello");
  EXPECT_EQ(p.sock.ReadLine(2000, line), 0);
  EXPECT_EQ(line, "world");
  uint32_t t0 = TickCount();
  EXPECT_EQ(p.sock.ReadLine(100, line), 12001);
  EXPECT_GE(TickCount() - t0, 90u);
  EXPECT_EQ(line, "");
  WriteAll(p.peer, " line\r\n");
  EXPECT_EQ(p.sock.ReadLine(2000, line), 0);
  EXPECT_EQ(line, "partial line");

  TWSocket idle;
  EXPECT_THROW(idle.ReadLine(10, line), ESocketException);
}
