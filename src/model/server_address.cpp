#include "model/server_address.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>

namespace zelvo {

namespace {

bool IsIpv6Address(std::string_view text) {
  in6_addr address{};
  return inet_pton(AF_INET6, std::string(text).c_str(), &address) == 1;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A port from 1 to 65535 in decimal digits; 0 when `text` is none.
std::int32_t PortOf(std::string_view text) {
  if (text.empty() || text.size() > 5) return 0;
  std::int32_t port = 0;
  for (const char c : text) {
    if (std::isdigit(static_cast<unsigned char>(c)) == 0) return 0;
    port = port * 10 + (c - '0');
  }
  return port <= 65535 ? port : 0;
}

// One entry read into `server`; "" or why it cannot be read.
std::string ReadEntry(std::string_view entry, std::int32_t default_port, ServerAddress& server) {
  const std::string quoted = "\"" + std::string(entry) + "\"";
  std::string_view host = entry;
  std::string_view port;
  bool has_port = false;
  if (entry.front() == '[') {
    const std::size_t close = entry.find(']');
    if (close == std::string_view::npos || entry.find('[', 1) != std::string_view::npos ||
        entry.find(']', close + 1) != std::string_view::npos) {
      return quoted + " has unbalanced brackets: write [IPv6-ADDRESS]:PORT.";
    }
    host = entry.substr(1, close - 1);
    if (!IsIpv6Address(host)) {
      return quoted +
             " holds no IPv6 address in its brackets: brackets are only for IPv6 "
             "addresses, as in [2001:db8::1]:6667.";
    }
    const std::string_view rest = entry.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return quoted + " has something after \"]\": write [ADDRESS]:PORT.";
      port = rest.substr(1);
      has_port = true;
    }
  } else if (entry.find_first_of("[]") != std::string_view::npos) {
    return quoted + " has unbalanced brackets: write [IPv6-ADDRESS]:PORT.";
  } else if (std::count(entry.begin(), entry.end(), ':') > 1) {
    if (!IsIpv6Address(entry)) {
      return quoted +
             " is no host: an IPv6 address with a port needs brackets, as in "
             "[2001:db8::1]:6667.";
    }
  } else if (const std::size_t colon = entry.find(':'); colon != std::string_view::npos) {
    host = entry.substr(0, colon);
    port = entry.substr(colon + 1);
    has_port = true;
  }
  if (host.empty()) return quoted + " has no host: write HOST or HOST:PORT.";
  server.host = std::string(host);
  server.port = has_port ? PortOf(port) : default_port;
  if (server.port == 0) {
    return quoted +
           " has no valid port: write a port from 1 to 65535 after the colon, or "
           "leave the colon out for IRCPort.";
  }
  return "";
}

}  // namespace

std::string HostPortText(const ServerAddress& server, bool tls) {
  const bool v6 = server.host.find(':') != std::string::npos;
  return (v6 ? "[" + server.host + "]" : server.host) + (tls ? ":+" : ":") +
         std::to_string(server.port);
}

bool IsIpAddress(std::string_view text) {
  in_addr v4{};
  return inet_pton(AF_INET, std::string(text).c_str(), &v4) == 1 || IsIpv6Address(text);
}

ServerListResult ParseServerList(std::string_view text, std::int32_t default_port) {
  ServerListResult result;
  std::size_t at = 0;
  while (at < text.size()) {
    if (IsBlank(text[at])) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    if (result.servers.size() == kMaxExtraServers) {
      result.error = "more than " + std::to_string(kMaxExtraServers) + " servers: keep the " +
                     std::to_string(kMaxExtraServers) + " you want tried.";
      break;
    }
    ServerAddress server;
    result.error = ReadEntry(text.substr(at, end - at), default_port, server);
    if (!result.error.empty()) break;
    result.servers.push_back(std::move(server));
    at = end;
  }
  if (!result.error.empty()) result.servers.clear();
  return result;
}

}  // namespace zelvo
