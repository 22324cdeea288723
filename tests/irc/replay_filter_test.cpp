// Channel lines played back from before the join (at 10:00:00 UTC) fire nothing.
#include "irc/replay_filter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "irc/session_fixture.h"

namespace zelvo {
namespace {

const std::string kLine = ":alice!a@h PRIVMSG #lab :Disco On\r\n";
const std::string kOld = "@time=2026-12-09T09:00:00Z " + kLine;

struct Case {
  const char* name;
  bool ignore;               // IgnoreReplayedLines
  std::string before, tags;  // the lines received before alice's, the tags on hers
  bool fires;
};

class ReplayTest : public testing::SessionTest, public ::testing::WithParamInterface<Case> {};
const CivilDateTime kJoin{2026, 12, 9, 10, 0, 0};

TEST_P(ReplayTest, FiresOnlyLinesNotPlayedBackFromBeforeTheJoin) {
  const Case& c = GetParam();
  settings_.IgnoreReplayedLines = c.ignore;
  clock_.SetLocal(kJoin);
  Online();
  Receive(c.before + (c.tags.empty() ? "" : "@" + c.tags + " ") + kLine);
  EXPECT_EQ(!matched_.empty() && matched_.back().ends_with(kLine), c.fires);
  EXPECT_EQ(console_.CountContaining(console_text::kReplayedMark), c.fires ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReplayTest,
    ::testing::Values(
        Case{"ChathistoryBatch", true, "BATCH +h chathistory #lab\r\n", "batch=h", false},
        Case{"ZncPlaybackBatch", true, "BATCH +z znc.in/playback #lab\r\n", "batch=z", false},
        Case{"Nested", true, "BATCH +h chathistory\r\n@batch=h BATCH +n x\r\n", "batch=n", false},
        Case{"OtherBatch", true, "BATCH +n netjoin\r\n", "batch=n", true},
        Case{"EndedBatch", true, "BATCH +h chathistory\r\nBATCH -h\r\n", "batch=h", true},
        Case{"TimeBeforeTolerance", true, "", "time=2026-12-09T09:59:57.999Z", false},
        Case{"TimeWithinTolerance", true, "", "time=2026-12-09T09:59:58.001Z", true},
        Case{"ServerClockAnHourBehind", true,
             ":relay!r@h PART #lab\r\n@time=2026-12-09T09:00:00Z :relay!r@h JOIN #lab\r\n",
             "time=2026-12-09T08:59:59Z", true},
        Case{"NoTag", true, "", "", true},
        Case{"Garbled", true, "", "time=2026-02-30T09:00:00Z", true},
        Case{"SettingOff", false, "BATCH +h chathistory\r\n", "batch=h;time=2026-12-09T09:00:00Z",
             true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReplayTest, LogsOneCountPerBatchAndPerBurst) {
  const auto text = [](std::size_t n) { return ReplayedLinesIgnoredText(n, "#lab"); };
  const auto logged = [this] { return LogTexts(log_msg::kReplayedLinesIgnored.id); };
  clock_.SetLocal(kJoin);
  Online();
  Receive("BATCH +z znc.in/playback #lab\r\n@batch=z " + kLine + kOld + "@batch=z " + kLine);
  Receive("BATCH -z\r\n" + kOld + kLine + kOld);  // a batch, a burst ended by a live line
  Tick(ReplayFilter::kBurstQuiet - std::chrono::milliseconds(1));
  EXPECT_THAT(logged(), ::testing::ElementsAre(text(2), text(2)));
  Tick(std::chrono::milliseconds(1));  // a burst ended by a quiet second
  EXPECT_THAT(logged(), ::testing::ElementsAre(text(2), text(2), text(1)));
}

}  // namespace
}  // namespace zelvo
