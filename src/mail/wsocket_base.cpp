#include "mail/wsocket_base.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>

#include "platform/text.h"

namespace tav {

namespace {

std::atomic<int> g_instances{0};

// Connect failures that the stack may report at once on a non-blocking
// connect (a refused loopback connect, no route). They are delivered like a
// late failure: as the connect event with the error.
bool IsAsyncConnectError(int err) {
  return err == ECONNREFUSED || err == ENETUNREACH || err == EHOSTUNREACH || err == ETIMEDOUT;
}

std::string PortText(uint16_t port_net) { return std::to_string(ntohs(port_net)); }

}  // namespace

int TCustomWSocket::InstanceCount() { return g_instances.load(); }

TCustomWSocket::TCustomWSocket() : loop_(MainLoop()) {
  alive_ = std::make_shared<bool>(true);
  thread_id_ = std::this_thread::get_id();
  target_ = loop_.AddTarget([this](const Message& m) { Dispatch(m); });
  TCustomWSocket::AssignDefaultValue();
  chunk_size_ = 1460;
  multicast_ttl_ = 1;
  listen_backlog_ = 5;
  ++g_instances;
}

TCustomWSocket::~TCustomWSocket() {
  destroying_ = true;
  try {
    CancelDnsLookup();
    if (fd_ >= 0 || state_ != wsClosed) InternalClose(true, 0);
  } catch (...) {
  }
  CloseHandleQuietly();
  DeleteBufferedData();
  if (target_ != 0) loop_.RemoveTarget(target_);
  target_ = 0;
  --g_instances;
  *alive_ = false;
}

// ---------------------------------------------------------------------------
// Properties

void TCustomWSocket::SetAddr(std::string_view value) {
  if (RefusedUnlessClosed("Cannot change Addr if not closed")) return;
  std::string v = WSocketTrim(value);
  addr_assigned_ = !v.empty();
  if (v != addr_) addr_resolved_ = false;
  addr_ = v;
}

void TCustomWSocket::SetRemotePort(std::string_view value) {
  if (RefusedUnlessClosed("Cannot change Port if not closed")) return;
  std::string v = WSocketTrim(value);
  port_assigned_ = !v.empty();
  if (v != port_) port_resolved_ = false;
  port_ = v;
}

void TCustomWSocket::SetProto(std::string_view value) {
  if (RefusedUnlessClosed("Cannot change Proto if not closed")) return;
  std::string v = WSocketTrim(value);
  proto_assigned_ = !v.empty();
  if (v != proto_) {
    proto_resolved_ = false;
    // The port's number may depend on the protocol.
    port_resolved_ = false;
    local_port_resolved_ = false;
  }
  proto_ = v;
}

void TCustomWSocket::SetLocalAddr(std::string_view value) {
  if (RefusedUnlessClosed("Cannot change LocalAddr if not closed")) return;
  std::string v = WSocketTrim(value);
  if (v.empty()) v = "0.0.0.0";
  local_addr_ = v;
}

void TCustomWSocket::SetLocalPort(std::string_view value) {
  if (RefusedUnlessClosed("Cannot change LocalPort if not closed")) return;
  std::string v = WSocketTrim(value);
  if (v != local_port_) local_port_resolved_ = false;
  local_port_ = v;
}

void TCustomWSocket::SetSendFlags(TSocketSendFlags f) {
  if (f != wsSendNormal && f != wsSendUrgent) {
    RaiseException("Invalid SendFlags");
    return;
  }
  send_flags_ = f;
}

bool TCustomWSocket::RefusedUnlessClosed(const char* msg) {
  if (state_ == wsClosed) return false;
  RaiseException(msg);
  return true;
}

int TCustomWSocket::BufferedByteCount() const {
  int n = 0;
  for (const auto& b : queue_) n += b->Pending();
  return n;
}

// ---------------------------------------------------------------------------
// Defaults, state, errors

void TCustomWSocket::AssignDefaultValue() {
  sin_ = sockaddr_in{};
  sin_.sin_family = AF_INET;
  addr_.clear();
  addr_assigned_ = addr_resolved_ = false;
  port_.clear();
  port_assigned_ = port_resolved_ = false;
  proto_ = "tcp";
  proto_assigned_ = proto_resolved_ = true;
  protocol_ = IPPROTO_TCP;
  sock_type_ = SOCK_STREAM;
  local_port_ = std::string(1, '0');
  local_port_resolved_ = false;
  local_port_net_ = 0;
  local_addr_ = "0.0.0.0";
  linger_on_off_ = wsLingerOn;
  linger_timeout_ = 0;
  fd_ = kInvalidSocket;
  select_mask_ = 0;
  state_ = wsClosed;
  all_sent_ = true;
  paused_ = false;
  read_count_ = 0;
  close_reported_ = false;
  flush_timeout_ = 60;
  want_write_ = false;
  read_armed_ = accept_armed_ = true;
  shut_write_ = false;
}

void TCustomWSocket::ChangeState(TSocketState new_state) {
  if (state_ == new_state) return;
  TSocketState old = state_;
  state_ = new_state;
  UpdateInterest();
  TriggerChangeState(old, new_state);
}

void TCustomWSocket::RaiseException(const std::string& msg) {
  last_error_text_ = msg;
  if (OnError) {
    TriggerError();
    return;
  }
  throw ESocketException(msg);
}

void TCustomWSocket::RaiseExceptionFmt(const char* fmt, ...) {
  char buf[1024];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  RaiseException(buf);
}

void TCustomWSocket::SocketError(const std::string& function, int error) {
  // A reset or lost connection ends the session before it is reported.
  if ((error == kWsaEConnReset || error == kWsaENotConn) && state_ != wsClosed) InternalClose(false, error);
  last_error_ = error;
  RaiseException("Error " + std::to_string(error) + " in function " + function + "\r\n" + WSocketErrorDesc(error));
}

void TCustomWSocket::HandleBackGroundException(const std::exception& e) {
  auto alive = alive_;
  bool can_close = true;
  if (OnBgException) {
    try {
      OnBgException(this, e, can_close);
    } catch (...) {
    }
  }
  if (!*alive) return;
  if (can_close) {
    try {
      Abort();
    } catch (...) {
    }
  }
}

// ---------------------------------------------------------------------------
// Triggers

bool TCustomWSocket::TriggerDataAvailable(int error) {
  if (!OnDataAvailable) return false;
  OnDataAvailable(this, error);
  return true;
}

void TCustomWSocket::TriggerSessionAvailable(int error) {
  if (OnSessionAvailable) OnSessionAvailable(this, error);
}

void TCustomWSocket::TriggerSessionConnectedSpecial(int error) { TriggerSessionConnected(error); }

void TCustomWSocket::TriggerSessionConnected(int error) {
  if (OnSessionConnected) OnSessionConnected(this, error);
}

void TCustomWSocket::TriggerSessionClosed(int error) {
  if (OnSessionClosed) OnSessionClosed(this, error);
}

void TCustomWSocket::TriggerDataSent(int error) {
  if (OnDataSent) OnDataSent(this, error);
}

void TCustomWSocket::TriggerChangeState(TSocketState old_state, TSocketState new_state) {
  if (!destroying_ && OnChangeState) OnChangeState(this, old_state, new_state);
}

void TCustomWSocket::TriggerDNSLookupDone(int error) {
  if (OnDnsLookupDone) OnDnsLookupDone(this, error);
}

void TCustomWSocket::TriggerError() {
  if (OnError) OnError(this);
}

// ---------------------------------------------------------------------------
// Event loop glue

void TCustomWSocket::Dispatch(const Message& m) {
  // While detached, posted events wait for the next attach.
  if (detached_) {
    held_.push_back(m);
    return;
  }
  auto alive = alive_;
  try {
    WndProc(m);
  } catch (const std::exception& e) {
    if (*alive) HandleBackGroundException(e);
  } catch (...) {
    if (*alive) HandleBackGroundException(ESocketException("Unknown exception"));
  }
}

void TCustomWSocket::WndProc(const Message& msg) {
  switch (msg.msg) {
    case kWmAsyncSelect: {
      uint64_t lp = static_cast<uint64_t>(msg.lparam);
      int events = static_cast<int>(lp & 0xFFFF);
      int error = static_cast<int>((lp >> 16) & 0xFFFF);
      uint32_t serial = static_cast<uint32_t>(lp >> 32);
      // Only events of the current session of this socket.
      if (fd_ >= 0 && static_cast<int>(msg.wparam) == fd_ && serial == serial_) HandleSelectEvent(events, error);
      break;
    }
    case kWmAsyncGetHostByName:
      HandleDnsReply(msg, false);
      break;
    case kWmAsyncGetHostByAddr:
      HandleDnsReply(msg, true);
      break;
    case kWmCloseDelayed:
      Close();
      break;
    case kWmWSocketRelease:
      delete this;
      break;
    case kWmTriggerException:
      throw ESocketException("Test exception in WSocket");
    default:
      break;
  }
}

void TCustomWSocket::PostToSelf(uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  if (target_ != 0) loop_.Post(target_, Message{msg, wparam, lparam});
}

void TCustomWSocket::PostSelectEvent(int events, int error) {
  uint64_t lp = (static_cast<uint64_t>(events) & 0xFFFF) | ((static_cast<uint64_t>(error) & 0xFFFF) << 16) |
                (static_cast<uint64_t>(serial_) << 32);
  PostToSelf(kWmAsyncSelect, static_cast<uintptr_t>(fd_), static_cast<intptr_t>(lp));
}

void TCustomWSocket::SelectEvents(int mask) {
  select_mask_ = mask;
  UpdateInterest();
}

void TCustomWSocket::UpdateInterest() {
  bool rd = false, wr = false;
  if (fd_ >= 0 && !paused_ && !detached_ && select_mask_ != 0) {
    if (state_ == wsConnecting) {
      // Completion (or failure) of the connect shows as writability.
      rd = false;
      wr = want_write_;
    } else if (state_ == wsListening && sock_type_ == SOCK_STREAM) {
      rd = accept_armed_;
    } else if (state_ == wsConnected || state_ == wsSocksConnected || state_ == wsListening) {
      rd = read_armed_ && (select_mask_ & (kFdRead | kFdClose)) != 0;
      wr = want_write_ && (select_mask_ & kFdWrite) != 0;
    }
  }
  if (!rd && !wr) {
    if (watch_ != 0) {
      loop_.UnwatchFd(watch_);
      watch_ = 0;
    }
    return;
  }
  if (watch_ == 0) watch_ = loop_.WatchFd(fd_, [this](bool r, bool w) { OnFdReady(r, w); });
  loop_.SetFdInterest(watch_, rd, wr);
}

void TCustomWSocket::OnFdReady(bool readable, bool writable) {
  auto alive = alive_;
  try {
    if (fd_ < 0 || paused_) return;
    if (state_ == wsConnecting) {
      if (!readable && !writable) return;
      int soerr = 0;
      socklen_t len = sizeof soerr;
      if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &soerr, &len) < 0) soerr = errno;
      if (soerr == 0) {
        sockaddr_in peer{};
        socklen_t plen = sizeof peer;
        if (getpeername(fd_, reinterpret_cast<sockaddr*>(&peer), &plen) < 0) soerr = errno == ENOTCONN ? ECONNREFUSED : errno;
      }
      // After a good connect, write interest stays on: the first
      // writability is the write event that follows every connect.
      want_write_ = soerr == 0;
      HandleSelectEvent(kFdConnect, WsaErrorFromErrno(soerr));
      return;
    }
    if (state_ == wsListening && sock_type_ == SOCK_STREAM) {
      if (readable) HandleSelectEvent(kFdAccept, 0);
      return;
    }
    int events = 0;
    int close_events = 0, close_error = 0;
    if (readable && read_armed_) {
      if (sock_type_ != SOCK_STREAM) {
        events |= kFdRead;
      } else {
        char c;
        ssize_t n = recv(fd_, &c, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0) {
          events |= kFdRead;
        } else if (n == 0) {
          close_events = kFdClose;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
          close_events = kFdClose;
          close_error = WsaErrorFromErrno(errno);
        }
      }
    }
    if (writable && want_write_) {
      want_write_ = false;
      events |= kFdWrite;
      UpdateInterest();
    }
    const int fd = fd_;
    const uint32_t serial = serial_;
    if (events) HandleSelectEvent(events, 0);
    if (!*alive) return;
    // Not for a connection a handler opened meanwhile.
    if (close_events && fd_ == fd && serial_ == serial) HandleSelectEvent(close_events, close_error);
  } catch (const std::exception& e) {
    if (*alive) HandleBackGroundException(e);
  } catch (...) {
    if (*alive) HandleBackGroundException(ESocketException("Unknown exception"));
  }
}

