#include "outputs/parport_port.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "fake_ports.h"
#include "support/temp_dir.h"

namespace zelvo {
namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ParportPort, ClaimsWritesAndReleasesOnDestruction) {
  FakeParport system;
  {
    PortWriterChoice choice = ParportPort::Open("/dev/parport1", system);
    ASSERT_NE(choice.writer, nullptr) << choice.error;
    EXPECT_EQ(choice.error, "");
    EXPECT_EQ(system.calls, (std::vector<std::string>{"open /dev/parport1", "claim 7"}));
    EXPECT_EQ(choice.writer->Write(183), "");
    EXPECT_EQ(choice.writer->Write(0), "");
    EXPECT_EQ(choice.writer->Describe(), "parallel port /dev/parport1 (ppdev)");
  }
  EXPECT_EQ(system.calls, (std::vector<std::string>{"open /dev/parport1", "claim 7", "data 7 183",
                                                    "data 7 0", "release 7", "close 7"}));
}

struct OpenFailure {
  const char* call;
  int error;
  std::vector<std::string> expected_calls;
  std::vector<std::string> error_mentions;
};

class ParportOpenFailures : public ::testing::TestWithParam<OpenFailure> {};

TEST_P(ParportOpenFailures, GiveNoWriterAndNameTheDeviceAndTheFix) {
  FakeParport system;
  system.errors[GetParam().call] = GetParam().error;
  const PortWriterChoice choice = ParportPort::Open("/dev/parport0", system);
  EXPECT_EQ(choice.writer, nullptr);
  EXPECT_EQ(system.calls, GetParam().expected_calls);
  EXPECT_TRUE(Contains(choice.error, "/dev/parport0")) << choice.error;
  for (const std::string& part : GetParam().error_mentions)
    EXPECT_TRUE(Contains(choice.error, part)) << "missing \"" << part << "\" in: " << choice.error;
}

INSTANTIATE_TEST_SUITE_P(
    Errors, ParportOpenFailures,
    ::testing::Values(
        OpenFailure{"open", ENOENT, {"open /dev/parport0"}, {"No such file", "modprobe ppdev"}},
        OpenFailure{"open", ENXIO, {"open /dev/parport0"}, {"modprobe ppdev"}},
        OpenFailure{"open", EACCES, {"open /dev/parport0"}, {"Permission denied", "group lp"}},
        OpenFailure{"open", EPERM, {"open /dev/parport0"}, {"group lp"}},
        // A claim that fails gives the file back; nothing was claimed to release.
        OpenFailure{"claim",
                    ENOTTY,
                    {"open /dev/parport0", "claim 7", "close 7"},
                    {"not a parallel port device"}},
        OpenFailure{"claim",
                    EBUSY,
                    {"open /dev/parport0", "claim 7", "close 7"},
                    {"Device or resource busy", "Another program"}}));

TEST(ParportPort, AFailedWriteReturnsAnErrorAndTheClaimIsStillReleased) {
  FakeParport system;
  {
    PortWriterChoice choice = ParportPort::Open("/dev/parport0", system);
    ASSERT_NE(choice.writer, nullptr);
    system.errors["data"] = EIO;
    const std::string error = choice.writer->Write(5);
    EXPECT_TRUE(Contains(error, "/dev/parport0")) << error;
    EXPECT_TRUE(Contains(error, "Input/output error")) << error;
  }
  EXPECT_EQ(system.calls.back(), "close 7");
  EXPECT_EQ(system.calls[system.calls.size() - 2], "release 7");
}

// The real ppdev calls on things that are not parallel ports.
TEST(ParportPortOnThisMachine, MissingDeviceAsksToLoadTheDriver) {
  const PortWriterChoice choice = ParportPort::Open("/dev/zelvo-no-such-parport");
  EXPECT_EQ(choice.writer, nullptr);
  EXPECT_TRUE(Contains(choice.error, "/dev/zelvo-no-such-parport")) << choice.error;
  EXPECT_TRUE(Contains(choice.error, "modprobe ppdev")) << choice.error;
}

TEST(ParportPortOnThisMachine, PlainFileIsNotAParallelPort) {
  testing::TempDir dir;
  ASSERT_TRUE(dir.Valid());
  const std::string path = dir.File("not-a-port");
  testing::WriteFile(path, "");
  const PortWriterChoice choice = ParportPort::Open(path);
  EXPECT_EQ(choice.writer, nullptr);
  EXPECT_TRUE(Contains(choice.error, "Cannot claim the parallel port " + path)) << choice.error;
  EXPECT_TRUE(Contains(choice.error, "not a parallel port device")) << choice.error;
}

TEST(ParportPortOnThisMachine, DeviceExistsTellsFilesFromMissingPaths) {
  testing::TempDir dir;
  ASSERT_TRUE(dir.Valid());
  const std::string path = dir.File("device");
  EXPECT_FALSE(ParportDeviceExists(path));
  testing::WriteFile(path, "");
  EXPECT_TRUE(ParportDeviceExists(path));
}

}  // namespace
}  // namespace zelvo
