// The asynchronous socket: chunk buffer, error numbers, names, connect, send
// queue, receive loop, close paths and events, on 127.0.0.1 only.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/socket.h>

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

// Records every event of a socket as text.
struct Recorder {
  std::vector<std::string> log;
  std::string received;
  int data_sent = 0;
  int closed = 0;
  int connected = 0;
  int connect_error = -1;
  int close_error = -1;

  void Attach(TCustomWSocket& s, bool read_data = true) {
    s.OnSessionConnected = [this](TCustomWSocket*, int e) {
      ++connected;
      connect_error = e;
      log.push_back("connected " + std::to_string(e));
    };
    s.OnSessionClosed = [this](TCustomWSocket*, int e) {
      ++closed;
      close_error = e;
      log.push_back("closed " + std::to_string(e));
    };
    s.OnDataSent = [this](TCustomWSocket*, int e) {
      ++data_sent;
      log.push_back("sent " + std::to_string(e));
    };
    s.OnChangeState = [this](TCustomWSocket*, TSocketState o, TSocketState n) {
      log.push_back("state " + std::to_string(o) + ">" + std::to_string(n));
    };
    if (read_data) {
      s.OnDataAvailable = [this](TCustomWSocket* sock, int) {
        char buf[4096];
        int n = sock->Receive(buf, sizeof buf);
        if (n > 0) received.append(buf, static_cast<std::size_t>(n));
      };
    }
  }
  bool Has(const std::string& line) const {
    for (const auto& l : log)
      if (l == line) return true;
    return false;
  }
};

// Connects s to 127.0.0.1:port and waits for the connect event and the
// write event that follows it.
bool ConnectAndSettle(TCustomWSocket& s, Recorder& r, int port) {
  s.SetAddr("127.0.0.1");
  s.SetPort(std::to_string(port));
  s.Connect();
  return Pump([&] { return r.connected == 1 && r.data_sent == 1; });
}

}  // namespace

// ---------------------------------------------------------------------------

TEST(TBuffer, WriteReadPeekRemoveAndResize) {
  TBuffer zero(0), neg(-5);
  EXPECT_EQ(zero.BufSize(), 1514);
  EXPECT_EQ(neg.BufSize(), 1514);

  TBuffer b(8);
  EXPECT_EQ(b.Write("abcdef", 6), 6);
  EXPECT_EQ(b.Write("ghijk", 5), 2);  // only two bytes fit
  EXPECT_EQ(b.Write("x", 1), 0);      // full
  int len = -1;
  const char* p = b.Peek(len);
  ASSERT_EQ(len, 8);
  EXPECT_EQ(std::string(p, 8), "abcdefgh");

  char out[16] = {};
  EXPECT_EQ(b.Read(out, 3), 3);
  EXPECT_EQ(std::string(out, 3), "abc");
  b.Remove(2);
  p = b.Peek(len);
  EXPECT_EQ(std::string(p, static_cast<std::size_t>(len)), "fgh");
  EXPECT_EQ(b.Write("z", 1), 0);  // positions only return to 0 when all is read

  // Growing keeps the pending bytes at the front of the new block.
  b.SetBufSize(16);
  EXPECT_EQ(b.BufSize(), 16);
  p = b.Peek(len);
  EXPECT_EQ(std::string(p, static_cast<std::size_t>(len)), "fgh");
  EXPECT_EQ(b.Write("ij", 2), 2);
  // Shrinking below the pending bytes keeps them all.
  b.SetBufSize(2);
  p = b.Peek(len);
  EXPECT_EQ(std::string(p, static_cast<std::size_t>(len)), "fghij");

  b.Remove(100);  // more than pending: everything goes, positions reset
  p = b.Peek(len);
  EXPECT_EQ(len, 0);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(b.Read(out, 4), 0);
  EXPECT_EQ(b.WrCount(), 0);
  EXPECT_EQ(b.RdCount(), 0);

  b.SetBufSize(0);
  EXPECT_EQ(b.BufSize(), 1514);
}

