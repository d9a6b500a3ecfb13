// The asynchronous socket: chunk buffer, error numbers, names, connect, send
// queue, receive loop, close paths and events, on 127.0.0.1 only.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <netdb.h>
#include <string>
#include <thread>
#include <vector>

#include "mail/wsocket.h"
#include "mail/wsocket_test_util.h"

using namespace tav;
using namespace tav::test;

namespace {

// A connection to a plain peer, opened by the test.
class WSocketSession : public ::testing::Test, protected Connection {};

}  // namespace

// ---------------------------------------------------------------------------

TEST(TBuffer, WriteReadPeekRemoveAndResize) {
  TBuffer b(8);
  auto peek = [&b] {
    int len = -1;
    const char* p = b.Peek(len);
    return p ? std::string(p, static_cast<std::size_t>(len)) : "null " + std::to_string(len);
  };
  EXPECT_EQ(b.Write("abcdef", 6), 6);
  EXPECT_EQ(b.Write("ghijk", 5), 2);  // only two bytes fit
  EXPECT_EQ(b.Write("x", 1), 0);      // full
  EXPECT_EQ(peek(), "abcdefgh");

  char out[16] = {};
  EXPECT_EQ(b.Read(out, 3), 3);
  b.Remove(2);
  EXPECT_EQ(peek(), "fgh");
  EXPECT_EQ(b.Write("z", 1), 0);  // positions only return to 0 when all is read

  // Growing keeps the pending bytes at the front of the new block.
  b.SetBufSize(16);
  EXPECT_EQ(b.Write("ij", 2), 2);
  // Shrinking below the pending bytes keeps them all.
  b.SetBufSize(2);
  EXPECT_EQ(peek(), "fghij");

  b.Remove(100);  // more than pending: everything goes, positions reset
  EXPECT_EQ(peek(), "null 0");
  EXPECT_EQ(b.Read(out, 4), 0);
  EXPECT_EQ(b.WrCount(), 0);
  b.SetBufSize(0);  // no size: the default
  EXPECT_EQ(b.BufSize(), 1514);
}

TEST(WSocketErrors, NumbersAndTexts) {
  for (auto [e, text] : {std::pair{0, "No Error"}, {10061, "Connection refused"},
                         {10058, "Can't send after socket shutdown"}, {11004, "No Data"},
                         {10107, "Not a WinSock error"}, {12345, "Not a WinSock error"}})
    EXPECT_EQ(WSocketErrorDesc(e), text) << e;

  // Linux numbers differ from the BSD ones the socket numbers derive from.
  const std::pair<int, int> from_errno[] = {{EAGAIN, 10035},       {EINPROGRESS, 10036}, {ECONNREFUSED, 10061},
                                            {ECONNRESET, 10054},   {EPIPE, 10054},       {ENOTCONN, 10057},
                                            {ETIMEDOUT, 10060},    {EHOSTUNREACH, 10065}, {EADDRINUSE, 10048},
                                            {EDEADLK, 10107}};  // no socket number: must not alias one (it is 35)
  for (auto [e, wsa] : from_errno) EXPECT_EQ(WsaErrorFromErrno(e), wsa) << e;
  for (auto [e, wsa] : {std::pair{EAI_NONAME, 11001}, {EAI_AGAIN, 11001}, {EAI_NODATA, 11004}, {EAI_FAIL, 11003}})
    EXPECT_EQ(WsaErrorFromGai(e), wsa) << e;
  EXPECT_EQ(WsaErrorFromGai(EAI_SYSTEM, ECONNREFUSED), 10061);
}

