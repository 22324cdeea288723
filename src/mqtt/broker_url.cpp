#include "mqtt/broker_url.h"

#include <cctype>
#include <charconv>

namespace zelvo::mqtt {

std::optional<BrokerUrl> ParseBrokerUrl(std::string_view text, std::string* error) {
  const auto fail = [&](const std::string& why) -> std::optional<BrokerUrl> {
    if (error)
      *error = "Invalid MQTTBroker \"" + std::string(text) + "\": " + why +
               " Write mqtt://HOST[:PORT] (default port 1883) or mqtts://HOST[:PORT] (TLS, "
               "default port 8883).";
    return std::nullopt;
  };
  BrokerUrl url;
  std::string scheme;
  const std::size_t separator = text.find("://");
  if (separator == std::string_view::npos) return fail("the scheme is missing.");
  for (char c : text.substr(0, separator))
    scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (scheme == "mqtts") {
    url.tls = true;
    url.port = kDefaultTlsPort;
  } else if (scheme != "mqtt") {
    return fail("the scheme \"" + scheme + "\" is neither mqtt nor mqtts.");
  }
  std::string_view rest = text.substr(separator + 3);
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  std::string_view port;
  if (!rest.empty() && rest.front() == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string_view::npos) return fail("the IPv6 address lacks its \"]\".");
    url.host = std::string(rest.substr(1, close - 1));
    std::string_view after = rest.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return fail("unexpected text after the address.");
      port = after.substr(1);
      if (port.empty()) return fail("the port is empty.");
    }
  } else {
    const std::size_t colon = rest.find(':');
    url.host = std::string(rest.substr(0, colon));
    if (colon != std::string_view::npos) {
      port = rest.substr(colon + 1);
      if (port.empty()) return fail("the port is empty.");
    }
  }
  if (url.host.empty()) return fail("the host is missing.");
  for (char c : url.host)
    if (c == '/' || c == '@' || c == '?' || c == '#' || std::isspace(static_cast<unsigned char>(c)))
      return fail("the host \"" + url.host + "\" is not a host name or address.");
  if (!port.empty()) {
    const auto [ptr, ec] = std::from_chars(port.data(), port.data() + port.size(), url.port);
    if (ec != std::errc() || ptr != port.data() + port.size() || url.port < 1 || url.port > 65535)
      return fail("the port \"" + std::string(port) + "\" is not a number from 1 to 65535.");
  }
  return url;
}

}  // namespace zelvo::mqtt
