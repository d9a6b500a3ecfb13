// The SOCKS client layer against real SOCKS servers on 127.0.0.1 (microsocks
// for level 5, dante for level 4) and against a scripted server.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "mail/wsocket.h"
#include "mail/wsocket_test_util.h"

extern char** environ;

using namespace tav;
using namespace tav::test;

namespace {

// A SOCKS server process started for one test.
class Daemon {
 public:
  ~Daemon() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (!dir_.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(dir_, ec);
    }
  }

  // A private temporary folder for configuration and logs.
  const std::filesystem::path& Dir() {
    if (dir_.empty()) {
      std::string tmpl = (std::filesystem::temp_directory_path() / "tavsocksXXXXXX").string();
      if (mkdtemp(tmpl.data())) dir_ = tmpl;
    }
    return dir_;
  }

  // Starts the program and waits until 127.0.0.1:port accepts connections.
  bool Start(const std::vector<std::string>& args, int port) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    int rc = posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) {
      pid_ = -1;
      return false;
    }
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < until) {
      int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_port = htons(static_cast<uint16_t>(port));
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      bool up = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
      ::close(fd);
      if (up) return true;
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

 private:
  pid_t pid_ = -1;
  std::filesystem::path dir_;
};

constexpr const char* kMicrosocks = "/usr/bin/microsocks";
constexpr const char* kDanted = "/usr/sbin/danted";

bool StartMicrosocks(Daemon& d, int port, const std::string& user = "", const std::string& pass = "") {
  std::vector<std::string> args = {kMicrosocks, "-i", "127.0.0.1", "-p", std::to_string(port)};
  if (!user.empty()) args.insert(args.end(), {"-u", user, "-P", pass});
  return d.Start(args, port);
}

bool StartDante(Daemon& d, int port) {
  auto dir = d.Dir();
  if (dir.empty()) return false;
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
  return d.Start({kDanted, "-f", (dir / "danted.conf").string(), "-p", (dir / "danted.pid").string()}, port);
}

// A client socket with every SOCKS and session event recorded.
struct SocksClient {
  TWSocket sock;
  std::vector<std::string> log;
  std::string received;
  int connect_error = -1;
  int closed = 0;

  SocksClient() {
    sock.OnSocksConnected = [this](TCustomWSocket*, int e) { log.push_back("socks connected " + std::to_string(e)); };
    sock.OnSocksAuthState = [this](TCustomWSocket*, TSocksAuthState s) { log.push_back("auth " + std::to_string(s)); };
    sock.OnSocksError = [this](TCustomWSocket*, int e, const std::string& msg) {
      log.push_back("socks error " + std::to_string(e) + " " + msg);
    };
    sock.OnSessionConnected = [this](TCustomWSocket*, int e) {
      connect_error = e;
      log.push_back("connected " + std::to_string(e));
    };
    sock.OnSessionClosed = [this](TCustomWSocket*, int e) {
      ++closed;
      log.push_back("closed " + std::to_string(e));
    };
    sock.OnDataSent = [this](TCustomWSocket*, int e) { log.push_back("sent " + std::to_string(e)); };
    sock.OnChangeState = [this](TCustomWSocket*, TSocketState o, TSocketState n) {
      log.push_back("state " + std::to_string(o) + ">" + std::to_string(n));
    };
    sock.OnDataAvailable = [this](TCustomWSocket* s, int) {
      std::string got = s->ReceiveStr();
      if (!got.empty() && received.empty()) log.push_back("data");
      received += got;
    };
  }
  void Connect(int socks_port, const std::string& level, const std::string& addr, int port) {
    sock.SetSocksServer("127.0.0.1");
    sock.SetSocksPort(std::to_string(socks_port));
    sock.SetSocksLevel(level);
    sock.SetAddr(addr);
    sock.SetPort(std::to_string(port));
    sock.Connect();
  }
  bool Has(const std::string& line) const {
    for (const auto& l : log)
      if (l == line) return true;
    return false;
  }
  int IndexOf(const std::string& line) const {
    for (std::size_t i = 0; i < log.size(); ++i)
      if (log[i] == line) return static_cast<int>(i);
    return -1;
  }
};