TEST(WSocketNames, DottedAddresses) {
  for (const char* ok : {"127.0.0.1", "  10.0.0.255  ", "0.0.0.0"}) EXPECT_TRUE(WSocketIsDottedIP(ok)) << ok;
  for (const char* bad : {"1.2.3", "1.2.3.4.5", "1.2.3.256", "1..3.4", "1.2.3.4x", "1.2.3.4 5", "", "a.b.c.d"})
    EXPECT_FALSE(WSocketIsDottedIP(bad)) << bad;

  // Parts are decimal; the broadcast address is no error.
  for (auto [host, addr] : {std::pair{"127.0.0.1", INADDR_LOOPBACK}, {"010.0.0.1", 0x0A000001u},
                            {"255.255.255.255", INADDR_NONE}, {"localhost", INADDR_LOOPBACK}})
    EXPECT_EQ(WSocketResolveHost(host), htonl(addr)) << host;
  EXPECT_EQ(SocketThrown([] { WSocketResolveHost("1.2.3.999"); }), "WSocketResolveHost: '1.2.3.999' Invalid IP address.");
  EXPECT_EQ(SocketThrown([] { WSocketResolveHost(""); }), "WSocketResolveHost: '' Invalid Hostname.");
  EXPECT_THROW(WSocketResolveHost(std::string(257, 'a')), ESocketException);
  EXPECT_EQ(SocketThrown([] { WSocketResolveHost("no-such-host.invalid"); }),
            "WSocketResolveHost: Cannot convert host address 'no-such-host.invalid', Error #11001");
}

TEST(WSocketNames, PortsAndProtocols) {
  for (auto [port, value] : {std::pair{"25", 25}, {"smtp", 25}, {" smtp ", 25}, {"65535", 65535}})
    EXPECT_EQ(WSocketResolvePort(port, " tcp "), htons(value)) << port;
  // 70000 would wrap to another port.
  EXPECT_EQ(SocketThrown([] { WSocketResolvePort("70000", "tcp"); }), "WSocketResolvePort: Invalid Port.");
  EXPECT_EQ(SocketThrown([] { WSocketResolvePort("25", ""); }), "WSocketResolvePort: Invalid Proto.");
  EXPECT_EQ(SocketThrown([] { WSocketResolvePort("no-such-service", "tcp"); }),
            "WSocketResolvePort: Cannot convert port 'no-such-service', Error #11004");
  for (auto [proto, value] : {std::pair{"tcp", 6}, {" UDP ", 17}, {"raw", 255}, {"17", 17}, {"icmp", 1}})
    EXPECT_EQ(WSocketResolveProto(proto), value) << proto;
  EXPECT_EQ(SocketThrown([] { WSocketResolveProto("256"); }), "WSocketResolveProto: Invalid Protocol.");
  EXPECT_THROW(WSocketResolveProto(""), ESocketException);
  EXPECT_EQ(SocketThrown([] { WSocketResolveProto("bogus"); }),
            "WSocketResolveProto: Cannot convert protocol 'bogus', Error #11004");
  THostEntry he;
  int err = -1;
  EXPECT_TRUE(WSocketGetHostByName("localhost", he, &err));
  EXPECT_EQ(err, 0);
  ASSERT_FALSE(he.addresses.empty());
  EXPECT_EQ(he.addresses[0], htonl(INADDR_LOOPBACK));
  EXPECT_FALSE(WSocketGetHostByName("no-such-host.invalid", he, &err));
  EXPECT_EQ(err, 11001);
  EXPECT_THROW(WSocketGetHostByName(" ", he), ESocketException);
  EXPECT_THROW(WSocketGetHostByAddr("not.an.address", he), ESocketException);
  EXPECT_FALSE(WSocketResolveIp("127.0.0.1").empty());
  EXPECT_FALSE(LocalHostName().empty());
  EXPECT_GE(LocalIPList().IndexOf("127.0.0.1"), 0);
}

// ---------------------------------------------------------------------------

