// The MQTTBroker setting: mqtt://HOST[:PORT] or mqtts://HOST[:PORT].
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zelvo::mqtt {

inline constexpr int kDefaultPort = 1883;
inline constexpr int kDefaultTlsPort = 8883;

struct BrokerUrl {
  bool tls = false;
  std::string host;  // an IPv6 address without its brackets
  int port = kDefaultPort;
  bool operator==(const BrokerUrl&) const = default;
};

// Parses the setting; on failure returns nothing and sets `error`.
std::optional<BrokerUrl> ParseBrokerUrl(std::string_view text, std::string* error);

}  // namespace zelvo::mqtt