#define REQUIRE_BINARY(path)                                                  \
  if (access(path, X_OK) != 0) GTEST_SKIP() << path << " is not installed; " \
                                               "install it to run this test"

}  // namespace

TEST(WSocketSocks, SettersAndRefusals) {
  TWSocket s;
  EXPECT_EQ(s.SocksLevel(), "5");
  s.SetSocksLevel(" 4a ");
  EXPECT_EQ(s.SocksLevel(), "4A");
  try {
    s.SetSocksLevel("6");
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "Invalid socks level. Must be 4, 4A or 5.");
  }
  EXPECT_EQ(s.SocksLevel(), "4A");
  s.SetSocksServer("127.0.0.1");
  try {
    s.Listen();
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "Listening is not supported thru socks server");
  }
  s.SetProtoName("udp");
  s.SetAddr("127.0.0.1");
  s.SetPort("25");
  try {
    s.Connect();
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "tcp is the only protocol supported thru socks server");
  }

  // Changes while a connection is up are refused.
  RawListener l;
  TWSocket c;
  bool up = false;
  c.OnSessionConnected = [&](TCustomWSocket*, int) { up = true; };
  c.SetAddr("127.0.0.1");
  c.SetPort(l.PortStr());
  c.Connect();
  ASSERT_TRUE(Pump([&] { return up; }));
  EXPECT_THROW(c.SetSocksLevel("4"), ESocketException);
  try {
    c.SetSocksServer("x");
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "Can't change socks server if not closed");
  }
  try {
    c.SetSocksPort("1");
    FAIL();
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "Can't change socks port if not closed");
  }
}

TEST(WSocketSocks, Level5WithoutAuthenticationThroughMicrosocks) {
  REQUIRE_BINARY(kMicrosocks);
  int socks_port = FreePort();
  Daemon d;
  ASSERT_TRUE(StartMicrosocks(d, socks_port)) << "microsocks did not start";
  RawListener target;
  SocksClient c;
  c.Connect(socks_port, "5", "127.0.0.1", target.port());
  int peer = target.Accept(5000);
  ASSERT_GE(peer, 0);
  WriteAll(peer, "220 ready\r\n");  // may arrive with the SOCKS reply
  ASSERT_TRUE(Pump([&] { return c.connect_error == 0 && c.received == "220 ready\r\n"; }, 5000));
  std::vector<std::string> start = {"state 8>1", "state 1>3", "state 3>4", "socks connected 0", "auth 3", "state 4>5",
                                    "connected 0"};
  ASSERT_GE(c.log.size(), start.size());
  EXPECT_EQ(std::vector<std::string>(c.log.begin(), c.log.begin() + static_cast<long>(start.size())), start);
  // The data come after the connected event; the negotiation's bytes make no sent event.
  EXPECT_GT(c.IndexOf("data"), c.IndexOf("connected 0"));
  ASSERT_TRUE(Pump([&] { return c.Has("sent 0"); }));
  EXPECT_EQ(c.sock.SocksState(), socksData);

  c.sock.SendStr("QUIT\r\n");
  std::string got;
  ASSERT_TRUE(Pump([&] {
    ReadSome(peer, got);
    return got == "QUIT\r\n";
  }));
  ::close(peer);
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
    c.sock.SetSocksAuthentication(socksAuthenticateUsercode);
    c.sock.SetSocksUsercode("rider");
    c.sock.SetSocksPassword("s3cret");
    c.Connect(socks_port, "5", "localhost", target.port());
    int peer = target.Accept(5000);
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(Pump([&] { return c.connect_error >= 0; }, 5000));
    EXPECT_EQ(c.connect_error, 0);
    EXPECT_TRUE(c.Has("auth 0"));  // start
    EXPECT_TRUE(c.Has("auth 1"));  // success
    ::close(peer);
  }
  {
    // A wrong password.
    SocksClient c;
    c.sock.SetSocksAuthentication(socksAuthenticateUsercode);
    c.sock.SetSocksUsercode("rider");
    c.sock.SetSocksPassword("wrong");
    c.Connect(socks_port, "5", "127.0.0.1", target.port());
    ASSERT_TRUE(Pump([&] { return c.closed > 0; }, 5000));
    EXPECT_TRUE(c.Has("auth 2"));  // failure
    EXPECT_TRUE(c.Has("socks error 20013 socks authentication failed"));
    EXPECT_EQ(c.connect_error, 20013);
    EXPECT_EQ(c.sock.State(), wsClosed);
  }
  {
    // No method the server accepts.
    SocksClient c;
    c.Connect(socks_port, "5", "127.0.0.1", target.port());
    ASSERT_TRUE(Pump([&] { return c.closed > 0; }, 5000));
    EXPECT_TRUE(c.Has("socks error 20003 authentification method not acceptable"));
    EXPECT_EQ(c.connect_error, 20003);
  }
  {
    // A user code the one-byte length field cannot carry is refused.
    SocksClient c;
    c.sock.SetSocksAuthentication(socksAuthenticateUsercode);
    c.sock.SetSocksUsercode(std::string(300, 'u'));
    c.sock.SetSocksPassword("s3cret");
    c.Connect(socks_port, "5", "127.0.0.1", target.port());
    ASSERT_TRUE(Pump([&] { return c.closed > 0; }, 5000));
    EXPECT_EQ(c.connect_error, kSocksErrFieldTooLong);
  }
}