void TCustomWSocket::HandleSelectEvent(int events, int error) {
  if (paused_ || fd_ < 0) return;
  auto alive = alive_;
  const int fd = fd_;
  const uint32_t serial = serial_;
  auto same = [&] { return *alive && fd_ == fd && serial_ == serial; };
  struct Step {
    int bit;
    void (TCustomWSocket::*fn)(int);
  };
  static constexpr Step steps[] = {{kFdConnect, &TCustomWSocket::Do_FD_CONNECT},
                                   {kFdRead, &TCustomWSocket::Do_FD_READ},
                                   {kFdWrite, &TCustomWSocket::Do_FD_WRITE},
                                   {kFdAccept, &TCustomWSocket::Do_FD_ACCEPT},
                                   {kFdClose, &TCustomWSocket::Do_FD_CLOSE}};
  for (const Step& s : steps) {
    if (!(events & s.bit)) continue;
    // A handler may have closed (or reopened) or paused the socket.
    if (!same() || paused_) break;
    current_event_ = s.bit;
    (this->*s.fn)(error);
    if (!*alive) return;
  }
  current_event_ = 0;
}

// ---------------------------------------------------------------------------
// Socket events

void TCustomWSocket::Do_FD_CONNECT(int error) {
  if (state_ == wsConnected) return;
  auto alive = alive_;
  const uint32_t serial = serial_;
  ChangeState(wsConnected);
  if (!*alive) return;
  TriggerSessionConnectedSpecial(error);
  if (!*alive) return;
  if (error != 0 && serial_ == serial && state_ != wsClosed) Close();
}

