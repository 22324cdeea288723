#include "log/log_backlog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "log/event_log.h"
#include "support/fake_clock.h"

namespace zelvo {
namespace {

using ::testing::ElementsAre;
using testing::FakeClock;
using ::testing::HasSubstr;

// A log that fails while `broken` is set; what it wrote, as "id@second".
class LogBacklogTest : public ::testing::Test {
 protected:
  std::string Written(const LogEntry& entry) {
    if (broken) return "Couldn't write PreLog. Error-number: 28 Error-Descripton: disk full";
    written.push_back(std::to_string(entry.LogID) + "@" +
                      std::to_string(FromOleDate(entry.LogDateTime).second));
    return {};
  }
  void Write(std::int32_t id) {
    backlog_.Write(id, log_type::kInformation, "e", clock_.LocalNow());
  }
  void Seconds(int n) {
    for (int i = 0; i < n; ++i) {
      clock_.Advance(std::chrono::seconds(1));
      backlog_.Tick();
    }
  }

  bool broken = false;
  std::vector<std::string> written;
  std::vector<std::string> notices;
  FakeClock clock_{CivilDateTime{2026, 12, 7, 20, 4, 0}};
  LogBacklog backlog_{clock_, [this](std::span<const LogEntry> e) { return Written(e[0]); },
                      [this](const std::string& text) { notices.push_back(text); }, 3};
};

TEST_F(LogBacklogTest, KeepsEntriesWhileTheLogFailsAndWritesThemInOrderLater) {
  Write(1);
  broken = true;
  Write(2);
  ASSERT_THAT(notices, ElementsAre(LogUnwritableText("Couldn't write PreLog. Error-number: 28 "
                                                     "Error-Descripton: disk full",
                                                     3)));
  Seconds(29);
  Write(3);  // tried again, in vain: said once only
  EXPECT_EQ(notices.size(), 1U);
  broken = false;
  Seconds(29);
  EXPECT_THAT(written, ElementsAre("1@0")) << "no retry before 30 s have passed since the last";
  Seconds(1);
  // In order with their own times, then the note that the log works again.
  EXPECT_THAT(written, ElementsAre("1@0", "2@0", "44@0", "3@29", "45@59"));
  EXPECT_THAT(notices.back(), LogWritableAgainText(3, 0));
  Write(4);
  EXPECT_EQ(written.back(), "4@59");
}

TEST_F(LogBacklogTest, KeepsTheNewestAndCountsWhatItDropped) {
  broken = true;
  for (std::int32_t id = 1; id <= 4; ++id) Write(id);  // 1, the failure note, 2, 3, 4
  const std::string dump = ErrorLogDumpText(backlog_.Unwritten());
  EXPECT_THAT(dump,
              HasSubstr("LogID: 46\r\nLogType: 2\r\nLogDescription: " + LogEntriesDroppedText(2)));
  EXPECT_FALSE(backlog_.Flush());
  broken = false;
  Write(5);  // the next entry retries
  EXPECT_THAT(written, ElementsAre("3@0", "4@0", "5@0", "46@0", "45@0"));
  EXPECT_THAT(notices.back(), LogWritableAgainText(3, 3));
  EXPECT_TRUE(backlog_.Unwritten().empty());
}

}  // namespace
}  // namespace zelvo
