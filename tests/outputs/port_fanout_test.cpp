#include "outputs/port_fanout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_gpio.h"
#include "log/messages.h"
#include "outputs/backends.h"
#include "outputs/memory_port.h"

namespace zelvo {
namespace {

class NamedMemoryPort final : public PortWriter {
 public:
  explicit NamedMemoryPort(std::string name) : name_(std::move(name)) {}
  std::string Write(std::uint8_t byte) override { return memory.Write(byte); }
  std::string Describe() const override { return name_; }
  MemoryPort memory;

 private:
  std::string name_;
};

// Each step writes one byte with some members failing; every member that
// did not fail holds all bytes it was given, and the errors name the failed.
struct Step {
  std::uint8_t byte;
  std::vector<bool> failing;  // per member
  std::string errors;
};

TEST(PortFanout, AFailingMemberIsNamedDoesNotStopTheOthersAndCatchesUpNextWrite) {
  std::vector<std::unique_ptr<PortWriter>> members;
  std::vector<NamedMemoryPort*> ports;
  for (const char* name : {"first", "second", "third"}) {
    auto port = std::make_unique<NamedMemoryPort>(name);
    ports.push_back(port.get());
    members.push_back(std::move(port));
  }
  PortFanout fanout(std::move(members));
  EXPECT_EQ(fanout.Describe(), "first + second + third");

  const std::vector<Step> steps = {
      {0, {false, false, false}, ""},
      {3, {true, false, false}, "first: broken 1"},
      {5, {true, false, true}, "first: broken 1\nthird: broken 3"},
      {7, {false, false, false}, ""},
  };
  std::vector<std::vector<std::uint8_t>> expected(3);
  for (const Step& step : steps) {
    for (std::size_t i = 0; i < 3; ++i) {
      ports[i]->memory.FailWith(step.failing[i] ? "broken " + std::to_string(i + 1) : "");
      if (!step.failing[i]) expected[i].push_back(step.byte);
    }
    EXPECT_EQ(fanout.Write(step.byte), step.errors) << "byte " << int(step.byte);
  }
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(ports[i]->memory.Written(), expected[i]) << ports[i]->Describe();
    EXPECT_EQ(ports[i]->memory.Written().back(), 7) << "brought in line";
  }
}

TEST(PortFanout, OpensEveryDeviceInOrderAndRefusesWhenOneCannotBeOpened) {
  FakeGpio gpio;
  PortPlatform platform;
  platform.gpio = &gpio;
  platform.device_exists = [](const std::string&) { return false; };
  const PortBackends backends = BuiltinPortBackends(platform);

  PortWriterChoice one = OpenPortWriters({"memory"}, backends);
  ASSERT_NE(one.writer, nullptr);
  EXPECT_NE(dynamic_cast<MemoryPort*>(one.writer.get()), nullptr) << "one device: no fan-out";

  PortWriterChoice both =
      OpenPortWriters({"memory", "gpio:gpiochip0:1,-,-,-,-,-,-,-", "auto"}, backends);
  ASSERT_NE(both.writer, nullptr) << both.error;
  EXPECT_EQ(both.writer->Describe(),
            "simulated port (memory) + GPIO chip gpiochip0 lines 1 + simulated port (memory)");
  EXPECT_EQ(both.warning, PortFallbackText("/dev/parport0"));
  EXPECT_EQ(both.writer->Write(1), "");
  EXPECT_EQ(gpio.calls.back(), "set 3 1");

  gpio.errors["open"] = ENOENT;
  PortWriterChoice refused =
      OpenPortWriters({"memory", "gpio:gpiochip9:1,-,-,-,-,-,-,-"}, backends);
  EXPECT_EQ(refused.writer, nullptr);
  EXPECT_NE(refused.error.find("gpiochip9"), std::string::npos) << refused.error;
}

}  // namespace
}  // namespace zelvo
