#include "log/log_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "config/file_helpers.h"
#include "config/unique_fd.h"
#include "log/log_xml.h"
#include "model/date_time.h"

namespace zelvo {
namespace {

// How many places where an entry ends are tried when repairing a file whose
// last append was cut short. One append writes one entry, so the damage
// reaches back over at most one such place.
constexpr std::size_t kRepairCandidates = 3;
// How often a write starts over when another writer replaced the file meanwhile.
constexpr int kAttempts = 3;

LogFailure Failure(int error, const std::string& what, const std::string& path) {
  return LogFailure{error, what + " \"" + path + "\": " + std::strerror(error)};
}

std::int64_t MtimeNs(const struct stat& info) {
  return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

bool ReadAt(int fd, off_t offset, std::size_t size, std::string& out) {
  out.resize(size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n =
        ::pread(fd, out.data() + done, size - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;  // the file shrank while it was read
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool TailMatches(int fd, off_t size) {
  if (size < static_cast<off_t>(kLogTail.size())) return false;
  std::string tail;
  return ReadAt(fd, size - static_cast<off_t>(kLogTail.size()), kLogTail.size(), tail) &&
         tail == kLogTail;
}

// The latest places, last first, just after a complete "</Log>" or the
// opening "<Logs>": where an interrupted file can be cut back to.
std::vector<std::size_t> CutPoints(const std::string& content) {
  std::vector<std::size_t> cuts;
  std::size_t from = content.size();
  while (cuts.size() < kRepairCandidates && from > 0) {
    const std::size_t end_log = content.rfind("</Log>", from - 1);
    const std::size_t open_logs = content.rfind("<Logs>", from - 1);
    std::size_t at = end_log;
    if (at == std::string::npos || (open_logs != std::string::npos && open_logs > at)) {
      at = open_logs;
    }
    if (at == std::string::npos) break;
    cuts.push_back(at + 6);  // both markers are six characters long
    from = at;
  }
  return cuts;
}

std::string TimeStamp(OleDate now) {
  const CivilDateTime c = FromOleDate(now);
  char text[40];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", c.year, c.month, c.day, c.hour,
                c.minute, c.second);
  return text;
}

}  // namespace

ssize_t LogFileOps::PWrite(int fd, const char* data, std::size_t size, off_t offset) {
  return ::pwrite(fd, data, size, offset);
}

int LogFileOps::FSync(int fd) {
  return ::fsync(fd);
}

int LogFileOps::Rename(const std::string& from, const std::string& to, bool replace) {
  if (replace) return ::rename(from.c_str(), to.c_str());
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  // A file system without the no-replace flag: check first, then rename.
  struct stat info {};
  if (::lstat(to.c_str(), &info) == 0) {
    errno = EEXIST;
    return -1;
  }
  return ::rename(from.c_str(), to.c_str());
}

std::optional<LogFailure> LogFile::Append(const std::string& path, const LogRecord& record) {
  const std::string entry = LogEntryXml(record);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    // A log reached through a symbolic link is replaced where it really is,
    // so that the link stays.
    std::string target = path;
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
    Result result = TryAppend(target, record, entry);
    if (result.step == Step::kDone) return result.failure;
  }
  return Failure(EAGAIN, "The log file kept being replaced while it was written", path);
}

LogFile::Result LogFile::TryAppend(const std::string& path, const LogRecord& record,
                                   const std::string& entry) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT) return ReplaceWhole(path, NewLogFileXml(record), 0666, false, true);
    return {Step::kDone, Failure(error, "Couldn't open the log file", path)};
  }
  UniqueFd closer(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0) return {Step::kDone, Failure(errno, "Couldn't open", path)};
  if (!S_ISREG(info.st_mode)) {
    return {Step::kDone, Failure(EINVAL, "The log file is not a regular file", path)};
  }
  // One writer at a time; a writer that waited here for another one that
  // replaced the file starts over with the new file.
  while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  struct stat current {};
  if (::stat(path.c_str(), &current) != 0 || current.st_ino != info.st_ino ||
      current.st_dev != info.st_dev) {
    return {Step::kRetry, std::nullopt};
  }
  info = current;

  if (IsRemembered(path, info) && TailMatches(fd, info.st_size)) {
    return AppendInPlace(fd, path, info.st_size, entry);
  }

  // Unknown to this writer (another program, a hand edit, an earlier run):
  // read it whole once.
  std::string content;
  if (!ReadAt(fd, 0, static_cast<std::size_t>(info.st_size), content)) {
    return {Step::kDone, Failure(errno, "Couldn't read the log file", path)};
  }
  const LogShape shape = ScanLog(content);
  if (shape.appendable_in_place) return AppendInPlace(fd, path, info.st_size, entry);
  if (shape.usable) {
    LogDocument doc(content);
    if (doc.Usable()) {
      const std::string rewritten = doc.AppendAndSerialise(record);
      const LogShape check = ScanLog(rewritten);
      if (check.usable) {
        return ReplaceWhole(path, rewritten, info.st_mode, true, check.appendable_in_place);
      }
    }
  }

