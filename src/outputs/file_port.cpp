#include "outputs/file_port.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <system_error>

namespace zelvo {
namespace {

std::string ErrnoText(int error) {
  return std::error_code(error, std::generic_category()).message();
}

}  // namespace

std::int64_t FilePort::MonotonicMicroseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

PortWriterChoice FilePort::Open(const std::string& path, MicrosecondClock clock) {
  PortWriterChoice choice;
  if (path.empty()) {
    choice.error = "The simulated port needs a file name: OutputDevice file:PATH.";
    return choice;
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    choice.error = "Cannot open the simulated port file " + path +
                   " for appending: " + ErrnoText(errno) +
                   ". Check that its folder exists and is writable.";
    return choice;
  }
  choice.writer.reset(new FilePort(path, fd, std::move(clock)));
  return choice;
}

FilePort::FilePort(std::string path, int fd, MicrosecondClock clock)
    : path_(std::move(path)), fd_(fd), clock_(std::move(clock)) {}

FilePort::~FilePort() {
  ::close(fd_);
}

std::string FilePort::Write(std::uint8_t byte) {
  const std::string line = std::to_string(clock_()) + ' ' + std::to_string(byte) + '\n';
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return "Cannot write to the simulated port file " + path_ + ": " + ErrnoText(errno) + ".";
    }
    done += static_cast<std::size_t>(n);
  }
  return {};
}

}  // namespace zelvo
