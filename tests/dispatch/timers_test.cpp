// The auto-return and pulse ticks, driven by hand with a fake clock.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "dispatch/dispatch_fixture.h"
#include "dispatch/dispatcher.h"

namespace zelvo {
namespace {

using std::chrono::seconds;
using testing::DispatchTest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::kWednesdayNoon;

// --- Auto-return --------------------------------------------------------------

TEST_F(DispatchTest, AutoReturnPutsOutputBackAtFirstTickAfterItsTime) {
  AddExampleRules();
  Feed(Said("!saft"));  // output 1 (15 s) and output 3 (2 s) on
  EXPECT_THAT(port.Written(), ElementsAre(1, 5));

  clock.Advance(seconds(14));
  dispatcher.tmrAutoReturn_Timer();  // only Buzzer is due
  EXPECT_TRUE(outputs.Output(1));
  EXPECT_FALSE(outputs.Output(3));
  EXPECT_THAT(port.Written(), ElementsAre(1, 5, 1));
  EXPECT_FALSE(saft->AutoReturnComplete());

  clock.Advance(seconds(1));
  dispatcher.tmrAutoReturn_Timer();
  EXPECT_FALSE(outputs.Output(1));
  EXPECT_THAT(port.Written(), ElementsAre(1, 5, 1, 0));
  EXPECT_EQ(saft->AutoReturnOutputs(), 0);
  EXPECT_TRUE(saft->AutoReturnComplete());
}

TEST_F(DispatchTest, RulesDueInOneTickArePutBackInOrderEachWithItsOwnWrite) {
  auto first = AddRule("One", "*go*", 5, 0, 32);    // output 1 on
  auto second = AddRule("Two", "*go*", 3, 0, 256);  // output 2 on
  Feed(Said("go"));
  EXPECT_THAT(port.Written(), ElementsAre(1, 3));
  clock.Advance(seconds(5));
  dispatcher.tmrAutoReturn_Timer();
  EXPECT_THAT(port.Written(), ElementsAre(1, 3, 2, 0));
  EXPECT_TRUE(first->AutoReturnComplete());
  EXPECT_TRUE(second->AutoReturnComplete());
}

TEST_F(DispatchTest, CompleteRuleIsNeverPutBack) {
  AddExampleRules();
  Feed(Said("Disco On"));
  clock.Advance(seconds(3600));
  dispatcher.tmrAutoReturn_Timer();
  EXPECT_TRUE(outputs.Output(1));
  EXPECT_EQ(disco_on->AutoReturnOutputs(), 576);
  EXPECT_THAT(port.Written(), ElementsAre(3));
}

TEST_F(DispatchTest, UndoToggleRestoresAndUndoOnAndOffEndsOn) {
  AddRule("Flip", "*go*", 2, 0, 1024);     // toggle output 2
  AddRule("Both", "*go*", 2, 0, 32 | 64);  // output 1 off then on
  outputs.SetOutput(2, true);
  Feed(Said("go"));
  EXPECT_FALSE(outputs.Output(2));
  outputs.SetOutput(1, false);
  clock.Advance(seconds(2));
  dispatcher.tmrAutoReturn_Timer();
  EXPECT_TRUE(outputs.Output(2));
  EXPECT_TRUE(outputs.Output(1));
}

TEST_F(DispatchTest, AutoReturnIsNotDelayedByWallClockSetBack) {
  AddExampleRules();
  Feed(Said("!saft"));
  clock.SetLocal(kWednesdayNoon - 1.0 / 24);
  clock.Advance(seconds(15));
  dispatcher.tmrAutoReturn_Timer();
  EXPECT_FALSE(outputs.Output(1));
  EXPECT_TRUE(saft->AutoReturnComplete());
}

TEST_F(DispatchTest, PortFailureDuringAutoReturnIsReportedAndBookkeepingCompletes) {
  AddExampleRules();
  Feed(Said("!saft"));
  port.FailWith("Cannot write to the port");
  clock.Advance(seconds(15));
  dispatcher.tmrAutoReturn_Timer();
  EXPECT_THAT(errors, ElementsAre("Cannot write to the port", "Cannot write to the port"));
  // The devices kept their outputs, and so does the register.
  EXPECT_TRUE(outputs.Output(1));
  EXPECT_TRUE(outputs.Output(3));
  EXPECT_EQ(saft->AutoReturnOutputs(), 0);
  EXPECT_TRUE(saft->AutoReturnComplete());
  EXPECT_TRUE(buzzer->AutoReturnComplete());

  port.FailWith("");
  Feed(Said("Disco On"));
  EXPECT_EQ(port.Written().back(), 1 | 2 | 4);
}

// --- Pulse --------------------------------------------------------------------

TEST_F(DispatchTest, PulseAlternatesOutput3WithTheHeldByte) {
  auto rule = AddRule("Pulse", "*go*", 0, 0, 0);
  rule->SetAutoReturnOutputs(flag::kPulseQuickly);
  outputs.SetOutput(1, true);
  outputs.SetOutput(3, true);
  for (int tick = 0; tick < 4; ++tick) dispatcher.tmrPulseQuickly_Timer();
  EXPECT_THAT(port.Written(), ElementsAre(1, 5, 1, 5));
  EXPECT_EQ(outputs.DecimalOutput(), 5);
  EXPECT_FALSE(dispatcher.PulsePhase());
}

TEST_F(DispatchTest, PulseWritesNothingWhileOutput3IsOffOrWithoutAPulsingRule) {
  auto rule = AddRule("Pulse", "*go*", 0, 0, 0);
  rule->SetAutoReturnOutputs(flag::kPulseQuickly | 2048);
  outputs.SetOutput(1, true);
  dispatcher.tmrPulseQuickly_Timer();  // output 3 is off
  rule->SetAutoReturnOutputs(4096);
  outputs.SetOutput(3, true);
  dispatcher.tmrPulseQuickly_Timer();  // no rule pulses
  EXPECT_THAT(port.Written(), IsEmpty());
  EXPECT_FALSE(dispatcher.PulsePhase());
}

TEST_F(DispatchTest, SeveralPulsingRulesGiveOneWritePerTick) {
  AddRule("A", "*go*", 0, 0, 0)->SetAutoReturnOutputs(flag::kPulseQuickly);
  AddRule("B", "*go*", 0, 0, 0)->SetAutoReturnOutputs(flag::kPulseQuickly | 32);
  outputs.SetOutput(3, true);
  dispatcher.tmrPulseQuickly_Timer();
  EXPECT_THAT(port.Written(), ElementsAre(0));
  EXPECT_TRUE(dispatcher.PulsePhase());
  dispatcher.tmrPulseQuickly_Timer();
  EXPECT_THAT(port.Written(), ElementsAre(0, 4));
}

TEST_F(DispatchTest, PulseWriteFailureIsReported) {
  AddRule("A", "*go*", 0, 0, 0)->SetAutoReturnOutputs(flag::kPulseQuickly);
  outputs.SetOutput(3, true);
  port.FailWith("Cannot write to the port");
  dispatcher.tmrPulseQuickly_Timer();
  EXPECT_THAT(errors, ElementsAre("Cannot write to the port"));
}

TEST_F(DispatchTest, BuzzerPulsesUntilItsAutoReturn) {
  AddExampleRules();
  outputs.SetOutput(2, true);
  Feed(Said("!saft"));  // outputs 1 and 3 on as well
  dispatcher.tmrPulseQuickly_Timer();
  dispatcher.tmrPulseQuickly_Timer();
  EXPECT_THAT(port.Written(), ElementsAre(3, 7, 3, 7));

  clock.Advance(seconds(2));
  dispatcher.tmrAutoReturn_Timer();  // Buzzer is due, Saftblandare not yet
  EXPECT_FALSE(outputs.Output(3));
  EXPECT_EQ(buzzer->AutoReturnOutputs(), 0);
  dispatcher.tmrPulseQuickly_Timer();  // output 3 is off: no pulse write
  EXPECT_THAT(port.Written(), ElementsAre(3, 7, 3, 7, 3));
}

}  // namespace
}  // namespace zelvo
