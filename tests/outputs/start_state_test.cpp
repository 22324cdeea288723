#include "outputs/start_state.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "log/messages.h"
#include "support/temp_dir.h"

namespace zelvo {
namespace {

struct StartCase {
  std::string setting;
  std::optional<std::string> file;  // the state file's text; none: no file
  int byte;
  std::string warning_part;  // "": no warning
};

class StartByteTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartByteTest, SettingAndStateFileGiveTheByte) {
  const StartCase& c = GetParam();
  testing::TempDir dir;
  const std::string path = dir.File(kStateFileName);
  if (c.file) testing::WriteFile(path, *c.file);
  const StartByte start = ResolveStartByte(c.setting, path);
  EXPECT_EQ(start.byte, c.byte);
  EXPECT_EQ(start.warning.empty(), c.warning_part.empty()) << start.warning;
  EXPECT_NE(start.warning.find(c.warning_part), std::string::npos) << start.warning;
  if (!c.warning_part.empty()) {
    EXPECT_NE(start.warning.find(path), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartByteTest,
    ::testing::Values(StartCase{"off", "9\n", 0, ""}, StartCase{"37", std::nullopt, 37, ""},
                      StartCase{"last", "255\r\n", 255, ""},
                      StartCase{"last", std::nullopt, 0, "does not exist"},
                      StartCase{"last", "", 0, "does not hold a byte"},
                      StartCase{"last", "256\n", 0, "does not hold a byte"},
                      StartCase{"last", "5 \n", 0, "does not hold a byte"}));

// Saved at once, then at most once per second (the rest by Tick or Flush);
// a failing save is reported once until one succeeds.
TEST(StateFile, SavesChangesAtMostOnceASecondAndReportsAFailureOnce) {
  testing::TempDir dir;
  StateFile file(dir.File(kStateFileName));
  const auto t0 = StateFile::TimePoint{} + std::chrono::hours(1);
  const auto text = [&] { return testing::ReadFile(file.Path()); };
  EXPECT_EQ(file.Keep(3, t0), "");
  EXPECT_EQ(text(), "3\n");
  file.Keep(7, t0 + std::chrono::milliseconds(400));
  file.Keep(6, t0 + std::chrono::milliseconds(500));
  file.Tick(t0 + std::chrono::milliseconds(900));
  EXPECT_EQ(text(), "3\n");
  file.Tick(t0 + std::chrono::seconds(1));
  EXPECT_EQ(text(), "6\n");
  file.Keep(1, t0 + std::chrono::milliseconds(1100));
  file.Flush();
  EXPECT_EQ(text(), "1\n");
  EXPECT_EQ(ResolveStartByte("last", file.Path()).byte, 1);

  StateFile lost(dir.File("no/such/folder/state"));
  EXPECT_NE(lost.Keep(2, t0), "");
  EXPECT_EQ(lost.Keep(4, t0 + std::chrono::seconds(2)), "");
}

}  // namespace
}  // namespace zelvo
