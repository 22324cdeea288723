// The pre-log buffer and where the log's settings come from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "log/messages.h"
#include "model/clock.h"
#include "model/date_time.h"

namespace zelvo {

// One buffered entry of the pre-log.
struct LogEntry {
  std::int32_t LogID = 0;
  std::int32_t LogType = 0;
  std::string LogDescription;
  OleDate LogDateTime = 0;  // to the whole second
};

// The pre-log: entries made before the configuration can say where and what
// to log. Slot 0 is an empty slot that is never written or read; entries
// occupy 1..UpperBound in the order made. The buffer only grows.
class PreLog {
 public:
  explicit PreLog(const Clock& clock) : clock_(clock), gaPreLog(1) {}

  // Appends one entry stamped with the current local time to the second.
  void WritePreLog(std::int32_t id, std::int32_t type, std::string description);
  // A message of the catalogue with its fixed text, or with `text`.
  void WritePreLog(const LogMessage& message) {
    WritePreLog(message.id, message.type, std::string(message.text));
  }
  void WritePreLog(const LogMessage& message, std::string text) {
    WritePreLog(message.id, message.type, std::move(text));
  }

  std::size_t UpperBound() const { return gaPreLog.size() - 1; }
  const LogEntry& Entry(std::size_t index) const { return gaPreLog.at(index); }

 private:
  const Clock& clock_;
  std::vector<LogEntry> gaPreLog;
};

// The four switches of the configuration's Log section, as texts.
struct LogSettings {
  std::string LogToFileErrors;
  std::string LogToFileInformation;
  std::string LogToFileWarnings;
  std::string LogFile;
};

// Where WriteLog reads its settings on every call (the loaded configuration).
class LogSettingsSource {
 public:
  virtual ~LogSettingsSource() = default;
  // False while nothing is loaded (then every entry is written to the default file).
  virtual bool IsLoaded() const = 0;
  // The Log section; an error text when an element is missing.
  virtual std::optional<LogSettings> ReadLogSettings(std::string& error) const = 0;
};

// Renders a date-time in the user's locale: short date, a blank, long time;
// a time of exactly midnight renders as the date alone.
std::string FormatGeneralDateTime(OleDate date);

}  // namespace zelvo
