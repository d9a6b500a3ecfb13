// The SOCKS client layer against real SOCKS servers on 127.0.0.1 (microsocks
// for level 5, dante for level 4) and against a scripted server.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "mail/wsocket.h"
#include "mail/wsocket_test_util.h"

using namespace tav;
using namespace tav::test;

namespace {

// A SOCKS server started for one test: true once 127.0.0.1:port accepts.
bool StartDaemon(std::unique_ptr<ChildProcess>& d, const std::vector<std::string>& args, int port) {
  d = std::make_unique<ChildProcess>(args);
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (d->Running() && std::chrono::steady_clock::now() < until) {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

constexpr const char* kMicrosocks = "/usr/bin/microsocks";
constexpr const char* kDanted = "/usr/sbin/danted";

using Daemon = std::unique_ptr<ChildProcess>;

bool StartMicrosocks(Daemon& d, int port, const std::string& user = "", const std::string& pass = "") {
  std::vector<std::string> args = {kMicrosocks, "-i", "127.0.0.1", "-p", std::to_string(port)};
  if (!user.empty()) args.insert(args.end(), {"-u", user, "-P", pass});
  return StartDaemon(d, args, port);
}

bool StartDante(Daemon& d, const TempDir& tmp, int port) {
  const auto& dir = tmp.path();
  std::ofstream conf(dir / "danted.conf");
  conf << "logoutput: " << (dir / "danted.log").string() << "\n"
       << "internal: 127.0.0.1 port = " << port << "\n"
       << "external: 127.0.0.1\n"
       << "socksmethod: none\n"
       << "clientmethod: none\n"
       << "user.privileged: root\n"
       << "user.unprivileged: nobody\n"
       << "client pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n}\n"
       << "socks pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n  protocol: tcp\n}\n";
  conf.close();
  return StartDaemon(d, {kDanted, "-f", (dir / "danted.conf").string(), "-p", (dir / "danted.pid").string()}, port);
}

// A client socket with every SOCKS and session event recorded.
struct SocksClient : Recorder {
  TWSocket sock;

  SocksClient() {
    Attach(sock);
    AttachSocks(sock);
  }
  // Connects to addr:port through the SOCKS server; with a user code it
  // authenticates with it and the password.
  void Connect(int socks_port, const std::string& level, const std::string& addr, int port,
               const std::string& user = "", const std::string& pass = "") {
    if (!user.empty()) {
      sock.SetSocksAuthentication(socksAuthenticateUsercode);
      sock.SetSocksUsercode(user);
      sock.SetSocksPassword(pass);
    }
    sock.SetSocksServer("127.0.0.1");
    sock.SetSocksPort(std::to_string(socks_port));
    sock.SetSocksLevel(level);
    sock.SetAddr(addr);
    sock.SetPort(std::to_string(port));
    sock.Connect();
  }
  bool WaitClosed(int ms = 5000) {
    return Pump([&] { return closed > 0; }, ms);
  }
};

// A connect through the SOCKS server that must end closed with error, the
// given lines logged.
void ExpectRefused(int socks_port, const std::string& level, const std::string& addr, int port, int error,
                   const std::vector<std::string>& lines, const std::string& user = "",
                   const std::string& pass = "") {
  SocksClient c;
  c.Connect(socks_port, level, addr, port, user, pass);
  ASSERT_TRUE(c.WaitClosed()) << error;
  EXPECT_EQ(c.connect_error, error);
  EXPECT_EQ(c.closed, 1);
  EXPECT_EQ(c.sock.State(), wsClosed);
  for (const auto& line : lines) EXPECT_TRUE(c.Has(line)) << line;
}

#define REQUIRE_BINARY(path)                                                  \
  if (access(path, X_OK) != 0) GTEST_SKIP() << path << " is not installed; " \
                                               "install it to run this test"

}  // namespace

TEST(WSocketSocks, SettersAndRefusals) {
  TWSocket s;
  EXPECT_EQ(s.SocksLevel(), "5");
  s.SetSocksLevel(" 4a ");
  EXPECT_EQ(s.SocksLevel(), "4A");
  EXPECT_EQ(SocketThrown([&] { s.SetSocksLevel("6"); }), "Invalid socks level. Must be 4, 4A or 5.");
  EXPECT_EQ(s.SocksLevel(), "4A");
  s.SetSocksServer("127.0.0.1");
  EXPECT_EQ(SocketThrown([&] { s.Listen(); }), "Listening is not supported thru socks server");
  s.SetProtoName("udp");
  s.SetAddr("127.0.0.1");
  s.SetPort("25");
  EXPECT_EQ(SocketThrown([&] { s.Connect(); }), "tcp is the only protocol supported thru socks server");

  // Changes while a connection is up are refused.
  Connection c;
  ASSERT_TRUE(c.Open());
  EXPECT_EQ(SocketThrown([&] { c.sock.SetSocksLevel("4"); }), "Can't change socks level if not closed");
  EXPECT_EQ(SocketThrown([&] { c.sock.SetSocksServer("x"); }), "Can't change socks server if not closed");
  EXPECT_EQ(SocketThrown([&] { c.sock.SetSocksPort("1"); }), "Can't change socks port if not closed");
}

TEST(WSocketSocks, Level5WithoutAuthenticationThroughMicrosocks) {
  REQUIRE_BINARY(kMicrosocks);
  int socks_port = FreePort();
  Daemon d;
  ASSERT_TRUE(StartMicrosocks(d, socks_port)) << "microsocks did not start";
  RawListener target;
  SocksClient c;
  c.Connect(socks_port, "5", "127.0.0.1", target.port());
  Fd peer = target.Accept();
  ASSERT_GE(peer, 0);
  WriteAll(peer, "220 ready\r\n");  // may arrive with the SOCKS reply
  ASSERT_TRUE(Pump([&] { return c.connect_error == 0 && c.received == "220 ready\r\n"; }));
  std::vector<std::string> start = {"state 8>1", "state 1>3", "state 3>4", "socks connected 0", "auth 3", "state 4>5",
                                    "connected 0"};
  ASSERT_GE(c.log.size(), start.size());
  EXPECT_EQ(std::vector<std::string>(c.log.begin(), c.log.begin() + static_cast<long>(start.size())), start);
  // The data come after the connected event; the negotiation's bytes make no sent event.
  EXPECT_GT(c.IndexOf("data"), c.IndexOf("connected 0"));
  ASSERT_TRUE(Pump([&] { return c.Has("sent 0"); }));
  EXPECT_EQ(c.sock.SocksState(), socksData);

  c.sock.SendStr("QUIT\r\n");
  EXPECT_EQ(ReadAtLeast(peer, 6), "QUIT\r\n");
  peer.Close();
  ASSERT_TRUE(Pump([&] { return c.closed == 1; }));
}

TEST(WSocketSocks, Level5WithUserAndPassword) {
  REQUIRE_BINARY(kMicrosocks);
  int socks_port = FreePort();
  Daemon d;
  ASSERT_TRUE(StartMicrosocks(d, socks_port, "rider", "s3cret")) << "microsocks did not start";
  RawListener target;
  {
    SocksClient c;
    c.Connect(socks_port, "5", "localhost", target.port(), "rider", "s3cret");
    Fd peer = target.Accept();
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(Pump([&] { return c.connect_error >= 0; }));
    EXPECT_EQ(c.connect_error, 0);
    EXPECT_TRUE(c.Has("auth 0"));  // start
    EXPECT_TRUE(c.Has("auth 1"));  // success
  }
  // A wrong password (auth 2: failure); no method the server accepts; a user
  // code the one-byte length field cannot carry.
  ExpectRefused(socks_port, "5", "127.0.0.1", target.port(), 20013,
                {"auth 2", "socks error 20013 socks authentication failed"}, "rider", "wrong");
  ExpectRefused(socks_port, "5", "127.0.0.1", target.port(), 20003,
                {"socks error 20003 authentification method not acceptable"});
  ExpectRefused(socks_port, "5", "127.0.0.1", target.port(), kSocksErrFieldTooLong, {}, std::string(300, 'u'),
                "s3cret");
}

TEST(WSocketSocks, Level5ServerErrorsAndOverlongNames) {
  REQUIRE_BINARY(kMicrosocks);
  int socks_port = FreePort();
  Daemon d;
  ASSERT_TRUE(StartMicrosocks(d, socks_port)) << "microsocks did not start";
  RefusingPort closed;
  ExpectRefused(socks_port, "5", "127.0.0.1", closed.port(), 20008, {"socks error 20008 connection refused"});
  // A name the one-byte length field cannot carry is refused, not cut.
  ExpectRefused(socks_port, "5", std::string(256, 'h') + ".example", 25, kSocksErrFieldTooLong, {});
}

TEST(WSocketSocks, Level4ThroughDante) {
  REQUIRE_BINARY(kDanted);
  int socks_port = FreePort();
  TempDir tmp("dante");
  Daemon d;
  if (!StartDante(d, tmp, socks_port)) GTEST_SKIP() << "danted could not be started here";
  RawListener target;
  {
    SocksClient c;
    c.sock.SetSocksUsercode("rider");
    c.Connect(socks_port, "4", "127.0.0.1", target.port());
    Fd peer = target.Accept();
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(Pump([&] { return c.connect_error >= 0; }));
    EXPECT_EQ(c.connect_error, 0);
    EXPECT_TRUE(c.Has("state 3>4"));
    EXPECT_TRUE(c.Has("state 4>5"));
    EXPECT_FALSE(c.Has("auth 3"));  // level 4 has no methods
    WriteAll(peer, "hello");
    ASSERT_TRUE(Pump([&] { return c.received == "hello"; }));
    peer.Close();
    ASSERT_TRUE(Pump([&] { return c.closed == 1; }));
  }
  RefusingPort closed;
  ExpectRefused(socks_port, "4", "127.0.0.1", closed.port(), 20008, {"socks error 20008 request rejected or failed"});
  // This dante takes 0.0.0.1 literally (it has no 4A): the request is
  // rejected, and the rejection arrives as a SOCKS error.
  ExpectRefused(socks_port, "4A", "localhost", target.port(), 20008, {});
}

TEST(WSocketSocks, Level4AAndLevel5RequestsOnTheWire) {
  // A scripted server checks the request bytes and answers.
  RawListener fake;
  {
    SocksClient c;
    c.sock.SetSocksUsercode("me");
    c.Connect(fake.port(), "4A", "mail.example", 25);
    Fd srv = fake.Accept();
    ASSERT_GE(srv, 0);
    std::string want = std::string("\x04\x01\x00\x19\x00\x00\x00\x01me\x00", 11) + "mail.example" + std::string(1, '\0');
    EXPECT_EQ(ReadAtLeast(srv, want.size()), want);
    // Granted, with the first data bytes in the same packet.
    WriteAll(srv, std::string("\x00\x5A\x00\x00\x00\x00\x00\x00", 8) + "220 hi\r\n");
    ASSERT_TRUE(Pump([&] { return c.received == "220 hi\r\n"; }));
    EXPECT_EQ(c.connect_error, 0);
    EXPECT_LT(c.IndexOf("connected 0"), c.IndexOf("data"));
  }
  // Level 5: the client's greeting offers no authentication.
  auto greeted = [&](SocksClient& c, const std::string& host, int port) {
    c.Connect(fake.port(), "5", host, port);
    Fd srv = fake.Accept();
    EXPECT_EQ(ReadAtLeast(srv, 3), std::string("\x05\x01\x00", 3));
    return srv;
  };
  {
    SocksClient c;
    Fd srv = greeted(c, "mx.example", 587);
    WriteAll(srv, std::string("\x05\x00", 2));
    std::string want = std::string("\x05\x01\x00\x03\x0A", 5) + "mx.example" + std::string("\x02\x4B", 2);
    EXPECT_EQ(ReadAtLeast(srv, want.size()), want);
    // A reply with a domain-name address, sent in two pieces.
    WriteAll(srv, std::string("\x05\x00\x00\x03\x04", 5));
    PumpFor(20);
    EXPECT_EQ(c.connect_error, -1);
    WriteAll(srv, std::string("host\x00\x19", 6));
    ASSERT_TRUE(Pump([&] { return c.connect_error == 0; }));
  }
  {
    // The server hangs up during the negotiation.
    SocksClient c;
    greeted(c, "mx.example", 25).Close();
    ASSERT_TRUE(c.WaitClosed());
    EXPECT_TRUE(c.Has("socks error 20000 data receive error"));
    EXPECT_EQ(c.connect_error, 20000);
    EXPECT_EQ(c.closed, 1);
  }
  {
    // A reply code without a text of its own.
    SocksClient c;
    Fd srv = greeted(c, "mx.example", 25);
    WriteAll(srv, std::string("\x05\x00", 2));
    ReadAtLeast(srv, 17);
    WriteAll(srv, std::string("\x05\x2A\x00\x01", 4));
    ASSERT_TRUE(c.WaitClosed());
    EXPECT_TRUE(c.Has("socks error 20012 unassigned error #42"));
  }
}
