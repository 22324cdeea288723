#include "log/event_log.h"

#include "files/file_helpers.h"
#include "log/messages.h"

namespace zelvo {
namespace {

std::string WriteLogError(std::int32_t number, const std::string& description) {
  return ErrorNumberText("Couldn't write PreLog.", number, description);
}

// The same file: the same absolute path, or both exist and are one inode
// (a link or another spelling of the path).
bool SameFile(const std::string& left, const std::string& right) {
  if (left == right) return true;
  struct stat a {};
  struct stat b {};
  return ::stat(left.c_str(), &a) == 0 && ::stat(right.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

// Each type is written only when its switch reads exactly "true".
bool TypeEnabled(const LogSettings& settings, std::int32_t type) {
  switch (type) {
    case log_type::kError:
      return settings.LogToFileErrors == "true";
    case log_type::kWarning:
      return settings.LogToFileWarnings == "true";
    case log_type::kInformation:
      return settings.LogToFileInformation == "true";
    default:
      return false;
  }
}

// A drive letter ("D:\\..."): absolute, on a drive this system does not have.
bool HasDriveLetter(const std::string& setting) {
  return setting.size() >= 2 && setting[1] == ':';
}

LogRecord Record(const LogMessage& message, std::string text, OleDate time) {
  return LogRecord{message.id, message.type, std::move(text), FormatGeneralDateTime(time)};
}

}  // namespace

EventLog::EventLog(std::string program_dir, const Clock& clock, LogFileOps* ops)
    : program_dir_(std::move(program_dir)), file_(clock, ops != nullptr ? *ops : SystemFileOps()) {}

std::string EventLog::NamedLogPath(const std::string& log_file_setting) const {
  if (log_file_setting.empty()) return FullPath(JoinPath(program_dir_, "Log.xml"));
  if (log_file_setting.front() == '/') return FullPath(log_file_setting);
  return FullPath(JoinPath(program_dir_, log_file_setting));
}

std::string EventLog::ResolveLogPath(const std::string& log_file_setting) const {
  const std::string fallback = JoinPath(program_dir_, "OlmuLog.xml");
  if (HasDriveLetter(log_file_setting)) return fallback;
  const std::string path = NamedLogPath(log_file_setting);
  if (path.empty() || !DirExists(ParentDir(path))) return fallback;
  return path;
}

std::string EventLog::MissingLogFolder(const std::string& log_file_setting) const {
  std::string folder;
  if (HasDriveLetter(log_file_setting)) {
    const std::size_t slash = log_file_setting.find_last_of("\\/");
    folder = log_file_setting.substr(0, slash == std::string::npos ? 2 : slash + 1);
  } else if (const std::string path = NamedLogPath(log_file_setting); !path.empty()) {
    folder = ParentDir(path);
    if (DirExists(folder)) return {};
  }
  if (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder;
}

std::string EventLog::FallbackFor(const std::string& path) const {
  const std::string last = FullPath(JoinPath(program_dir_, "OlmuLog.xml"));
  if (path == last || FullPath(path) == last) return "";
  const std::string default_path = ResolveLogPath("");
  return path != default_path ? default_path : last;
}

bool EventLog::IsProgramFile(const std::string& path) const {
  for (const char* name : {"config.xml", "config.xsd", "config.example.xml"}) {
    if (SameFile(path, FullPath(JoinPath(program_dir_, name)))) return true;
  }
  return false;
}

std::string EventLog::WriteLog(const LogSettingsSource* config, std::int32_t id, std::int32_t type,
                               const std::string& description, OleDate time) {
  const LogEntry entry{id, type, description, time};
  return WriteLog(config, std::span<const LogEntry>(&entry, 1));
}

std::string EventLog::WriteLog(const LogSettingsSource* config, std::span<const LogEntry> entries) {
  std::vector<LogRecord> records;
  const auto keep = [&records](const LogEntry& entry) {
    records.push_back(LogRecord{entry.LogID, entry.LogType, entry.LogDescription,
                                FormatGeneralDateTime(entry.LogDateTime)});
  };
  if (entries.empty()) return {};
  const OleDate time = entries.front().LogDateTime;
  std::string file_setting;
  bool warnings_on = true;
  if (config != nullptr && config->IsLoaded()) {
    std::string error;
    const std::optional<LogSettings> settings = config->ReadLogSettings(error);
    if (!settings) {
      return WriteLogError(-1, error.empty() ? "The Log settings couldn't be read." : error);
    }
    // The audit entries have a switch of their own (LogSwitches), under
    // which alone they are made: they are kept whatever the type's switch.
    for (const LogEntry& entry : entries)
      if (entry.LogID == log_msg::kSwitched.id || TypeEnabled(*settings, entry.LogType))
        keep(entry);
    if (records.empty()) return {};
    file_setting = settings->LogFile;
    warnings_on = TypeEnabled(*settings, log_type::kWarning);
  } else {
    for (const LogEntry& entry : entries) keep(entry);
  }
  // Nothing loaded yet: every entry goes to the default file.
  std::string path = ResolveLogPath(file_setting);
  if (IsProgramFile(path)) {
    // Writing there would destroy the configuration: the default file
    // takes the log, with one warning per setting.
    path = ResolveLogPath("");
    if (warned_setting_ != file_setting && warnings_on) {
      if (std::optional<LogFailure> failure = file_.Append(
              path,
              Record(log_msg::kLogPathRefused, LogPathRefusedText(file_setting, path), time))) {
        return WriteLogError(failure->number, failure->description);
      }
    }
    warned_setting_ = file_setting;
  }
  if (warnings_on) {
    // A warning that the last entry could not write goes before this one.
    if (std::string error = WriteInPlaceWarnings(path, time); !error.empty()) return error;
  }
  std::optional<LogFailure> failure = file_.Append(path, records);
  // Someone else's file is left alone: the next file in line takes the log.
  for (std::string next; failure && failure->not_a_log && !(next = FallbackFor(path)).empty();) {
    if (warnings_on && !warned_foreign_.contains(path)) {
      if (std::optional<LogFailure> warning = file_.Append(
              next, Record(log_msg::kLogFileNotALog, LogFileNotALogText(path, next), time))) {
        if (!warning->not_a_log) return WriteLogError(warning->number, warning->description);
      } else {
        warned_foreign_.insert(path);
      }
    }
    path = next;
    failure = file_.Append(path, records);
  }
  if (failure) return WriteLogError(failure->number, failure->description);
  if (warnings_on) WriteInPlaceWarnings(path, time);  // kept for the next entry when it fails
  return {};
}

std::string EventLog::WriteInPlaceWarnings(const std::string& path, OleDate time) {
  if (std::optional<std::string> rewritten = file_.TakeInPlaceRewrite()) {
    in_place_pending_.push_back(std::move(*rewritten));
  }
  while (!in_place_pending_.empty()) {
    const LogRecord warning =
        Record(log_msg::kRewrittenInPlace, RewrittenInPlaceText(in_place_pending_.front()), time);
    if (std::optional<LogFailure> failure = file_.Append(path, warning)) {
      return WriteLogError(failure->number, failure->description);
    }
    in_place_pending_.erase(in_place_pending_.begin());
    if (std::optional<std::string> rewritten = file_.TakeInPlaceRewrite()) {
      in_place_pending_.push_back(std::move(*rewritten));
    }
  }
  return {};
}

std::string EventLog::FlushPreLog(const LogSettingsSource* config, const PreLog& prelog) {
  for (std::size_t index = 1; index <= prelog.UpperBound(); ++index) {
    const LogEntry& entry = prelog.Entry(index);
    const std::string result =
        WriteLog(config, entry.LogID, entry.LogType, entry.LogDescription, entry.LogDateTime);
    if (!result.empty()) return WriteLogError(-1, result);
  }
  return {};
}

}  // namespace zelvo