TEST(WSocketSocks, Level5ServerErrorsAndOverlongNames) {
  REQUIRE_BINARY(kMicrosocks);
  int socks_port = FreePort();
  Daemon d;
  ASSERT_TRUE(StartMicrosocks(d, socks_port)) << "microsocks did not start";
  {
    SocksClient c;
    c.Connect(socks_port, "5", "127.0.0.1", FreePort());
    ASSERT_TRUE(Pump([&] { return c.closed > 0; }, 5000));
    EXPECT_TRUE(c.Has("socks error 20008 connection refused"));
    EXPECT_EQ(c.connect_error, 20008);
    EXPECT_EQ(c.closed, 1);
  }
  {
    // A name the one-byte length field cannot carry is refused, not cut.
    SocksClient c;
    c.Connect(socks_port, "5", std::string(256, 'h') + ".example", 25);
    ASSERT_TRUE(Pump([&] { return c.closed > 0; }, 5000));
    EXPECT_EQ(c.connect_error, kSocksErrFieldTooLong);
    EXPECT_EQ(c.sock.State(), wsClosed);
  }
}

TEST(WSocketSocks, Level4ThroughDante) {
  REQUIRE_BINARY(kDanted);
  int socks_port = FreePort();
  Daemon d;
  if (!StartDante(d, socks_port)) GTEST_SKIP() << "danted could not be started here";
  RawListener target;
  {
    SocksClient c;
    c.sock.SetSocksUsercode("rider");
    c.Connect(socks_port, "4", "127.0.0.1", target.port());
    int peer = target.Accept(5000);
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(Pump([&] { return c.connect_error >= 0; }, 5000));
    EXPECT_EQ(c.connect_error, 0);
    EXPECT_TRUE(c.Has("state 3>4"));
    EXPECT_TRUE(c.Has("state 4>5"));
    EXPECT_FALSE(c.Has("auth 3"));  // level 4 has no methods
    WriteAll(peer, "hello");
    ASSERT_TRUE(Pump([&] { return c.received == "hello"; }));
    ::close(peer);
    ASSERT_TRUE(Pump([&] { return c.closed == 1; }));
  }
  {
    SocksClient c;
    c.Connect(socks_port, "4", "127.0.0.1", FreePort());
    ASSERT_TRUE(Pump([&] { return c.closed > 0; }, 5000));
    EXPECT_TRUE(c.Has("socks error 20008 request rejected or failed"));
    EXPECT_EQ(c.connect_error, 20008);
  }
  {
    // This dante takes 0.0.0.1 literally (it has no 4A): the request is
    // rejected, and the rejection arrives as a SOCKS error.
    SocksClient c;
    c.Connect(socks_port, "4A", "localhost", target.port());
    ASSERT_TRUE(Pump([&] { return c.closed > 0; }, 5000));
    EXPECT_EQ(c.connect_error, 20008);
  }
}

