// The XML event log: one file, root "Zelvo", one "Logs", one "Log" per entry
// with "ID", "Type", "Description" and "DateTime". The Log settings are read
// on every call. Appending costs the same however long the file is; a file
// the program did not leave as it was written is read whole, a log that
// cannot be read is renamed aside, never deleted, and a file that is not a
// log of this program is left alone (see log_file.h).
#pragma once

#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <vector>

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
  // Writes `entries` (their types switched off skipped) as one append with
  // one fsync; the same result.
  std::string WriteLog(const LogSettingsSource* config, std::span<const LogEntry> entries);

  // Writes the pre-log's entries in order with their own times; stops at the
  // first failure. Returns "" or the flush's error text.
  std::string FlushPreLog(const LogSettingsSource* config, const PreLog& prelog);

  // The file an entry goes to under the LogFile setting: "" means "Log.xml"
  // in the program directory; a path starting with "/" is absolute; a path
  // with a drive letter ("D:\...") names a directory that does not exist
  // here; anything else is relative to the program directory. When the
  // directory does not exist, "OlmuLog.xml" in the program directory.
  // WriteLog never writes to the configuration, its schema or its example:
  // a setting naming one of them gives the default file and a warning. A
  // file that does not begin as a log of this program is left alone: the
  // default file takes the entry, or "OlmuLog.xml" when the default file is
  // the one refused, with one warning per refused file. A file rewritten in place, not atomically, is reported by one
  // warning per path, written after the entry (or before the next one).
  std::string ResolveLogPath(const std::string& log_file_setting) const;
  // The folder, without its last "/", that the LogFile setting names when it
  // does not exist (the log then goes to "OlmuLog.xml"); "" otherwise.
  std::string MissingLogFolder(const std::string& log_file_setting) const;

  const std::string& ProgramDir() const { return program_dir_; }

 private:
  // The absolute path the setting names, before its folder is checked; ""
  // when it cannot be made absolute. Not for a drive letter.
  std::string NamedLogPath(const std::string& log_file_setting) const;
  // config.xml, config.xsd or config.example.xml of the program directory,
  // which the log may never overwrite.
  bool IsProgramFile(const std::string& path) const;

  // Where the log goes when `path` is not a log: the default file, then
  // "OlmuLog.xml" in the program directory; "" after that.
  std::string FallbackFor(const std::string& path) const;
  // Writes the warnings of files rewritten in place that are not written
  // yet; "" or the error text (the warning then waits for the next entry).
  std::string WriteInPlaceWarnings(const std::string& path, OleDate time);

  std::string program_dir_;
  LogFile file_;
  std::string warned_setting_;  // the LogFile setting last refused
  std::set<std::string> warned_foreign_;  // files refused as not a log
  std::vector<std::string> in_place_pending_;
};

// The clipboard dump text of the whole pre-log.
std::string ErrorLogDumpText(const PreLog& prelog);
// The same dump of `entries` (those a LogBacklog could not write).
std::string ErrorLogDumpText(const std::vector<LogEntry>& entries);

}  // namespace zelvo