TEST_F(WSocketSession, DefaultsAndSettersOnlyWhileClosed) {
  TWSocket& s = sock;
  EXPECT_EQ(s.GetPeerAddr(), "error");
  EXPECT_EQ(s.GetXPort(), "error");
  EXPECT_EQ(SocketThrown([&] { s.SendStr("x"); }), "Error 10057 in function Send\r\nSocket is not connected");
  s.SetAddr("  127.0.0.1 ");
  EXPECT_EQ(s.Addr(), "127.0.0.1");
  s.SetLocalAddr("");
  EXPECT_EQ(s.LocalAddr(), "0.0.0.0");

  ASSERT_TRUE(Open());
  EXPECT_EQ(s.State(), wsConnected);
  EXPECT_EQ(s.GetPeerAddr(), "127.0.0.1");
  EXPECT_EQ(s.GetPeerPort(), listener.PortStr());
  EXPECT_EQ(s.GetXAddr(), "127.0.0.1");
  EXPECT_NE(s.GetXPort(), "error");

  EXPECT_EQ(SocketThrown([&] { s.SetPort("25"); }), "Cannot change Port if not closed");
  EXPECT_EQ(s.Port(), listener.PortStr());
  for (auto set : {&TWSocket::SetAddr, &TWSocket::SetProtoName, &TWSocket::SetLocalAddr, &TWSocket::SetLocalPort})
    EXPECT_THROW((s.*set)("1"), ESocketException);
  EXPECT_EQ(SocketThrown([&] { s.Connect(); }), "Connect: Socket already in use");
  EXPECT_EQ(s.Addr(), "127.0.0.1");

  // With OnError assigned nothing is thrown; the handler sees the text.
  int errors = 0;
  s.OnError = [&](TCustomWSocket*) { ++errors; };
  s.SetPort("26");
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(s.LastErrorText(), "Cannot change Port if not closed");
  EXPECT_EQ(s.Port(), listener.PortStr());

  s.Close();
  EXPECT_EQ(s.State(), wsClosed);
  EXPECT_EQ(s.SendStr("x"), -1);  // reported to OnError
  EXPECT_EQ(s.LastError(), 10057);
  EXPECT_EQ(errors, 2);
  s.OnError = nullptr;
  // After a close the properties are back at their defaults.
  EXPECT_EQ(s.Addr(), "");
  EXPECT_EQ(s.Port(), "");
  EXPECT_EQ(s.Proto(), "tcp");
  EXPECT_EQ(SocketThrown([&] { s.Connect(); }), "Connect: No Port Specified");
  s.SetPort("25");
  EXPECT_EQ(SocketThrown([&] { s.Connect(); }), "Connect: No IP Address Specified");
}

TEST_F(WSocketSession, ConnectSendReceiveAndEventOrder) {
  sock.SetAddr("127.0.0.1");
  sock.SetPort(listener.PortStr());
  sock.Connect();
  EXPECT_EQ(sock.State(), wsConnecting);
  EXPECT_EQ(rec.connected, 0);  // never from inside Connect
  peer = listener.Accept();
  ASSERT_GE(peer, 0);
  ASSERT_TRUE(Pump([&] { return rec.connected == 1 && rec.data_sent == 1; }));
  EXPECT_EQ(rec.connect_error, 0);
  // Opened, connecting, connected; then the write event after the connect.
  std::vector<std::string> want = {"state 8>1", "state 1>3", "state 3>5", "connected 0", "sent 0"};
  EXPECT_EQ(rec.log, want);

  EXPECT_EQ(sock.SendStr("HELO there\r\n"), 12);
  EXPECT_EQ(rec.data_sent, 1);  // the sent event comes from the loop
  EXPECT_EQ(ReadAtLeast(peer, 12), "HELO there\r\n");
  ASSERT_TRUE(Pump([&] { return rec.data_sent == 2; }));
  WriteAll(peer, "250 ok\r\n");
  ASSERT_TRUE(Pump([&] { return rec.received == "250 ok\r\n"; }));
  EXPECT_EQ(sock.ReadCount(), 8u);
}

