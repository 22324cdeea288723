#include "ui/main_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <stdexcept>

#include "outputs/memory_port.h"
#include "outputs/outputs.h"
#include "support/qt_application.h"
#include "ui/fakes.h"
#include "ui/window_layout.h"

namespace zelvo {
namespace {

using ::testing::ElementsAre;
using testing::Events;
using testing::FakeIrcConnection;
using testing::FakeTray;
using ::testing::HasSubstr;
using testing::LogLine;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { settings_.gbWindowShow = true; }

  // Builds the window with a tray that is there or not, and loads it.
  frmMain& Load(bool tray_available = true) {
    tray_ = std::make_unique<FakeTray>(events_, tray_available);
    window_ = std::make_unique<frmMain>(
        MainWindowServices{settings_, outputs_,
                           [this](std::int32_t id, std::int32_t type, const std::string& text) {
                             log_.push_back({id, type, text});
                             events_.push_back("log " + std::to_string(id));
                           },
                           *tray_, [this] { ++auto_return_ticks_; }, [this] { ++pulse_ticks_; },
                           [this](int code) {
                             exit_codes_.push_back(code);
                             events_.push_back("exit " + std::to_string(code));
                           }});
    window_->AttachConnection(irc_);
    outputs_.AttachLamps(window_.get());
    window_->Form_Load();
    return *window_;
  }

  std::vector<std::int32_t> LoggedIds() const {
    std::vector<std::int32_t> ids;
    for (const LogLine& line : log_) ids.push_back(line.id);
    return ids;
  }

  std::string ConsoleText() { return window_->txtBuffer().toPlainText().toStdString(); }

