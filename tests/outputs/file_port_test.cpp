#include "outputs/file_port.h"

#include <gtest/gtest.h>

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

TEST_F(FilePortTest, DescribesItselfAsSimulated) {
  const std::string path = dir_.File("port.log");
  const PortWriterChoice choice = FilePort::Open(path);
  ASSERT_NE(choice.writer, nullptr) << choice.error;
  EXPECT_EQ(choice.writer->Describe(), "simulated port (file " + path + ")");
}

}  // namespace
}  // namespace zelvo
