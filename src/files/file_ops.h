// The system calls through which files are changed, the one whole-file
// writer that both the configuration files and the log use (atomic except in
// a folder where no new file can be made, see WriteFileAtomically), the one
// rule for following symbolic links when writing, and the error texts of the
// "Error-number: N Error-Descripton: D" form.
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

// The file a write to `path` reaches, as an absolute path without links.
// Symbolic links anywhere in the path are followed only where the system's
// protected-symlinks rule would follow them for a link in a shared folder:
// the link belongs to this process's effective user, or to the owner of what
// it points to; any other link fails the call (EACCES), so that a process
// running as another user is never steered into that user's files. A link as
// the last component fails with ELOOP unless `follow_last`; a followed last
// link may name a file that does not exist yet. Fails when the links loop or
// a link points into a folder that does not exist.
std::optional<FileFailure> ResolveWriteTarget(const std::string& path, std::string& target,
                                              bool follow_last = true);

struct AtomicWrite {
  std::optional<FileFailure> failure;
  // The file as written (valid when `failure` is empty).
  struct stat written {};
  // The file was rewritten in place (see WriteFileAtomically): not atomic.
  bool in_place = false;
};

// Replaces the file at `path` (or creates it) with `data`. Symbolic links are
// resolved by ResolveWriteTarget; the file is changed where it really is and
// the links stay. Normally the write is atomic: the bytes go to a new
// temporary file beside the file, are flushed, then renamed over it, so the
// file holds either its old bytes or the new ones; an existing file keeps its
// permissions (and its owner where allowed). One case is not atomic: when the
// file exists but no temporary file can be created beside it (EACCES, EPERM
// or EROFS: a folder this process may not write), the existing file is opened
// and rewritten in place (written from the start, then cut to the new
// length, then flushed) and `in_place` is set; a failure or a crash during
// that rewrite can leave the file with a mix of old and new bytes or cut
// short. Unless `replace`, an existing file is left alone and the call fails
// with EEXIST.
AtomicWrite WriteFileAtomically(const std::string& path, std::string_view data, FileOps& ops,
                                bool replace = true);

// Makes a rename in the folder of `path` durable (best effort).
void SyncDirectoryOf(const std::string& path, FileOps& ops);

}  // namespace zelvo
