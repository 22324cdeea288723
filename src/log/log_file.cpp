#include "log/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "files/unique_fd.h"
#include "log/log_xml.h"
#include "model/date_time.h"

namespace zelvo {
namespace {

// How often a write starts over when another writer replaced the file meanwhile.
constexpr int kAttempts = 3;
// Tries of the file's lock in one Append and the pause between them: about
// 100 ms in all, so that a lock held elsewhere never stalls the program.
constexpr int kLockTries = 10;
constexpr std::chrono::milliseconds kLockPause{10};

LogFailure Failure(int error, const std::string& what, const std::string& path) {
  return LogFailure{error, what + " \"" + path + "\": " + std::strerror(error)};
}

LogFailure Failure(const FileFailure& failure) {
  return LogFailure{failure.number, failure.description};
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

std::string TimeStamp(OleDate now) {
  const CivilDateTime c = FromOleDate(now);
  char text[40];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", c.year, c.month, c.day, c.hour,
                c.minute, c.second);
  return text;
}

}  // namespace

std::optional<LogFailure> LogFile::Append(const std::string& path,
                                          std::span<const LogRecord> records) {
  std::string entry;
  for (const LogRecord& record : records) entry += LogEntryXml(record);
  lock_tries_left_ = kLockTries;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    // A log reached through a symbolic link is changed where it really is,
    // so that the link stays; a dangling link gets its file created.
    std::string target;
    if (const std::optional<FileFailure> failure = ResolveWriteTarget(path, target)) {
      return Failure(*failure);
    }
    Result result = TryAppend(target, records, entry);
    if (result.step == Step::kDone) return result.failure;
  }
  return Failure(EAGAIN, "The log file kept being replaced while it was written", path);
}

LogFile::Result LogFile::TryAppend(const std::string& path, std::span<const LogRecord> records,
                                   const std::string& entry) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT) return ReplaceWhole(path, NewLogFileXml(entry), false, true);
    return {Step::kDone, Failure(error, "Couldn't open the log file", path)};
  }
  UniqueFd closer(fd);
  struct stat info {};
  if (std::optional<Result> not_ready = LockCurrent(fd, path, info)) return *not_ready;

  if (IsRemembered(path, info) && TailMatches(fd, info.st_size)) {
    return AppendInPlace(fd, path, info.st_size, entry);
  }
  // Unknown to this writer (another program, a hand edit, an earlier run):
  // only a file that begins as a log is taken, then read whole once.
  if (info.st_size == 0) return ReplaceWhole(path, NewLogFileXml(entry), true, true);
  std::string start;
  if (!ReadAt(fd, 0, static_cast<std::size_t>(std::min<off_t>(info.st_size, kLogStartBytes)),
              start)) {
    return {Step::kDone, Failure(errno, "Couldn't read the log file", path)};
  }
  if (!BeginsAsLog(start)) {
    LogFailure failure = Failure(EINVAL, "Not a log of Zelvo, left as it is:", path);
    failure.not_a_log = true;
    return {Step::kDone, std::move(failure)};
  }
  std::string content;
  if (!ReadAt(fd, 0, static_cast<std::size_t>(info.st_size), content)) {
    return {Step::kDone, Failure(errno, "Couldn't read the log file", path)};
  }
  return AppendToContent(fd, path, info, content, records, entry);
}

std::optional<LogFile::Result> LogFile::LockCurrent(int fd, const std::string& path,
                                                    struct stat& info) {
  if (::fstat(fd, &info) != 0) return Result{Step::kDone, Failure(errno, "Couldn't open", path)};
  if (!S_ISREG(info.st_mode)) {
    return Result{Step::kDone, Failure(EINVAL, "The log file is not a regular file", path)};
  }
  // One writer at a time, but never a long wait: another program holding the
  // lock makes this entry fail rather than stall the program.
  while (ops_.TryLock(fd) != 0) {
    const int error = errno;
    if (error == EINTR) continue;
    if (error != EWOULDBLOCK || --lock_tries_left_ <= 0) {
      return Result{Step::kDone,
                    Failure(error, "Another program holds the lock of the log file", path)};
    }
    ops_.Pause(kLockPause);
  }
  // A writer that got the lock after another one replaced the file starts
  // over with the new file.
  struct stat current {};
  if (::stat(path.c_str(), &current) != 0 || current.st_ino != info.st_ino ||
      current.st_dev != info.st_dev) {
    return Result{Step::kRetry, std::nullopt};
  }
  info = current;
  return std::nullopt;
}