TEST(WSocketErrors, NumbersAndTexts) {
  EXPECT_EQ(WSocketErrorDesc(0), "No Error");
  EXPECT_EQ(WSocketErrorDesc(10061), "Connection refused");
  EXPECT_EQ(WSocketErrorDesc(10058), "Can't send after socket shutdown");
  EXPECT_EQ(WSocketErrorDesc(11001), "Host not found");
  EXPECT_EQ(WSocketErrorDesc(11004), "No Data");
  EXPECT_EQ(WSocketErrorDesc(10107), "Not a WinSock error");
  EXPECT_EQ(WSocketErrorDesc(12345), "Not a WinSock error");

  // Linux numbers differ from the BSD ones the socket numbers derive from.
  EXPECT_EQ(WsaErrorFromErrno(EAGAIN), 10035);
  EXPECT_EQ(WsaErrorFromErrno(EINPROGRESS), 10036);
  EXPECT_EQ(WsaErrorFromErrno(ECONNREFUSED), 10061);
  EXPECT_EQ(WsaErrorFromErrno(ECONNRESET), 10054);
  EXPECT_EQ(WsaErrorFromErrno(EPIPE), 10054);
  EXPECT_EQ(WsaErrorFromErrno(ENOTCONN), 10057);
  EXPECT_EQ(WsaErrorFromErrno(ETIMEDOUT), 10060);
  EXPECT_EQ(WsaErrorFromErrno(EHOSTUNREACH), 10065);
  EXPECT_EQ(WsaErrorFromErrno(EADDRINUSE), 10048);
  // An errno without a socket number must not alias one (EDEADLK is 35).
  EXPECT_EQ(WsaErrorFromErrno(EDEADLK), 10107);
  EXPECT_EQ(WsaErrorFromGai(EAI_NONAME), 11001);
  EXPECT_EQ(WsaErrorFromGai(EAI_AGAIN), 11001);
  EXPECT_EQ(WsaErrorFromGai(EAI_NODATA), 11004);
  EXPECT_EQ(WsaErrorFromGai(EAI_FAIL), 11003);
  EXPECT_EQ(WsaErrorFromGai(EAI_SYSTEM, ECONNREFUSED), 10061);
}

TEST(WSocketNames, DottedAddresses) {
  EXPECT_TRUE(WSocketIsDottedIP("127.0.0.1"));
  EXPECT_TRUE(WSocketIsDottedIP("  10.0.0.255  "));
  EXPECT_TRUE(WSocketIsDottedIP("0.0.0.0"));
  EXPECT_FALSE(WSocketIsDottedIP("1.2.3"));
  EXPECT_FALSE(WSocketIsDottedIP("1.2.3.4.5"));
  EXPECT_FALSE(WSocketIsDottedIP("1.2.3.256"));
  EXPECT_FALSE(WSocketIsDottedIP("1..3.4"));
  EXPECT_FALSE(WSocketIsDottedIP("1.2.3.4x"));
  EXPECT_FALSE(WSocketIsDottedIP("1.2.3.4 5"));
  EXPECT_FALSE(WSocketIsDottedIP(""));
  EXPECT_FALSE(WSocketIsDottedIP("a.b.c.d"));

  EXPECT_EQ(WSocketResolveHost("127.0.0.1"), htonl(INADDR_LOOPBACK));
  EXPECT_EQ(WSocketResolveHost("010.0.0.1"), htonl(0x0A000001));  // decimal parts
  EXPECT_EQ(WSocketResolveHost("255.255.255.255"), INADDR_NONE);
  EXPECT_EQ(WSocketResolveHost("localhost"), htonl(INADDR_LOOPBACK));
  try {
    WSocketResolveHost("1.2.3.999");
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "WSocketResolveHost: '1.2.3.999' Invalid IP address.");
  }
  try {
    WSocketResolveHost("");
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "WSocketResolveHost: '' Invalid Hostname.");
  }
  EXPECT_THROW(WSocketResolveHost(std::string(257, 'a')), ESocketException);
  try {
    WSocketResolveHost("no-such-host.invalid");
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "WSocketResolveHost: Cannot convert host address 'no-such-host.invalid', Error #11001");
  }
}

