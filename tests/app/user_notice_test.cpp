#include "app/user_notice.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "log/event_log.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace zelvo {
namespace {

class RecordingClipboard final : public Clipboard {
 public:
  std::optional<ClipboardFailure> SetText(const std::string& text) override {
    texts.push_back(text);
    return failure;
  }
  std::vector<std::string> texts;
  std::optional<ClipboardFailure> failure;
};

class CopyErrorLogTest : public ::testing::Test {
 protected:
  CopyErrorLogTest() {
    prelog_.WritePreLog(1, 4, std::string(log_msg::kStarted.text));
    prelog_.WritePreLog(20, 1, LogWriteFailedText("x"));
  }
  testing::FakeClock clock_{45000.5};
  PreLog prelog_{clock_};
  RecordingClipboard clipboard_;
};

TEST_F(CopyErrorLogTest, PutsTheDumpOfThePreLogOnTheClipboard) {
  EXPECT_EQ(CopyErrorLogToClipboard(prelog_, clipboard_), "");
  ASSERT_EQ(clipboard_.texts.size(), 1u);
  EXPECT_EQ(clipboard_.texts[0], ErrorLogDumpText(prelog_));
  EXPECT_THAT(clipboard_.texts[0], ::testing::HasSubstr("LogID: 20\r\nLogType: 1\r\n"));
  EXPECT_EQ(prelog_.UpperBound(), 2u);  // the buffer is not changed
  EXPECT_EQ(CopyErrorLogToClipboard(prelog_, clipboard_), "");
  EXPECT_EQ(clipboard_.texts[1], clipboard_.texts[0]);
}

TEST_F(CopyErrorLogTest, AFailureComesBackAsTheCopyErrorText) {
  clipboard_.failure = ClipboardFailure{-2147221040, "OpenClipboard Failed"};
  EXPECT_EQ(CopyErrorLogToClipboard(prelog_, clipboard_),
            "Couldn't copy Log to clipboard. Error-number: -2147221040 Error-Descripton: "
            "OpenClipboard Failed");
}

// Where the dump is saved: beside the configuration, else in a new file of
// the temporary directory; never through a link put in its place.
struct SaveCase {
  std::string name;
  enum class Beside { kNothing, kOldFile, kDirectory, kLink } beside;
  bool temp_dir_exists;
  bool saved_beside;
  bool saved_in_temp;
};

void PrintTo(const SaveCase& c, std::ostream* out) {
  *out << c.name;
}

class SaveErrorLogTest : public ::testing::TestWithParam<SaveCase> {};

TEST_P(SaveErrorLogTest, KeepsTheDumpWhereTheUserCanFindIt) {
  const SaveCase& c = GetParam();
  testing::TempDir program_dir;
  testing::TempDir temp_root;
  const std::string temp_dir = c.temp_dir_exists ? temp_root.path() : temp_root.File("gone");
  const std::string beside = program_dir.File(kErrorLogFileName);
  const std::string link_target = program_dir.File("target.txt");
  switch (c.beside) {
    case SaveCase::Beside::kNothing:
      break;
    case SaveCase::Beside::kOldFile:
      testing::WriteFile(beside, "an older and longer dump than this one\n");
      break;
    case SaveCase::Beside::kDirectory:
      std::filesystem::create_directory(beside);
      break;
    case SaveCase::Beside::kLink:
      testing::WriteFile(link_target, "kept");
      std::filesystem::create_symlink(link_target, beside);
      break;
  }
  const std::string dump = "Zelvo - Error-Log:\r\n===========================\r\n\r\n";

  const SavedErrorLog saved = SaveErrorLogDump(dump, program_dir.path(), temp_dir);

  if (c.saved_beside) {
    EXPECT_EQ(saved.path, beside);
    EXPECT_EQ(saved.error, "");
  } else if (c.saved_in_temp) {
    EXPECT_THAT(saved.path, ::testing::MatchesRegex(temp_dir + "/Zelvo-error-log-.{6}\\.txt"));
    EXPECT_EQ(saved.error, "");
  } else {
    EXPECT_EQ(saved.path, "");
    EXPECT_THAT(saved.error, ::testing::HasSubstr(beside + ": "));
    EXPECT_THAT(saved.error, ::testing::HasSubstr(temp_dir + "/Zelvo-error-log-"));
  }
  if (!saved.path.empty()) {
    EXPECT_EQ(testing::ReadFile(saved.path), dump);
  }
  if (c.beside == SaveCase::Beside::kLink) {
    EXPECT_EQ(testing::ReadFile(link_target), "kept");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Places, SaveErrorLogTest,
    ::testing::Values(
        SaveCase{"BesideTheConfiguration", SaveCase::Beside::kNothing, true, true, false},
        SaveCase{"ReplacesAnOlderDump", SaveCase::Beside::kOldFile, true, true, false},
        SaveCase{"TempDirWhenBesideFails", SaveCase::Beside::kDirectory, true, false, true},
        SaveCase{"NeverThroughALink", SaveCase::Beside::kLink, true, false, true},
        SaveCase{"NowhereSaysWhyForBoth", SaveCase::Beside::kDirectory, false, false, false}),
    [](const ::testing::TestParamInfo<SaveCase>& info) { return info.param.name; });

struct ConsoleCase {
  std::string in;
  std::string out;
};

class StreamConsoleTest : public ::testing::TestWithParam<ConsoleCase> {};

TEST_P(StreamConsoleTest, WritesTextWithUnixLineEndsAndVisibleControls) {
  std::ostringstream out;
  StreamConsole console(out);
  console.Append(GetParam().in);
  EXPECT_EQ(out.str(), GetParam().out);
}

// A stream whose device refuses writes until it is told to take them again.
class FullDevice : public std::stringbuf {
 public:
  bool full = true;

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    return full ? 0 : std::stringbuf::xsputn(s, n);
  }
  int overflow(int c) override { return full ? traits_type::eof() : std::stringbuf::overflow(c); }
};

TEST(StreamConsole, WritesAgainAfterAFailedWrite) {
  FullDevice device;
  std::ostream out(&device);
  StreamConsole console(out);
  console.Append("lost\r\n");
  device.full = false;
  console.Append("kept\r\n");
  EXPECT_EQ(device.str(), "kept\n");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StreamConsoleTest,
    ::testing::Values(ConsoleCase{"PING :1\r\n", "PING :1\n"},
                      ConsoleCase{"a\r\nb\r\n\r\n", "a\nb\n\n"}, ConsoleCase{"no end", "no end"},
                      ConsoleCase{"lone\rcr\r", "lone\\x0dcr\\x0d"},
                      ConsoleCase{"\x1b]0;x\x07\x1b[2J\r\n", "\\x1b]0;x\\x07\\x1b[2J\n"},
                      ConsoleCase{"", ""}));

}  // namespace
}  // namespace zelvo
