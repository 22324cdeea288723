#include "mqtt/safe_state.h"

#include <cctype>
#include <charconv>

namespace zelvo {

bool ParseSafeState(std::string_view text, std::string_view setting, SafeByte* byte,
                    std::string* error) {
  std::string lower;
  for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower.empty() || lower == "keep") {
    *byte = std::nullopt;
    return true;
  }
  unsigned value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec == std::errc() && ptr == text.data() + text.size() && value <= 255) {
    *byte = static_cast<std::uint8_t>(value);
    return true;
  }
  if (error)
    *error = "Invalid " + std::string(setting) + " \"" + std::string(text) +
             "\": write keep (leave the outputs as they are) or the port byte to write, 0 to "
             "255 (0: all outputs off).";
  return false;
}

DisconnectGuard::DisconnectGuard(const Clock& clock, SafeByte byte)
    : clock_(clock), byte_(byte), left_(clock.MonotonicNow()) {}

void DisconnectGuard::SetInChannel(bool in_channel) {
  if (in_channel == in_channel_) return;
  in_channel_ = in_channel;
  if (!in_channel) {
    left_ = clock_.MonotonicNow();
    written_ = false;
  }
}

SafeByte DisconnectGuard::Poll() {
  const auto deadline = Deadline();
  if (!deadline || clock_.MonotonicNow() < *deadline) return std::nullopt;
  written_ = true;
  return byte_;
}

std::optional<std::chrono::steady_clock::time_point> DisconnectGuard::Deadline() const {
  if (!byte_ || in_channel_ || written_) return std::nullopt;
  return left_ + kGrace;
}

}  // namespace zelvo
