#include "outputs/file_port.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <system_error>

#include "files/file_ops.h"

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

long FilePort::SystemWrite(int fd, const char* data, std::size_t size) {
  return static_cast<long>(::write(fd, data, size));
}

PortWriterChoice FilePort::Open(const std::string& path, MicrosecondClock clock, WriteCall write) {
  PortWriterChoice choice;
  if (path.empty()) {
    choice.error = "The simulated port needs a file name: OutputDevice file:PATH.";
    return choice;
  }
  std::string target;
  if (const std::optional<FileFailure> failure = ResolveWriteTarget(path, target)) {
    choice.error =
        "Cannot open the simulated port file " + path + ": " + failure->description + ".";
    return choice;
  }
  const int fd =
      ::open(target.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    choice.error = "Cannot open the simulated port file " + path +
                   " for appending: " + ErrnoText(errno) +
                   ". Check that its folder exists and is writable.";
    return choice;
  }
  choice.writer.reset(new FilePort(path, fd, std::move(clock), std::move(write)));
  return choice;
}

FilePort::FilePort(std::string path, int fd, MicrosecondClock clock, WriteCall write)
    : path_(std::move(path)), fd_(fd), clock_(std::move(clock)), write_(std::move(write)) {}

FilePort::~FilePort() {
  ::close(fd_);
}

std::string FilePort::Write(std::uint8_t byte) {
  const std::string line = std::to_string(clock_()) + ' ' + std::to_string(byte) + '\n';
  // Where the line starts, to cut a part of it off again.
  const off_t start = ::lseek(fd_, 0, SEEK_END);
  std::size_t done = 0;
  while (done < line.size()) {
    const long n = write_(fd_, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : ENOSPC;
      std::string text =
          "Cannot write to the simulated port file " + path_ + ": " + ErrnoText(error) + ".";
      if (done > 0 && (start < 0 || ::ftruncate(fd_, start) != 0))
        text += " Its last line is incomplete.";
      return text;
    }
    done += static_cast<std::size_t>(n);
  }
  return {};
}

}  // namespace zelvo