TEST(WSocketSocks, Level4AAndLevel5RequestsOnTheWire) {
  // A scripted server checks the request bytes and answers.
  RawListener fake;
  {
    SocksClient c;
    c.sock.SetSocksUsercode("me");
    c.Connect(fake.port(), "4A", "mail.example", 25);
    int srv = fake.Accept();
    ASSERT_GE(srv, 0);
    std::string req;
    std::string want = std::string("\x04\x01\x00\x19\x00\x00\x00\x01me\x00", 11) + "mail.example" + std::string(1, '\0');
    ASSERT_TRUE(Pump([&] {
      ReadSome(srv, req);
      return req.size() >= want.size();
    }));
    EXPECT_EQ(req, want);
    // Granted, with the first data bytes in the same packet.
    WriteAll(srv, std::string("\x00\x5A\x00\x00\x00\x00\x00\x00", 8) + "220 hi\r\n");
    ASSERT_TRUE(Pump([&] { return c.received == "220 hi\r\n"; }));
    EXPECT_EQ(c.connect_error, 0);
    EXPECT_LT(c.IndexOf("connected 0"), c.IndexOf("data"));
    ::close(srv);
  }
  {
    SocksClient c;
    c.Connect(fake.port(), "5", "mx.example", 587);
    int srv = fake.Accept();
    ASSERT_GE(srv, 0);
    std::string req;
    ASSERT_TRUE(Pump([&] {
      ReadSome(srv, req);
      return req.size() >= 3;
    }));
    EXPECT_EQ(req, std::string("\x05\x01\x00", 3));
    WriteAll(srv, std::string("\x05\x00", 2));
    req.clear();
    std::string want = std::string("\x05\x01\x00\x03\x0A", 5) + "mx.example" + std::string("\x02\x4B", 2);
    ASSERT_TRUE(Pump([&] {
      ReadSome(srv, req);
      return req.size() >= want.size();
    }));
    EXPECT_EQ(req, want);
    // A reply with a domain-name address, sent in two pieces.
    WriteAll(srv, std::string("\x05\x00\x00\x03\x04", 5));
    PumpFor(20);
    EXPECT_EQ(c.connect_error, -1);
    WriteAll(srv, std::string("host\x00\x19", 6));
    ASSERT_TRUE(Pump([&] { return c.connect_error == 0; }));
    ::close(srv);
  }
  {
    // The server hangs up during the negotiation.
    SocksClient c;
    c.Connect(fake.port(), "5", "mx.example", 25);
    int srv = fake.Accept();
    ASSERT_GE(srv, 0);
    std::string req;
    ASSERT_TRUE(Pump([&] {
      ReadSome(srv, req);
      return req.size() >= 3;
    }));
    ::close(srv);
    ASSERT_TRUE(Pump([&] { return c.closed > 0; }));
    EXPECT_TRUE(c.Has("socks error 20000 data receive error"));
    EXPECT_EQ(c.connect_error, 20000);
    EXPECT_EQ(c.closed, 1);
  }
  {
    // A reply code without a text of its own.
    SocksClient c;
    c.Connect(fake.port(), "5", "mx.example", 25);
    int srv = fake.Accept();
    ASSERT_GE(srv, 0);
    std::string req;
    ASSERT_TRUE(Pump([&] {
      ReadSome(srv, req);
      return req.size() >= 3;
    }));
    WriteAll(srv, std::string("\x05\x00", 2));
    ASSERT_TRUE(Pump([&] {
      ReadSome(srv, req);
      return req.size() >= 3 + 17;
    }));
    WriteAll(srv, std::string("\x05\x2A\x00\x01", 4));
    ASSERT_TRUE(Pump([&] { return c.closed > 0; }));
    EXPECT_TRUE(c.Has("socks error 20012 unassigned error #42"));
    ::close(srv);
  }
}