void TCustomWSocket::Do_FD_READ(int error) {
  auto alive = alive_;
  if (state_ == wsConnecting) {
    ChangeState(wsConnected);
    if (!*alive) return;
    TriggerSessionConnectedSpecial(error);
    if (!*alive || fd_ < 0) return;
  }
  ReceiveLoop(error, options_.Contains(wsoNoReceiveLoop));
}

void TCustomWSocket::Do_FD_WRITE(int error) {
  auto alive = alive_;
  const int fd = fd_;
  const uint32_t serial = serial_;
  TryToSend();
  if (!*alive || fd_ != fd || serial_ != serial) return;
  if (all_sent_) TriggerDataSent(error);
}

void TCustomWSocket::Do_FD_ACCEPT(int error) {
  auto alive = alive_;
  const uint64_t before = accept_calls_;
  TriggerSessionAvailable(error);
  if (!*alive) return;
  // A handler that did not accept gets no further accept event until it does.
  if (accept_calls_ == before && state_ == wsListening) {
    accept_armed_ = false;
    UpdateInterest();
  }
}

void TCustomWSocket::Do_FD_CLOSE(int error) {
  if (state_ == wsConnecting) return;
  auto alive = alive_;
  const int fd = fd_;
  const uint32_t serial = serial_;
  // Data still waiting are delivered before the close is reported.
  int avail = 0;
  if (ioctl(fd_, FIONREAD, &avail) == 0 && avail > 0) {
    ReceiveLoop(error, false, true);
    if (!*alive || fd_ != fd || serial_ != serial) return;
  }
  if (!close_reported_) {
    close_reported_ = true;
    TriggerSessionClosed(error);
    if (!*alive) return;
  }
  // Unless a handler closed it or opened a new connection meanwhile.
  if (fd_ == fd && serial_ == serial && state_ != wsClosed) Close();
}