  // An append cut short by a crash: drop the unfinished entry and go on.
  for (const std::size_t cut : CutPoints(content)) {
    std::string repaired = content.substr(0, cut) + "\n";
    if (!ScanLog(repaired + std::string(kLogTail)).appendable_in_place) continue;
    repaired += entry;
    repaired += kLogTail;
    return ReplaceWhole(path, repaired, info.st_mode, true, true);
  }

  return RenameAside(path, NewLogFileXml(record));
}

LogFile::Result LogFile::AppendInPlace(int fd, const std::string& path, off_t size,
                                       const std::string& entry) {
  // The entry goes where the closing tags stand, followed by them again.
  const off_t at = size - static_cast<off_t>(kLogTail.size());
  std::string data = entry;
  data += kLogTail;
  int error = 0;
  if (!WriteAll(fd, data, at)) {
    error = errno;
  } else if (ops_.FSync(fd) != 0) {
    error = errno;
  }
  if (error != 0) {
    // Give the file back its old end and length.
    WriteAll(fd, std::string(kLogTail), at);
    if (::ftruncate(fd, size) != 0) {
      // The closing tags stand at the old place; the next write cuts the rest.
    }
    ops_.FSync(fd);
    known_.reset();
    return {Step::kDone, Failure(error, "Couldn't append to the log file", path)};
  }
  struct stat info {};
  if (::fstat(fd, &info) == 0) {
    Remember(path, info);
  } else {
    known_.reset();
  }
  return {Step::kDone, std::nullopt};
}

LogFile::Result LogFile::ReplaceWhole(const std::string& path, const std::string& content,
                                      mode_t mode, bool replace, bool keep_identity) {
  known_.reset();
  const std::string temp =
      path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(temp_counter_++);
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    return {Step::kDone, Failure(errno, "Couldn't create a file beside the log", temp)};
  }
  if (replace) ::fchmod(fd, mode & 07777);  // keep the permissions of the file it replaces
  int error = 0;
  if (!WriteAll(fd, content, 0)) {
    error = errno;
  } else if (ops_.FSync(fd) != 0) {
    error = errno;
  }
  struct stat info {};
  const bool have_info = ::fstat(fd, &info) == 0;
  ::close(fd);
  if (error != 0) {
    ::unlink(temp.c_str());
    return {Step::kDone, Failure(error, "Couldn't write the log file", path)};
  }
  if (ops_.Rename(temp, path, replace) != 0) {
    error = errno;
    ::unlink(temp.c_str());
    if (!replace && error == EEXIST) return {Step::kRetry, std::nullopt};
    return {Step::kDone, Failure(error, "Couldn't put the new log file in place", path)};
  }
  SyncDirectoryOf(path);
  if (keep_identity && have_info) Remember(path, info);
  return {Step::kDone, std::nullopt};
}

LogFile::Result LogFile::RenameAside(const std::string& path, const std::string& fresh_content) {
  known_.reset();
  const std::string stem = path + ".corrupt-" + TimeStamp(clock_.LocalNow());
  std::string aside = stem;
  for (int n = 2; ops_.Rename(path, aside, false) != 0; ++n) {
    if (errno != EEXIST || n > 1000) {
      return {Step::kDone, Failure(errno, "Couldn't rename the unreadable log file aside", path)};
    }
    aside = stem + "-" + std::to_string(n);
  }
  SyncDirectoryOf(path);
  return ReplaceWhole(path, fresh_content, 0666, false, true);
}

void LogFile::SyncDirectoryOf(const std::string& path) {
  const std::string dir = ParentDir(path);
  const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ops_.FSync(fd);  // best effort: not every file system can sync a directory
  ::close(fd);
}

bool LogFile::WriteAll(int fd, const std::string& data, off_t offset) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n =
        ops_.PWrite(fd, data.data() + done, data.size() - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void LogFile::Remember(const std::string& path, const struct stat& info) {
  known_ = Identity{path, info.st_dev, info.st_ino, info.st_size, MtimeNs(info)};
}

bool LogFile::IsRemembered(const std::string& path, const struct stat& info) const {
  return known_ && known_->path == path && known_->device == info.st_dev &&
         known_->inode == info.st_ino && known_->size == info.st_size &&
         known_->mtime_ns == MtimeNs(info);
}

}  // namespace zelvo
