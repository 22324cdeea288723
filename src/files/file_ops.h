// The system calls through which files are changed, the one atomic file
// writer that both the configuration files and the log use, and the error
// texts of the "Error-number: N Error-Descripton: D" form.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zelvo {

// The defaults call the system; tests override them to simulate a full disk,
// a failed rename, a read-only folder or a lock held by another program.
class FileOps {
 public:
  virtual ~FileOps() = default;
  // pwrite(2): the number of bytes written, or -1 with errno set.
  virtual ssize_t PWrite(int fd, const char* data, std::size_t size, off_t offset);
  // fsync(2): 0, or -1 with errno set.
  virtual int FSync(int fd);
  // Renames `from` to `to`: 0, or -1 with errno set. Unless `replace`, an
  // existing `to` is kept and the call fails with EEXIST.
  virtual int Rename(const std::string& from, const std::string& to, bool replace);
  // Creates a new file that must not exist yet (O_EXCL), open for writing:
  // the descriptor, or -1 with errno set.
  virtual int CreateNew(const std::string& path, mode_t mode);
  // flock(fd, LOCK_EX | LOCK_NB): 0, or -1 with errno set (EWOULDBLOCK while
  // another open file holds the lock).
  virtual int TryLock(int fd);
  // Waits before the next try of a lock.
  virtual void Pause(std::chrono::milliseconds duration);
};

// The system's calls.
FileOps& SystemFileOps();

// Writes all of `data` at `offset`, going on after short writes. False with
// errno set on failure (ENOSPC when the file system takes no more bytes).
bool WriteAll(FileOps& ops, int fd, std::string_view data, off_t offset);

// Why a file operation failed: an errno value and a description that names
// the file and the step that failed.
struct FileFailure {
  int number = 0;
  std::string description;
};

// `what` + ": " + the system's text for `error`.
FileFailure MakeFileFailure(int error, const std::string& what);

// `headline` + " Error-number: N Error-Descripton: D" (`number_label` is
// "Error-Number" where a caller spells it so).
std::string ErrorNumberText(std::string_view headline, long long number,
                            std::string_view description,
                            std::string_view number_label = "Error-number");

// The file a write to `path` reaches: symbolic links are followed, the last
// of them may name a file that does not exist yet. Fails when the links loop
// or a dangling link points into a folder that does not exist.
std::optional<FileFailure> ResolveWriteTarget(const std::string& path, std::string& target);

struct AtomicWrite {
  std::optional<FileFailure> failure;
  // The file as written (valid when `failure` is empty).
  struct stat written {};
};

// Replaces the file at `path` (or creates it) with `data`, so that the file
// holds either its old bytes or the new ones, never a mix: the bytes go to a
// temporary file beside it, flushed, then renamed over it. A file reached
// through symbolic links is replaced where it really is and the links stay;
// an existing file keeps its permissions (and its owner where allowed). In a
// folder where no file can be created, an existing writable file is
// rewritten in place instead. Unless `replace`, an existing file is left
// alone and the call fails with EEXIST.
AtomicWrite WriteFileAtomically(const std::string& path, std::string_view data, FileOps& ops,
                                bool replace = true);

// Makes a rename in the folder of `path` durable (best effort).
void SyncDirectoryOf(const std::string& path, FileOps& ops);

}  // namespace zelvo