void TCustomWSocket::ReceiveLoop(int error, bool no_loop, bool draining) {
  auto alive = alive_;
  const int fd = fd_;
  const uint32_t serial = serial_;
  // A peer that sends as fast as the handler reads must not keep the loop
  // here for ever: after this many passes the event ends, and the data
  // still waiting bring the next one once timers and other events had
  // their turn.
  constexpr int kMaxPasses = 64;
  for (int pass = 1;; ++pass) {
    last_error_ = 0;
    const uint64_t before = recv_calls_;
    bool handled = TriggerDataAvailable(error);
    if (!*alive || fd_ != fd || fd_ < 0 || serial_ != serial) return;
    // A handler that paused the socket gets nothing more until Resume.
    if (paused_) break;
    if (!handled) {
      // Nobody listens: the bytes are read and dropped.
      char junk[1024];
      int n = DoRecv(junk, sizeof junk, 0);
      if (n < 0 && last_error_ == kWsaEWouldBlock) {
        last_error_ = 0;
        break;
      }
    }
    if (recv_calls_ == before) {
      // The handler took nothing: no more read events until it receives.
      read_armed_ = false;
      UpdateInterest();
      break;
    }
    if (no_loop || last_error_ != 0 || (pass >= kMaxPasses && !draining)) break;
    int avail = 0;
    if (ioctl(fd_, FIONREAD, &avail) < 0 || avail <= 0) break;
  }
}

// ---------------------------------------------------------------------------
// Connect

bool TCustomWSocket::CheckConnectable() {
  const char* refusal = fd_ >= 0 && state_ != wsClosed ? "Connect: Socket already in use"
                        : !port_assigned_               ? "Connect: No Port Specified"
                        : !addr_assigned_               ? "Connect: No IP Address Specified"
                        : !proto_assigned_              ? "Connect: No Protocol Specified"
                                                        : nullptr;
  if (refusal) RaiseException(refusal);
  return refusal == nullptr;
}

bool TCustomWSocket::ResolveRemote(bool local_port) {
  try {
    if (!proto_resolved_) {
      protocol_ = WSocketResolveProto(proto_);
      sock_type_ = protocol_ == IPPROTO_TCP ? SOCK_STREAM : protocol_ == IPPROTO_UDP ? SOCK_DGRAM : SOCK_RAW;
      proto_resolved_ = true;
    }
    if (!port_resolved_) {
      sin_.sin_port = WSocketResolvePort(port_, proto_);
      port_resolved_ = true;
    }
    if (local_port && !local_port_resolved_) {
      local_port_net_ = WSocketResolvePort(local_port_, proto_);
      local_port_resolved_ = true;
    }
    if (!addr_resolved_) {
      sin_.sin_addr.s_addr = WSocketResolveHost(addr_);
      addr_resolved_ = true;
    }
  } catch (const ESocketException& e) {
    RaiseException(e.what());
    return false;
  }
  return true;
}

void TCustomWSocket::Connect() {
  if (CheckConnectable() && ResolveRemote(true)) ConnectResolved();
}

