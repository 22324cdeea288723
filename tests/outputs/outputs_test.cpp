#include "outputs/outputs.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "outputs/memory_port.h"

namespace zelvo {
namespace {

// The shown hook and the port record into one list, so the order of telling
// and writing shows.
struct Recorder {
  std::vector<std::string> events;
};

class FakePort final : public PortWriter {
 public:
  explicit FakePort(Recorder& recorder) : recorder_(recorder) {}
  std::string Write(std::uint8_t byte) override {
    recorder_.events.push_back("port " + std::to_string(byte));
    return failure_;
  }
  std::string Describe() const override { return "fake port"; }
  void FailWith(std::string error) { failure_ = std::move(error); }

 private:
  Recorder& recorder_;
  std::string failure_;
};

// The events of one SetOutputs: the outputs `on` shown as a byte, then `byte` written.
std::vector<std::string> ShowAndWrite(const std::vector<bool>& on, int byte) {
  int shown = 0;
  for (std::size_t i = 0; i < on.size(); ++i) shown |= on[i] ? 1 << i : 0;
  return {"shown " + std::to_string(shown), "port " + std::to_string(byte)};
}

class Register : public testing::Test {
 protected:
  Register() {
    outputs_.SetShownHook(
        [this](std::uint8_t byte) { recorder_.events.push_back("shown " + std::to_string(byte)); });
  }
  Recorder recorder_;
  FakePort port_{recorder_};
  Outputs outputs_{port_};
};

struct ByteCase {
  std::vector<int> on;
  std::int32_t expected;
};

class DecimalOutputCases : public testing::TestWithParam<ByteCase> {};

TEST_P(DecimalOutputCases, FoldsOutputNIntoBitNMinus1) {
  MemoryPort port;
  Outputs outputs(port);
  for (int n : GetParam().on) outputs.SetOutput(n, true);
  EXPECT_EQ(outputs.DecimalOutput(), GetParam().expected);
  EXPECT_EQ(outputs.SetOutputs({}), "");
  EXPECT_EQ(port.Written(),
            std::vector<std::uint8_t>{static_cast<std::uint8_t>(GetParam().expected)});
}

INSTANTIATE_TEST_SUITE_P(Outputs, DecimalOutputCases,
                         testing::Values(ByteCase{{}, 0}, ByteCase{{1, 8}, 129},
                                         ByteCase{{1, 2, 3, 4, 5, 6, 7, 8}, 255}, ByteCase{{3}, 4},
                                         ByteCase{{2, 5}, 18}, ByteCase{{7}, 64},
                                         ByteCase{{8}, 128}));

TEST_F(Register, StartsAllOffWithEmptyNames) {
  for (int n = 1; n <= 8; ++n) {
    EXPECT_FALSE(outputs_.Output(n));
    EXPECT_EQ(outputs_.OutputName(n), "");
  }
  EXPECT_EQ(outputs_.SetOutputs({}), "");
  EXPECT_EQ(recorder_.events,
            ShowAndWrite({false, false, false, false, false, false, false, false}, 0));
}

TEST_F(Register, SettingAnOutputWritesNothingUntilSetOutputs) {
  outputs_.SetOutput(3, true);
  EXPECT_TRUE(outputs_.Output(3));
  EXPECT_TRUE(recorder_.events.empty());
  EXPECT_EQ(outputs_.SetOutputs({}), "");
  EXPECT_EQ(recorder_.events,
            ShowAndWrite({false, false, true, false, false, false, false, false}, 4));
}

TEST_F(Register, ToggleReturnsTheNewValueAndWritesNothing) {
  EXPECT_TRUE(outputs_.Output_Toggle(5));
  EXPECT_TRUE(outputs_.Output(5));
  EXPECT_EQ(outputs_.DecimalOutput(), 16);
  EXPECT_FALSE(outputs_.Output_Toggle(5));
  EXPECT_FALSE(outputs_.Output(5));
  EXPECT_EQ(outputs_.DecimalOutput(), 0);
  EXPECT_TRUE(recorder_.events.empty());
}

TEST_F(Register, SetOutputsTellsTheShownByteThenWritesIt) {
  outputs_.SetOutput(1, true);
  outputs_.SetOutput(8, true);
  outputs_.SetOutput(4, true);
  outputs_.SetOutput(4, false);
  EXPECT_EQ(outputs_.SetOutputs({}), "");
  EXPECT_EQ(recorder_.events,
            ShowAndWrite({true, false, false, false, false, false, false, true}, 129));
}

TEST_F(Register, SetOutputsTwiceWritesTwice) {
  outputs_.SetOutput(2, true);
  outputs_.SetOutputs({});
  outputs_.SetOutputs({});
  std::vector<std::string> expected =
      ShowAndWrite({false, true, false, false, false, false, false, false}, 2);
  const std::vector<std::string> once = expected;
  expected.insert(expected.end(), once.begin(), once.end());
  EXPECT_EQ(recorder_.events, expected);
}

// A refused byte takes state and shown byte back to the last byte the port took;
// the problem hook hears of the first failure and of the recovery only.
TEST_F(Register, AFailingPortReturnsItsErrorAndTheStateGoesBackToTheWrittenByte) {
  std::vector<std::string> problems;
  outputs_.SetPortProblemHook([&](const std::string& error) { problems.push_back(error); });
  outputs_.SetOutput(2, true);
  ASSERT_EQ(outputs_.SetOutputs({}), "");
  recorder_.events.clear();
  port_.FailWith("Cannot write to the parallel port /dev/parport0: Input/output error.");
  outputs_.SetOutput(6, true);
  EXPECT_EQ(outputs_.SetOutputs({}),
            "Cannot write to the parallel port /dev/parport0: Input/output error.");
  outputs_.SetOutputs({});
  EXPECT_FALSE(outputs_.Output(6));
  EXPECT_EQ(outputs_.DecimalOutput(), 2);
  std::vector<std::string> expected =
      ShowAndWrite({false, true, false, false, false, true, false, false}, 34);
  const std::vector<std::string> back =
      ShowAndWrite({false, true, false, false, false, false, false, false}, 2);
  expected.insert(expected.end(), back.begin(), back.end() - 1);  // the shown byte goes back
  expected.insert(expected.end(), back.begin(), back.end());      // the second try
  EXPECT_EQ(recorder_.events, expected);
  port_.FailWith("");
  outputs_.SetOutputs({});
  EXPECT_EQ(problems, (std::vector<std::string>{
                          "Cannot write to the parallel port /dev/parport0: Input/output error.",
                          ""}));
}

TEST(Outputs, WithoutAShownHookSetOutputsStillWrites) {
  MemoryPort port;
  Outputs outputs(port);
  outputs.SetOutput(7, true);
  EXPECT_EQ(outputs.SetOutputs({}), "");
  EXPECT_EQ(port.Written(), std::vector<std::uint8_t>{64});
}

TEST(Outputs, MemoryPortFailureIsPassedOn) {
  MemoryPort port;
  Outputs outputs(port);
  port.FailWith("no port");
  EXPECT_EQ(outputs.SetOutputs({}), "no port");
  EXPECT_TRUE(port.Written().empty());
}

TEST_F(Register, PortOutWritesTheByteAndLeavesTheStateUntold) {
  outputs_.SetOutput(3, true);
  EXPECT_EQ(outputs_.PortOut(0), "");
  EXPECT_EQ(recorder_.events, std::vector<std::string>{"port 0"});
  EXPECT_TRUE(outputs_.Output(3));
  EXPECT_EQ(outputs_.DecimalOutput(), 4);
}

// The hook hears of every byte SetOutputs wrote, after the write; not of a
// refused one, nor of PortOut.
TEST_F(Register, TheWrittenHookHearsOfEachSetOutputsAfterThePort) {
  outputs_.SetWrittenHook(
      [this](std::uint8_t byte) { recorder_.events.push_back("hook " + std::to_string(byte)); });
  outputs_.SetOutput(2, true);
  outputs_.SetOutputs({});
  port_.FailWith("gone");
  outputs_.SetOutput(8, true);
  outputs_.SetOutputs({});
  outputs_.PortOut(0);
  std::vector<std::string> expected =
      ShowAndWrite({false, true, false, false, false, false, false, false}, 2);
  expected.push_back("hook 2");
  for (const std::string& event :
       ShowAndWrite({false, true, false, false, false, false, false, true}, 130))
    expected.push_back(event);
  const std::vector<std::string> back =
      ShowAndWrite({false, true, false, false, false, false, false, false}, 2);
  expected.insert(expected.end(), back.begin(), back.end() - 1);
  expected.push_back("port 0");
  EXPECT_EQ(recorder_.events, expected);
}

TEST_F(Register, OutputNumbersOutsideOneToEightAreRejected) {
  EXPECT_THROW(outputs_.Output(0), std::out_of_range);
  EXPECT_THROW(outputs_.SetOutput(9, true), std::out_of_range);
  EXPECT_THROW(outputs_.Output_Toggle(-1), std::out_of_range);
  EXPECT_THROW(outputs_.SetOutputName(9, "x"), std::out_of_range);
  EXPECT_EQ(outputs_.DecimalOutput(), 0);
}

}  // namespace
}  // namespace zelvo
