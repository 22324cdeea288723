// The XML event log: one file, root "Zelvo", one "Logs", one "Log" per entry
// with "ID", "Type", "Description" and "DateTime". Appending costs the same
// however long the file is; a file the program did not leave as it was
// written is read whole, and a file that cannot be read is renamed aside,
// never deleted. Every write replaces the file atomically.
#pragma once

#include <cstdint>
#include <string>

#include "log/log_types.h"

namespace zelvo {

class EventLog {
 public:
  // `program_dir` is the directory relative log paths are resolved against.
  EventLog(std::string program_dir, const Clock& clock);

  // Writes one entry now, or skips it when its type is switched off. Returns
  // "" when written or skipped, else "Couldn't write PreLog. Error-number: ..."
  std::string WriteLog(const LogSettingsSource* config, std::int32_t id, std::int32_t type,
                       const std::string& description, OleDate time);

  // Writes the pre-log's entries in order with their own times; stops at the
  // first failure. Returns "" or the flush's error text.
  std::string FlushPreLog(const LogSettingsSource* config, const PreLog& prelog);

  // The file the next entry would go to under `settings` (after the path
  // rules and the "OlmuLog.xml" fallback).
  std::string ResolveLogPath(const std::string& log_file_setting) const;

  const std::string& ProgramDir() const { return program_dir_; }

 private:
  std::string program_dir_;
  const Clock& clock_;
};

// The clipboard dump text of the whole pre-log.
std::string ErrorLogDumpText(const PreLog& prelog);

}  // namespace zelvo