bool TCustomWSocket::SetLingerOption() {
  linger l{};
  l.l_onoff = linger_on_off_ == wsLingerOn ? 1 : 0;
  l.l_linger = linger_timeout_;
  return setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l) == 0;
}

void TCustomWSocket::ApplyLinger() {
  if (linger_on_off_ == wsLingerNoSet) return;
  if (fd_ < 0) {
    RaiseException("Cannot set linger option at this time");
    return;
  }
  if (!SetLingerOption()) SocketError("setsockopt(SO_LINGER)", WsaErrorFromErrno(errno));
}

bool TCustomWSocket::BindSocket() {
  sockaddr_in la{};
  la.sin_family = AF_INET;
  la.sin_port = local_port_net_;
  try {
    la.sin_addr.s_addr = WSocketResolveHost(local_addr_);
  } catch (const ESocketException& e) {
    RaiseException(e.what());
    return false;
  }
  if (bind(fd_, reinterpret_cast<const sockaddr*>(&la), sizeof la) < 0) {
    last_error_ = WsaErrorFromErrno(errno);
    RaiseExceptionFmt("winsock.bind failed, error #%d", last_error_);
    return false;
  }
  sockaddr_in got{};
  socklen_t len = sizeof got;
  if (getsockname(fd_, reinterpret_cast<sockaddr*>(&got), &len) < 0) {
    last_error_ = WsaErrorFromErrno(errno);
    RaiseExceptionFmt("winsock.getsockname failed, error #%d", last_error_);
    return false;
  }
  local_port_ = PortText(got.sin_port);
  local_port_net_ = got.sin_port;
  return true;
}

int TCustomWSocket::CloseHandleQuietly() {
  if (watch_ != 0) {
    loop_.UnwatchFd(watch_);
    watch_ = 0;
  }
  // An interrupted close has released the descriptor all the same.
  int err = 0;
  if (fd_ >= 0 && ::close(fd_) < 0 && errno != EINTR) err = errno;
  fd_ = kInvalidSocket;
  want_write_ = false;
  select_mask_ = 0;
  return err;
}

void TCustomWSocket::BeginSession(int fd) {
  fd_ = fd;
  ++serial_;
  close_reported_ = false;
  read_armed_ = accept_armed_ = true;
  want_write_ = false;
  shut_write_ = false;
  read_count_ = 0;
}

int TCustomWSocket::OpenHandle(const char* function) {
  DeleteBufferedData();
  sin_.sin_family = AF_INET;
  int fd = ::socket(AF_INET, sock_type_ | SOCK_NONBLOCK | SOCK_CLOEXEC,
                    sock_type_ == SOCK_STREAM ? IPPROTO_TCP : protocol_);
  if (fd < 0) {
    SocketError(function, WsaErrorFromErrno(errno));
    return kInvalidSocket;
  }
  BeginSession(fd);
  return fd;
}

void TCustomWSocket::AbandonHandle(const char* function, int error) {
  auto alive = alive_;
  CloseHandleQuietly();
  ChangeState(wsClosed);
  if (*alive) SocketError(function, error);
}

