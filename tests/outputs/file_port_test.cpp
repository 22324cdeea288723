#include "outputs/file_port.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace zelvo {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class FilePortTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.Valid()); }

  // A clock that moves on by 250 microseconds on every reading.
  FilePort::MicrosecondClock SteppingClock() {
    return [this] { return now_ += 250; };
  }

  TempDir dir_;
  std::int64_t now_ = 183402771000;
};

TEST_F(FilePortTest, EachWriteAppendsOneLineThatIsReadableAtOnce) {
  const std::string path = dir_.File("port.log");
  PortWriterChoice choice = FilePort::Open(path, SteppingClock());
  ASSERT_NE(choice.writer, nullptr) << choice.error;
  EXPECT_EQ(choice.error, "");
  EXPECT_EQ(choice.warning, "");
  EXPECT_EQ(ReadFile(path), "");

  EXPECT_EQ(choice.writer->Write(3), "");
  EXPECT_EQ(ReadFile(path), "183402771250 3\n");
  EXPECT_EQ(choice.writer->Write(255), "");
  EXPECT_EQ(ReadFile(path), "183402771250 3\n183402771500 255\n");
  EXPECT_EQ(choice.writer->Write(0), "");
  EXPECT_EQ(ReadFile(path), "183402771250 3\n183402771500 255\n183402771750 0\n");
}

TEST_F(FilePortTest, AppendsToAnExistingFile) {
  const std::string path = dir_.File("port.log");
  WriteFile(path, "100 1\n");
  PortWriterChoice choice = FilePort::Open(path, SteppingClock());
  ASSERT_NE(choice.writer, nullptr) << choice.error;
  EXPECT_EQ(choice.writer->Write(129), "");
  EXPECT_EQ(ReadFile(path), "100 1\n183402771250 129\n");
}

TEST_F(FilePortTest, StampsLinesWithTheMonotonicClockInMicroseconds) {
  const std::string path = dir_.File("port.log");
  PortWriterChoice choice = FilePort::Open(path);
  ASSERT_NE(choice.writer, nullptr) << choice.error;
  const std::int64_t before = FilePort::MonotonicMicroseconds();
  const std::int64_t from_steady = std::chrono::duration_cast<std::chrono::microseconds>(
                                       std::chrono::steady_clock::now().time_since_epoch())
                                       .count();
  for (int byte : {1, 2, 200}) ASSERT_EQ(choice.writer->Write(static_cast<std::uint8_t>(byte)), "");
  const std::int64_t after = FilePort::MonotonicMicroseconds();

  std::istringstream lines(ReadFile(path));
  std::int64_t previous = before;
  for (int expected_byte : {1, 2, 200}) {
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    std::istringstream fields(line);
    std::int64_t stamp = 0;
    int byte = -1;
    std::string rest;
    ASSERT_TRUE(fields >> stamp >> byte) << line;
    EXPECT_FALSE(fields >> rest) << line;
    EXPECT_EQ(line, std::to_string(stamp) + " " + std::to_string(byte));
    EXPECT_EQ(byte, expected_byte);
    EXPECT_GE(stamp, previous);
    EXPECT_LE(stamp, after);
    previous = stamp;
  }
  std::string extra;
  EXPECT_FALSE(std::getline(lines, extra));
  // The same clock as std::chrono::steady_clock on Linux: microseconds, not
  // nanoseconds or seconds.
  EXPECT_LE(before, from_steady);
  EXPECT_LE(from_steady, after);
}

TEST_F(FilePortTest, MissingDirectoryGivesAnErrorNamingTheFile) {
  const std::string path = dir_.File("missing/port.log");
  const PortWriterChoice choice = FilePort::Open(path);
  EXPECT_EQ(choice.writer, nullptr);
  EXPECT_NE(choice.error.find(path), std::string::npos) << choice.error;
  EXPECT_NE(choice.error.find("for appending"), std::string::npos) << choice.error;
  EXPECT_NE(choice.error.find("No such file or directory"), std::string::npos) << choice.error;
}

