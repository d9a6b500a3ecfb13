// Helpers of the socket tests: a plain POSIX peer on 127.0.0.1 and loop runs
// with deadlines.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "platform/eventloop.h"

namespace tav::test {

// Runs the main loop until cond() holds or ms pass; returns cond().
inline bool Pump(const std::function<bool()>& cond, int ms = 3000) { return MainLoop().RunUntil(cond, ms); }
// Runs the main loop for ms milliseconds.
inline void PumpFor(int ms) {
  MainLoop().RunUntil([] { return false; }, ms);
}

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
  RawListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd_, 8);
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~RawListener() {
    if (fd_ >= 0) ::close(fd_);
  }
  int port() const { return port_; }
  std::string PortStr() const { return std::to_string(port_); }
  // Accepts one connection (waiting at most ms while pumping the loop); -1 on timeout.
  int Accept(int ms = 3000) {
    int got = -1;
    Pump([&] {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 0) > 0) got = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      return got >= 0;
    }, ms);
    return got;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A port on 127.0.0.1 where nobody listens (bound, then released).
inline int FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

inline void SetNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

// Reads what is there without waiting; appends to out. Returns bytes read,
// 0 at end of stream, -1 when nothing waits or on error.
inline int ReadSome(int fd, std::string& out, int max = 65536) {
  std::string buf(static_cast<std::size_t>(max), '\0');
  ssize_t n = ::recv(fd, buf.data(), buf.size(), MSG_DONTWAIT);
  if (n > 0) out.append(buf.data(), static_cast<std::size_t>(n));
  return static_cast<int>(n);
}

inline void WriteAll(int fd, const std::string& s) {
  std::size_t off = 0;
  while (off < s.size()) {
    ssize_t n = ::send(fd, s.data() + off, s.size() - off, MSG_NOSIGNAL);
    if (n <= 0) return;
    off += static_cast<std::size_t>(n);
  }
}

// Closes with a reset instead of a FIN.
inline void CloseWithReset(int fd) {
  linger l{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  ::close(fd);
}

}  // namespace tav::test