void TCustomWSocket::ConnectResolved() {
  const int fd = OpenHandle("Connect (socket)");
  if (fd < 0) return;
  const int type = sock_type_;
  auto alive = alive_;
  // BindSocket reports its own failure; a handler may have replaced the socket meanwhile.
  auto bind_failed = [&] {
    if (BindSocket()) return false;
    if (*alive && fd_ == fd) {
      CloseHandleQuietly();
      ChangeState(wsClosed);
    }
    return true;
  };
  ChangeState(wsOpened);
  if (!*alive) return;
  if (state_ != wsOpened || fd_ != fd) {
    if (fd_ == fd) AbandonHandle("Connect (Invalid operation in OnChangeState)", kWsaEInval);
    else SocketError("Connect (Invalid operation in OnChangeState)", kWsaEInval);
    return;
  }
  const int one = 1;
  if (type == SOCK_STREAM) {
    if (setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) < 0)
      return AbandonHandle("setsockopt(SO_REUSEADDR)", WsaErrorFromErrno(errno));
    if (options_.Contains(wsoTcpNoDelay) && setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) < 0)
      return AbandonHandle("setsockopt(IPPROTO_TCP, TCP_NODELAY)", WsaErrorFromErrno(errno));
    if (linger_on_off_ != wsLingerNoSet && !SetLingerOption())
      return AbandonHandle("setsockopt(SO_LINGER)", WsaErrorFromErrno(errno));
    if (setsockopt(fd_, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one) < 0)
      return AbandonHandle("setsockopt(SO_KEEPALIVE)", WsaErrorFromErrno(errno));
    if ((local_port_net_ != 0 || local_addr_ != "0.0.0.0") && bind_failed()) return;
  } else {
    if (bind_failed()) return;
    if (multicast_ttl_ != 1) {
      unsigned char ttl = static_cast<unsigned char>(multicast_ttl_);
      if (setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) < 0)
        return AbandonHandle("setsockopt(IP_MULTICAST_TTL)", WsaErrorFromErrno(errno));
    }
    if (local_addr_ != "0.0.0.0") {
      in_addr ifa{};
      WSocketParseDotted(local_addr_, ifa.s_addr);
      if (setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_IF, &ifa, sizeof ifa) < 0)
        return AbandonHandle("setsockopt(IP_MULTICAST_IF)", WsaErrorFromErrno(errno));
    }
    if (sin_.sin_addr.s_addr == INADDR_BROADCAST &&
        setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &one, sizeof one) < 0)
      return AbandonHandle("setsockopt(SO_BROADCAST)", WsaErrorFromErrno(errno));
  }
  if (type == SOCK_STREAM) {
    int err = 0;
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&sin_), sizeof sin_) < 0) {
      err = errno;
      if (err != EINPROGRESS && err != EAGAIN && err != EINTR && !IsAsyncConnectError(err))
        return AbandonHandle("Connect", WsaErrorFromErrno(err));
      if (err == EINPROGRESS || err == EAGAIN || err == EINTR) err = 0;
    }
    select_mask_ = kFdRead | kFdWrite | kFdAccept | kFdConnect | kFdClose;
    want_write_ = err == 0;
    ChangeState(wsConnecting);
    if (!*alive) return;
    // A failure the stack knew at once still arrives as the connect event.
    if (err != 0 && fd_ == fd) PostSelectEvent(kFdConnect, WsaErrorFromErrno(err));
  } else {
    select_mask_ = kFdRead | kFdWrite | kFdAccept | kFdConnect | kFdClose;
    ChangeState(wsConnected);
    if (!*alive || fd_ != fd) return;
    TriggerSessionConnectedSpecial(0);
  }
}

// ---------------------------------------------------------------------------
// Sending

void TCustomWSocket::DeleteBufferedData() {
  queue_.clear();
  all_sent_ = true;
}

void TCustomWSocket::PutDataInSendBuffer(const void* data, int len) {
  const char* p = static_cast<const char*>(data);
  if (queue_.empty()) queue_.push_back(std::make_unique<TBuffer>(chunk_size_));
  while (len > 0) {
    int n = queue_.back()->Write(p, len);
    p += n;
    len -= n;
    if (len > 0) queue_.push_back(std::make_unique<TBuffer>(chunk_size_));
  }
}

int TCustomWSocket::RealSend(const void* data, int len) {
  int flags = MSG_NOSIGNAL | (send_flags_ == wsSendUrgent ? MSG_OOB : 0);
  ssize_t n;
  if (sock_type_ == SOCK_STREAM)
    n = ::send(fd_, data, static_cast<std::size_t>(len), flags);
  else
    n = ::sendto(fd_, data, static_cast<std::size_t>(len), flags, reinterpret_cast<const sockaddr*>(&sin_), sizeof sin_);
  if (n < 0) {
    int e = errno;
    last_error_ = (e == EPIPE && shut_write_) ? kWsaEShutdown : WsaErrorFromErrno(e);
    return kSocketError;
  }
  if (n > 0 && OnSendData) OnSendData(this, static_cast<int>(n));
  return static_cast<int>(n);
}

void TCustomWSocket::TryToSend() {
  if (fd_ < 0 || queue_.empty()) return;
  auto alive = alive_;
  const int fd = fd_;
  for (;;) {
    if (queue_.empty()) {
      all_sent_ = true;
      break;
    }
    TBuffer& b = *queue_.front();
    int len = 0;
    const char* p = b.Peek(len);
    if (len <= 0) {
      if (queue_.size() > 1) {
        queue_.pop_front();
        continue;
      }
      all_sent_ = true;
      break;
    }
    int n = RealSend(p, len);
    if (!*alive || fd_ != fd) return;
    if (n > 0) {
      // A partial send goes on: the next call either sends more or says
      // would-block, which arms the write event.
      b.Remove(n);
      continue;
    }
    if (n == 0) break;
    const int err = last_error_;
    if (err == kWsaEWouldBlock) {
      if (!want_write_) {
        want_write_ = true;
        UpdateInterest();
      }
      break;
    }
    if (err == kWsaEConnReset || err == kWsaENotSock || err == kWsaENotConn || err == kWsaEInval ||
        err == kWsaEConnAborted) {
      close_reported_ = true;
      Close();
      if (!*alive) return;
      last_error_ = err;
      TriggerSessionClosed(err);
      return;
    }
    SocketError("TryToSend failed", err);
    return;
  }
}