TEST_F(FilePortTest, EmptyPathIsRefused) {
  const PortWriterChoice choice = FilePort::Open("");
  EXPECT_EQ(choice.writer, nullptr);
  EXPECT_NE(choice.error.find("file:PATH"), std::string::npos) << choice.error;
}

TEST_F(FilePortTest, AFailedWriteReturnsAnErrorNamingTheFile) {
  PortWriterChoice choice = FilePort::Open("/dev/full", SteppingClock());
  if (choice.writer == nullptr) GTEST_SKIP() << "/dev/full is not available: " << choice.error;
  const std::string error = choice.writer->Write(1);
  EXPECT_NE(error.find("/dev/full"), std::string::npos) << error;
  EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
}

// A write(2) that takes `take` bytes per call, and fails with `error` (after
// EINTR first when `interrupt`) once `limit` bytes have gone through.
struct WriteFault {
  const char* name;
  std::size_t take;
  std::size_t limit;
  int error;
  bool interrupt;
  const char* reported;  // "" when the line is written whole
};

void PrintTo(const WriteFault& fault, std::ostream* os) {
  *os << fault.name;
}

class FilePortWriteFaultTest : public FilePortTest,
                               public ::testing::WithParamInterface<WriteFault> {};

TEST_P(FilePortWriteFaultTest, WritesALineWholeOrNotAtAll) {
  const WriteFault fault = GetParam();
  const std::string path = dir_.File("port.log");
  WriteFile(path, "100 1\n");
  std::size_t written = 0;
  bool interrupted = false;
  PortWriterChoice choice = FilePort::Open(
      path, SteppingClock(), [&](int fd, const char* data, std::size_t size) -> long {
        if (fault.interrupt && !interrupted) {
          interrupted = true;
          errno = EINTR;
          return -1;
        }
        if (written >= fault.limit) {
          errno = fault.error;
          return -1;
        }
        const long n =
            FilePort::SystemWrite(fd, data, std::min({size, fault.take, fault.limit - written}));
        written += static_cast<std::size_t>(n);
        return n;
      });
  ASSERT_NE(choice.writer, nullptr) << choice.error;
  const std::string error = choice.writer->Write(129);
  if (*fault.reported == '\0') {
    EXPECT_EQ(error, "");
    EXPECT_EQ(ReadFile(path), "100 1\n183402771250 129\n");
  } else {
    EXPECT_EQ(error,
              "Cannot write to the simulated port file " + path + ": " + fault.reported + ".");
    EXPECT_EQ(ReadFile(path), "100 1\n");
  }
}

constexpr std::size_t kAll = 1000;

INSTANTIATE_TEST_SUITE_P(
    Table, FilePortWriteFaultTest,
    ::testing::Values(
        WriteFault{"nothing fits", kAll, 0, ENOSPC, false, "No space left on device"},
        WriteFault{"one byte fits", kAll, 1, ENOSPC, false, "No space left on device"},
        WriteFault{"all but the line feed", kAll, 16, ENOSPC, false, "No space left on device"},
        WriteFault{"three bytes a call", 3, 10, ENOSPC, false, "No space left on device"},
        WriteFault{"quota", kAll, 4, EDQUOT, true, "Disk quota exceeded"},
        WriteFault{"i/o error", kAll, 7, EIO, false, "Input/output error"},
        WriteFault{"short writes", 3, kAll, 0, true, ""}));

TEST_F(FilePortTest, DescribesItselfAsSimulated) {
  const std::string path = dir_.File("port.log");
  const PortWriterChoice choice = FilePort::Open(path);
  ASSERT_NE(choice.writer, nullptr) << choice.error;
  EXPECT_EQ(choice.writer->Describe(), "simulated port (file " + path + ")");
}

}  // namespace
}  // namespace zelvo
