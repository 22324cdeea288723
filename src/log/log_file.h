// The log file on disk: appends one entry in place when the file ends the way
// this program leaves it, repairs a file cut short by an interrupted append,
// reads and rewrites a file that someone else wrote, and renames a file that
// cannot be read aside. Whole-file writes go through a temporary file that is
// flushed and renamed over the log, so the log is never left truncated.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

#include "model/clock.h"

namespace zelvo {

// The system calls through which the log file is changed. The defaults call
// the system; tests override them to simulate a full disk or a failed rename.
class LogFileOps {
 public:
  virtual ~LogFileOps() = default;
  // pwrite(2): the number of bytes written, or -1 with errno set.
  virtual ssize_t PWrite(int fd, const char* data, std::size_t size, off_t offset);
  // fsync(2): 0, or -1 with errno set.
  virtual int FSync(int fd);
  // Renames `from` to `to`: 0, or -1 with errno set. Unless `replace`, an
  // existing `to` is kept and the call fails with EEXIST.
  virtual int Rename(const std::string& from, const std::string& to, bool replace);
};

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
};

class LogFile {
 public:
  // `clock` names the files renamed aside; `ops` must outlive this object.
  LogFile(const Clock& clock, LogFileOps& ops) : clock_(clock), ops_(ops) {}

  // Appends `record` as the last entry of the log at `path`, creating the
  // file when it is missing. std::nullopt when written.
  std::optional<LogFailure> Append(const std::string& path, const LogRecord& record);

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

  Result TryAppend(const std::string& path, const LogRecord& record, const std::string& entry);
  Result AppendInPlace(int fd, const std::string& path, off_t size, const std::string& entry);
  Result ReplaceWhole(const std::string& path, const std::string& content, mode_t mode,
                      bool replace, bool keep_identity);
  Result RenameAside(const std::string& path, const std::string& fresh_content);
  // Makes a rename in the file's directory durable.
  void SyncDirectoryOf(const std::string& path);
  bool WriteAll(int fd, const std::string& data, off_t offset);
  void Remember(const std::string& path, const struct stat& info);
  bool IsRemembered(const std::string& path, const struct stat& info) const;

  const Clock& clock_;
  LogFileOps& ops_;
  std::optional<Identity> known_;
  unsigned temp_counter_ = 0;
};

}  // namespace zelvo