int TCustomWSocket::Send(const void* data, int len) {
  if (state_ != wsConnected && state_ != wsSocksConnected) {
    SocketError("Send", kWsaENotConn);
    return kSocketError;
  }
  if (len <= 0 || data == nullptr) return 0;
  auto alive = alive_;
  const int fd = fd_;
  if (sock_type_ != SOCK_STREAM) {
    // A datagram goes out whole, never split into queue chunks.
    int n = RealSend(data, len);
    if (!*alive) return n;
    if (n < 0) {
      SocketError("Send", last_error_);
      return kSocketError;
    }
    if (fd_ == fd) PostSelectEvent(kFdWrite, 0);
    return n;
  }
  all_sent_ = false;
  PutDataInSendBuffer(data, len);
  TryToSend();
  if (!*alive) return len;
  // Queue emptied at once: the sent event still comes from the loop.
  if (fd_ == fd && fd_ >= 0 && all_sent_) PostSelectEvent(kFdWrite, 0);
  return len;
}

int TCustomWSocket::SendStr(std::string_view s) {
  if (s.empty()) return 0;
  return Send(s.data(), static_cast<int>(s.size()));
}

// ---------------------------------------------------------------------------
// Receiving

int TCustomWSocket::DoRecv(void* buf, int len, int flags) {
  if (!read_armed_) {
    read_armed_ = true;
    UpdateInterest();
  }
  if (fd_ < 0) {
    last_error_ = kWsaENotSock;
    return kSocketError;
  }
  if (len <= 0 || buf == nullptr) return 0;
  ssize_t n = ::recv(fd_, buf, static_cast<std::size_t>(len), flags | MSG_DONTWAIT);
  if (n < 0) {
    last_error_ = WsaErrorFromErrno(errno);
    return kSocketError;
  }
  if (n > 0 && !(flags & MSG_PEEK)) {
    read_count_ += static_cast<uint64_t>(n);
    ++recv_calls_;
  }
  return static_cast<int>(n);
}

int TCustomWSocket::Receive(void* buf, int len) { return DoRecv(buf, len, 0); }

std::string TCustomWSocket::ReceiveStr() {
  int n = GetRcvdCount();
  if (n <= 0) return std::string();
  std::string s(static_cast<std::size_t>(n), '\0');
  int got = Receive(s.data(), n);
  if (got <= 0) return std::string();
  s.resize(static_cast<std::size_t>(got));
  return s;
}

int TCustomWSocket::PeekData(void* buf, int len) {
  if (fd_ < 0) {
    last_error_ = kWsaENotSock;
    return kSocketError;
  }
  if (len <= 0 || buf == nullptr) return 0;
  ssize_t n = ::recv(fd_, buf, static_cast<std::size_t>(len), MSG_PEEK | MSG_DONTWAIT);
  if (n < 0) {
    last_error_ = WsaErrorFromErrno(errno);
    return kSocketError;
  }
  return static_cast<int>(n);
}

int TCustomWSocket::GetRcvdCount() {
  if (fd_ < 0) return -1;
  int avail = 0;
  if (ioctl(fd_, FIONREAD, &avail) < 0) return -1;
  return avail;
}

// ---------------------------------------------------------------------------
// Closing

void TCustomWSocket::InternalClose(bool shut, int error) {
  auto alive = alive_;
  if (fd_ < 0) {
    ChangeState(wsClosed);
    if (!*alive) return;
    AssignDefaultValue();
    return;
  }
  if (shut && state_ != wsClosed) ::shutdown(fd_, SHUT_WR);
  const int close_errno = CloseHandleQuietly();
  // What was still queued belongs to the closed connection.
  DeleteBufferedData();
  ChangeState(wsClosed);
  if (!*alive) return;
  if (!destroying_ && !close_reported_) {
    close_reported_ = true;
    TriggerSessionClosed(error);
    if (!*alive) return;
  }
  // A handler that opened a new session keeps it.
  if (fd_ < 0) AssignDefaultValue();
  // A handle that could not be released (closed behind this object's back)
  // is reported once the close is complete, so nothing stays half closed.
  if (close_errno != 0 && !destroying_) SocketError("Disconnect (closesocket)", WsaErrorFromErrno(close_errno));
}

void TCustomWSocket::Close() { InternalClose(true, 0); }

void TCustomWSocket::CloseDelayed() { PostToSelf(kWmCloseDelayed); }

void TCustomWSocket::Release() { PostToSelf(kWmWSocketRelease); }

void TCustomWSocket::InternalAbort(int error) {
  CancelDnsLookup();
  DeleteBufferedData();
  if (fd_ >= 0 && state_ == wsConnected && sock_type_ == SOCK_STREAM) {
    linger l{};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  }
  InternalClose(false, error);
}

void TCustomWSocket::Abort() { InternalAbort(0); }

