#include "mail/wsocket_names.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "mail/wsocket_error.h"
#include "platform/text.h"

namespace tav {

std::string WSocketTrim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

bool WSocketIsDottedIP(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  int dots = 0;
  for (;;) {
    int value = 0, digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      value = value * 10 + (s[i] - '0');
      if (++digits > 3 || value > 255) return false;
      ++i;
    }
    if (digits == 0) return false;
    if (i < s.size() && s[i] == '.') {
      if (++dots > 3) return false;
      ++i;
      continue;
    }
    break;
  }
  if (dots != 3) return false;
  while (i < s.size() && s[i] == ' ') ++i;
  return i == s.size();
}

bool WSocketParseDotted(std::string_view s, uint32_t& addr_net) {
  if (!WSocketIsDottedIP(s)) return false;
  uint32_t host = 0, part = 0;
  for (char c : s) {
    if (c >= '0' && c <= '9') {
      part = part * 10 + static_cast<uint32_t>(c - '0');
    } else if (c == '.') {
      host = (host << 8) | part;
      part = 0;
    }
  }
  host = (host << 8) | part;
  addr_net = htonl(host);
  return true;
}

std::string WSocketIpToStr(uint32_t addr_net) {
  char buf[INET_ADDRSTRLEN] = {};
  in_addr a{};
  a.s_addr = addr_net;
  inet_ntop(AF_INET, &a, buf, sizeof buf);
  return buf;
}

namespace {

bool AllDigitsAndDots(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

// The decimal number at the start of s (s starts with a digit); throws
// ESocketException(error) once it passes max.
long LeadingNumber(const std::string& s, long max, const char* error) {
  long v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    v = v * 10 + (c - '0');
    if (v > max) throw ESocketException(error);
  }
  return v;
}

}  // namespace

int WSocketLookUpName(const std::string& name, THostEntry& out, bool canonical_name) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = canonical_name ? AI_CANONNAME : 0;
  addrinfo* res = nullptr;
  errno = 0;
  int rc = getaddrinfo(name.c_str(), nullptr, &hints, &res);
  if (rc != 0) return WsaErrorFromGai(rc, errno);
  out = THostEntry{};
  out.name = res->ai_canonname ? res->ai_canonname : name;
  for (addrinfo* p = res; p != nullptr; p = p->ai_next) {
    if (p->ai_family != AF_INET || p->ai_addr == nullptr) continue;
    uint32_t a = reinterpret_cast<const sockaddr_in*>(p->ai_addr)->sin_addr.s_addr;
    if (std::find(out.addresses.begin(), out.addresses.end(), a) == out.addresses.end())
      out.addresses.push_back(a);
  }
  freeaddrinfo(res);
  return out.addresses.empty() ? kWsaNoData : 0;
}

int WSocketLookUpAddr(uint32_t addr_net, THostEntry& out) {
  sockaddr_in sin{};
  sin.sin_family = AF_INET;
  sin.sin_addr.s_addr = addr_net;
  char host[NI_MAXHOST] = {};
  errno = 0;
  int rc = getnameinfo(reinterpret_cast<const sockaddr*>(&sin), sizeof sin, host, sizeof host, nullptr, 0, NI_NAMEREQD);
  int err = WsaErrorFromGai(rc, errno);
  if (err != 0) return err;
  out = THostEntry{};
  out.name = host;
  out.addresses.push_back(addr_net);
  return 0;
}

uint32_t WSocketResolveHost(std::string_view s_in) {
  std::string s(s_in);
  if (s.empty() || s.size() >= 257)
    throw ESocketException("WSocketResolveHost: '" + s + "' Invalid Hostname.");
  std::string t = WSocketTrim(s);
  if (AllDigitsAndDots(t)) {
    // Numeric form: only the four-part dotted form is taken, and only the
    // text 255.255.255.255 may give the all-ones address.
    uint32_t a = 0;
    if (!WSocketParseDotted(t, a) || (a == INADDR_NONE && t != "255.255.255.255"))
      throw ESocketException("WSocketResolveHost: '" + s + "' Invalid IP address.");
    return a;
  }
  THostEntry e;
  int err = WSocketLookUpName(t, e);
  if (err != 0)
    throw ESocketException(Format("WSocketResolveHost: Cannot convert host address '%s', Error #%d", s.c_str(), err));
  return e.addresses.front();
}