TEST(WSocketNames, PortsAndProtocols) {
  EXPECT_EQ(WSocketResolvePort("25", "tcp"), htons(25));
  EXPECT_EQ(WSocketResolvePort("smtp", "tcp"), htons(25));
  EXPECT_EQ(WSocketResolvePort(" smtp ", " tcp "), htons(25));
  EXPECT_EQ(WSocketResolvePort("65535", "tcp"), htons(65535));
  try {
    WSocketResolvePort("70000", "tcp");  // would wrap to another port
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "WSocketResolvePort: Invalid Port.");
  }
  try {
    WSocketResolvePort("25", "");
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "WSocketResolvePort: Invalid Proto.");
  }
  try {
    WSocketResolvePort("no-such-service", "tcp");
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "WSocketResolvePort: Cannot convert port 'no-such-service', Error #11004");
  }
  EXPECT_EQ(WSocketResolveProto("tcp"), 6);
  EXPECT_EQ(WSocketResolveProto(" UDP "), 17);
  EXPECT_EQ(WSocketResolveProto("raw"), 255);
  EXPECT_EQ(WSocketResolveProto("17"), 17);
  EXPECT_EQ(WSocketResolveProto("icmp"), 1);
  EXPECT_THROW(WSocketResolveProto(""), ESocketException);
  try {
    WSocketResolveProto("bogus");
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "WSocketResolveProto: Cannot convert protocol 'bogus', Error #11004");
  }
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

TEST(WSocket, DefaultsAndSettersOnlyWhileClosed) {
  TWSocket s;
  EXPECT_EQ(s.State(), wsClosed);
  EXPECT_EQ(s.Proto(), "tcp");
  EXPECT_EQ(s.LocalAddr(), "0.0.0.0");
  EXPECT_EQ(s.LocalPort(), "0");
  EXPECT_EQ(s.LingerOnOff(), wsLingerOn);
  EXPECT_EQ(s.LingerTimeout(), 0);
  EXPECT_EQ(s.FlushTimeout(), 60);
  EXPECT_EQ(s.BufSize(), 1460);
  EXPECT_EQ(s.ListenBacklog(), 5);
  EXPECT_EQ(s.MultiCastIpTTL(), 1);
  EXPECT_EQ(s.HSocket(), kInvalidSocket);
  EXPECT_EQ(s.GetPeerAddr(), "error");
  EXPECT_EQ(s.GetXPort(), "error");
  s.SetAddr("  127.0.0.1 ");
  EXPECT_EQ(s.Addr(), "127.0.0.1");
  s.SetLocalAddr("");
  EXPECT_EQ(s.LocalAddr(), "0.0.0.0");

  RawListener l;
  Recorder r;
  r.Attach(s);
  ASSERT_TRUE(ConnectAndSettle(s, r, l.port()));
  EXPECT_EQ(s.State(), wsConnected);
  EXPECT_EQ(s.GetPeerAddr(), "127.0.0.1");
  EXPECT_EQ(s.GetPeerPort(), l.PortStr());
  EXPECT_EQ(s.GetXAddr(), "127.0.0.1");
  EXPECT_NE(s.GetXPort(), "error");

  try {
    s.SetPort("25");
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "Cannot change Port if not closed");
  }
  EXPECT_EQ(s.Port(), l.PortStr());
  EXPECT_THROW(s.SetAddr("10.0.0.1"), ESocketException);
  EXPECT_THROW(s.SetProtoName("udp"), ESocketException);
  EXPECT_THROW(s.SetLocalAddr("127.0.0.1"), ESocketException);
  EXPECT_THROW(s.SetLocalPort("1"), ESocketException);
  try {
    s.Connect();
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "Connect: Socket already in use");
  }
  EXPECT_EQ(s.Addr(), "127.0.0.1");

  // With OnError assigned nothing is thrown; the handler sees the text.
  int errors = 0;
  s.OnError = [&](TCustomWSocket*) { ++errors; };
  s.SetPort("26");
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(s.LastErrorText(), "Cannot change Port if not closed");
  EXPECT_EQ(s.Port(), l.PortStr());
  s.OnError = nullptr;

  s.Close();
  EXPECT_EQ(s.State(), wsClosed);
  // After a close the properties are back at their defaults.
  EXPECT_EQ(s.Addr(), "");
  EXPECT_EQ(s.Port(), "");
  EXPECT_EQ(s.Proto(), "tcp");
  try {
    s.Connect();
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "Connect: No Port Specified");
  }
  s.SetPort("25");
  try {
    s.Connect();
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "Connect: No IP Address Specified");
  }
}