TEST_F(WSocketSession, LargeSendThroughTinyBufferArrivesInOrderWithOneSentEvent) {
  SmallSendBuffer();
  int sends = 0;
  sock.OnSendData = [&](TCustomWSocket*, int n) {
    EXPECT_GT(n, 0);
    ++sends;
  };
  ASSERT_TRUE(Open());

  std::string data(3 * 1000 * 1000 + 17, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  rec.data_sent = 0;
  EXPECT_EQ(sock.SendStr(data), static_cast<int>(data.size()));
  EXPECT_FALSE(sock.AllSent());
  EXPECT_GT(sock.BufferedByteCount(), 0);
  // The peer reads in small pieces whenever something arrives.
  std::string got;
  ScopedWatch reader(peer, [&](bool, bool) { ReadSome(peer, got, 1500); });
  ASSERT_TRUE(Pump([&] { return got.size() == data.size() && rec.data_sent > 0; }, 10000))
      << got.size() << " " << rec.data_sent << " " << sock.BufferedByteCount();
  EXPECT_TRUE(got == data);
  PumpFor(50);
  EXPECT_EQ(rec.data_sent, 1);
  EXPECT_TRUE(sock.AllSent());
  EXPECT_EQ(sock.BufferedByteCount(), 0);
  EXPECT_GT(sends, 1);
}

TEST(WSocket, RefusedConnectIsAConnectEventWith10061) {
  TWSocket s;
  Recorder r;
  r.Attach(s);
  RefusingPort closed;
  s.SetAddr("127.0.0.1");
  s.SetPort(std::to_string(closed.port()));
  s.Connect();  // no exception
  EXPECT_EQ(r.connected, 0);
  ASSERT_TRUE(Pump([&] { return r.closed == 1; }));
  EXPECT_EQ(s.State(), wsClosed);
  PumpFor(50);
  // One connect event, before the close; no sent event.
  EXPECT_EQ(r.connected, 1);
  EXPECT_EQ(r.closed, 1);
  EXPECT_EQ(r.data_sent, 0);
  EXPECT_TRUE(r.Has("connected 10061"));
  EXPECT_EQ(r.log.back(), "closed 0");
}

TEST(WSocket, DnsLookupOfDottedAndUnknownNames) {
  TWSocket s;
  std::vector<int> done;
  s.OnDnsLookupDone = [&](TCustomWSocket*, int e) { done.push_back(e); };
  s.DnsLookup(" 127.000.0.1 ");
  EXPECT_EQ(done, std::vector<int>{0});  // at once, inside the call
  EXPECT_EQ(s.DnsResult(), "127.0.0.1");
  // A name is looked up from the loop; an unknown one leaves no result.
  for (auto [name, error, result] : {std::tuple{"localhost", 0, "127.0.0.1"}, {"no-such-host.invalid", 11001, ""}}) {
    done.clear();
    s.DnsLookup(name);
    EXPECT_TRUE(done.empty());
    ASSERT_TRUE(Pump([&] { return !done.empty(); }, 8000));
    EXPECT_EQ(done[0], error);
    EXPECT_EQ(s.DnsResult(), result);
  }

  // An empty name is an error and then a look-up event with 10022.
  done.clear();
  EXPECT_THROW(s.DnsLookup(" "), ESocketException);
  s.OnError = [](TCustomWSocket*) {};
  s.DnsLookup("");
  EXPECT_EQ(done, std::vector<int>{10022});

  // Cancelling a running look-up reports 10004 once; its result never comes.
  done.clear();
  s.DnsLookup("localhost");
  s.CancelDnsLookup();
  PumpFor(200);
  EXPECT_EQ(done, std::vector<int>{10004});

  done.clear();
  s.ReverseDnsLookup("127.0.0.1");
  ASSERT_TRUE(Pump([&] { return !done.empty(); }, 8000));
  EXPECT_EQ(done[0], 0);
  EXPECT_FALSE(s.DnsResult().empty());
}

TEST(WSocket, NoEventsReachADestroyedSocket) {
  bool any = false;
  {
    auto s = std::make_unique<TWSocket>();
    s->OnDnsLookupDone = [&](TCustomWSocket*, int) { any = true; };
    s->DnsLookup("localhost");
  }
  {
    auto c = std::make_unique<Connection>();
    ASSERT_TRUE(c->Open());
    c->sock.OnDataSent = [&](TCustomWSocket*, int) { any = true; };
    c->sock.OnSessionClosed = [&](TCustomWSocket*, int) { any = true; };
    c->sock.OnChangeState = [&](TCustomWSocket*, TSocketState, TSocketState) { any = true; };
    c->sock.SendStr("x");  // posts its write event
    c->sock.CloseDelayed();
  }
  PumpFor(300);
  EXPECT_FALSE(any);
}

// A peer's reset closes the socket once with 10054, whether or not data
// wait in the send queue (and without a SIGPIPE).
class WSocketReset : public WSocketSession, public ::testing::WithParamInterface<bool> {};

TEST_P(WSocketReset, ClosesWith10054Once) {
  const bool sending = GetParam();
  if (sending) SmallSendBuffer();
  ASSERT_TRUE(Open());
  if (sending) {
    SetSocketBuffer(peer, SO_RCVBUF, 4096);
    sock.SendStr(std::string(4 * 1000 * 1000, 'x'));
    EXPECT_FALSE(sock.AllSent());
  }
  peer.Reset();
  ASSERT_TRUE(Pump([&] { return rec.closed > 0; }));
  EXPECT_EQ(rec.close_error, 10054);
  EXPECT_EQ(sock.State(), wsClosed);
  EXPECT_EQ(sock.BufferedByteCount(), 0);
  PumpFor(50);
  EXPECT_EQ(rec.closed, 1);
}
INSTANTIATE_TEST_SUITE_P(IdleOrSending, WSocketReset, ::testing::Bool());

TEST_F(WSocketSession, PeerCloseDeliversEveryPendingByteBeforeTheClose) {
  // Reads a little per event, so the close must wait for the rest.
  sock.OnDataAvailable = [&](TCustomWSocket* s, int) {
    char buf[7];
    int n = s->Receive(buf, sizeof buf);
    if (n > 0) rec.received.append(buf, static_cast<std::size_t>(n));
    rec.log.push_back("data");
  };
  sock.SetComponentOptions({wsoNoReceiveLoop});
  ASSERT_TRUE(Open());
  std::string msg;
  for (int i = 0; i < 300; ++i) msg += "line " + std::to_string(i) + "\r\n";
  WriteAll(peer, msg);
  peer.Close();
  ASSERT_TRUE(Pump([&] { return rec.closed > 0; }));
  EXPECT_EQ(rec.received, msg);
  EXPECT_EQ(rec.close_error, 0);
  ASSERT_GE(rec.log.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(rec.log.end() - 3, rec.log.end()),
            (std::vector<std::string>{"data", "closed 0", "state 5>8"}));
  PumpFor(50);
  EXPECT_EQ(rec.closed, 1);
}

TEST_F(WSocketSession, CloseWithQueuedDataDiscardsTheQueue) {
  // Small kernel buffers on both ends: the loopback's own may grow far
  // enough (more so on a busy machine) to take all 4 MB at once.
  SmallSendBuffer();
  ASSERT_TRUE(Open());
  SetSocketBuffer(peer, SO_RCVBUF, 4096);
  sock.SendStr(std::string(4 * 1000 * 1000, 'q'));
  ASSERT_GT(sock.BufferedByteCount(), 0);
  sock.Close();
  EXPECT_EQ(sock.State(), wsClosed);
  EXPECT_EQ(rec.closed, 1);
  EXPECT_EQ(rec.close_error, 0);
  EXPECT_EQ(sock.BufferedByteCount(), 0);
  EXPECT_TRUE(sock.AllSent());
  PumpFor(50);
  EXPECT_EQ(rec.closed, 1);
  EXPECT_EQ(rec.data_sent, 1);  // only the one after the connect
  // The peer sees the end of the connection.
  EXPECT_NE(WaitForEnd(peer), -1);
}

// A handle closed behind the socket's back: the close completes (event,
// state, defaults) and then reports the failed release.
TEST(WSocket, CloseOfAHandleClosedElsewhereIsReported) {
  struct LosingSocket : TWSocket {
    // Swaps the handle for a number no descriptor can have; returns the real one.
    int LoseHandle() {
      rlimit rl{};
      getrlimit(RLIMIT_NOFILE, &rl);
      return std::exchange(fd_, static_cast<int>(std::min<rlim_t>(rl.rlim_cur, 1 << 20)) + 7);
    }
  };
  RawListener l;
  LosingSocket s;
  Recorder r;
  r.Attach(s);
  s.SetAddr("127.0.0.1");
  s.SetPort(l.PortStr());
  s.Connect();
  Fd peer = l.Accept();
  ASSERT_TRUE(Pump([&] { return r.connected == 1; }));
  Fd real(s.LoseHandle());
  EXPECT_EQ(SocketThrown([&] { s.Close(); }), "Error 10009 in function Disconnect (closesocket)\r\nBad file number");
  EXPECT_EQ(s.State(), wsClosed);
  EXPECT_EQ(s.HSocket(), kInvalidSocket);
  EXPECT_EQ(s.Addr(), "");
  EXPECT_EQ(r.closed, 1);
}

// An idle socket, and one whose handler reads nothing, get no events and
// do not spin the loop; a receive call selects the read event again.
TEST_F(WSocketSession, HandlerThatReadsNothingGetsNoMoreReadEventsUntilItReceives) {
  int events = 0;
  sock.OnDataAvailable = [&](TCustomWSocket*, int) { ++events; };
  ASSERT_TRUE(Open());
  std::size_t logged = rec.log.size();
  PumpFor(100);
  EXPECT_FALSE(MainLoop().ProcessEvents(0));
  EXPECT_EQ(rec.log.size(), logged);
  EXPECT_EQ(events, 0);
  WriteAll(peer, "abc");
  ASSERT_TRUE(Pump([&] { return events > 0; }));
  PumpFor(100);
  EXPECT_EQ(events, 1);
  EXPECT_FALSE(MainLoop().ProcessEvents(0));
  char c;
  EXPECT_EQ(sock.Receive(&c, 1), 1);
  ASSERT_TRUE(Pump([&] { return events == 2; }));
  PumpFor(50);
  EXPECT_EQ(events, 2);
}

// A handler that pauses gets no further event, not even from the pass that
// is running; Resume delivers what waits.
TEST_F(WSocketSession, PauseHoldsEventsAndResumeDeliversThem) {
  ASSERT_TRUE(Open());
  int events = 0;
  sock.OnDataAvailable = [&](TCustomWSocket* s, int) {
    ++events;
    char c;
    if (s->Receive(&c, 1) == 1) rec.received += c;
    s->Pause();
  };
  WriteAll(peer, "abc");
  ASSERT_TRUE(Pump([&] { return events > 0; }));
  PumpFor(50);
  EXPECT_EQ(events, 1);
  EXPECT_EQ(rec.received, "a");
  sock.Resume();
  ASSERT_TRUE(Pump([&] { return rec.received == "ab"; }));
}

TEST_F(WSocketSession, FlushWaitsUntilEverythingWentOutOrFlushTimeoutPassed) {
  ASSERT_TRUE(Open());
  {
    std::string got;
    ScopedWatch reader(peer, [&](bool, bool) { ReadSome(peer, got); });
    sock.SendStr(std::string(2 * 1000 * 1000, 'm'));
    EXPECT_TRUE(sock.Flush());
    EXPECT_TRUE(sock.AllSent());
  }
  // The peer no longer reads.
  sock.SetFlushTimeout(1);
  sock.SendStr(std::string(16 * 1000 * 1000, 'f'));
  uint32_t t0 = TickCount();
  EXPECT_FALSE(sock.Flush());
  uint32_t took = TickCount() - t0;
  EXPECT_GE(took, 900u);
  EXPECT_LT(took, 3000u);
  EXPECT_EQ(sock.State(), wsConnected);
  sock.Abort();
}

TEST(WSocket, ReleaseDestroysTheSocketFromTheLoop) {
  int before = TCustomWSocket::InstanceCount();
  auto* s = new TWSocket;
  EXPECT_EQ(TCustomWSocket::InstanceCount(), before + 1);
  s->Release();
  EXPECT_EQ(TCustomWSocket::InstanceCount(), before + 1);
  ASSERT_TRUE(Pump([&] { return TCustomWSocket::InstanceCount() == before; }));
}

TEST(WSocket, HandlerMayDestroyTheSocketInsideAnEvent) {
  RawListener l;
  auto* s = new TWSocket;
  bool up = false, deleted = false;
  s->OnSessionConnected = [&](TCustomWSocket*, int e) { up = e == 0; };
  s->OnSessionClosed = [&deleted](TCustomWSocket* sock, int) {
    deleted = true;  // before the delete: this closure goes with the socket
    delete sock;
  };
  s->SetAddr("127.0.0.1");
  s->SetPort(l.PortStr());
  s->Connect();
  Fd peer = l.Accept();
  ASSERT_GE(peer, 0);
  ASSERT_TRUE(Pump([&] { return up; }));
  peer.Close();
  ASSERT_TRUE(Pump([&] { return deleted; }));
  PumpFor(50);
}

TEST_F(WSocketSession, DelayedCloseShutdownAndTheTestMessage) {
  ASSERT_TRUE(Open());
  // After a shutdown of the sending side the peer sees the end of the
  // stream, and a later send is an error of its own.
  sock.Shutdown(1);
  EXPECT_EQ(WaitForEnd(peer), 0);
  EXPECT_EQ(SocketThrown([&] { sock.SendStr("late"); }),
            "Error 10058 in function TryToSend failed\r\nCan't send after socket shutdown");

  sock.CloseDelayed();
  EXPECT_EQ(sock.State(), wsConnected);
  ASSERT_TRUE(Pump([&] { return rec.closed == 1; }));

  // The test message raises inside the loop and reaches OnBgException.
  std::string seen;
  sock.OnBgException = [&](TCustomWSocket*, const std::exception& e, bool& can_close) {
    seen = e.what();
    can_close = false;
  };
  MainLoop().Post(sock.Target(), Message{kWmTriggerException, 0, 0});
  ASSERT_TRUE(Pump([&] { return !seen.empty(); }));
  EXPECT_EQ(seen, "Test exception in WSocket");
}

TEST_F(WSocketSession, ExceptionInAHandlerAbortsTheSocket) {
  ASSERT_TRUE(Open());
  std::string seen;
  sock.OnBgException = [&](TCustomWSocket*, const std::exception& e, bool& can_close) {
    seen = e.what();
    can_close = true;
  };
  sock.OnDataAvailable = [](TCustomWSocket*, int) { throw std::runtime_error("handler failed"); };
  WriteAll(peer, "boom");
  ASSERT_TRUE(Pump([&] { return sock.State() == wsClosed; }));
  EXPECT_EQ(seen, "handler failed");
  EXPECT_EQ(rec.closed, 1);
}

TEST_F(WSocketSession, DetachedSocketGetsNoEventsUntilAttachedAgain) {
  ASSERT_TRUE(Open());
  EXPECT_THROW(sock.ThreadAttach(), ESocketException);
  std::vector<int> looked_up;
  sock.OnDnsLookupDone = [&](TCustomWSocket*, int e) { looked_up.push_back(e); };
  sock.DnsLookup("localhost");
  sock.ThreadDetach();
  WriteAll(peer, "while away");
  // What is posted meanwhile waits: the sent event, the running look-up's end.
  const int sent = rec.data_sent;
  sock.SendStr("x");
  PumpFor(300);
  EXPECT_EQ(rec.received, "");
  EXPECT_EQ(rec.data_sent, sent);
  EXPECT_TRUE(looked_up.empty());
  sock.ThreadAttach();
  ASSERT_TRUE(Pump([&] { return rec.received == "while away" && rec.data_sent == sent + 1 && !looked_up.empty(); }));
  EXPECT_EQ(looked_up, std::vector<int>{0});
  // A detached socket starts no look-up.
  sock.ThreadDetach();
  EXPECT_EQ(SocketThrown([&] { sock.ReverseDnsLookup("127.0.0.1"); }), "ReverseDnsLookup: Window not assigned");
  sock.ThreadAttach();

  // Detaching from another thread is refused.
  std::string error;
  std::thread other([&] { error = SocketThrown([&] { sock.ThreadDetach(); }); });
  other.join();
  EXPECT_EQ(error, "Cannot detach from other thread");
}

TEST_F(WSocketSession, ReconnectFromTheClosedEventKeepsTheNewConnection) {
  ASSERT_TRUE(Open());
  bool again = false;
  sock.OnSessionClosed = [&](TCustomWSocket* s, int) {
    if (again) return;
    again = true;
    s->SetAddr("127.0.0.1");
    s->SetPort(listener.PortStr());
    s->Connect();
  };
  rec.connected = 0;
  sock.Close();
  // The new connection keeps its address and comes up.
  EXPECT_EQ(sock.Addr(), "127.0.0.1");
  EXPECT_EQ(sock.State(), wsConnecting);
  ASSERT_TRUE(Pump([&] { return rec.connected == 1; }));
  EXPECT_EQ(sock.State(), wsConnected);
  EXPECT_GE(listener.Accept(), 0);
}
