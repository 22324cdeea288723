#include "outputs/start_state.h"

#include <charconv>
#include <utility>

#include "files/file_helpers.h"
#include "log/messages.h"

namespace zelvo {

StartByte ResolveStartByte(const std::string& setting, const std::string& state_path) {
  if (setting == "off") return {};
  if (setting != "last") return {static_cast<std::uint8_t>(std::stoi(setting)), ""};
  if (!FileExists(state_path)) return {0, StartStateMissingText(state_path)};
  std::string text;
  if (const std::string error = ReadFileText(state_path, text); !error.empty()) {
    return {0, StartStateUnreadableText(state_path, "it cannot be read")};
  }
  std::string_view digits(text);
  while (!digits.empty() && (digits.back() == '\n' || digits.back() == '\r')) {
    digits.remove_suffix(1);
  }
  unsigned byte = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), byte);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || byte > 255) {
    return {0, StartStateUnreadableText(state_path, "it does not hold a byte from 0 to 255")};
  }
  return {static_cast<std::uint8_t>(byte), ""};
}

std::string StateFile::Keep(std::uint8_t byte, TimePoint now) {
  pending_ = byte == saved_ ? -1 : byte;
  return Tick(now);
}

std::string StateFile::Tick(TimePoint now) {
  if (pending_ < 0 || (last_save_ && now - *last_save_ < kMinInterval)) return {};
  return Save(now);
}

std::string StateFile::Flush() {
  return pending_ < 0 ? std::string() : Save(last_save_.value_or(TimePoint{}));
}

std::string StateFile::Save(TimePoint now) {
  last_save_ = now;
  const std::string error = SaveFileText(path_, std::to_string(pending_) + "\n");
  if (!error.empty()) {
    // Tried again at the next change or tick.
    return std::exchange(failing_, true) ? std::string() : error;
  }
  saved_ = std::exchange(pending_, -1);
  failing_ = false;
  return {};
}

}  // namespace zelvo
