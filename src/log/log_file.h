// The log file on disk: appends one entry in place when the file ends the way
// this program leaves it, repairs a file whose end is damaged (keeping the
// bytes it cuts off in a file beside it), reads and rewrites a usable log that
// ends otherwise (once: the rewrite ends as this program leaves it), and
// renames a log that cannot be read aside. Nothing the log held is deleted. A
// file that does not begin as a log of this program (BeginsAsLog) is never
// changed: the append fails with `not_a_log`; an empty file counts as new.
// Symbolic links are followed as ResolveWriteTarget allows. Whole-file writes
// go through WriteFileAtomically: atomic, except in a folder where no new file
// can be made, where the file is rewritten in place (reported once per path by
// TakeInPlaceRewrite). Another program holding the file's lock delays a write
// by at most about 100 ms; then the entry is reported as not written.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>

#include "files/file_ops.h"
#include "log/log_repair.h"
#include "model/clock.h"

namespace zelvo {

// The system calls through which the log file is changed (file_ops.h).
using LogFileOps = FileOps;

// One entry as it goes into the file.
struct LogRecord {
  std::int32_t id = 0;
  std::int32_t type = 0;
  std::string description;
  std::string date_time;  // already rendered
};

// Why an append failed: an errno value (or -1) and a description.
struct LogFailure {
  int number = -1;
  std::string description;
  bool not_a_log = false;  // the file is someone else's and was left alone
};

class LogFile {
 public:
  // `clock` names the files renamed aside; `ops` must outlive this object.
  LogFile(const Clock& clock, LogFileOps& ops) : clock_(clock), ops_(ops) {}

  // Appends `record` as the last entry of the log at `path`, creating the
  // file when it is missing. std::nullopt when written.
  std::optional<LogFailure> Append(const std::string& path, const LogRecord& record) {
    return Append(path, std::span<const LogRecord>(&record, 1));
  }
  // The same for `records` (at least one), in order, in one write and one
  // fsync: all of them are written or none.
  std::optional<LogFailure> Append(const std::string& path, std::span<const LogRecord> records);

  // The path of a file that an earlier Append had to rewrite in place (not
  // atomically), once per path for the life of this object; else empty.
  std::optional<std::string> TakeInPlaceRewrite() { return std::exchange(in_place_, {}); }

 private:
  // What the file looked like when this object last wrote it; a file that
  // still looks the same has not been touched since and need not be parsed.
  struct Identity {
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t mtime_ns = 0;
  };
  enum class Step { kDone, kRetry };
  struct Result {
    Step step = Step::kDone;
    std::optional<LogFailure> failure;
  };

  // One attempt: open, lock, then append in place or take the slow road.
  Result TryAppend(const std::string& path, std::span<const LogRecord> records,
                   const std::string& entry);
  // Locks the open file, waiting a bounded time, and checks that it is still
  // the one at `path`; fills `info`. Empty when locked and current.
  std::optional<Result> LockCurrent(int fd, const std::string& path, struct stat& info);
  // For a file read whole: appends in place, rewrites, repairs or renames it aside.
  Result AppendToContent(int fd, const std::string& path, const struct stat& info,
                         const std::string& content, std::span<const LogRecord> records,
                         const std::string& entry);
  Result AppendInPlace(int fd, const std::string& path, off_t size, const std::string& entry);
  Result Repair(const std::string& path, const LogRepair& repair, const std::string& entry);
  Result ReplaceWhole(const std::string& path, const std::string& content, bool replace,
                      bool keep_identity);
  Result RenameAside(const std::string& path, const std::string& fresh_content);
  // Writes `bytes` to a new file "<path>.corrupt-<date-time>[-N]".
  std::optional<LogFailure> KeepAside(const std::string& path, const std::string& bytes);
  void Remember(const std::string& path, const struct stat& info);
  bool IsRemembered(const std::string& path, const struct stat& info) const;

  const Clock& clock_;
  LogFileOps& ops_;
  std::optional<Identity> known_;
  int lock_tries_left_ = 0;                   // for the Append in progress
  std::set<std::string> rewritten_in_place_;  // every path ever rewritten in place
  std::optional<std::string> in_place_;       // the newest of them, not yet taken
};

}  // namespace zelvo
