#include "mail/wsocket_socks.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cctype>

#include "platform/text.h"

namespace tav {

namespace {

std::string ProtoLower(const std::string& s) {
  std::string t = WSocketTrim(s);
  for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return t;
}

const char* Socks5ReplyText(int code) {
  switch (code) {
    case 1: return "general SOCKS server failure";
    case 2: return "connection not allowed by ruleset";
    case 3: return "network unreachable";
    case 4: return "host unreachable";
    case 5: return "connection refused";
    case 6: return "time to live expired";
    case 7: return "command not supported";
    case 8: return "address type not supported";
    default: return nullptr;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Properties

void TCustomSocksWSocket::SetSocksServer(std::string_view value) {
  if (RefusedUnlessClosed("Can't change socks server if not closed")) return;
  socks_server_ = WSocketTrim(value);
}

void TCustomSocksWSocket::SetSocksPort(std::string_view value) {
  if (RefusedUnlessClosed("Can't change socks port if not closed")) return;
  socks_port_ = WSocketTrim(value);
}

void TCustomSocksWSocket::SetSocksLevel(std::string_view value) {
  if (RefusedUnlessClosed("Can't change socks level if not closed")) return;
  std::string v = UpperCp1252(WSocketTrim(value));
  if (v != "4" && v != "4A" && v != "5") {
    RaiseException("Invalid socks level. Must be 4, 4A or 5.");
    return;
  }
  socks_level_ = v;
}

void TCustomSocksWSocket::AssignDefaultValue() {
  TCustomWSocket::AssignDefaultValue();
  socks_state_ = socksData;
  socks_pending_ = false;
  socks_reply_.clear();
  socks_need_ = 0;
}

// ---------------------------------------------------------------------------
// Triggers

void TCustomSocksWSocket::TriggerSocksConnected(int error) {
  if (OnSocksConnected) OnSocksConnected(this, error);
}

void TCustomSocksWSocket::TriggerSocksError(int error, const std::string& msg) {
  if (OnSocksError) OnSocksError(this, error, msg);
}

void TCustomSocksWSocket::TriggerSocksAuthState(TSocksAuthState state) {
  if (OnSocksAuthState) OnSocksAuthState(this, state);
}

void TCustomSocksWSocket::TriggerDataSent(int error) {
  // The negotiation's own bytes are nobody else's business.
  if (SocksNegotiating()) return;
  TCustomWSocket::TriggerDataSent(error);
}

// ---------------------------------------------------------------------------
// Connect and negotiation

void TCustomSocksWSocket::Connect() {
  if (socks_server_.empty()) {
    socks_pending_ = false;
    TCustomWSocket::Connect();
    return;
  }
  if (!CheckConnectable()) return;
  if (ProtoLower(proto_) != "tcp") {
    RaiseException("tcp is the only protocol supported thru socks server");
    return;
  }
  try {
    protocol_ = IPPROTO_TCP;
    sock_type_ = SOCK_STREAM;
    proto_resolved_ = true;
    socks_target_port_ = WSocketResolvePort(port_, "tcp");
    // Level 4 carries the target's address; 4A and 5 pass the name on.
    socks_target_addr_ = socks_level_ == "4" ? WSocketResolveHost(addr_) : 0;
    sin_.sin_port = WSocketResolvePort(socks_port_, "tcp");
    sin_.sin_addr.s_addr = WSocketResolveHost(socks_server_);
  } catch (const ESocketException& e) {
    RaiseException(e.what());
    return;
  }
  // The remote address and port now name the SOCKS server.
  port_resolved_ = addr_resolved_ = true;
  socks_pending_ = true;
  socks_state_ = socksData;
  socks_reply_.clear();
  TCustomWSocket::Connect();
  if (state_ == wsClosed) {
    // The connect failed at once: nothing of it may outlive the attempt.
    socks_pending_ = false;
    port_resolved_ = addr_resolved_ = false;
  }
}

void TCustomSocksWSocket::Listen() {
  if (!socks_server_.empty()) {
    RaiseException("Listening is not supported thru socks server");
    return;
  }
  TCustomWSocket::Listen();
}

void TCustomSocksWSocket::Do_FD_CONNECT(int error) {
  if (!socks_pending_ || state_ == wsConnected || state_ == wsSocksConnected) {
    TCustomWSocket::Do_FD_CONNECT(error);
    return;
  }
  auto alive = Life();
  if (error != 0) {
    socks_pending_ = false;
    TriggerSocksConnected(error);
    if (!*alive) return;
    // The normal connected event carries the error, then the socket closes.
    TCustomWSocket::Do_FD_CONNECT(error);
    return;
  }
  const int fd = fd_;
  ChangeState(wsSocksConnected);
  if (!*alive || fd_ != fd) return;
  socks_state_ = socks_level_ == "5" ? socksNegociateMethods : socksConnect;
  TriggerSocksConnected(0);
  if (!*alive || fd_ != fd) return;
  if (socks_level_ == "5") {
    socks_reply_.clear();
    socks_need_ = 2;
    std::string req{5, 1, static_cast<char>(socks_auth_ == socksAuthenticateUsercode ? 2 : 0)};
    SocksSend(req);
  } else {
    SocksDoConnect();
  }
}

void TCustomSocksWSocket::SocksSend(const std::string& bytes) { Send(bytes.data(), static_cast<int>(bytes.size())); }

void TCustomSocksWSocket::SocksDoAuthenticate() {
  if (socks_usercode_.size() > 255 || socks_password_.size() > 255) {
    SocksError(kSocksErrFieldTooLong, "socks user code or password too long");
    return;
  }
  socks_state_ = socksAuthenticate;
  socks_reply_.clear();
  socks_need_ = 2;
  std::string req;
  req += '\x01';
  req += static_cast<char>(socks_usercode_.size());
  req += socks_usercode_;
  req += static_cast<char>(socks_password_.size());
  req += socks_password_;
  SocksSend(req);
}

void TCustomSocksWSocket::SocksDoConnect() {
  socks_state_ = socksConnect;
  socks_reply_.clear();
  std::string req;
  const char port_hi = static_cast<char>(ntohs(socks_target_port_) >> 8);
  const char port_lo = static_cast<char>(ntohs(socks_target_port_) & 0xFF);
  if (socks_level_ == "5") {
    if (addr_.size() > 255) {
      SocksError(kSocksErrFieldTooLong, "socks host name too long");
      return;
    }
    // Version, connect, reserved, domain name.
    req = std::string{5, 1, 0, 3};
    req += static_cast<char>(addr_.size());
    req += addr_;
    req += port_hi;
    req += port_lo;
    socks_need_ = 2;  // version and reply code first; the address follows
  } else {
    req = std::string{4, 1};
    req += port_hi;
    req += port_lo;
    if (socks_level_ == "4A") {
      req += std::string{0, 0, 0, 1};
    } else {
      uint32_t host = ntohl(socks_target_addr_);
      req += static_cast<char>(host >> 24);
      req += static_cast<char>((host >> 16) & 0xFF);
      req += static_cast<char>((host >> 8) & 0xFF);
      req += static_cast<char>(host & 0xFF);
    }
    req += socks_usercode_;
    req += '\0';
    if (socks_level_ == "4A") {
      req += addr_;
      req += '\0';
    }
    socks_need_ = 8;
  }
  SocksSend(req);
}

void TCustomSocksWSocket::SocksError(int error, const std::string& msg) {
  auto alive = Life();
  const int fd = fd_;
  TriggerSocksError(error, msg);
  if (!*alive) return;
  socks_state_ = socksData;
  socks_pending_ = false;
  socks_reply_.clear();
  if (fd_ != fd) return;
  TriggerSessionConnectedSpecial(error);
  if (!*alive) return;
  if (fd_ == fd && state_ != wsClosed) Close();
}

void TCustomSocksWSocket::SocksSucceeded() {
  auto alive = Life();
  const int fd = fd_;
  socks_state_ = socksData;
  socks_pending_ = false;
  socks_reply_.clear();
  ChangeState(wsConnected);
  if (!*alive || fd_ != fd) return;
  TriggerSessionConnectedSpecial(0);
  if (!*alive || fd_ != fd) return;
  // As after a direct connect, the sent event follows the connected one.
  PostSelectEvent(kFdWrite, 0);
}

bool TCustomSocksWSocket::TriggerDataAvailable(int error) {
  if (!SocksNegotiating()) return TCustomWSocket::TriggerDataAvailable(error);
  if (error != 0) {
    SocksError(kSocksErrDataReceive, "data receive error");
    return true;
  }
  // Only the bytes of the reply are read; what follows stays in the socket
  // and is delivered once the negotiation is over.
  if (socks_reply_.size() >= socks_need_) {
    SocksError(kSocksErrInternal, "internal error");
    return true;
  }
  std::string buf(socks_need_ - socks_reply_.size(), '\0');
  int n = DoRecv(buf.data(), static_cast<int>(buf.size()), 0);
  if (n < 0 && LastError() == kWsaEWouldBlock) return true;
  if (n <= 0) {
    SocksError(kSocksErrDataReceive, "data receive error");
    return true;
  }
  socks_reply_.append(buf.data(), static_cast<std::size_t>(n));
  if (socks_reply_.size() < socks_need_) return true;
  HandleSocksReply();
  return true;
}

void TCustomSocksWSocket::HandleSocksReply() {
  auto alive = Life();
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(socks_reply_[i]); };
  switch (socks_state_) {
    case socksNegociateMethods: {
      if (byte(0) != 5) return SocksError(kSocksErrVersion, "socks version error");
      const int method = byte(1);
      if (method == 0) {
        TriggerSocksAuthState(socksAuthNotRequired);
        if (!*alive) return;
        SocksDoConnect();
      } else if (method == 2 && socks_auth_ == socksAuthenticateUsercode) {
        TriggerSocksAuthState(socksAuthStart);
        if (!*alive) return;
        SocksDoAuthenticate();
      } else {
        SocksError(kSocksErrMethod, "authentification method not acceptable");
      }
      return;
    }
    case socksAuthenticate: {
      if (byte(1) != 0) {
        TriggerSocksAuthState(socksAuthFailure);
        if (!*alive) return;
        return SocksError(kSocksErrAuthFailed, "socks authentication failed");
      }
      TriggerSocksAuthState(socksAuthSuccess);
      if (!*alive) return;
      SocksDoConnect();
      return;
    }
    case socksConnect: {
      if (socks_level_ != "5") {
        // VN 0, CD, port, address.
        if (byte(0) != 0 && byte(0) != 4) return SocksError(kSocksErrVersion, "socks version error");
        switch (byte(1)) {
          case 90: return SocksSucceeded();
          case 92: return SocksError(kSocks4ErrNoIdentd, "connection refused");
          case 93: return SocksError(kSocks4ErrIdentMismatch, "authentification failed");
          default: return SocksError(kSocks4ErrRejected, "request rejected or failed");
        }
      }
      if (byte(0) != 5) return SocksError(kSocksErrVersion, "socks version error");
      const int rep = byte(1);
      if (rep != 0) {
        if (const char* text = Socks5ReplyText(rep)) return SocksError(kSocksErrGeneralFailure + rep - 1, text);
        return SocksError(kSocksErrUnassigned, "unassigned error #" + std::to_string(rep));
      }
      if (socks_reply_.size() < 5) {
        socks_need_ = 5;  // up to the first byte of the bound address
        return;
      }
      // The reply's length depends on the type of the bound address.
      std::size_t total;
      switch (byte(3)) {
        case 1: total = 10; break;                      // IPv4
        case 3: total = 7 + std::size_t{byte(4)}; break;  // domain name
        case 4: total = 22; break;                      // IPv6
        default: return SocksError(kSocksErrGeneralFailure + 7, "address type not supported");
      }
      if (socks_reply_.size() < total) {
        socks_need_ = total;
        return;  // the rest of the reply is read on the next pass
      }
      SocksSucceeded();
      return;
    }
    default:
      SocksError(kSocksErrLogic, "TWSocket logic error");
      return;
  }
}

void TCustomSocksWSocket::Do_FD_CLOSE(int error) {
  if (SocksNegotiating() && state_ == wsSocksConnected) {
    // The server hung up before the negotiation ended.
    SocksError(kSocksErrDataReceive, "data receive error");
    return;
  }
  TCustomWSocket::Do_FD_CLOSE(error);
}

}  // namespace tav
