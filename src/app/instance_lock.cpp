#include "app/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "model/raised_error.h"

namespace zelvo {

FileInstanceLock::~FileInstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileInstanceLock::AnotherInstanceRunning() {
  if (fd_ >= 0) return false;
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    const int error = errno;
    throw RaisedError("Couldn't open the lock file " + path_ + ". Error-number: " +
                      std::to_string(error) + " Error-Descripton: " + std::strerror(error));
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
