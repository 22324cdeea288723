#include "outputs/port_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "outputs/file_port.h"
#include "outputs/memory_port.h"
#include "outputs/parport_port.h"
#include "temp_dir.h"

namespace zelvo {
namespace {

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

class OpenPortWriterSelection : public testing::TestWithParam<Selection> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.Valid());
    testing_support::WriteAll(dir_.File("not-a-port"), "");
  }
  std::string Device() const {
    std::string device = GetParam().device;
    if (const auto at = device.find("{dir}"); at != std::string::npos)
      device.replace(at, 5, dir_.File(""));
    return device;
  }
  testing_support::TempDir dir_;
};

TEST_P(OpenPortWriterSelection, ChoosesTheBackEnd) {
  const Selection& s = GetParam();
  const std::string device = Device();
  PortWriterChoice choice = OpenPortWriter(device);
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
      const std::string text = testing_support::ReadAll(path);
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
    Devices, OpenPortWriterSelection,
    testing::Values(
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
    [](const testing::TestParamInfo<Selection>& info) { return std::string(info.param.name); });

// Without /dev/parport0, "auto" (and an empty setting) falls back to the
// simulated port with a warning; "parport" alone reports the missing device.
class WithoutParport0 : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (ParportDeviceExists(kDefaultParportDevice))
      GTEST_SKIP() << "this machine has " << kDefaultParportDevice;
  }
};

TEST_P(WithoutParport0, AutoFallsBackToTheSimulatedPortWithAWarning) {
  PortWriterChoice choice = OpenPortWriter(GetParam());
  ASSERT_NE(choice.writer, nullptr) << choice.error;
  EXPECT_EQ(choice.error, "");
  EXPECT_NE(dynamic_cast<MemoryPort*>(choice.writer.get()), nullptr) << choice.writer->Describe();
  for (const char* part :
       {"No parallel port was found", "/dev/parport0", "simulated", "OutputDevice"})
    EXPECT_NE(choice.warning.find(part), std::string::npos)
        << "missing \"" << part << "\" in: " << choice.warning;
}

INSTANTIATE_TEST_SUITE_P(Auto, WithoutParport0, testing::Values("auto", "", "AUTO"));

TEST(OpenPortWriter, ParportWithoutDeviceUsesParport0) {
  if (ParportDeviceExists(kDefaultParportDevice))
    GTEST_SKIP() << "this machine has " << kDefaultParportDevice;
  for (const char* device : {"parport", "parport:"}) {
    const PortWriterChoice choice = OpenPortWriter(device);
    EXPECT_EQ(choice.writer, nullptr);
    EXPECT_NE(choice.error.find("/dev/parport0"), std::string::npos) << choice.error;
    EXPECT_NE(choice.error.find("modprobe ppdev"), std::string::npos) << choice.error;
  }
}

}  // namespace
}  // namespace zelvo
