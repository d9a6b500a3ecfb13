// Blocking name functions of the socket layer: dotted addresses, host,
// port and protocol resolution, local host name and addresses. IPv4 only.
// Failures throw ESocketException with the texts the socket classes use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/strings.h"

namespace tav {

// True for exactly four dot-separated decimal parts of 0..255 (leading blanks
// skipped, trailing blanks allowed).
bool WSocketIsDottedIP(std::string_view s);
// Parses a dotted address (decimal parts, as WSocketIsDottedIP accepts it)
// into network byte order; false when s is not one.
bool WSocketParseDotted(std::string_view s, uint32_t& addr_net);
// Host name or dotted address -> IPv4 address in network byte order.
uint32_t WSocketResolveHost(std::string_view s);
// Port number or service name -> port in network byte order.
uint16_t WSocketResolvePort(std::string_view port, std::string_view proto);
// Protocol number or name ("tcp" 6, "udp" 17, "raw" 255, others looked up).
int WSocketResolveProto(std::string_view s);

// Dotted text of an IPv4 address in network byte order.
std::string WSocketIpToStr(uint32_t addr_net);

struct THostEntry {
  std::string name;
  std::vector<std::string> aliases;
  std::vector<uint32_t> addresses;  // network byte order
};
// Blocking look-ups. They return false and set error (a socket error number)
// when the name or address is unknown; bad input throws.
bool WSocketGetHostByName(std::string_view name, THostEntry& out, int* error = nullptr);
bool WSocketGetHostByAddr(std::string_view addr, THostEntry& out, int* error = nullptr);
// The look-ups behind the two above, without their input checks and without
// exceptions (safe on any thread): 0 or a socket error number.
int WSocketLookUpName(const std::string& name, THostEntry& out, bool canonical_name = true);
int WSocketLookUpAddr(uint32_t addr_net, THostEntry& out);
// Host name of a dotted address; empty when none is known.
std::string WSocketResolveIp(std::string_view ip);
// This machine's name ("Winsock.GetHostName failed" when unavailable).
std::string LocalHostName();
// This machine's IPv4 addresses, dotted.
TStringList LocalIPList();

// Trimmed copy (blanks and control characters at both ends).
std::string WSocketTrim(std::string_view s);

}  // namespace tav
