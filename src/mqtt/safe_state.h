// What the outputs do when nobody can switch them any more: the settings
// OutputsOnExit (written when the program closes in order) and
// OutputsOnDisconnect (written once when the bot has been out of its channel
// for 30 s without a break). Each is "keep" (write nothing) or a byte.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/clock.h"

namespace zelvo {

// A parsed setting: nothing for "keep".
using SafeByte = std::optional<std::uint8_t>;

// "keep" (letter case ignored; also an empty text) or 0..255. Returns false
// and sets `error` naming `setting` when the text is neither.
bool ParseSafeState(std::string_view text, std::string_view setting, SafeByte* byte,
                    std::string* error);

// Watches the bot's presence in its channel and says when to write the
// OutputsOnDisconnect byte.
class DisconnectGuard {
 public:
  static constexpr std::chrono::seconds kGrace{30};

  // The bot starts out of its channel; the grace period runs from now.
  DisconnectGuard(const Clock& clock, SafeByte byte);

  // The bot joined (true) or left, was kicked or lost the connection (false).
  void SetInChannel(bool in_channel);

  // The byte to write now, once per absence of kGrace or longer; nothing
  // otherwise (or with "keep").
  SafeByte Poll();

  // When Poll will next return a byte, if the bot stays out; nothing when
  // it is in the channel, has written already, or keeps.
  std::optional<std::chrono::steady_clock::time_point> Deadline() const;

 private:
  const Clock& clock_;
  SafeByte byte_;
  bool in_channel_ = false;
  bool written_ = false;
  std::chrono::steady_clock::time_point left_;
};

}  // namespace zelvo