bool TCustomWSocket::Flush() {
  auto alive = alive_;
  const int fd = fd_;
  const uint32_t start = TickCount();
  const int64_t limit = static_cast<int64_t>(flush_timeout_) * 1000;
  while (fd_ == fd && fd_ >= 0 && !all_sent_) {
    TryToSend();
    if (!*alive) return false;
    if (fd_ != fd || all_sent_) break;
    int64_t left = limit - static_cast<int64_t>(TickCount() - start);
    if (left <= 0 || loop_.QuitRequested()) break;
    loop_.RunUntil([&] { return !*alive || fd_ != fd || all_sent_; }, static_cast<int>(std::min<int64_t>(left, 1 << 30)));
    if (!*alive) return false;
  }
  return fd_ == fd && fd_ >= 0 && all_sent_;
}

void TCustomWSocket::WaitForClose() {
  if (fd_ < 0) return;
  auto alive = alive_;
  const int fd = fd_;
  loop_.RunUntil([&] { return !*alive || fd_ != fd || state_ == wsClosed; });
}

void TCustomWSocket::Shutdown(int how) {
  if (fd_ < 0) return;
  ::shutdown(fd_, how);
  if (how == SHUT_WR || how == SHUT_RDWR) shut_write_ = true;
}

void TCustomWSocket::Pause() {
  paused_ = true;
  UpdateInterest();
}

void TCustomWSocket::Resume() {
  paused_ = false;
  // Selecting the events again reports writability once, as a fresh select does.
  if (fd_ >= 0 && (state_ == wsConnected || state_ == wsSocksConnected)) want_write_ = true;
  UpdateInterest();
}

// ---------------------------------------------------------------------------
// Names of the ends

int TCustomWSocket::GetPeerName(sockaddr_in& name) {
  name = sockaddr_in{};
  if (fd_ < 0 || state_ != wsConnected) {
    last_error_ = kWsaENotConn;
    return kSocketError;
  }
  socklen_t len = sizeof name;
  if (getpeername(fd_, reinterpret_cast<sockaddr*>(&name), &len) < 0) {
    last_error_ = WsaErrorFromErrno(errno);
    return kSocketError;
  }
  return 0;
}

std::string TCustomWSocket::GetPeerAddr() {
  sockaddr_in a{};
  if (GetPeerName(a) != 0) return "error";
  return WSocketIpToStr(a.sin_addr.s_addr);
}

std::string TCustomWSocket::GetPeerPort() {
  sockaddr_in a{};
  if (GetPeerName(a) != 0) return "error";
  return PortText(a.sin_port);
}

int TCustomWSocket::GetSockName(sockaddr_in& name) {
  name = sockaddr_in{};
  if (fd_ < 0) {
    last_error_ = kWsaENotSock;
    return kSocketError;
  }
  socklen_t len = sizeof name;
  if (getsockname(fd_, reinterpret_cast<sockaddr*>(&name), &len) < 0) {
    last_error_ = WsaErrorFromErrno(errno);
    return kSocketError;
  }
  return 0;
}

std::string TCustomWSocket::GetXAddr() {
  if (state_ != wsBound && state_ != wsConnected && state_ != wsListening) return "error";
  sockaddr_in a{};
  if (GetSockName(a) != 0) return "error";
  return WSocketIpToStr(a.sin_addr.s_addr);
}

std::string TCustomWSocket::GetXPort() {
  if (state_ != wsBound && state_ != wsConnected && state_ != wsListening) return "error";
  sockaddr_in a{};
  if (GetSockName(a) != 0) return "error";
  return PortText(a.sin_port);
}

// ---------------------------------------------------------------------------
// Loop helpers

void TCustomWSocket::MessagePump() {
  if (!multi_threaded_) ProcessMessages();
}

bool TCustomWSocket::ProcessMessage() { return loop_.ProcessEvents(0); }

void TCustomWSocket::ProcessMessages() {
  while (!loop_.QuitRequested() && loop_.ProcessEvents(0)) {
  }
}

void TCustomWSocket::MessageLoop() { loop_.Run(); }

bool TCustomWSocket::Terminated() const { return loop_.QuitRequested(); }

void TCustomWSocket::ThreadDetach() {
  if (std::this_thread::get_id() != thread_id_) {
    RaiseException("Cannot detach from other thread");
    return;
  }
  if (detached_) return;
  if (watch_ != 0) {
    loop_.UnwatchFd(watch_);
    watch_ = 0;
  }
  // The message target stays: what is posted meanwhile (a sent event, a
  // look-up result) is held, not lost.
  detached_ = true;
}

void TCustomWSocket::ThreadAttach() {
  if (!detached_) {
    RaiseException("Cannot attach when not detached");
    return;
  }
  thread_id_ = std::this_thread::get_id();
  detached_ = false;
  UpdateInterest();
  std::vector<Message> held;
  held.swap(held_);
  for (const Message& m : held) PostToSelf(m.msg, m.wparam, m.lparam);
}

}  // namespace tav
