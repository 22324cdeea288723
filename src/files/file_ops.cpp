#include "files/file_ops.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "files/file_helpers.h"
#include "files/unique_fd.h"

namespace zelvo {
namespace {

// As many links as the system follows in one path before it gives up.
constexpr int kMaxLinks = 40;
// How many names are tried for the temporary file when others are taken.
constexpr int kTemporaryNameTries = 100;

std::string Quoted(const std::string& path) {
  return "\"" + path + "\"";
}

// The folder of `path`, for calls that take a folder ("." for a bare name).
std::string FolderOf(const std::string& path) {
  const std::string dir = ParentDir(path);
  return dir.empty() ? "." : dir;
}

// The next name for a temporary file beside `path`; the counter makes it
// unique within this process, the process id between processes.
std::string TemporaryName(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

// Gives the new file the owner and permissions of the one it replaces. The
// owner is kept where the system allows it (a privileged process); the mode
// after it, because a change of owner clears the set-id bits.
void TakeOverAttributes(int fd, const struct stat& old) {
  struct stat now {};
  if (::fstat(fd, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid)) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Not allowed: the file belongs to whoever writes it.
    }
  }
  ::fchmod(fd, old.st_mode & 07777);
}

// Rewrites an existing file in place, for a folder where no new file can
// be made: not atomic, but the only way to change the file at all.
AtomicWrite RewriteInPlace(const std::string& target, std::string_view data, FileOps& ops) {
  AtomicWrite result;
  const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
  const auto fail = [&](int error) {
    result.failure = MakeFileFailure(error, "Couldn't rewrite " + Quoted(target) +
                                                " in place (no file can be made in its folder)");
    return result;
  };
  if (fd < 0) return fail(errno);
  UniqueFd closer(fd);
  if (!WriteAll(ops, fd, data, 0)) return fail(errno);
  if (::ftruncate(fd, static_cast<off_t>(data.size())) != 0) return fail(errno);
  if (ops.FSync(fd) != 0) return fail(errno);
  if (::fstat(fd, &result.written) != 0) return fail(errno);
  if (const int error = closer.Close(); error != 0) return fail(error);
  return result;
}

}  // namespace

ssize_t FileOps::PWrite(int fd, const char* data, std::size_t size, off_t offset) {
  return ::pwrite(fd, data, size, offset);
}

int FileOps::FSync(int fd) {
  return ::fsync(fd);
}

int FileOps::Rename(const std::string& from, const std::string& to, bool replace) {
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

int FileOps::CreateNew(const std::string& path, mode_t mode) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
}

int FileOps::TryLock(int fd) {
  return ::flock(fd, LOCK_EX | LOCK_NB);
}

void FileOps::Pause(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

FileOps& SystemFileOps() {
  static FileOps ops;
  return ops;
}

bool WriteAll(FileOps& ops, int fd, std::string_view data, off_t offset) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n =
        ops.PWrite(fd, data.data() + done, data.size() - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

FileFailure MakeFileFailure(int error, const std::string& what) {
  return FileFailure{error, what + ": " + std::strerror(error)};
}

std::string ErrorNumberText(std::string_view headline, long long number,
                            std::string_view description, std::string_view number_label) {
  std::string text(headline);
  text.append(" ").append(number_label).append(": ").append(std::to_string(number));
  text.append(" Error-Descripton: ").append(description);
  return text;
}

std::optional<FileFailure> ResolveWriteTarget(const std::string& path, std::string& target) {
  std::string current = path;
  for (int links = 0; links <= kMaxLinks; ++links) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0) {
      const int error = errno;
      if (error != ENOENT) return MakeFileFailure(error, "Couldn't look at " + Quoted(current));
      if (current != path && !DirExists(FolderOf(current))) {
        return MakeFileFailure(ENOENT, "The symbolic link " + Quoted(path) + " points to " +
                                           Quoted(current) + ", whose folder doesn't exist");
      }
      target = current;
      return std::nullopt;
    }
    if (!S_ISLNK(info.st_mode)) {
      target = current;
      return std::nullopt;
    }
    std::vector<char> buffer(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1);
    const ssize_t length = ::readlink(current.c_str(), buffer.data(), buffer.size());
    if (length < 0)
      return MakeFileFailure(errno, "Couldn't read the symbolic link " + Quoted(current));
    const std::string link(buffer.data(), static_cast<std::size_t>(length));
    current = link.front() == '/' ? link : ParentDir(current) + link;
  }
  return MakeFileFailure(ELOOP, "Couldn't follow the symbolic link " + Quoted(path));
}

AtomicWrite WriteFileAtomically(const std::string& path, std::string_view data, FileOps& ops,
                                bool replace) {
  AtomicWrite result;
  std::string target;
  if (auto failure = ResolveWriteTarget(path, target)) {
    result.failure = std::move(failure);
    return result;
  }
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) {
    result.failure = MakeFileFailure(EISDIR, "Couldn't replace " + Quoted(target));
    return result;
  }
  if (exists && !S_ISREG(old.st_mode)) {
    result.failure = MakeFileFailure(EINVAL, Quoted(target) + " is not a regular file");
    return result;
  }
  if (exists && !replace) {
    result.failure = MakeFileFailure(EEXIST, "Couldn't create " + Quoted(target));
    return result;
  }

  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < kTemporaryNameTries && fd < 0; ++attempt) {
    temporary = TemporaryName(target);
    fd = ops.CreateNew(temporary, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    const int error = errno;
    if (exists && (error == EACCES || error == EPERM || error == EROFS)) {
      return RewriteInPlace(target, data, ops);
    }
    result.failure =
        MakeFileFailure(error, "Couldn't create a temporary file beside " + Quoted(target));
    return result;
  }
  UniqueFd closer(fd);
  if (exists) TakeOverAttributes(fd, old);

  const auto fail = [&](int error, const std::string& what) {
    closer.Close();
    ::unlink(temporary.c_str());
    result.failure = MakeFileFailure(error, what);
    return result;
  };
  if (!WriteAll(ops, fd, data, 0)) return fail(errno, "Couldn't write " + Quoted(target));
  if (ops.FSync(fd) != 0) return fail(errno, "Couldn't flush " + Quoted(target) + " to the disk");
  if (::fstat(fd, &result.written) != 0) return fail(errno, "Couldn't write " + Quoted(target));
  if (const int error = closer.Close(); error != 0) {
    return fail(error, "Couldn't write " + Quoted(target));
  }
  if (ops.Rename(temporary, target, replace) != 0) {
    const int error = errno;
    if (error == EEXIST) return fail(error, "Couldn't create " + Quoted(target));
    return fail(error, "Couldn't put the new " + Quoted(target) + " in place");
  }
  SyncDirectoryOf(target, ops);
  return result;
}

void SyncDirectoryOf(const std::string& path, FileOps& ops) {
  const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ops.FSync(fd);  // not every file system can sync a directory
  ::close(fd);
}

}  // namespace zelvo