TEST(WSocket, ConnectSendReceiveAndEventOrder) {
  RawListener l;
  TWSocket s;
  Recorder r;
  r.Attach(s);
  s.SetAddr("127.0.0.1");
  s.SetPort(l.PortStr());
  s.Connect();
  EXPECT_EQ(s.State(), wsConnecting);
  EXPECT_EQ(r.connected, 0);  // never from inside Connect
  int peer = l.Accept();
  ASSERT_GE(peer, 0);
  ASSERT_TRUE(Pump([&] { return r.connected == 1 && r.data_sent == 1; }));
  EXPECT_EQ(r.connect_error, 0);
  // Opened, connecting, connected; then the write event after the connect.
  std::vector<std::string> want = {"state 8>1", "state 1>3", "state 3>5", "connected 0", "sent 0"};
  EXPECT_EQ(r.log, want);

  EXPECT_EQ(s.SendStr("HELO there\r\n"), 12);
  EXPECT_EQ(r.data_sent, 1);  // the sent event comes from the loop
  std::string got;
  ASSERT_TRUE(Pump([&] {
    ReadSome(peer, got);
    return got == "HELO there\r\n" && r.data_sent == 2;
  }));
  WriteAll(peer, "250 ok\r\n");
  ASSERT_TRUE(Pump([&] { return r.received == "250 ok\r\n"; }));
  EXPECT_EQ(s.ReadCount(), 8u);
  ::close(peer);
  ASSERT_TRUE(Pump([&] { return r.closed == 1; }));
  EXPECT_EQ(r.close_error, 0);
  EXPECT_EQ(s.State(), wsClosed);
  PumpFor(50);
  EXPECT_EQ(r.closed, 1);
}

TEST(WSocket, LargeSendThroughTinyBufferArrivesInOrderWithOneSentEvent) {
  RawListener l;
  TWSocket s;
  Recorder r;
  r.Attach(s);
  s.OnChangeState = [&](TCustomWSocket* sock, TSocketState, TSocketState n) {
    if (n == wsOpened) {
      int small = 4096;
      setsockopt(sock->HSocket(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    }
  };
  int sends = 0;
  s.OnSendData = [&](TCustomWSocket*, int n) {
    EXPECT_GT(n, 0);
    ++sends;
  };
  ASSERT_TRUE(ConnectAndSettle(s, r, l.port()));
  int peer = l.Accept();
  ASSERT_GE(peer, 0);

  std::string data(3 * 1000 * 1000 + 17, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  r.data_sent = 0;
  EXPECT_EQ(s.Send(data.data(), static_cast<int>(data.size())), static_cast<int>(data.size()));
  EXPECT_FALSE(s.AllSent());
  EXPECT_GT(s.BufferedByteCount(), 0);
  // The peer reads in small pieces whenever something arrives.
  std::string got;
  ScopedWatch reader(peer, [&](bool, bool) { ReadSome(peer, got, 1500); });
  ASSERT_TRUE(Pump([&] { return got.size() == data.size() && r.data_sent > 0; }, 10000))
      << got.size() << " " << r.data_sent << " " << s.BufferedByteCount();
  EXPECT_TRUE(got == data);
  PumpFor(50);
  EXPECT_EQ(r.data_sent, 1);
  EXPECT_TRUE(s.AllSent());
  EXPECT_EQ(s.BufferedByteCount(), 0);
  EXPECT_GT(sends, 1);
  ::close(peer);
}

TEST(WSocket, RefusedConnectIsAConnectEventWith10061) {
  TWSocket s;
  Recorder r;
  r.Attach(s);
  s.SetAddr("127.0.0.1");
  s.SetPort(std::to_string(FreePort()));
  s.Connect();  // no exception
  EXPECT_EQ(r.connected, 0);
  ASSERT_TRUE(Pump([&] { return r.closed == 1; }));
  EXPECT_EQ(r.connected, 1);
  EXPECT_EQ(r.connect_error, 10061);
  EXPECT_EQ(s.State(), wsClosed);
  PumpFor(50);
  EXPECT_EQ(r.connected, 1);
  EXPECT_EQ(r.closed, 1);
  EXPECT_EQ(r.data_sent, 0);
  // The connect event comes before the close.
  EXPECT_TRUE(r.Has("connected 10061"));
  EXPECT_EQ(r.log.back(), "closed 0");
}

TEST(WSocket, DnsLookupOfDottedAndUnknownNames) {
  TWSocket s;
  std::vector<int> done;
  s.OnDnsLookupDone = [&](TCustomWSocket*, int e) { done.push_back(e); };
  s.DnsLookup(" 127.000.0.1 ");
  ASSERT_EQ(done.size(), 1u);  // at once, inside the call
  EXPECT_EQ(done[0], 0);
  EXPECT_EQ(s.DnsResult(), "127.0.0.1");
  EXPECT_EQ(s.DnsResultList().Count(), 1);

  done.clear();
  s.DnsLookup("localhost");
  EXPECT_TRUE(done.empty());  // from the loop
  ASSERT_TRUE(Pump([&] { return !done.empty(); }));
  EXPECT_EQ(done[0], 0);
  EXPECT_EQ(s.DnsResult(), "127.0.0.1");

  done.clear();
  s.DnsLookup("no-such-host.invalid");
  ASSERT_TRUE(Pump([&] { return !done.empty(); }, 8000));
  EXPECT_EQ(done[0], 11001);
  EXPECT_EQ(s.DnsResult(), "");
  EXPECT_EQ(s.DnsResultList().Count(), 0);

  // An empty name is an error and then a look-up event with 10022.
  done.clear();
  EXPECT_THROW(s.DnsLookup(" "), ESocketException);
  s.OnError = [](TCustomWSocket*) {};
  s.DnsLookup("");
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0], 10022);

  // Cancelling a running look-up reports 10004 once; its result never comes.
  done.clear();
  s.DnsLookup("localhost");
  s.CancelDnsLookup();
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0], 10004);
  PumpFor(200);
  EXPECT_EQ(done.size(), 1u);

  done.clear();
  s.ReverseDnsLookup("127.0.0.1");
  ASSERT_TRUE(Pump([&] { return !done.empty(); }, 8000));
  EXPECT_EQ(done[0], 0);
  EXPECT_FALSE(s.DnsResult().empty());
}

