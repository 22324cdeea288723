// A simulated port that records each byte as one line appended to a file:
// the monotonic time in microseconds, one blank, the byte in decimal
// ("183402771233 3"). Each line is written with one system call, so a reader
// sees it at once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "outputs/port_writer.h"

namespace zelvo {

class FilePort final : public PortWriter {
 public:
  // Source of the time stamp of each line, in microseconds.
  using MicrosecondClock = std::function<std::int64_t()>;

  // The CLOCK_MONOTONIC time in microseconds.
  static std::int64_t MonotonicMicroseconds();

  // Opens `path` for appending (creating it when missing). On failure the
  // choice holds no writer and an error text naming the file.
  static PortWriterChoice Open(const std::string& path,
                               MicrosecondClock clock = &FilePort::MonotonicMicroseconds);

  ~FilePort() override;
  FilePort(const FilePort&) = delete;
  FilePort& operator=(const FilePort&) = delete;

  std::string Write(std::uint8_t byte) override;
  std::string Describe() const override { return "simulated port (file " + path_ + ")"; }

 private:
  FilePort(std::string path, int fd, MicrosecondClock clock);

  std::string path_;
  int fd_;
  MicrosecondClock clock_;
};

}  // namespace zelvo