LogFile::Result LogFile::AppendToContent(int fd, const std::string& path, const struct stat& info,
                                         const std::string& content,
                                         std::span<const LogRecord> records,
                                         const std::string& entry) {
  const LogShape shape = ScanLog(content);
  if (shape.appendable_in_place) return AppendInPlace(fd, path, info.st_size, entry);
  if (shape.usable) {
    LogDocument doc(content);
    if (doc.Usable()) {
      std::string rewritten;
      for (const LogRecord& record : records) rewritten = doc.AppendAndSerialise(record);
      const LogShape check = ScanLog(rewritten);
      if (check.usable) return ReplaceWhole(path, rewritten, true, check.appendable_in_place);
    }
  }
  // A damaged end (an append cut short by a crash, a hand edit): cut back to
  // the last sound entry, keeping what is cut off.
  if (const std::optional<LogRepair> repair = PlanRepair(content)) {
    return Repair(path, *repair, entry);
  }
  return RenameAside(path, NewLogFileXml(entry));
}

LogFile::Result LogFile::AppendInPlace(int fd, const std::string& path, off_t size,
                                       const std::string& entry) {
  // The entry goes where the closing tags stand, followed by them again.
  const off_t at = size - static_cast<off_t>(kLogTail.size());
  std::string data = entry;
  data += kLogTail;
  int error = 0;
  if (!WriteAll(ops_, fd, data, at)) {
    error = errno;
  } else if (ops_.FSync(fd) != 0) {
    error = errno;
  }
  if (error != 0) {
    // Give the file back its old end and length.
    WriteAll(ops_, fd, kLogTail, at);
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

LogFile::Result LogFile::Repair(const std::string& path, const LogRepair& repair,
                                const std::string& entry) {
  if (WorthKeeping(repair.cut_off)) {
    if (std::optional<LogFailure> failure = KeepAside(path, repair.cut_off)) {
      return {Step::kDone, std::move(failure)};
    }
  }
  std::string repaired = repair.kept;
  repaired += entry;
  repaired += kLogTail;
  return ReplaceWhole(path, repaired, true, true);
}

LogFile::Result LogFile::ReplaceWhole(const std::string& path, const std::string& content,
                                      bool replace, bool keep_identity) {
  known_.reset();
  const AtomicWrite write = WriteFileAtomically(path, content, ops_, replace);
  if (write.in_place && rewritten_in_place_.insert(path).second) in_place_ = path;
  if (write.failure) {
    // A file that appeared meanwhile is taken up by the next attempt.
    if (!replace && write.failure->number == EEXIST) return {Step::kRetry, std::nullopt};
    return {Step::kDone, Failure(*write.failure)};
  }
  if (keep_identity) Remember(path, write.written);
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
  SyncDirectoryOf(path, ops_);
  return ReplaceWhole(path, fresh_content, false, true);
}

std::optional<LogFailure> LogFile::KeepAside(const std::string& path, const std::string& bytes) {
  const std::string stem = path + ".corrupt-" + TimeStamp(clock_.LocalNow());
  std::string aside = stem;
  for (int n = 2;; ++n) {
    const AtomicWrite write = WriteFileAtomically(aside, bytes, ops_, false);
    if (!write.failure) return std::nullopt;
    if (write.failure->number != EEXIST || n > 1000) {
      return LogFailure{
          write.failure->number,
          "Couldn't keep the damaged end of the log file aside: " + write.failure->description};
    }
    aside = stem + "-" + std::to_string(n);
  }
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
