#include "irc/socket.h"

#include <array>

namespace zelvo {

bool SaysPlainTextAnswer(std::string_view tls_error) {
  // OpenSSL's words for a first record that is no TLS record.
  constexpr std::array<std::string_view, 4> kPlainAnswer = {
      "wrong version number", "packet length too long", "unknown protocol", "http request"};
  for (const std::string_view words : kPlainAnswer) {
    if (tls_error.find(words) != std::string_view::npos) return true;
  }
  return false;
}

bool StartsTlsRecord(std::string_view received) {
  // Content type alert (21) or handshake (22), then major version 3.
  return received.size() >= 2 && (received[0] == '\x15' || received[0] == '\x16') &&
         received[1] == '\x03';
}

}  // namespace zelvo
