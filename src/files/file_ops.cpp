#include "files/file_ops.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
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
  const int fd = ::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
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

std::optional<FileFailure> ResolveWriteTarget(const std::string& path, std::string& target,
                                              bool follow_last) {
  // The components still to walk, last first; `resolved` holds no link.
  std::vector<std::string> pending;
  const auto push_components = [&pending](const std::string& text) {
    std::vector<std::string> parts;
    for (std::size_t at = 0; at <= text.size();) {
      const std::size_t slash = std::min(text.find('/', at), text.size());
      if (slash > at) parts.emplace_back(text, at, slash - at);
      at = slash + 1;
    }
    pending.insert(pending.end(), parts.rbegin(), parts.rend());
  };
  const std::string absolute = FullPath(path);
  if (absolute.empty()) return MakeFileFailure(ENOENT, "Couldn't find " + Quoted(path));
  push_components(absolute);
  std::string resolved;
  int links = 0;
  const auto rest = [&] {
    std::string all = resolved;
    for (auto part = pending.rbegin(); part != pending.rend(); ++part) all += "/" + *part;
    return all.empty() ? std::string("/") : all;
  };
  while (!pending.empty()) {
    const std::string part = std::move(pending.back());
    pending.pop_back();
    if (part == ".") continue;
    if (part == "..") {
      resolved.erase(std::min(resolved.size(), resolved.rfind('/')));
      continue;
    }
    const std::string next = resolved + "/" + part;
    struct stat info {};
    if (::lstat(next.c_str(), &info) != 0) {
      const int error = errno;
      if (error != ENOENT) return MakeFileFailure(error, "Couldn't look at " + Quoted(next));
      if (!pending.empty() && links > 0) {
        resolved = next;
        return MakeFileFailure(ENOENT, "The symbolic link " + Quoted(path) + " points to " +
                                           Quoted(rest()) + ", whose folder doesn't exist");
      }
      if (!pending.empty()) break;  // a missing folder: the write itself says so
      resolved = next;
      continue;
    }
    if (!S_ISLNK(info.st_mode)) {
      resolved = next;
      continue;
    }
    if (pending.empty() && !follow_last) {
      return MakeFileFailure(ELOOP, Quoted(next) + " is a symbolic link, which is not followed");
    }
    if (++links > kMaxLinks) {
      return MakeFileFailure(ELOOP, "Couldn't follow the symbolic link " + Quoted(path));
    }
    struct stat pointed {};
    const bool exists = ::stat(next.c_str(), &pointed) == 0;
    if (info.st_uid != ::geteuid() && (!exists || pointed.st_uid != info.st_uid)) {
      return MakeFileFailure(
          EACCES, "The symbolic link " + Quoted(next) + " belongs to user " +
                      std::to_string(info.st_uid) +
                      ", neither to this program's user nor to the owner of what it points to; "
                      "it is not followed");
    }
    std::vector<char> buffer(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1);
    const ssize_t length = ::readlink(next.c_str(), buffer.data(), buffer.size());
    if (length <= 0)
      return MakeFileFailure(length < 0 ? errno : EINVAL,
                             "Couldn't read the symbolic link " + Quoted(next));
    const std::string link(buffer.data(), static_cast<std::size_t>(length));
    if (link.front() == '/') resolved.clear();
    push_components(link);
  }
  target = pending.empty() ? rest() : absolute;
  return std::nullopt;
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
  const bool exists = ::lstat(target.c_str(), &old) == 0;
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
      result = RewriteInPlace(target, data, ops);
      result.in_place = true;
      return result;
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