TEST(WSocket, ConnectToUnresolvableNameReportsHostNotFound) {
  TWSocket s;
  s.SetAddr("no-such-host.invalid");
  s.SetPort("25");
  try {
    s.Connect();
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "WSocketResolveHost: Cannot convert host address 'no-such-host.invalid', Error #11001");
  }
  EXPECT_EQ(s.State(), wsClosed);
  EXPECT_EQ(s.HSocket(), kInvalidSocket);
}

TEST(WSocket, NoEventsReachADestroyedSocket) {
  bool any = false;
  {
    auto s = std::make_unique<TWSocket>();
    s->OnDnsLookupDone = [&](TCustomWSocket*, int) { any = true; };
    s->DnsLookup("localhost");
  }
  RawListener l;
  {
    auto s = std::make_unique<TWSocket>();
    Recorder r;
    r.Attach(*s);
    ASSERT_TRUE(ConnectAndSettle(*s, r, l.port()));
    s->OnDataSent = [&](TCustomWSocket*, int) { any = true; };
    s->OnSessionClosed = [&](TCustomWSocket*, int) { any = true; };
    s->OnChangeState = [&](TCustomWSocket*, TSocketState, TSocketState) { any = true; };
    s->SendStr("x");  // posts its write event
    s->CloseDelayed();
  }
  PumpFor(300);
  EXPECT_FALSE(any);
}

TEST(WSocket, IdleSocketGetsNoEventsAndDoesNotSpinTheLoop) {
  RawListener l;
  TWSocket s;
  Recorder r;
  r.Attach(s);
  int data_events = 0;
  s.OnDataAvailable = [&](TCustomWSocket*, int) { ++data_events; };
  ASSERT_TRUE(ConnectAndSettle(s, r, l.port()));
  int peer = l.Accept();
  ASSERT_GE(peer, 0);
  std::size_t events = r.log.size();
  PumpFor(100);
  // Nothing is ready: a pass of the loop dispatches nothing.
  EXPECT_FALSE(MainLoop().ProcessEvents(0));
  EXPECT_EQ(r.log.size(), events);
  EXPECT_EQ(data_events, 0);
  ::close(peer);
}

