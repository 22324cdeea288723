#include "outputs/backends.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "fake_ports.h"
#include "log/messages.h"
#include "outputs/file_port.h"
#include "outputs/memory_port.h"
#include "outputs/parport_port.h"
#include "support/temp_dir.h"

namespace zelvo {
namespace {

PortWriterChoice Open(std::string_view device,
                      const PortPlatform& platform = NativePortPlatform()) {
  return BuiltinPortBackends(platform).Open(device);
}

enum class Expect { kMemory, kFile, kError };

struct Selection {
  const char* name;
  std::string device;  // "{dir}" stands for the test's temporary directory
  Expect expect;
  std::vector<std::string> mentions;  // in the error text
};

void PrintTo(const Selection& s, std::ostream* out) {
  *out << '"' << s.device << '"';
}

class BackendSelection : public ::testing::TestWithParam<Selection> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.Valid());
    testing::WriteFile(dir_.File("not-a-port"), "");
  }
  std::string Device() const {
    std::string device = GetParam().device;
    if (const auto at = device.find("{dir}"); at != std::string::npos)
      device.replace(at, 5, dir_.File(""));
    return device;
  }
  testing::TempDir dir_;
};

TEST_P(BackendSelection, ChoosesTheBackEnd) {
  const Selection& s = GetParam();
  const std::string device = Device();
  PortWriterChoice choice = Open(device);
  EXPECT_EQ(choice.warning, "");
  switch (s.expect) {
    case Expect::kMemory: {
      ASSERT_NE(choice.writer, nullptr) << choice.error;
      EXPECT_EQ(choice.error, "");
      auto* memory = dynamic_cast<MemoryPort*>(choice.writer.get());
      ASSERT_NE(memory, nullptr) << choice.writer->Describe();
      EXPECT_EQ(choice.writer->Write(9), "");
      EXPECT_EQ(memory->Written(), std::vector<std::uint8_t>{9});
      break;
    }
    case Expect::kFile: {
      ASSERT_NE(choice.writer, nullptr) << choice.error;
      EXPECT_EQ(choice.error, "");
      ASSERT_NE(dynamic_cast<FilePort*>(choice.writer.get()), nullptr);
      EXPECT_EQ(choice.writer->Write(42), "");
      const std::string path = device.substr(device.find(':') + 1);
      const std::string text = testing::ReadFile(path);
      EXPECT_EQ(text.substr(text.find(' ')), " 42\n") << text;
      break;
    }
    case Expect::kError:
      EXPECT_EQ(choice.writer, nullptr) << choice.writer->Describe();
      EXPECT_NE(choice.error, "");
      break;
  }
  for (std::string part : s.mentions) {
    if (part == "{device}") part = device;
    EXPECT_NE(choice.error.find(part), std::string::npos)
        << "missing \"" << part << "\" in: " << choice.error;
  }
}

const std::vector<std::string> kAcceptedForms = {"auto", "memory", "parport[:DEVICE]",
                                                 "ioport[:ADDRESS]", "file:PATH"};

INSTANTIATE_TEST_SUITE_P(
    Devices, BackendSelection,
    ::testing::Values(
        Selection{"Memory", "memory", Expect::kMemory, {}},
        Selection{"MemoryUpperCase", "MEMORY", Expect::kMemory, {}},
        Selection{"File", "file:{dir}port.log", Expect::kFile, {}},
        Selection{"FileUpperCaseKind", "FILE:{dir}port.log", Expect::kFile, {}},
        Selection{"FileInMissingFolder",
                  "file:{dir}missing/port.log",
                  Expect::kError,
                  {"missing/port.log", "for appending"}},
        Selection{"FileWithoutPath", "file:", Expect::kError, {"file:PATH"}},
        Selection{"MissingParport",
                  "parport:/dev/zelvo-no-such-parport",
                  Expect::kError,
                  {"/dev/zelvo-no-such-parport", "modprobe ppdev"}},
        Selection{"PlainFileAsParport",
                  "parport:{dir}not-a-port",
                  Expect::kError,
                  {"not-a-port", "not a parallel port device"}},
        Selection{"IoportWords", "ioport:lpt1", Expect::kError, {"\"lpt1\"", "0x378"}},
        Selection{"IoportTooLarge", "ioport:70000", Expect::kError, {"\"70000\"", "65535"}},
        Selection{"IoportHexWithoutDigits", "ioport:0x", Expect::kError, {"\"0x\""}},
        Selection{"UnknownKind", "serial:/dev/ttyS0", Expect::kError, kAcceptedForms},
        Selection{"FileWithoutColon", "file", Expect::kError, kAcceptedForms},
        Selection{"MemoryWithArgument", "memory:1", Expect::kError, {"\"memory:1\""}},
        Selection{"AutoWithArgument", "auto:x", Expect::kError, {"\"auto:x\""}},
        Selection{"DeviceWithoutKind", "/dev/parport0", Expect::kError, {"\"/dev/parport0\""}}),
    [](const ::testing::TestParamInfo<Selection>& info) { return std::string(info.param.name); });

