// A simulated port that records each byte as one line appended to a file:
// the monotonic time in microseconds, one blank, the byte in decimal
// ("183402771233 3"). Each line is written with one system call, so a reader
// sees it at once; a line that cannot be written whole (a full disk) is cut
// off again, so the file never holds part of one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "outputs/port_writer.h"

namespace zelvo {

class FilePort final : public PortWriter {
 public:
  // Source of the time stamp of each line, in microseconds.
  using MicrosecondClock = std::function<std::int64_t()>;
  // The write(2) call: bytes written, or -1 with errno set.
  using WriteCall = std::function<long(int fd, const char* data, std::size_t size)>;

  // The CLOCK_MONOTONIC time in microseconds.
  static std::int64_t MonotonicMicroseconds();

  // Opens `path` for appending (creating it when missing); symbolic links are
  // followed only as ResolveWriteTarget (files/file_ops.h) allows. On failure
  // the choice holds no writer and an error text naming the file.
  static PortWriterChoice Open(const std::string& path,
                               MicrosecondClock clock = &FilePort::MonotonicMicroseconds,
                               WriteCall write = &FilePort::SystemWrite);

  static long SystemWrite(int fd, const char* data, std::size_t size);

  ~FilePort() override;
  FilePort(const FilePort&) = delete;
  FilePort& operator=(const FilePort&) = delete;

  std::string Write(std::uint8_t byte) override;
  std::string Describe() const override { return "simulated port (file " + path_ + ")"; }

 private:
  FilePort(std::string path, int fd, MicrosecondClock clock, WriteCall write);

  std::string path_;
  int fd_;
  MicrosecondClock clock_;
  WriteCall write_;
};

}  // namespace zelvo
