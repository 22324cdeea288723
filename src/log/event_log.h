// The XML event log: one file, root "Zelvo", one "Logs", one "Log" per entry
// with "ID", "Type", "Description" and "DateTime". The Log settings are read
// on every call. Appending costs the same however long the file is; a file
// the program did not leave as it was written is read whole, and a file that
// cannot be read is renamed aside, never deleted (see log_file.h).
#pragma once

#include <cstdint>
#include <string>

#include "log/log_file.h"
#include "log/log_types.h"

namespace zelvo {

class EventLog {
 public:
  // `program_dir` is the directory relative log paths are resolved against.
  // `clock` dates the names of files renamed aside. `ops` (default: the
  // system's) must outlive the log.
  EventLog(std::string program_dir, const Clock& clock, LogFileOps* ops = nullptr);

  // Writes one entry now, or skips it when its type is switched off. Returns
  // "" when written or skipped, else "Couldn't write PreLog. Error-number: ..."
  std::string WriteLog(const LogSettingsSource* config, std::int32_t id, std::int32_t type,
                       const std::string& description, OleDate time);

  // Writes the pre-log's entries in order with their own times; stops at the
  // first failure. Returns "" or the flush's error text.
  std::string FlushPreLog(const LogSettingsSource* config, const PreLog& prelog);

  // The file an entry goes to under the LogFile setting: "" means "Log.xml"
  // in the program directory; a path starting with "/" is absolute; a path
  // with a drive letter ("D:\...") names a directory that does not exist
  // here; anything else is relative to the program directory. When the
  // directory does not exist, "OlmuLog.xml" in the program directory.
  // WriteLog never writes to the configuration, its schema or its example:
  // a setting naming one of them gives the default file and a warning.
  std::string ResolveLogPath(const std::string& log_file_setting) const;

  const std::string& ProgramDir() const { return program_dir_; }

 private:
  // config.xml, config.xsd or config.example.xml of the program directory,
  // which the log may never overwrite.
  bool IsProgramFile(const std::string& path) const;

  std::string program_dir_;
  LogFile file_;
  std::string warned_setting_;  // the LogFile setting last refused
};

// The clipboard dump text of the whole pre-log.
std::string ErrorLogDumpText(const PreLog& prelog);

}  // namespace zelvo
