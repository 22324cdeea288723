#include "irc/sts_policy.h"

#include <gtest/gtest.h>

#include "support/example_config.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace zelvo {
namespace {

using std::chrono::seconds;
using testing::ReplacedOnce;

TEST(ParseStsValue, ReadsPortDurationAndPreloadAndIgnoresTheRest) {
  struct Row {
    std::string value;
    StsOffer offer;
  };
  const Row rows[] = {
      {"port=6697,duration=300", {6697, 300, false}},
      {"duration=0,preload,port=1", {1, 0, true}},
      {"port=6697", {6697, {}, false}},
      {"x=1,duration=86400,port", {{}, 86400, false}},
      {"port=0,duration=-5", {}},
      {"port=65536,duration=12a", {}},
      {"port=+7,duration= 5,preload=yes", {}},
      {"duration=99999999999999999999", {}},
      {"port=6697,port=7000,duration=5,duration=9", {6697, 5, false}},
      {"", {}},
  };
  for (const Row& row : rows) EXPECT_EQ(ParseStsValue(row.value), row.offer) << row.value;
}

// One store over time: each step lets `pass` seconds go by, then keeps a
// policy of "IRC.Example.net" on 6697 for `keep` seconds, or takes the store
// through the file; the policy is then found for "irc.example.NET" with
// `left` seconds to go, or not at all.
TEST(StsPolicyStore, KeepsRefreshesExpiresRemovesAndSurvivesTheFile) {
  using Change = StsPolicyStore::Change;
  struct Step {
    long pass;
    std::optional<std::int64_t> keep;  // none: through the file
    Change change;
    std::optional<long> left;
  };
  const Step steps[] = {
      {0, 300, Change::kStored, 300}, {100, 300, Change::kRefreshed, 300},
      {0, {}, Change::kNone, 300},    {299, {}, Change::kNone, 1},
      {1, {}, Change::kNone, {}},     {0, 0, Change::kNone, {}},
      {0, 60, Change::kStored, 60},   {0, 0, Change::kRemoved, {}},
      {0, {}, Change::kNone, {}},
  };
  testing::FakeClock clock;
  testing::TempDir dir;
  const std::string file = dir.File(kStsFileName);
  StsPolicyStore store;
  int n = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE("step " + std::to_string(++n));
    clock.Advance(seconds(step.pass));
    const WallTime now = clock.UtcNow();
    if (step.keep) {
      EXPECT_EQ(store.Keep("IRC.Example.net", 6697, *step.keep, now), step.change);
    } else {
      ASSERT_EQ(WriteStsFile(file, store), "");
      store = StsPolicyStore();
      ASSERT_EQ(ReadStsFile(file, store), "");
    }
    const std::optional<StsRule> rule = store.Find("irc.example.NET", now);
    ASSERT_EQ(rule.has_value(), step.left.has_value());
    if (rule) {
      EXPECT_EQ(*rule, (StsRule{6697, now + seconds(*step.left)}));
    }
  }
}

// A damaged file is reported, naming it, and read as empty; the last text is whole.
TEST(StsPolicyStore, ADamagedFileIsReportedAndReadAsEmpty) {
  testing::TempDir dir;
  const std::string file = dir.File(kStsFileName);
  const std::string whole =
      "<StsPolicies><Policy host=\"A\" port=\"1\" until=\"5000\"/></StsPolicies>";
  for (const std::string& text :
       {std::string("<StsPolicies>"), std::string("<Other/>"),
        ReplacedOnce(whole, "\"1\"", "\"0\""), ReplacedOnce(whole, "5000", "x"),
        ReplacedOnce(whole, "host", "hostname"), ReplacedOnce(whole, "<Policy", "<Rule"), whole}) {
    SCOPED_TRACE(text);
    testing::WriteFile(file, text);
    StsPolicyStore store;
    store.Upgrade("b", 7);
    const std::string warning = ReadStsFile(file, store);
    EXPECT_EQ(warning.find(file) != std::string::npos, text != whole) << warning;
    EXPECT_EQ(store.Find("a", WallTime(seconds(4999))).has_value(), text == whole);
    EXPECT_FALSE(store.Find("b", WallTime()));
  }
}

}  // namespace
}  // namespace zelvo