// Without /dev/parport0, "auto" (and an empty setting) falls back to the
// simulated port with a warning; "parport" alone reports the missing device.
class WithoutParport0 : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (ParportDeviceExists(kDefaultParportDevice))
      GTEST_SKIP() << "this machine has " << kDefaultParportDevice;
  }
};

TEST_P(WithoutParport0, AutoFallsBackToTheSimulatedPortWithAWarning) {
  PortWriterChoice choice = Open(GetParam());
  ASSERT_NE(choice.writer, nullptr) << choice.error;
  EXPECT_EQ(choice.error, "");
  EXPECT_NE(dynamic_cast<MemoryPort*>(choice.writer.get()), nullptr) << choice.writer->Describe();
  EXPECT_EQ(choice.warning, PortFallbackText(kDefaultParportDevice));
}

INSTANTIATE_TEST_SUITE_P(Auto, WithoutParport0, ::testing::Values("auto", "", "AUTO"));

TEST(Backends, ParportWithoutDeviceUsesParport0) {
  if (ParportDeviceExists(kDefaultParportDevice))
    GTEST_SKIP() << "this machine has " << kDefaultParportDevice;
  for (const char* device : {"parport", "parport:"}) {
    const PortWriterChoice choice = Open(device);
    EXPECT_EQ(choice.writer, nullptr);
    EXPECT_NE(choice.error.find("/dev/parport0"), std::string::npos) << choice.error;
    EXPECT_NE(choice.error.find("modprobe ppdev"), std::string::npos) << choice.error;
  }
}

// Selection on a platform of fakes: which device is opened, with which calls.
struct PlatformCase {
  const char* name;
  std::string device;
  bool parport0_exists;
  std::vector<std::string> parport_calls;  // after opening and writing 5
  std::vector<std::string> ioport_calls;   // after opening and writing 5
  std::string describe;                    // empty: opening fails
  std::string mention;                     // in the error or warning text
};

void PrintTo(const PlatformCase& c, std::ostream* out) {
  *out << '"' << c.device << '"';
}

class BackendsOnFakes : public ::testing::TestWithParam<PlatformCase> {
 protected:
  PortPlatform Platform() {
    PortPlatform platform;
    platform.parport = &parport_;
    platform.ioport = &io_;
    platform.device_exists = [this](const std::string& path) {
      looked_at_.push_back(path);
      return GetParam().parport0_exists && path == "/dev/parport0";
    };
    return platform;
  }
  FakeParport parport_;
  FakePortIo io_;
  std::vector<std::string> looked_at_;
};

