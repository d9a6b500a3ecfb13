// Helpers of the socket and mail tests: plain POSIX peers on 127.0.0.1,
// loop runs with deadlines, and a recorder of socket events.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "mail/wsocket.h"
#include "platform/eventloop.h"

extern char** environ;

namespace tav::test {

// Runs the main loop until cond() holds or ms pass; returns cond().
inline bool Pump(const std::function<bool()>& cond, int ms = 5000) { return MainLoop().RunUntil(cond, ms); }
// Runs the main loop for ms milliseconds.
inline void PumpFor(int ms) {
  MainLoop().RunUntil([] { return false; }, ms);
}

// The text of the E that f throws; "no exception" when it throws none.
template <class E, class F>
std::string Thrown(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.what();
  }
  return "no exception";
}
template <class F>
std::string SocketThrown(F&& f) {
  return Thrown<ESocketException>(std::forward<F>(f));
}

// A temporary folder that goes away with the scope.
class TempDir {
 public:
  explicit TempDir(const std::string& tag) {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("tavlog_" + tag + "_" + std::to_string(getpid()) + "_" + std::to_string(++counter));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A program started for one test (its standard output and error going to
// log) and ended with the scope.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& args, const std::string& log = "/dev/null") {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    if (posix_spawn(&pid_, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&fa);
  }
  ~ChildProcess() {
    if (!Running()) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  bool Running() {
    if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;
    return pid_ > 0;
  }

 private:
  pid_t pid_ = -1;
};

// A descriptor that is closed with the scope unless closed before.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(Fd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
  Fd& operator=(Fd&& o) noexcept {
    if (this != &o) {
      Close();
      fd_ = std::exchange(o.fd_, -1);
    }
    return *this;
  }
  operator int() const { return fd_; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  // Closes with a reset instead of a FIN.
  void Reset() {
    linger l{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    Close();
  }

 private:
  int fd_;
};

// A socket bound to a free port of 127.0.0.1 (type as for socket(), flags
// included), listening when backlog > 0. Sets port.
inline int BindLoopback(int type, int& port, int backlog = 0) {
  int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  if (backlog > 0) ::listen(fd, backlog);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  return fd;
}

// A port on 127.0.0.1 where nobody listens (bound, then released).
inline int FreePort() {
  int port = 0;
  ::close(BindLoopback(SOCK_STREAM, port));
  return port;
}

// A loopback port that refuses connections for as long as this lives: the
// port stays bound (without listening), so no parallel test can take it.
class RefusingPort {
 public:
  RefusingPort() : fd_(BindLoopback(SOCK_STREAM, port_)) {}
  ~RefusingPort() { ::close(fd_); }
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  int port() const { return port_; }

 private:
  int port_ = 0;
  int fd_;
};

// A loop watch on a peer descriptor that goes away with the scope.
class ScopedWatch {
 public:
  ScopedWatch(int fd, std::function<void(bool, bool)> fn) : id_(MainLoop().WatchFd(fd, std::move(fn))) {}
  ~ScopedWatch() { MainLoop().UnwatchFd(id_); }
  ScopedWatch(const ScopedWatch&) = delete;
  ScopedWatch& operator=(const ScopedWatch&) = delete;

 private:
  WatchId id_;
};

// A listening POSIX socket on 127.0.0.1 with a free port.
class RawListener {
 public:
  RawListener() : fd_(BindLoopback(SOCK_STREAM, port_, 8)) {}
  int port() const { return port_; }
  std::string PortStr() const { return std::to_string(port_); }
  // Accepts one connection (waiting at most ms while pumping the loop); -1 on timeout.
  Fd Accept(int ms = 5000) {
    int got = -1;
    Pump([&] {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 0) > 0) got = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      return got >= 0;
    }, ms);
    return Fd(got);
  }

 private:
  int port_ = 0;
  Fd fd_;
};

inline void SetSocketBuffer(int fd, int option, int bytes) { setsockopt(fd, SOL_SOCKET, option, &bytes, sizeof bytes); }

// Reads what is there without waiting; appends to out. Returns bytes read,
// 0 at end of stream, -1 when nothing waits or on error.
inline int ReadSome(int fd, std::string& out, int max = 65536) {
  std::string buf(static_cast<std::size_t>(max), '\0');
  ssize_t n = ::recv(fd, buf.data(), buf.size(), MSG_DONTWAIT);
  if (n > 0) out.append(buf.data(), static_cast<std::size_t>(n));
  return static_cast<int>(n);
}

// Reads (pumping the loop) until at least n bytes came or ms passed; returns them.
inline std::string ReadAtLeast(int fd, std::size_t n, int ms = 5000) {
  std::string got;
  Pump([&] {
    ReadSome(fd, got);
    return got.size() >= n;
  }, ms);
  return got;
}

// Reads (pumping the loop) until the stream ends: 0 after a FIN, the errno of
// a failed read (a reset), -1 when ms passed first.
inline int WaitForEnd(int fd, int ms = 5000) {
  int result = -1;
  std::string ignored;
  Pump([&] {
    int n = ReadSome(fd, ignored);
    if (n == 0 || (n < 0 && errno != EAGAIN)) result = n == 0 ? 0 : errno;
    return result >= 0;
  }, ms);
  return result;
}

inline void WriteAll(int fd, const std::string& s) {
  std::size_t off = 0;
  while (off < s.size()) {
    ssize_t n = ::send(fd, s.data() + off, s.size() - off, MSG_NOSIGNAL);
    if (n <= 0) return;
    off += static_cast<std::size_t>(n);
  }
}

// Records every event of a socket as text: "connected E", "closed E",
// "sent E", "state OLD>NEW", "data" before the first bytes received; with
// AttachSocks also "socks connected E", "auth STATE", "socks error E TEXT".
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
        if (n <= 0) return;
        if (received.empty()) log.push_back("data");
        received.append(buf, static_cast<std::size_t>(n));
      };
    }
  }
  void AttachSocks(TCustomSocksWSocket& s) {
    s.OnSocksConnected = [this](TCustomWSocket*, int e) { log.push_back("socks connected " + std::to_string(e)); };
    s.OnSocksAuthState = [this](TCustomWSocket*, TSocksAuthState a) { log.push_back("auth " + std::to_string(a)); };
    s.OnSocksError = [this](TCustomWSocket*, int e, const std::string& msg) {
      log.push_back("socks error " + std::to_string(e) + " " + msg);
    };
  }
  int IndexOf(const std::string& line) const {
    for (std::size_t i = 0; i < log.size(); ++i)
      if (log[i] == line) return static_cast<int>(i);
    return -1;
  }
  bool Has(const std::string& line) const { return IndexOf(line) >= 0; }
};

// A socket with its events recorded, connected to a plain peer on 127.0.0.1.
struct Connection {
  Recorder rec;  // outlives the socket
  RawListener listener;
  TWSocket sock;
  Fd peer;

  explicit Connection(bool read_data = true) { rec.Attach(sock, read_data); }
  // Connects, waits for the connect event and the write event that follows
  // it, and accepts the peer.
  bool Open() {
    sock.SetAddr("127.0.0.1");
    sock.SetPort(listener.PortStr());
    sock.Connect();
    if (!Pump([&] { return rec.connected == 1 && rec.data_sent == 1; })) return false;
    peer = listener.Accept();
    return peer >= 0;
  }
  // A small kernel send buffer from the socket's opening on (in place of
  // the state log), so that large sends stay queued however the loopback
  // buffers are tuned.
  void SmallSendBuffer() {
    sock.OnChangeState = [](TCustomWSocket* s, TSocketState, TSocketState n) {
      if (n == wsOpened) SetSocketBuffer(s->HSocket(), SO_SNDBUF, 4096);
    };
  }
};

}  // namespace tav::test
