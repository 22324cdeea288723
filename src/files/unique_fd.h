// Owns a file descriptor and closes it when it goes out of scope.
#pragma once

#include <unistd.h>

#include <cerrno>

namespace zelvo {

class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  // Closes now and reports the errno of a failing close; 0 on success or when
  // nothing is held.
  int Close() {
    if (fd_ < 0) return 0;
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

}  // namespace zelvo