TEST_P(BackendsOnFakes, OpensTheChosenDevice) {
  const PlatformCase& c = GetParam();
  PortWriterChoice choice = Open(c.device, Platform());
  if (c.describe.empty()) {
    EXPECT_EQ(choice.writer, nullptr);
    EXPECT_NE(choice.error.find(c.mention), std::string::npos) << choice.error;
  } else {
    ASSERT_NE(choice.writer, nullptr) << choice.error;
    EXPECT_EQ(choice.writer->Describe(), c.describe);
    EXPECT_EQ(choice.writer->Write(5), "");
    if (c.mention.empty())
      EXPECT_EQ(choice.warning, "");
    else
      EXPECT_NE(choice.warning.find(c.mention), std::string::npos) << choice.warning;
  }
  EXPECT_EQ(parport_.calls, c.parport_calls);
  EXPECT_EQ(io_.calls, c.ioport_calls);
  // Only the automatic choice looks for the default device.
  const bool automatic = c.device.empty() || c.device == "auto";
  EXPECT_EQ(looked_at_,
            automatic ? std::vector<std::string>{"/dev/parport0"} : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Devices, BackendsOnFakes,
    ::testing::Values(PlatformCase{"AutoWithParport0",
                                   "auto",
                                   true,
                                   {"open /dev/parport0", "claim 7", "data 7 5"},
                                   {},
                                   "parallel port /dev/parport0 (ppdev)",
                                   ""},
                      PlatformCase{"EmptyWithParport0",
                                   "",
                                   true,
                                   {"open /dev/parport0", "claim 7", "data 7 5"},
                                   {},
                                   "parallel port /dev/parport0 (ppdev)",
                                   ""},
                      PlatformCase{"AutoWithoutParport0",
                                   "auto",
                                   false,
                                   {},
                                   {},
                                   "simulated port (memory)",
                                   PortFallbackText(kDefaultParportDevice)},
                      PlatformCase{"ParportDefault",
                                   "parport",
                                   false,
                                   {"open /dev/parport0", "claim 7", "data 7 5"},
                                   {},
                                   "parallel port /dev/parport0 (ppdev)",
                                   ""},
                      PlatformCase{"ParportNamed",
                                   "parport:/dev/parport2",
                                   false,
                                   {"open /dev/parport2", "claim 7", "data 7 5"},
                                   {},
                                   "parallel port /dev/parport2 (ppdev)",
                                   ""},
                      PlatformCase{"IoportDefault",
                                   "ioport",
                                   false,
                                   {},
                                   {"permit 888", "out 888 5"},
                                   "I/O port 888 (0x378)",
                                   ""},
                      PlatformCase{"IoportHex",
                                   "ioport:0x3bc",
                                   false,
                                   {},
                                   {"permit 956", "out 956 5"},
                                   "I/O port 956 (0x3BC)",
                                   ""},
                      PlatformCase{"IoportDecimal",
                                   "IOPORT:632",
                                   false,
                                   {},
                                   {"permit 632", "out 632 5"},
                                   "I/O port 632 (0x278)",
                                   ""}),
    [](const ::testing::TestParamInfo<PlatformCase>& info) {
      return std::string(info.param.name);
    });

TEST(BackendsOnFakePlatform, AutoReportsAParport0ThatCannotBeOpened) {
  FakeParport parport;
  parport.errors["open"] = EACCES;
  PortPlatform platform;
  platform.parport = &parport;
  platform.device_exists = [](const std::string&) { return true; };
  const PortWriterChoice choice = Open("auto", platform);
  EXPECT_EQ(choice.writer, nullptr);
  EXPECT_EQ(choice.warning, "");
  EXPECT_NE(choice.error.find("group lp"), std::string::npos) << choice.error;
}

// A platform member left empty is missing (no port instructions off x86):
// its back-end is refused with a text that says so, never opened on the
// machine's own, and "auto" without a device file simulates.
TEST(BackendsOnFakePlatform, AnEmptyPlatformHasNoneOfItsParts) {
  const PortPlatform empty;
  const struct {
    const char* device;
    const char* refusal;
  } cases[] = {
      {"parport:/dev/parport0", "ppdev (/dev/parport0) are not available here"},
      {"parport", "ppdev (/dev/parport0) are not available here"},
      {"ioport:888", "only available on x86 Linux"},
      {"gpio:gpiochip0:17,18,27,22,-,-,-,-", "are not available here"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.device);
    const PortWriterChoice choice = Open(c.device, empty);
    EXPECT_EQ(choice.writer, nullptr);
    EXPECT_NE(choice.error.find(c.refusal), std::string::npos) << choice.error;
  }
  const PortWriterChoice automatic = Open("auto", empty);
  EXPECT_NE(automatic.writer, nullptr);
  EXPECT_FALSE(automatic.warning.empty());
}

}  // namespace
}  // namespace zelvo
