#include "outputs/gpio_port.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "fake_gpio.h"
#include "outputs/backends.h"

namespace zelvo {
namespace {

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct Parse {
  std::string argument;
  std::string chip;             // empty: the argument is refused
  std::vector<GpioLine> lines;  // when accepted
  std::string mention = {};     // in the error, when refused
};

void PrintTo(const Parse& p, std::ostream* out) {
  *out << '"' << p.argument << '"';
}

class GpioDeviceParsing : public ::testing::TestWithParam<Parse> {};

TEST_P(GpioDeviceParsing, MapsOutputsToLines) {
  std::string error;
  const auto mapping = ParseGpioDevice(GetParam().argument, &error);
  if (GetParam().chip.empty()) {
    EXPECT_FALSE(mapping);
    EXPECT_TRUE(Contains(error, GetParam().mention)) << error;
    EXPECT_TRUE(Contains(error, "gpio:CHIP:L1,L2,L3,L4,L5,L6,L7,L8")) << error;
    return;
  }
  ASSERT_TRUE(mapping) << error;
  EXPECT_EQ(mapping->chip, GetParam().chip);
  EXPECT_EQ(mapping->lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, GpioDeviceParsing,
    ::testing::Values(
        Parse{"gpiochip0:17,27,22,23,24,25,5,6",
              "gpiochip0",
              {{1, 17}, {2, 27}, {3, 22}, {4, 23}, {5, 24}, {6, 25}, {7, 5}, {8, 6}}},
        Parse{"/dev/gpiochip1:!4,-,-,-,-,-,-,0", "/dev/gpiochip1", {{1, 4, true}, {8, 0}}},
        // A label with a colon in it: the line list stands after the last one.
        Parse{"pinctrl:bcm2711:-,-,!7,-,-,-,-,-", "pinctrl:bcm2711", {{3, 7, true}}},
        Parse{"gpiochip0:1,2,3,4,5,6,7", "", {}, "7 lines instead of eight"},
        Parse{"gpiochip0:1,2,3,4,5,6,7,8,9", "", {}, "9 lines instead of eight"},
        Parse{"17,27,22,23,24,25,5,6", "", {}, "chip is missing"},
        Parse{":1,2,3,4,5,6,7,8", "", {}, "chip is missing"},
        Parse{"gpiochip0:1,2,x,4,5,6,7,8", "", {}, "\"x\" for output 3"},
        Parse{"gpiochip0:1,2,,4,5,6,7,8", "", {}, "\"\" for output 3"},
        Parse{"gpiochip0:1,2,3,!!4,5,6,7,8", "", {}, "\"!!4\" for output 4"},
        Parse{"gpiochip0:1,2,3,-4,5,6,7,8", "", {}, "\"-4\" for output 4"},
        Parse{"gpiochip0:1,2,3,4,5,6,7,99999999999", "", {}, "for output 8"},
        Parse{"gpiochip0:5,-,-,-,-,-,-,!5", "", {}, "line 5 is given to outputs 1 and 8"},
        Parse{"gpiochip0:-,-,-,-,-,-,-,-", "", {}, "no output is connected"}));

TEST(GpioPort, RequestsAllLinesOffOnceWritesLevelsAndReleasesOnDestruction) {
  FakeGpio gpio;
  {
    PortWriterChoice choice =
        GpioPort::Open(std::string_view("gpiochip0:17,!27,-,-,-,-,-,6"), gpio);
    ASSERT_NE(choice.writer, nullptr) << choice.error;
    EXPECT_EQ(choice.writer->Describe(), "GPIO chip gpiochip0 lines 17,!27,6");
    // Output 1 on, 2 on (active-low: line low), 8 off; then everything off.
    EXPECT_EQ(choice.writer->Write(0b0000'0011), "");
    EXPECT_EQ(choice.writer->Write(0b1000'0000), "");
    EXPECT_EQ(choice.writer->Write(0), "");
  }
  EXPECT_EQ(gpio.calls, (std::vector<std::string>{"open gpiochip0", "count 3",
                                                  "request 3 17,27,6 = 0,1,0 zelvo", "set 3 1,0,0",
                                                  "set 3 0,1,1", "set 3 0,1,0", "close 3"}));
}

// A start byte other than 0 is the request's level, through the back-end.
TEST(GpioPort, LinesAreRequestedAtTheStartByte) {
  FakeGpio gpio;
  PortPlatform platform;
  platform.gpio = &gpio;
  platform.initial_byte = 0b1000'0010;
  const PortWriterChoice choice =
      BuiltinPortBackends(platform).Open("gpio:gpiochip0:17,!27,-,-,-,-,-,6");
  ASSERT_NE(choice.writer, nullptr) << choice.error;
  EXPECT_THAT(gpio.calls, ::testing::Contains("request 3 17,27,6 = 0,0,1 zelvo"));
}

struct OpenFailure {
  std::string call;
  int error;
  std::vector<std::string> mentions;
  std::map<unsigned, std::string> consumers = {};
};

class GpioOpenFailures : public ::testing::TestWithParam<OpenFailure> {};

TEST_P(GpioOpenFailures, NameTheChipTheLineAndTheFix) {
  FakeGpio gpio;
  gpio.errors[GetParam().call] = GetParam().error;
  gpio.consumers = GetParam().consumers;
  const PortWriterChoice choice =
      GpioPort::Open(std::string_view("gpiochip2:17,-,-,22,-,-,-,-"), gpio);
  EXPECT_EQ(choice.writer, nullptr);
  EXPECT_TRUE(Contains(choice.error, "gpiochip2")) << choice.error;
  for (const std::string& part : GetParam().mentions)
    EXPECT_TRUE(Contains(choice.error, part)) << "missing \"" << part << "\" in: " << choice.error;
  // An opened chip is always closed again.
  if (GetParam().call != "open") {
    EXPECT_EQ(gpio.calls.back(), "close 3");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Errors, GpioOpenFailures,
    ::testing::Values(
        OpenFailure{"open", ENOENT, {"No such file", "gpiodetect"}},
        OpenFailure{
            "open", EACCES, {"Permission denied", "group that owns /dev/gpiochip*", "udev rule"}},
        OpenFailure{"request",
                    EBUSY,
                    {"line 22 (output 4)", "in use by \"relayd\"", "gpioinfo gpiochip2"},
                    {{22, "relayd"}}},
        OpenFailure{"request", EBUSY, {"lines 17,22", "in use"}},
        OpenFailure{
            "request", EPERM, {"lines 17,22", "group that owns /dev/gpiochip*", "udev rule"}}));

TEST(GpioPort, ALineBeyondTheChipIsNamed) {
  FakeGpio gpio;
  gpio.line_count = 20;
  const PortWriterChoice choice =
      GpioPort::Open(std::string_view("gpiochip0:17,-,-,22,-,-,-,-"), gpio);
  EXPECT_EQ(choice.writer, nullptr);
  EXPECT_TRUE(Contains(choice.error, "no line 22 (output 4)")) << choice.error;
  EXPECT_TRUE(Contains(choice.error, "0 to 19")) << choice.error;
  EXPECT_EQ(gpio.calls, (std::vector<std::string>{"open gpiochip0", "count 3", "close 3"}));
}

TEST(GpioPort, AFailedWriteNamesTheChip) {
  FakeGpio gpio;
  PortWriterChoice choice = GpioPort::Open(std::string_view("gpiochip0:17,-,-,-,-,-,-,-"), gpio);
  ASSERT_NE(choice.writer, nullptr);
  gpio.errors["set"] = EIO;
  const std::string error = choice.writer->Write(1);
  EXPECT_TRUE(Contains(error, "gpiochip0")) << error;
  EXPECT_TRUE(Contains(error, "Input/output error")) << error;
}

}  // namespace
}  // namespace zelvo
