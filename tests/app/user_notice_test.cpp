#include "app/user_notice.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <sstream>

#include "log/event_log.h"
#include "support/fake_clock.h"
#include "support/qt_application.h"

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
    prelog_.WritePreLog(1, 4, "Zelvo has started.");
    prelog_.WritePreLog(20, 1,
                        "An error occurd when trying to write the log: x\r\nTrying to copy "
                        "to clipboard instead.");
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

TEST_F(CopyErrorLogTest, TheSystemClipboardHoldsTheDumpAfterwards) {
  QtClipboard clipboard;
  EXPECT_EQ(CopyErrorLogToClipboard(prelog_, clipboard), "");
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), ErrorLogDumpText(prelog_));
}

TEST_F(CopyErrorLogTest, WithoutAWindowTheDumpGoesToTheStream) {
  std::ostringstream err;
  StreamClipboard clipboard(err);
  EXPECT_EQ(CopyErrorLogToClipboard(prelog_, clipboard), "");
  EXPECT_EQ(err.str(), ErrorLogDumpText(prelog_));
}

TEST(StreamNoticeTest, MessageBoxTextEndsWithALineEnd) {
  std::ostringstream err;
  StreamMessageBox box(err);
  box.ShowCritical("An error occurd! For more info, check the Error-Log.");
  EXPECT_EQ(err.str(), "An error occurd! For more info, check the Error-Log.\n");
}

struct ConsoleCase {
  std::string in;
  std::string out;
};

class StreamConsoleTest : public ::testing::TestWithParam<ConsoleCase> {};

TEST_P(StreamConsoleTest, WritesTextWithUnixLineEnds) {
  std::ostringstream out;
  StreamConsole console(out);
  console.Append(GetParam().in);
  EXPECT_EQ(out.str(), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Texts, StreamConsoleTest,
                         ::testing::Values(ConsoleCase{"PING :1\r\n", "PING :1\n"},
                                           ConsoleCase{"a\r\nb\r\n\r\n", "a\nb\n\n"},
                                           ConsoleCase{"no end", "no end"},
                                           ConsoleCase{"lone\rcr\r", "lone\rcr\r"},
                                           ConsoleCase{"", ""}));

}  // namespace
}  // namespace zelvo
