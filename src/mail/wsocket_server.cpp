// Listening, accepting and datagram operations of TCustomWSocket.
#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "mail/wsocket_base.h"

namespace tav {

void TCustomWSocket::Listen() {
  const char* missing = !port_assigned_    ? "listen: port not assigned"
                        : !proto_assigned_ ? "listen: protocol not assigned"
                        : !addr_assigned_  ? "listen: address not assigned"
                                           : nullptr;
  if (missing) {
    last_error_ = kWsaEInval;
    RaiseException(missing);
    return;
  }
  if (fd_ >= 0 && state_ != wsClosed) {
    RaiseException("Listen: Socket already in use");
    return;
  }
  if (!ResolveRemote(false)) return;
  if (sock_type_ != SOCK_STREAM && sock_type_ != SOCK_DGRAM && sock_type_ != SOCK_RAW) {
    RaiseException("Listen: unexpected protocol.");
    return;
  }
  const int fd = OpenHandle("socket");
  if (fd < 0) return;
  auto alive = alive_;
  ChangeState(wsOpened);
  if (!*alive || fd_ != fd) return;
  const int one = 1;
  if (reuse_addr_ && setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) < 0)
    return AbandonHandle("setsockopt(SO_REUSEADDR)", WsaErrorFromErrno(errno));
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&sin_), sizeof sin_) < 0)
    return AbandonHandle("Bind", WsaErrorFromErrno(errno));
  if (sock_type_ == SOCK_DGRAM && multicast_) {
    ip_mreq mreq{};
    std::string group = multicast_addr_.empty() ? addr_ : multicast_addr_;
    if (!WSocketParseDotted(group, mreq.imr_multiaddr.s_addr))
      return AbandonHandle("setsockopt(IP_ADD_MEMBERSHIP)", kWsaEInval);
    mreq.imr_interface.s_addr = htonl(INADDR_ANY);
    if (setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &mreq, sizeof mreq) < 0)
      return AbandonHandle("setsockopt(IP_ADD_MEMBERSHIP)", WsaErrorFromErrno(errno));
  }
  if (sock_type_ == SOCK_STREAM) {
    if (::listen(fd_, listen_backlog_) < 0) return AbandonHandle("Listen", WsaErrorFromErrno(errno));
    select_mask_ = kFdAccept | kFdClose;
  } else {
    select_mask_ = kFdRead | kFdWrite;
  }
  ChangeState(wsListening);
}

int TCustomWSocket::Accept() {
  if (state_ != wsListening || fd_ < 0 || sock_type_ != SOCK_STREAM) {
    SocketError("not a listening socket", kWsaEInval);
    return kInvalidSocket;
  }
  ++accept_calls_;
  if (!accept_armed_) {
    accept_armed_ = true;
    UpdateInterest();
  }
  sockaddr_in peer{};
  socklen_t len = sizeof peer;
  int fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) {
    last_error_ = WsaErrorFromErrno(errno);
    if (last_error_ != kWsaEWouldBlock) SocketError("Accept", last_error_);
    return kInvalidSocket;
  }
  last_error_ = 0;
  return fd;
}

void TCustomWSocket::Dup(int new_socket) {
  int type = 0;
  socklen_t tlen = sizeof type;
  if (new_socket < 0 || getsockopt(new_socket, SOL_SOCKET, SO_TYPE, &type, &tlen) < 0) {
    SocketError("Dup", kWsaEInval);
    return;
  }
  auto alive = alive_;
  if (fd_ >= 0) {
    Close();
    if (!*alive) return;
  }
  DeleteBufferedData();
  BeginSession(new_socket);
  int flags = fcntl(fd_, F_GETFL);
  if (flags >= 0) fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
  fcntl(fd_, F_SETFD, FD_CLOEXEC);
  sock_type_ = type == SOCK_DGRAM ? SOCK_DGRAM : type == SOCK_RAW ? SOCK_RAW : SOCK_STREAM;
  protocol_ = sock_type_ == SOCK_STREAM ? IPPROTO_TCP : sock_type_ == SOCK_DGRAM ? IPPROTO_UDP : protocol_;
  socklen_t len = sizeof sin_;
  if (getpeername(fd_, reinterpret_cast<sockaddr*>(&sin_), &len) < 0) sin_ = sockaddr_in{};
  sin_.sin_family = AF_INET;
  const int fd = fd_;
  ApplyLinger();
  if (!*alive || fd_ != fd) return;
  select_mask_ = kFdRead | kFdWrite | kFdClose | kFdConnect;
  // A freshly selected connected socket reports writability once.
  want_write_ = true;
  DupConnected();
}

void TCustomWSocket::DupConnected() { ChangeState(wsConnected); }

bool TCustomWSocket::DatagramCallValid(const void* buf, int len) {
  if (fd_ < 0)
    last_error_ = kWsaENotSock;
  else if (len < 0 || (len > 0 && buf == nullptr))
    last_error_ = kWsaEFault;
  else
    return true;
  return false;
}

int TCustomWSocket::SendTo(const sockaddr_in& dest, const void* data, int len) {
  if (!DatagramCallValid(data, len)) return kSocketError;
  int flags = MSG_NOSIGNAL | (send_flags_ == wsSendUrgent ? MSG_OOB : 0);
  ssize_t n = ::sendto(fd_, data, static_cast<std::size_t>(len), flags, reinterpret_cast<const sockaddr*>(&dest),
                       sizeof dest);
  if (n < 0) {
    last_error_ = WsaErrorFromErrno(errno);
    return kSocketError;
  }
  last_error_ = 0;
  auto alive = alive_;
  if (n > 0 && OnSendData) OnSendData(this, static_cast<int>(n));
  if (*alive && fd_ >= 0) PostSelectEvent(kFdWrite, 0);
  return static_cast<int>(n);
}

int TCustomWSocket::DoRecvFrom(void* buf, int len, int flags, sockaddr_in& from) {
  if (!read_armed_) {
    read_armed_ = true;
    UpdateInterest();
  }
  from = sockaddr_in{};
  if (!DatagramCallValid(buf, len)) return kSocketError;
  socklen_t flen = sizeof from;
  ssize_t n = ::recvfrom(fd_, buf, static_cast<std::size_t>(len), flags | MSG_DONTWAIT,
                         reinterpret_cast<sockaddr*>(&from), &flen);
  if (n < 0) {
    last_error_ = WsaErrorFromErrno(errno);
    return kSocketError;
  }
  if (!(flags & MSG_PEEK)) {
    read_count_ += static_cast<uint64_t>(n);
    ++recv_calls_;  // an empty datagram is a datagram taken
  }
  return static_cast<int>(n);
}

int TCustomWSocket::ReceiveFrom(void* buf, int len, sockaddr_in& from) { return DoRecvFrom(buf, len, 0, from); }

}  // namespace tav
