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
  const std::pair<std::string, StsOffer> rows[] = {
      {"port=6697,duration=300", {6697, 300, false}},
      {"duration=0,preload,port=1", {1, 0, true}},
      {"x=1,duration=86400,port", {{}, 86400, false}},
      {"port=0,duration=-5", {}},
      {"port=65536,duration=12a", {}},
      {"port=+7,duration= 5,preload=yes", {}},
      {"duration=99999999999999999999", {}},
      {"port=6697,port=7000,duration=5,duration=9", {6697, 5, false}}};
  for (const auto& [value, offer] : rows) EXPECT_EQ(ParseStsValue(value), offer) << value;
}

// One store over time: each step lets `pass` seconds go by, then keeps a
// policy of "IRC.Example.net" on 6697 for `keep` seconds, or goes through the
// file; the policy then has `left` seconds to go, or is gone. Last, damaged
// files are reported and read as empty.
TEST(StsPolicyStore, KeepsRefreshesExpiresRemovesAndSurvivesTheFile) {
  using Change = StsPolicyStore::Change;
  struct Step {
    long pass;
    std::optional<std::int64_t> keep;  // none: through the file
    Change change;
    std::optional<long> left;
  };
  const Step steps[] = {{0, 300, Change::kStored, 300}, {100, 300, Change::kRefreshed, 300},
                        {0, {}, Change::kNone, 300},    {299, {}, Change::kNone, 1},
                        {1, {}, Change::kNone, {}},     {0, 0, Change::kNone, {}},
                        {0, 60, Change::kStored, 60},   {0, 0, Change::kRemoved, {}},
                        {0, {}, Change::kNone, {}}};
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
      ASSERT_EQ(ReadStsFile(file, store), "");
    }
    const auto left =
        step.left ? std::optional(StsRule{6697, now + seconds(*step.left)}) : std::nullopt;
    EXPECT_EQ(store.Find("irc.example.NET", now), left);
  }
  const std::string kept = "<StsPolicies><Policy host=\"a\" port=\"1\" until=\"9\"/></StsPolicies>";
  for (const std::string& damaged :
       {std::string("<StsPolicies>"), std::string("<Other/>"), ReplacedOnce(kept, "1", "0"),
        ReplacedOnce(kept, "9", "x"), ReplacedOnce(kept, "<Policy", "<Rule")}) {
    store.Keep("a", 1, 60, WallTime());
    testing::WriteFile(file, damaged);
    EXPECT_NE(ReadStsFile(file, store).find(file), std::string::npos) << damaged;
    EXPECT_FALSE(store.Find("a", WallTime())) << damaged;
  }
}

}  // namespace
}  // namespace zelvo
