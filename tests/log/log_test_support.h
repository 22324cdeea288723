// Log settings for the log tests, as a loaded configuration would give them.
#pragma once

#include <optional>
#include <string>

#include "log/log_types.h"

namespace zelvo::testing {

// Log settings as a loaded configuration would give them; counts the reads.
class FakeLogSettings final : public LogSettingsSource {
 public:
  bool loaded = true;
  std::optional<LogSettings> settings = LogSettings{"true", "true", "true", ""};
  std::string error = "The element \"Zelvo/Log/LogFile\" is missing.";
  mutable int reads = 0;

  bool IsLoaded() const override { return loaded; }
  std::optional<LogSettings> ReadLogSettings(std::string& error_text) const override {
    ++reads;
    if (!settings) error_text = error;
    return settings;
  }
};

}  // namespace zelvo::testing
