#include "app/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "files/file_ops.h"
#include "model/raised_error.h"

namespace zelvo {

FileInstanceLock::~FileInstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileInstanceLock::AnotherInstanceRunning() {
  if (fd_ >= 0) return false;
  // Never through a link: a link here could make the program create or lock
  // any file its user may write.
  std::string target;
  if (const std::optional<FileFailure> failure = ResolveWriteTarget(path_, target, false)) {
    throw RaisedError(ErrorNumberText("Couldn't open the lock file " + path_ + ".", failure->number,
                                      failure->description));
  }
  const int fd = ::open(target.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    const int error = errno;
    const std::string why = error == ELOOP ? "\"" + path_ +
                                                 "\" is a symbolic link, which is not "
                                                 "followed. Remove it."
                                           : std::strerror(error);
    throw RaisedError(ErrorNumberText("Couldn't open the lock file " + path_ + ".", error, why));
  }
  int result;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) {
    fd_ = fd;
    return false;
  }
  const int error = errno;
  ::close(fd);
  if (error == EWOULDBLOCK) return true;
  throw RaisedError("Couldn't lock the file " + path_ + ". Error-number: " + std::to_string(error) +
                    " Error-Descripton: " + std::strerror(error));
}

}  // namespace zelvo
