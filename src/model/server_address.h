// One IRC server to connect to, and the IRCServers setting read into a list
// of them. No Qt: the addresses are checked with inet_pton.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelvo {

struct ServerAddress {
  std::string host;  // a name, an IPv4 address or an IPv6 address without brackets
  std::int32_t port = 0;
  bool operator==(const ServerAddress&) const = default;
};

// "host:port", with the host in brackets when it is an IPv6 address
// ("[2001:db8::1]:6667"); `tls` puts "+" before the port ("host:+6697").
std::string HostPortText(const ServerAddress& server, bool tls = false);

// Whether `text` is an IPv4 address (dotted quad) or an IPv6 address.
bool IsIpAddress(std::string_view text);

// The most entries IRCServers may hold.
inline constexpr std::size_t kMaxExtraServers = 16;

// IRCServers read: the blank-separated entries in order, or an error that
// says what to write instead. An entry is "host", "host:port", "[v6]" or
// "[v6]:port"; an IPv6 address without brackets is taken whole, as an
// address without a port ("2001:db8::1" is never "2001:db8:" with port 1).
// A missing port is `default_port` (IRCPort).
struct ServerListResult {
  std::vector<ServerAddress> servers;
  std::string error;  // "" when read
};
ServerListResult ParseServerList(std::string_view text, std::int32_t default_port);

}  // namespace zelvo