uint16_t WSocketResolvePort(std::string_view port_in, std::string_view proto_in) {
  std::string port(port_in), proto(proto_in);
  if (port.empty() || port.size() >= 32) throw ESocketException("WSocketResolvePort: Invalid Port.");
  if (proto.empty() || proto.size() >= 32) throw ESocketException("WSocketResolvePort: Invalid Proto.");
  if (port[0] >= '0' && port[0] <= '9')
    return htons(static_cast<uint16_t>(LeadingNumber(port, 65535, "WSocketResolvePort: Invalid Port.")));
  std::string p = WSocketTrim(port), q = WSocketTrim(proto);
  servent se{};
  servent* result = nullptr;
  char buf[1024];
  if (getservbyname_r(p.c_str(), q.c_str(), &se, buf, sizeof buf, &result) != 0 || result == nullptr)
    throw ESocketException(Format("WSocketResolvePort: Cannot convert port '%s', Error #%d", port.c_str(), kWsaNoData));
  return static_cast<uint16_t>(result->s_port);
}

int WSocketResolveProto(std::string_view s_in) {
  std::string s(s_in);
  if (s.empty() || s.size() >= 32) throw ESocketException("WSocketResolveProto: Invalid Protocol.");
  if (s[0] >= '0' && s[0] <= '9')
    return static_cast<int>(LeadingNumber(s, 255, "WSocketResolveProto: Invalid Protocol."));
  std::string t = WSocketTrim(s);
  for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (t == "tcp") return IPPROTO_TCP;
  if (t == "udp") return IPPROTO_UDP;
  if (t == "raw") return IPPROTO_RAW;
  protoent pe{};
  protoent* result = nullptr;
  char buf[1024];
  if (getprotobyname_r(t.c_str(), &pe, buf, sizeof buf, &result) != 0 || result == nullptr)
    throw ESocketException(Format("WSocketResolveProto: Cannot convert protocol '%s', Error #%d", s.c_str(), kWsaNoData));
  return result->p_proto;
}

bool WSocketGetHostByName(std::string_view name_in, THostEntry& out, int* error) {
  std::string name = WSocketTrim(name_in);
  if (name.empty() || name.size() >= 257) throw ESocketException("WSocketGetHostByName: Invalid Hostname.");
  int err = WSocketLookUpName(name, out);
  if (error) *error = err;
  return err == 0;
}

bool WSocketGetHostByAddr(std::string_view addr_in, THostEntry& out, int* error) {
  std::string addr = WSocketTrim(addr_in);
  uint32_t a = 0;
  if (!WSocketParseDotted(addr, a)) throw ESocketException("WSocketGetHostByAddr: Invalid address.");
  int err = WSocketLookUpAddr(a, out);
  if (error) *error = err;
  return err == 0;
}

std::string WSocketResolveIp(std::string_view ip) {
  THostEntry e;
  if (!WSocketGetHostByAddr(ip, e)) return std::string();
  return e.name;
}

std::string LocalHostName() {
  char buf[256] = {};
  if (gethostname(buf, sizeof buf - 1) != 0) throw ESocketException("Winsock.GetHostName failed");
  return buf;
}

TStringList LocalIPList() {
  TStringList list;
  ifaddrs* ifs = nullptr;
  if (getifaddrs(&ifs) != 0) return list;
  for (ifaddrs* p = ifs; p != nullptr; p = p->ifa_next) {
    if (p->ifa_addr == nullptr || p->ifa_addr->sa_family != AF_INET) continue;
    std::string a = WSocketIpToStr(reinterpret_cast<const sockaddr_in*>(p->ifa_addr)->sin_addr.s_addr);
    if (list.IndexOf(a) < 0) list.Add(a);
  }
  freeifaddrs(ifs);
  return list;
}

}  // namespace tav