  Settings settings_;
  MemoryPort port_;
  Outputs outputs_{port_};
  Events events_;
  FakeIrcConnection irc_{events_};
  std::unique_ptr<FakeTray> tray_;
  std::vector<LogLine> log_;
  std::vector<int> exit_codes_;
  int auto_return_ticks_ = 0;
  int pulse_ticks_ = 0;
  std::unique_ptr<frmMain> window_;
};

TEST_F(MainWindowTest, LoadLogsItsStepsInOrderAroundTrayAndConnection) {
  Load();
  EXPECT_THAT(log_, ElementsAre(LogLine{29, 4, "Mainwindow setup..."},
                                LogLine{30, 4, "Adding icon in trayfield..."},
                                LogLine{31, 4, "Starting mainform..."},
                                LogLine{28, 4, "Mainform loaded successfully."}));
  EXPECT_THAT(events_, ElementsAre("log 29", "log 30", "tray add", "log 31", "connect", "log 28"));
  EXPECT_THAT(tray_->tips, ElementsAre("Zelvo"));
  EXPECT_FALSE(tray_->icon_null);
}

TEST_F(MainWindowTest, LoadAppliesWindowSettingsCaptionAndOutputNames) {
  settings_.giWindowX = 50;
  settings_.giWindowY = 20;
  settings_.giWindowWidth = 900;
  settings_.giWindowHeight = 700;
  outputs_.SetOutputName(1, "Saftblandare");
  outputs_.SetOutputName(3, "Buzzer");
  outputs_.SetOutputName(8, "N/C");
  frmMain& window = Load();
  EXPECT_EQ(window.pos(), QPoint(50, 20));
  EXPECT_EQ(window.size(), QSize(900, 700));
  EXPECT_EQ(window.windowTitle(), "Zelvo");
  EXPECT_EQ(window.OutputNameLabel(1).text(), "Saftblandare");
  EXPECT_EQ(window.OutputNameLabel(2).text(), "");
  EXPECT_EQ(window.OutputNameLabel(3).text(), "Buzzer");
  EXPECT_EQ(window.OutputNameLabel(8).text(), "N/C");
}

TEST_F(MainWindowTest, PositionsBeyondTheOldTwipsRangeAreAccepted) {
  settings_.giWindowX = 2185;
  settings_.giWindowY = -2185;
  settings_.giWindowWidth = 3000;
  settings_.giWindowHeight = 2500;
  frmMain& window = Load();
  EXPECT_EQ(window.pos(), QPoint(2185, -2185));
  EXPECT_EQ(window.size(), QSize(3000, 2500));
  EXPECT_EQ(LoggedIds().back(), 28);
}

TEST_F(MainWindowTest, OutputNamesAreUtf8OrElseLatin1) {
  outputs_.SetOutputName(1, "Saftbl\xC3\xA4ndare");
  outputs_.SetOutputName(2, "Saftbl\xE4ndare");
  frmMain& window = Load();
  EXPECT_EQ(window.OutputNameLabel(1).text(), QString::fromUtf8("Saftbl\u00E4ndare"));
  EXPECT_EQ(window.OutputNameLabel(2).text(), QString::fromUtf8("Saftbl\u00E4ndare"));
}

TEST_F(MainWindowTest, LayoutFollowsTheDesignPositions) {
  frmMain& window = Load();
  EXPECT_EQ(window.Label1().text(), "Zelvo");
  EXPECT_EQ(window.Label1().geometry(), layout::kTitle);
  EXPECT_TRUE(window.Label1().font().bold());
  EXPECT_EQ(window.Label1().font().pointSize(), 36);
  EXPECT_EQ(window.Label2().font().pointSize(), 12);
  EXPECT_FALSE(window.Label2().text().isEmpty());
  for (int n = 1; n <= 8; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(window.Picture(n).geometry(),
              QRect(QPoint(layout::kPictureLeft[n - 1], 16), QSize(36, 33)));
    EXPECT_EQ(window.Picture(n).NumberLabel().text(), QString("O%1").arg(n));
    EXPECT_EQ(window.OutputNameLabel(n).geometry().topLeft(), QPoint(layout::kNameLeft[n - 1], 48));
  }
  EXPECT_TRUE(window.txtBuffer().isReadOnly());
  EXPECT_EQ(window.txtBuffer().horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(window.txtBuffer().verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(window.palette().color(QPalette::Window), QColor(Qt::black));
  EXPECT_EQ(window.focusProxy(), &window.Text1());
}

TEST_F(MainWindowTest, WithoutTrayTheLoadWarnsAndAddsNoIcon) {
  Load(/*tray_available=*/false);
  EXPECT_THAT(LoggedIds(), ElementsAre(29, 30, 37, 31, 28));
  EXPECT_EQ(log_[2], (LogLine{37, 2,
                              "No system tray available: the window stays on the task bar when "
                              "minimised."}));
  EXPECT_THAT(events_, ::testing::Not(::testing::Contains("tray add")));
}

TEST_F(MainWindowTest, TimersRunFromLoadAtTheirIntervals) {
  frmMain& window = Load();
  EXPECT_TRUE(window.Timers().tmrAutoReturn().isActive());
  EXPECT_TRUE(window.Timers().tmrPulseQuickly().isActive());
  EXPECT_EQ(window.Timers().tmrAutoReturn().interval(), 1000);
  EXPECT_EQ(window.Timers().tmrPulseQuickly().interval(), 100);
  window.Timers().tmrAutoReturn_Timer();
  window.Timers().tmrPulseQuickly_Timer();
  window.Timers().tmrPulseQuickly_Timer();
  EXPECT_EQ(auto_return_ticks_, 1);
  EXPECT_EQ(pulse_ticks_, 2);
}

TEST_F(MainWindowTest, ClickingPicture3TurnsOutput3OnThenOff) {
  frmMain& window = Load();
  window.show();
  QTest::mouseClick(&window.Picture(3), Qt::LeftButton, {}, QPoint(18, 25));
  EXPECT_TRUE(outputs_.Output(3));
  EXPECT_EQ(window.Picture(3).Shape().FillColor(), kLampOnColour);
  EXPECT_EQ(window.Picture(2).Shape().FillColor(), kLampOffColour);
  QTest::mouseClick(&window.Picture(3), Qt::LeftButton);
  EXPECT_FALSE(outputs_.Output(3));
  EXPECT_EQ(window.Picture(3).Shape().FillColor(), kLampOffColour);
  EXPECT_THAT(port_.Written(), ElementsAre(4, 0));
  EXPECT_THAT(LoggedIds(), ElementsAre(29, 30, 31, 28));  // clicks log nothing
}

TEST_F(MainWindowTest, OtherButtonsDoNotToggle) {
  frmMain& window = Load();
  window.show();
  QTest::mouseClick(&window.Picture(5), Qt::RightButton);
  QTest::mouseClick(&window.Picture(5), Qt::MiddleButton);
  EXPECT_FALSE(outputs_.Output(5));
  EXPECT_TRUE(port_.Written().empty());
}

TEST_F(MainWindowTest, PressInsideReleaseOutsideIsNoClick) {
  frmMain& window = Load();
  window.show();
  QTest::mousePress(&window.Picture(1), Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseRelease(&window.Picture(1), Qt::LeftButton, {}, QPoint(100, 100));
  EXPECT_FALSE(outputs_.Output(1));
}

TEST_F(MainWindowTest, APortFailureInAClickIsLoggedAndShownAndTheWindowRunsOn) {
  frmMain& window = Load();
  port_.FailWith("Port 0x378 is gone");
  window.Picture6_Click();
  EXPECT_TRUE(outputs_.Output(6));  // the state keeps its new value
  ASSERT_EQ(log_.size(), 5u);
  EXPECT_EQ(log_.back(),
            (LogLine{36, 1, "An error occurd in an event handler: Port 0x378 is gone"}));
  EXPECT_EQ(ConsoleText(), "An error occurd in an event handler: Port 0x378 is gone\n");
}

TEST_F(MainWindowTest, AFailingTimerHandlerIsReportedAndTheTimerRunsOn) {
  tray_ = std::make_unique<FakeTray>(events_);
  int calls = 0;
  frmMain window(
      MainWindowServices{settings_, outputs_,
                         [this](std::int32_t id, std::int32_t type, const std::string& text) {
                           log_.push_back({id, type, text});
                         },
                         *tray_,
                         [&calls] {
                           ++calls;
                           throw std::runtime_error("rule list damaged");
                         },
                         nullptr, nullptr});
  window.Timers().tmrAutoReturn_Timer();
  window.Timers().tmrAutoReturn_Timer();
  EXPECT_EQ(calls, 2);
  ASSERT_EQ(log_.size(), 2u);
  EXPECT_EQ(log_[0], (LogLine{36, 1, "An error occurd in an event handler: rule list damaged"}));
  EXPECT_THAT(window.txtBuffer().toPlainText().toStdString(),
              HasSubstr("An error occurd in an event handler: rule list damaged\n"));
}

struct LampCase {
  std::vector<int> on;
  std::int32_t byte;
};

class LampColourTest : public MainWindowTest, public ::testing::WithParamInterface<LampCase> {};

TEST_P(LampColourTest, SetOutputsPaintsEveryLampAndWritesTheByte) {
  frmMain& window = Load();
  for (int n : GetParam().on) outputs_.SetOutput(n, true);
  EXPECT_EQ(outputs_.SetOutputs(), "");
  for (int n = 1; n <= 8; ++n) {
    SCOPED_TRACE(n);
    const bool on = std::find(GetParam().on.begin(), GetParam().on.end(), n) != GetParam().on.end();
    EXPECT_EQ(window.Picture(n).Shape().FillColor(), on ? kLampOnColour : kLampOffColour);
  }
  ASSERT_FALSE(port_.Written().empty());
  EXPECT_EQ(port_.Written().back(), GetParam().byte);
}

INSTANTIATE_TEST_SUITE_P(Outputs, LampColourTest,
                         ::testing::Values(LampCase{{}, 0}, LampCase{{1, 8}, 129}, LampCase{{3}, 4},
                                           LampCase{{1, 2, 3, 4, 5, 6, 7, 8}, 255}));

TEST_F(MainWindowTest, LampColourNumbersMapToRedGreenBlue) {
  frmMain& window = Load();
  window.SetLampColour(2, 65280);
  window.SetLampColour(4, 16384);
  window.SetLampColour(9, 65280);  // no such lamp: ignored
  EXPECT_EQ(ColorFromNumber(window.Picture(2).Shape().FillColor()), QColor(0, 255, 0));
  EXPECT_EQ(ColorFromNumber(window.Picture(4).Shape().FillColor()), QColor(0, 64, 0));
  EXPECT_EQ(ColorFromNumber(0x0000FF), QColor(255, 0, 0));
}

struct ResizeCase {
  QSize size;
  int console_width;   // -1: unchanged
  int console_height;  // -1: unchanged
};

class ResizeTest : public MainWindowTest, public ::testing::WithParamInterface<ResizeCase> {};

TEST_P(ResizeTest, ConsoleAndInputLineFollowTheWindow) {
  frmMain& window = Load();
  window.show();
  const QRect before = window.txtBuffer().geometry();
  window.resize(GetParam().size);
  const QRect console = window.txtBuffer().geometry();
  const QRect input = window.Text1().geometry();
  const int m = 8;
  EXPECT_EQ(console.width(),
            GetParam().console_width < 0 ? before.width() : GetParam().console_width);
  EXPECT_EQ(input.width(), console.width());
  EXPECT_EQ(console.height(),
            GetParam().console_height < 0 ? before.height() : GetParam().console_height);
  EXPECT_EQ(input.top(), console.top() + console.height() + m);
  EXPECT_EQ(input.height(), 21);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ResizeTest,
    ::testing::Values(ResizeCase{{600, 400}, 600 - 24, 400 - 72 - 21 - 44},
                      ResizeCase{{724, 597}, 700, 460}, ResizeCase{{1200, 900}, 1176, 763},
                      // Too small: the steps that would give a negative size are skipped.
                      ResizeCase{{20, 120}, -1, -1}));

TEST_F(MainWindowTest, MinimisingHidesToTheTrayAndKeepsThePreviousState) {
  frmMain& window = Load();
  window.show();
  window.setWindowState(Qt::WindowMaximized);
  EXPECT_EQ(settings_.giWindowState, 2);
  window.setWindowState(Qt::WindowMinimized);
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(settings_.gbWindowShow);
  EXPECT_EQ(settings_.giWindowState, 2);
  EXPECT_EQ(window.windowState(), Qt::WindowMaximized);

  // One press on the icon brings it back, in the state it had.
  tray_->Activate(TrayIcon::Activation::kPrimaryPress);
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(settings_.gbWindowShow);
  EXPECT_EQ(window.windowState(), Qt::WindowMaximized);
}

TEST_F(MainWindowTest, WithoutTrayMinimisingLeavesTheWindowOnTheTaskBar) {
  frmMain& window = Load(/*tray_available=*/false);
  window.show();
  window.setWindowState(Qt::WindowMinimized);
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.isMinimized());
  EXPECT_TRUE(settings_.gbWindowShow);
  EXPECT_EQ(settings_.giWindowState, 0);
}

TEST_F(MainWindowTest, WithoutTrayAHiddenStartBecomesAMinimisedOne) {
  settings_.gbWindowShow = false;
  frmMain& window = Load(/*tray_available=*/false);
  window.show();
  window.Form_Paint();
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.isMinimized());
}

TEST_F(MainWindowTest, HiddenStartHidesAtTheFirstPaint) {
  settings_.gbWindowShow = false;
  frmMain& window = Load();
  window.show();
  window.Form_Paint();
  EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, AMinimisedStateSettingStartsInTheTray) {
  settings_.giWindowState = 1;
  frmMain& window = Load();
  EXPECT_FALSE(settings_.gbWindowShow);
  EXPECT_EQ(settings_.giWindowState, 0);
  EXPECT_FALSE(window.isMinimized());
}

struct TrayCase {
  TrayIcon::Activation activation;
  bool toggles;
};

class TrayActivationTest : public MainWindowTest, public ::testing::WithParamInterface<TrayCase> {};

TEST_P(TrayActivationTest, OnlyAPrimaryPressTogglesTheWindow) {
  frmMain& window = Load();
  window.show();
  tray_->Activate(GetParam().activation);
  EXPECT_EQ(window.isVisible(), !GetParam().toggles);
  EXPECT_EQ(settings_.gbWindowShow, !GetParam().toggles);
  tray_->Activate(GetParam().activation);
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(settings_.gbWindowShow);
}

INSTANTIATE_TEST_SUITE_P(Activations, TrayActivationTest,
                         ::testing::Values(TrayCase{TrayIcon::Activation::kPrimaryPress, true},
                                           TrayCase{TrayIcon::Activation::kDoubleClick, false},
                                           TrayCase{TrayIcon::Activation::kContextMenu, false},
                                           TrayCase{TrayIcon::Activation::kMiddleClick, false},
                                           TrayCase{TrayIcon::Activation::kOther, false}));

TEST_F(MainWindowTest, EnterSendsTheLineAndUpRecallsIt) {
  frmMain& window = Load();
  window.show();
  QTest::keyClick(&window.Text1(), Qt::Key_Up);
  EXPECT_EQ(window.Text1().text(), "");
  QTest::keyClicks(&window.Text1(), "Disco On");
  QTest::keyClick(&window.Text1(), Qt::Key_Return);
  EXPECT_THAT(irc_.sent, ElementsAre("Disco On"));
  EXPECT_EQ(window.Text1().text(), "");
  EXPECT_EQ(window.msLastInput(), "Disco On");
  QTest::keyClicks(&window.Text1(), "half typed");
  QTest::keyClick(&window.Text1(), Qt::Key_Up);
  EXPECT_EQ(window.Text1().text(), "Disco On");
  // Enter on the keypad and with modifiers acts the same.
  QTest::keyClick(&window.Text1(), Qt::Key_Enter, Qt::KeypadModifier);
  window.Text1().setText("");
  QTest::keyClick(&window.Text1(), Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_THAT(irc_.sent, ElementsAre("Disco On", "Disco On", ""));
  EXPECT_EQ(ConsoleText(), "");
}

TEST_F(MainWindowTest, EnterWhileNotConnectedKeepsTheLineAndSaysSo) {
  frmMain& window = Load();
  window.show();
  irc_.connected = false;
  QTest::keyClicks(&window.Text1(), "Disco On");
  QTest::keyClick(&window.Text1(), Qt::Key_Return);
  EXPECT_EQ(window.Text1().text(), "Disco On");
  EXPECT_EQ(window.msLastInput(), "");
  EXPECT_EQ(ConsoleText(), "Not connected\n");
}

TEST_F(MainWindowTest, TypedTextReachesTheConnectionAsUtf8) {
  frmMain& window = Load();
  window.Text1().setText(QString::fromUtf8("Sm\u00F6rg\u00E5s"));
  window.Text1_KeyDown(Qt::Key_Return);
  EXPECT_THAT(irc_.sent, ElementsAre("Sm\xC3\xB6rg\xC3\xA5s"));
}

TEST_F(MainWindowTest, ClosingLogsRemovesTheIconClosesTheConnectionAndExitsWithZero) {
  frmMain& window = Load();
  window.show();
  events_.clear();
  window.close();
  EXPECT_THAT(events_, ElementsAre("log 34", "tray remove", "irc close", "exit 0"));
  EXPECT_EQ(log_.back(), (LogLine{34, 4, "Closing Zelvo..."}));
  EXPECT_FALSE(tray_->Shown());
  window.Form_Unload();  // a second request changes nothing
  EXPECT_THAT(exit_codes_, ElementsAre(0));
}

TEST_F(MainWindowTest, ConsoleAppendsWithLineEndsAndKeepsTheCaretAtTheEnd) {
  frmMain& window = Load();
  window.Append("PING :7A41C2\r\n");
  window.Append("\r\n");
  window.Append(
      ":nick!~user@host PRIVMSG #lab :Gr\xC3\xBC\xC3\x9F"
      "e\r\n");
  window.Append("Latin-1 \xE4\r\n");
  EXPECT_EQ(window.txtBuffer().toPlainText(),
            QString::fromUtf8("PING :7A41C2\n\n:nick!~user@host PRIVMSG #lab :Gr\u00FC\u00DFe\n"
                              "Latin-1 \u00E4\n"));
  EXPECT_EQ(window.txtBuffer().textCursor().position(),
            window.txtBuffer().document()->characterCount() - 1);
}

struct BoundCase {
  std::size_t limit;
  std::vector<std::string> appends;
  std::string kept;
};

class ConsoleBoundTest : public MainWindowTest, public ::testing::WithParamInterface<BoundCase> {};

TEST_P(ConsoleBoundTest, KeepsTheNewestTextInWholeLines) {
  frmMain& window = Load();
  window.SetConsoleLimit(GetParam().limit);
  for (const std::string& text : GetParam().appends) window.Append(text);
  EXPECT_EQ(ConsoleText(), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, ConsoleBoundTest,
    ::testing::Values(BoundCase{20, {"aaaa\r\nbbbb\r\n"}, "aaaa\nbbbb\n"},
                      // 23 characters: the first line goes whole, though 3 would be enough.
                      BoundCase{
                          20, {"aaaaaaaaa\r\n", "bbbbbbbbb\r\n", "cc\r\n"}, "bbbbbbbbb\ncc\n"},
                      // Exactly at the limit nothing is dropped.
                      BoundCase{10, {"aaaa\r\n", "bbbb\r\n"}, "aaaa\nbbbb\n"},
                      BoundCase{9, {"aaaa\r\n", "bbbb\r\n"}, "bbbb\n"},
                      // Text without a line end joins the line before it; whole lines go first.
                      BoundCase{8, {"aaaa\r\n", "bb", "bb\r\ncc"}, "bbbb\ncc"},
                      // One line longer than the limit keeps its newest characters.
                      BoundCase{5, {"0123456789"}, "56789"}));

TEST_F(MainWindowTest, ConsoleHoldsAtMostOneMebibyte) {
  frmMain& window = Load();
  const std::string line(99, 'x');
  std::string chunk;
  for (int i = 0; i < 100; ++i) chunk += line + "\r\n";  // 10,000 characters shown
  for (int i = 0; i < 120; ++i) window.Append(std::to_string(1000 + i) + chunk);
  const QString text = window.txtBuffer().toPlainText();
  EXPECT_LE(static_cast<std::size_t>(text.size()), frmMain::kConsoleLimit);
  EXPECT_GT(static_cast<std::size_t>(text.size()), frmMain::kConsoleLimit - 200);
  // The oldest line kept is whole; the newest text is all there.
  EXPECT_TRUE(text.startsWith(QString::fromStdString(line + "\n")) ||
              text.startsWith(QString::fromStdString("1")));
  EXPECT_TRUE(text.endsWith(QString::fromStdString(line + "\n")));
  EXPECT_TRUE(text.contains("1119xxx"));
  EXPECT_FALSE(text.contains("1000xxx"));
}

}  // namespace
}  // namespace zelvo