TEST(WSocket, ResetPeerClosesWith10054Once) {
  RawListener l;
  TWSocket s;
  Recorder r;
  r.Attach(s);
  ASSERT_TRUE(ConnectAndSettle(s, r, l.port()));
  int peer = l.Accept();
  ASSERT_GE(peer, 0);
  CloseWithReset(peer);
  ASSERT_TRUE(Pump([&] { return r.closed > 0; }));
  EXPECT_EQ(r.close_error, 10054);
  EXPECT_EQ(s.State(), wsClosed);
  PumpFor(50);
  EXPECT_EQ(r.closed, 1);
}

TEST(WSocket, ResetWhileSendingClosesWith10054WithoutSigpipe) {
  RawListener l;
  TWSocket s;
  Recorder r;
  r.Attach(s);
  // Small kernel buffers on both ends, so the data cannot all leave at once
  // however the loopback buffers are tuned.
  s.OnChangeState = [&](TCustomWSocket* sock, TSocketState, TSocketState n) {
    if (n == wsOpened) {
      int small = 4096;
      setsockopt(sock->HSocket(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    }
  };
  ASSERT_TRUE(ConnectAndSettle(s, r, l.port()));
  int peer = l.Accept();
  ASSERT_GE(peer, 0);
  int small = 4096;
  setsockopt(peer, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  std::string big(4 * 1000 * 1000, 'x');
  s.Send(big.data(), static_cast<int>(big.size()));
  EXPECT_FALSE(s.AllSent());
  CloseWithReset(peer);
  ASSERT_TRUE(Pump([&] { return r.closed > 0; }));
  EXPECT_EQ(r.close_error, 10054);
  EXPECT_EQ(s.State(), wsClosed);
  EXPECT_EQ(s.BufferedByteCount(), 0);
  PumpFor(50);
  EXPECT_EQ(r.closed, 1);
}

TEST(WSocket, PeerCloseDeliversEveryPendingByteBeforeTheClose) {
  RawListener l;
  TWSocket s;
  Recorder r;
  r.Attach(s);
  // Reads a little per event, so the close must wait for the rest.
  s.OnDataAvailable = [&](TCustomWSocket* sock, int) {
    char buf[7];
    int n = sock->Receive(buf, sizeof buf);
    if (n > 0) r.received.append(buf, static_cast<std::size_t>(n));
    r.log.push_back("data");
  };
  s.SetComponentOptions({wsoNoReceiveLoop});
  ASSERT_TRUE(ConnectAndSettle(s, r, l.port()));
  int peer = l.Accept();
  ASSERT_GE(peer, 0);
  std::string msg;
  for (int i = 0; i < 300; ++i) msg += "line " + std::to_string(i) + "\r\n";
  WriteAll(peer, msg);
  ::close(peer);
  ASSERT_TRUE(Pump([&] { return r.closed > 0; }));
  EXPECT_EQ(r.received, msg);
  EXPECT_EQ(r.close_error, 0);
  ASSERT_GE(r.log.size(), 3u);
  EXPECT_EQ(r.log[r.log.size() - 3], "data");
  EXPECT_EQ(r.log[r.log.size() - 2], "closed 0");
  EXPECT_EQ(r.log.back(), "state 5>8");
  PumpFor(50);
  EXPECT_EQ(r.closed, 1);
}

TEST(WSocket, CloseWithQueuedDataDiscardsTheQueue) {
  RawListener l;
  TWSocket s;
  Recorder r;
  r.Attach(s);
  ASSERT_TRUE(ConnectAndSettle(s, r, l.port()));
  int peer = l.Accept();
  ASSERT_GE(peer, 0);
  std::string big(4 * 1000 * 1000, 'q');
  s.Send(big.data(), static_cast<int>(big.size()));
  ASSERT_GT(s.BufferedByteCount(), 0);
  s.Close();
  EXPECT_EQ(s.State(), wsClosed);
  EXPECT_EQ(r.closed, 1);
  EXPECT_EQ(r.close_error, 0);
  EXPECT_EQ(s.BufferedByteCount(), 0);
  EXPECT_TRUE(s.AllSent());
  PumpFor(50);
  EXPECT_EQ(r.closed, 1);
  EXPECT_EQ(r.data_sent, 1);  // only the one after the connect
  // The peer sees the end of the connection.
  std::string got;
  EXPECT_TRUE(Pump([&] {
    int n = ReadSome(peer, got);
    return n == 0 || (n < 0 && errno != EAGAIN);
  }));
  ::close(peer);
}

TEST(WSocket, SendOnAClosedSocketReports10057) {
  TWSocket s;
  try {
    s.SendStr("x");
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_EQ(std::string(e.what()), "Error 10057 in function Send\r\nSocket is not connected");
  }
  s.OnError = [](TCustomWSocket*) {};
  EXPECT_EQ(s.SendStr("x"), -1);
  EXPECT_EQ(s.LastError(), 10057);
}

TEST(WSocket, HandlerThatReadsNothingGetsNoMoreReadEventsUntilItReceives) {
  RawListener l;
  TWSocket s;
  Recorder r;
  r.Attach(s);
  int events = 0;
  s.OnDataAvailable = [&](TCustomWSocket*, int) { ++events; };
  ASSERT_TRUE(ConnectAndSettle(s, r, l.port()));
  int peer = l.Accept();
  ASSERT_GE(peer, 0);
  WriteAll(peer, "abc");
  ASSERT_TRUE(Pump([&] { return events > 0; }));
  PumpFor(100);
  EXPECT_EQ(events, 1);
  EXPECT_FALSE(MainLoop().ProcessEvents(0));
  // A receive call selects the read event again.
  char c;
  EXPECT_EQ(s.Receive(&c, 1), 1);
  ASSERT_TRUE(Pump([&] { return events == 2; }));
  PumpFor(50);
  EXPECT_EQ(events, 2);
  ::close(peer);
}

TEST(WSocket, PauseHoldsEventsAndResumeDeliversThem) {
  RawListener l;
  TWSocket s;
  Recorder r;
  r.Attach(s);
  ASSERT_TRUE(ConnectAndSettle(s, r, l.port()));
  int peer = l.Accept();
  ASSERT_GE(peer, 0);
  s.Pause();
  WriteAll(peer, "held");
  PumpFor(100);
  EXPECT_EQ(r.received, "");
  s.Resume();
  ASSERT_TRUE(Pump([&] { return r.received == "held"; }));
  ::close(peer);
}

TEST(WSocket, FlushWaitsForTheQueueAndHonoursFlushTimeout) {
  RawListener l;
  TWSocket s;
  Recorder r;
  r.Attach(s);
  ASSERT_TRUE(ConnectAndSettle(s, r, l.port()));
  int peer = l.Accept();
  ASSERT_GE(peer, 0);
  // A peer that never reads: Flush gives up after FlushTimeout seconds.
  s.SetFlushTimeout(1);
  std::string big(16 * 1000 * 1000, 'f');
  s.Send(big.data(), static_cast<int>(big.size()));
  uint32_t t0 = TickCount();
  EXPECT_FALSE(s.Flush());
  uint32_t took = TickCount() - t0;
  EXPECT_GE(took, 900u);
  EXPECT_LT(took, 3000u);
  EXPECT_EQ(s.State(), wsConnected);
  s.Abort();
  ::close(peer);

  // A reading peer: Flush returns once everything went out.
  RawListener l2;
  TWSocket t;
  Recorder r2;
  r2.Attach(t);
  ASSERT_TRUE(ConnectAndSettle(t, r2, l2.port()));
  int peer2 = l2.Accept();
  ASSERT_GE(peer2, 0);
  std::string got;
  ScopedWatch reader(peer2, [&](bool, bool) { ReadSome(peer2, got); });
  std::string mid(2 * 1000 * 1000, 'm');
  t.Send(mid.data(), static_cast<int>(mid.size()));
  EXPECT_TRUE(t.Flush());
  EXPECT_TRUE(t.AllSent());
  ASSERT_TRUE(Pump([&] { return got.size() == mid.size(); }));
  ::close(peer2);
}

TEST(WSocket, ExceptionInAHandlerAbortsTheSocket) {
  RawListener l;
  TWSocket s;
  Recorder r;
  r.Attach(s);
  ASSERT_TRUE(ConnectAndSettle(s, r, l.port()));
  int peer = l.Accept();
  ASSERT_GE(peer, 0);
  std::string seen;
  s.OnBgException = [&](TCustomWSocket*, const std::exception& e, bool& can_close) {
    seen = e.what();
    can_close = true;
  };
  s.OnDataAvailable = [](TCustomWSocket*, int) { throw std::runtime_error("handler failed"); };
  WriteAll(peer, "boom");
  ASSERT_TRUE(Pump([&] { return s.State() == wsClosed; }));
  EXPECT_EQ(seen, "handler failed");
  EXPECT_EQ(r.closed, 1);
  ::close(peer);
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
  Recorder r;
  r.Attach(*s);
  ASSERT_TRUE(ConnectAndSettle(*s, r, l.port()));
  int peer = l.Accept();
  ASSERT_GE(peer, 0);
  bool deleted = false;
  s->OnSessionClosed = [&deleted](TCustomWSocket* sock, int) {
    deleted = true;  // before the delete: this closure goes with the socket
    delete sock;
  };
  ::close(peer);
  ASSERT_TRUE(Pump([&] { return deleted; }));
  PumpFor(50);
}

TEST(WSocket, DelayedCloseShutdownAndTheTestMessage) {
  RawListener l;
  TWSocket s;
  Recorder r;
  r.Attach(s);
  ASSERT_TRUE(ConnectAndSettle(s, r, l.port()));
  int peer = l.Accept();
  ASSERT_GE(peer, 0);

  // After a shutdown of the sending side the peer sees the end of the
  // stream, and a later send is an error of its own.
  s.Shutdown(1);
  std::string got;
  ASSERT_TRUE(Pump([&] { return ReadSome(peer, got) == 0; }));
  try {
    s.SendStr("late");
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_EQ(std::string(e.what()), "Error 10058 in function TryToSend failed\r\nCan't send after socket shutdown");
  }

  s.CloseDelayed();
  EXPECT_EQ(s.State(), wsConnected);
  ASSERT_TRUE(Pump([&] { return s.State() == wsClosed; }));
  EXPECT_EQ(r.closed, 1);

  // The test message raises inside the loop and reaches OnBgException.
  std::string seen;
  s.OnBgException = [&](TCustomWSocket*, const std::exception& e, bool& can_close) {
    seen = e.what();
    can_close = false;
  };
  MainLoop().Post(s.Target(), Message{kWmTriggerException, 0, 0});
  ASSERT_TRUE(Pump([&] { return !seen.empty(); }));
  EXPECT_EQ(seen, "Test exception in WSocket");
  ::close(peer);
}

TEST(WSocket, DetachedSocketGetsNoEventsUntilAttachedAgain) {
  RawListener l;
  TWSocket s;
  Recorder r;
  r.Attach(s);
  ASSERT_TRUE(ConnectAndSettle(s, r, l.port()));
  int peer = l.Accept();
  ASSERT_GE(peer, 0);
  EXPECT_THROW(s.ThreadAttach(), ESocketException);
  s.ThreadDetach();
  WriteAll(peer, "while away");
  PumpFor(50);
  EXPECT_EQ(r.received, "");
  s.ThreadAttach();
  ASSERT_TRUE(Pump([&] { return r.received == "while away"; }));

  // Detaching from another thread is refused.
  std::string error;
  std::thread other([&] {
    try {
      s.ThreadDetach();
    } catch (const ESocketException& e) {
      error = e.what();
    }
  });
  other.join();
  EXPECT_EQ(error, "Cannot detach from other thread");
  ::close(peer);
}

TEST(WSocket, ReconnectFromTheClosedEventKeepsTheNewConnection) {
  RawListener l;
  TWSocket s;
  Recorder r;
  r.Attach(s);
  ASSERT_TRUE(ConnectAndSettle(s, r, l.port()));
  int peer = l.Accept();
  ASSERT_GE(peer, 0);
  bool again = false;
  s.OnSessionClosed = [&](TCustomWSocket* sock, int) {
    if (again) return;
    again = true;
    sock->SetAddr("127.0.0.1");
    sock->SetPort(l.PortStr());
    sock->Connect();
  };
  r.connected = 0;
  s.Close();
  // The new connection keeps its address and comes up.
  EXPECT_EQ(s.Addr(), "127.0.0.1");
  EXPECT_EQ(s.State(), wsConnecting);
  ASSERT_TRUE(Pump([&] { return r.connected == 1; }));
  EXPECT_EQ(s.State(), wsConnected);
  int peer2 = l.Accept();
  EXPECT_GE(peer2, 0);
  ::close(peer);
  ::close(peer2);
}
