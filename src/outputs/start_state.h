// The byte the outputs start at (OutputsOnStart) and the file that keeps the
// last byte for "last": one line with the byte in decimal, named "state",
// beside the log. It is written atomically after every change, so that a
// power cut leaves either the old or the new byte.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace zelvo {

inline constexpr char kStateFileName[] = "state";

// The start byte and, when it could not be read as asked, why ("" else).
struct StartByte {
  std::uint8_t byte = 0;
  std::string warning;
};

// `setting` is OutputsOnStart as read: "off", "last" or a byte in decimal.
// For "last", `state_path` is read; a missing or damaged file gives 0 and a
// warning naming the file and what was wrong with it.
StartByte ResolveStartByte(const std::string& setting, const std::string& state_path);

// Keeps the outputs' byte in the state file: saved at once after a change,
// unless the last save was less than kMinInterval ago (a flood of switches
// then costs one save a second); such a byte is saved by Tick or Flush. A
// power cut so loses at most the changes of the last second.
class StateFile {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  static constexpr std::chrono::seconds kMinInterval{1};

  explicit StateFile(std::string path) : path_(std::move(path)) {}

  // Each returns the save's error text when saving starts to fail, once
  // until a save succeeds again; "" otherwise.
  std::string Keep(std::uint8_t byte, TimePoint now);
  // Saves a byte kept but not saved once kMinInterval has passed.
  std::string Tick(TimePoint now);
  // Saves a byte kept but not saved (at an orderly stop).
  std::string Flush();

  const std::string& Path() const { return path_; }

 private:
  std::string Save(TimePoint now);

  std::string path_;
  int saved_ = -1;    // the byte the file holds, -1 when not known
  int pending_ = -1;  // a byte kept but not saved yet
  std::optional<TimePoint> last_save_;
  bool failing_ = false;
};

}  // namespace zelvo
