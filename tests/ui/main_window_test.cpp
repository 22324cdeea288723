#include "ui/main_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QTextDocumentFragment>
#include <memory>

#include "model/flags.h"
#include "support/fake_clock.h"
#include "support/qt_application.h"
#include "ui/fakes.h"
#include "ui/window_layout.h"

namespace zelvo {
namespace {

using std::chrono::seconds;
using ::testing::Contains;
using ::testing::ElementsAre;
using testing::Events;
using testing::FakeClock;
using testing::FakeTray;
using testing::LogLine;
using ::testing::Not;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { settings_.gbWindowShow = true; }

  // Builds the window with a tray that is there or not, and loads it.
  frmMain& Load(bool tray_available = true) {
    tray_ = std::make_unique<FakeTray>(events_, tray_available);
    OperatorActions actions{[this](int n) { events_.push_back("toggle " + std::to_string(n)); },
                            [this](std::string_view line) {
                              sent_.emplace_back(line);
                              return outcome_;
                            },
                            [this] { events_.push_back("close"); },
                            [this] { events_.push_back("reload"); }};
    window_ = std::make_unique<frmMain>(
        MainWindowServices{{settings_, state_, std::move(actions),
                            [this](std::int32_t id, std::int32_t type, const std::string& text) {
                              log_.push_back({id, type, text});
                              events_.push_back("log " + std::to_string(id));
                            },
                            &clock_},
                           *tray_, [this](const QString& question) {
                             events_.push_back("ask " + question.toStdString());
                             return answer_;
                           }});
    window_->Form_Load();
    return *window_;
  }

  std::vector<std::int32_t> LoggedIds() const {
    std::vector<std::int32_t> ids;
    for (const LogLine& line : log_) ids.push_back(line.id);
    return ids;
  }

  std::string ConsoleText() {
    return MainWindowView(*window_).txtBuffer().toPlainText().toStdString();
  }

  Settings settings_;
  FakeClock clock_;
  BotState state_;
  Events events_;
  std::vector<std::string> sent_;
  LineOutcome outcome_ = LineOutcome::kSent;
  bool answer_ = false;  // to the window's questions
  std::unique_ptr<FakeTray> tray_;
  std::vector<LogLine> log_;
  std::unique_ptr<frmMain> window_;
};

TEST_F(MainWindowTest, LoadLogsTheTrayStepAndAddsTheIcon) {
  Load();
  EXPECT_THAT(log_, ElementsAre(LogLine{30, 4, std::string(log_msg::kAddingTrayIcon.text)}));
  EXPECT_THAT(events_, ElementsAre("log 30", "tray add"));
  EXPECT_THAT(tray_->tips, ElementsAre("Zelvo", "Zelvo: Disconnected"));
  EXPECT_THAT(tray_->lamp_hues, ElementsAre(::testing::Le(3)));  // red
  EXPECT_FALSE(tray_->icon_null);
}

TEST_F(MainWindowTest, LoadAppliesWindowSettingsCaptionAndOutputNames) {
  settings_.giWindowX = 50;
  settings_.giWindowY = 20;
  settings_.giWindowWidth = 900;
  settings_.giWindowHeight = 700;
  state_.rules.Set({{"Saftblandare", "", "Buzzer", "", "", "", "", "N/C"}, {}});
  frmMain& window = Load();
  EXPECT_EQ(window.pos(), QPoint(50, 20));
  EXPECT_EQ(window.size(), QSize(900, 700));
  EXPECT_EQ(window.windowTitle(), "Zelvo");
  EXPECT_EQ(MainWindowView(window).OutputNameLabel(1).text(), "Saftblandare");
  EXPECT_EQ(MainWindowView(window).OutputNameLabel(2).text(), "");
  EXPECT_EQ(MainWindowView(window).OutputNameLabel(3).text(), "Buzzer");
  EXPECT_EQ(MainWindowView(window).OutputNameLabel(8).text(), "N/C");
}

TEST_F(MainWindowTest, PositionsBeyondTheOldTwipsRangeAreAccepted) {
  settings_.giWindowX = 2185;
  settings_.giWindowY = -2185;
  settings_.giWindowWidth = 3000;
  settings_.giWindowHeight = 2500;
  frmMain& window = Load();
  EXPECT_EQ(window.pos(), QPoint(2185, -2185));
  EXPECT_EQ(window.size(), QSize(3000, 2500));
  EXPECT_EQ(LoggedIds().back(), 30);
}

TEST_F(MainWindowTest, OutputNamesAreUtf8OrElseLatin1) {
  state_.rules.Set({{"Saftbl\xC3\xA4ndare", "Saftbl\xE4ndare"}, {}});
  frmMain& window = Load();
  EXPECT_EQ(MainWindowView(window).OutputNameLabel(1).text(),
            QString::fromUtf8("Saftbl\u00E4ndare"));
  EXPECT_EQ(MainWindowView(window).OutputNameLabel(2).text(),
            QString::fromUtf8("Saftbl\u00E4ndare"));
}

// A rectangle of the window's design, given in twips (15 to a pixel).
constexpr QRect Twips(int left, int top, int width, int height) {
  return QRect(left / 15, top / 15, width / 15, height / 15);
}

TEST_F(MainWindowTest, LayoutFollowsTheDesignPositions) {
  // A window of the design's inner area, 10860 x 8955 twips, and 40 pixels
  // more for the status and the last rule run under the input line.
  settings_.giWindowWidth = 10860 / 15;
  settings_.giWindowHeight = 8955 / 15 + 40;
  frmMain& window = Load();
  window.show();
  EXPECT_EQ(window.size(), QSize(724, 637));
  EXPECT_EQ(MainWindowView(window).Label1().text(), "Zelvo");
  EXPECT_EQ(MainWindowView(window).Label1().geometry(), Twips(120, 0, 2535, 855));
  EXPECT_EQ(MainWindowView(window).Label2().geometry(), Twips(120, 720, 2295, 375));
  EXPECT_TRUE(MainWindowView(window).Label1().font().bold());
  EXPECT_EQ(MainWindowView(window).Label1().font().pointSize(), 36);
  EXPECT_EQ(MainWindowView(window).Label2().font().pointSize(), 12);
  EXPECT_FALSE(MainWindowView(window).Label2().text().isEmpty());
  const int box_left[] = {2880, 3840, 4800, 5880, 6960, 8040, 9120, 10200};
  const int name_left[] = {2640, 3600, 4560, 5640, 6720, 7800, 8880, 9960};
  for (int n = 1; n <= 8; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(MainWindowView(window).Picture(n).geometry(), Twips(box_left[n - 1], 240, 540, 495));
    EXPECT_EQ(MainWindowView(window).Picture(n).Shape().geometry(), Twips(120, 0, 255, 255));
    EXPECT_EQ(MainWindowView(window).Picture(n).NumberLabel().geometry(), Twips(0, 240, 495, 255));
    EXPECT_EQ(MainWindowView(window).Picture(n).NumberLabel().text(), QString("O%1").arg(n));
    EXPECT_EQ(MainWindowView(window).OutputNameLabel(n).geometry(),
              Twips(name_left[n - 1], 720, 975, 255));
  }
  EXPECT_EQ(MainWindowView(window).Text1().geometry(), Twips(120, 8520, 10575, 315));
  // The console as designed, but for the gap above the input line, which is
  // m (120 twips) as the resize keeps it, not the design's 105.
  EXPECT_EQ(MainWindowView(window).txtBuffer().geometry(), Twips(120, 1080, 10575, 7335 - 15));
  EXPECT_TRUE(MainWindowView(window).txtBuffer().isReadOnly());
  EXPECT_EQ(MainWindowView(window).txtBuffer().horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(MainWindowView(window).txtBuffer().verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(window.palette().color(QPalette::Window), QColor(Qt::black));
  EXPECT_EQ(window.focusProxy(), &MainWindowView(window).Text1());
  // Added under the input line, as wide as it.
  EXPECT_EQ(MainWindowView(window).Status().geometry(), QRect(8, 593, 705, 20));
  EXPECT_EQ(MainWindowView(window).LastRun().geometry(), QRect(8, 613, 705, 16));
  // The activity strips, centred under the boxes, above the console.
  for (int n = 1; n <= 8; ++n) {
    SCOPED_TRACE(n);
    const QRect box = MainWindowView(window).Picture(n).geometry();
    const QRect strip = MainWindowView(window).Strip(n).geometry();
    EXPECT_EQ(strip.size(), QSize(48, 4));
    EXPECT_EQ(strip.center().x(), box.center().x());
    EXPECT_GT(strip.top(), MainWindowView(window).OutputNameLabel(n).geometry().bottom());
    EXPECT_LT(strip.bottom(), MainWindowView(window).txtBuffer().geometry().top());
  }
}

TEST_F(MainWindowTest, WithoutTrayTheLoadWarnsAndAddsNoIcon) {
  Load(/*tray_available=*/false);
  EXPECT_THAT(LoggedIds(), ElementsAre(30, 37));
  EXPECT_EQ(log_[1], (LogLine{37, 2,
                              "No system tray available: the window stays on the task bar when "
                              "minimised."}));
  EXPECT_THAT(events_, ::testing::Not(::testing::Contains("tray add")));
}

TEST_F(MainWindowTest, ClickingPicture3AsksForOutput3AndLogsNothing) {
  frmMain& window = Load();
  window.show();
  events_.clear();
  QTest::mouseClick(&MainWindowView(window).Picture(3), Qt::LeftButton, {}, QPoint(18, 25));
  QTest::mouseClick(&MainWindowView(window).Picture(3), Qt::LeftButton);
  EXPECT_THAT(events_, ElementsAre("toggle 3", "toggle 3"));
  EXPECT_THAT(LoggedIds(), ElementsAre(30));
}

TEST_F(MainWindowTest, OtherButtonsDoNotToggle) {
  frmMain& window = Load();
  window.show();
  QTest::mouseClick(&MainWindowView(window).Picture(5), Qt::RightButton);
  QTest::mouseClick(&MainWindowView(window).Picture(5), Qt::MiddleButton);
  EXPECT_THAT(events_, Not(Contains("toggle 5")));
}

TEST_F(MainWindowTest, PressInsideReleaseOutsideIsNoClick) {
  frmMain& window = Load();
  window.show();
  QTest::mousePress(&MainWindowView(window).Picture(1), Qt::LeftButton, {}, QPoint(5, 5));
  QTest::mouseRelease(&MainWindowView(window).Picture(1), Qt::LeftButton, {}, QPoint(100, 100));
  EXPECT_THAT(events_, Not(Contains("toggle 1")));
}

struct LampCase {
  std::vector<int> on;
  std::int32_t byte;
};

class LampColourTest : public MainWindowTest, public ::testing::WithParamInterface<LampCase> {};

TEST_P(LampColourTest, EveryLampFollowsThePublishedOutputs) {
  frmMain& window = Load();
  state_.outputs.Set(0xFF);
  state_.outputs.Set(static_cast<std::uint8_t>(GetParam().byte));
  for (int n = 1; n <= 8; ++n) {
    SCOPED_TRACE(n);
    const bool on = std::find(GetParam().on.begin(), GetParam().on.end(), n) != GetParam().on.end();
    EXPECT_EQ(MainWindowView(window).Picture(n).Shape().FillColor(),
              on ? kLampOnColour : kLampOffColour);
  }
}

INSTANTIATE_TEST_SUITE_P(Outputs, LampColourTest,
                         ::testing::Values(LampCase{{}, 0}, LampCase{{1, 8}, 129}, LampCase{{3}, 4},
                                           LampCase{{1, 2, 3, 4, 5, 6, 7, 8}, 255}));

TEST(LampColour, NumbersMapToRedGreenBlue) {
  EXPECT_EQ(ColorFromNumber(kLampOnColour), QColor(0, 255, 0));
  EXPECT_EQ(ColorFromNumber(kLampOffColour), QColor(0, 64, 0));
  EXPECT_EQ(ColorFromNumber(0x0000FF), QColor(255, 0, 0));
}

struct ResizeCase {
  QSize size;  // the inner area
  QRect console;
  QRect input;
  QRect status;  // the last run follows 20 px under it, as wide
};

class ResizeTest : public MainWindowTest, public ::testing::WithParamInterface<ResizeCase> {};

// The panes keep the design's margins to the inner area: 8 px left, 11 px
// right, 8 px between them; under the input line 4 px, the status line
// (20 px), the last rule run (16 px) and 8 px.
TEST_P(ResizeTest, ConsoleAndInputLineFillTheInnerArea) {
  settings_.giWindowWidth = 724;
  settings_.giWindowHeight = 637;
  frmMain& window = Load();
  window.show();
  window.resize(GetParam().size);
  EXPECT_EQ(MainWindowView(window).txtBuffer().geometry(), GetParam().console);
  EXPECT_EQ(MainWindowView(window).Text1().geometry(), GetParam().input);
  EXPECT_EQ(MainWindowView(window).Status().geometry(), GetParam().status);
  EXPECT_EQ(MainWindowView(window).LastRun().geometry(),
            GetParam().status.translated(0, 20).adjusted(0, 0, 0, -4));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ResizeTest,
    ::testing::Values(
        ResizeCase{{724, 637}, {8, 72, 705, 488}, {8, 568, 705, 21}, {8, 593, 705, 20}},
        ResizeCase{{1200, 900}, {8, 72, 1181, 751}, {8, 831, 1181, 21}, {8, 856, 1181, 20}},
        // Narrower or lower than the minimum: the last lamp keeps its margin
        // and the console a few lines.
        ResizeCase{{520, 400}, {8, 72, 705, 251}, {8, 331, 705, 21}, {8, 356, 705, 20}},
        ResizeCase{{18, 148}, {8, 72, 705, 60}, {8, 140, 705, 21}, {8, 165, 705, 20}}));

TEST_F(MainWindowTest, ANameTooLongForItsLabelEndsInAnEllipsisAndShowsWholeInItsTooltip) {
  state_.rules.Set({{"Pump", "Garden irrigation pump"}, {}});
  frmMain& window = Load();
  const QLabel& fits = MainWindowView(window).OutputNameLabel(1);
  const QLabel& elided = MainWindowView(window).OutputNameLabel(2);
  EXPECT_EQ(fits.text(), "Pump");
  EXPECT_EQ(fits.toolTip(), "");
  EXPECT_TRUE(elided.text().startsWith("Ga") && elided.text().endsWith(QChar(0x2026)))
      << elided.text().toStdString();
  EXPECT_LE(elided.fontMetrics().horizontalAdvance(elided.text()), elided.width());
  EXPECT_EQ(elided.toolTip(), "Garden irrigation pump");
}

// --- Status, last rule run, tooltips, activity ------------------------------

TEST_F(MainWindowTest, StatusLineShowsTheConnectionAndCountsDownOnItsTick) {
  frmMain& window = Load();
  EXPECT_TRUE(MainWindowView(window).StatusTimer().isActive());
  EXPECT_EQ(MainWindowView(window).StatusTimer().interval(), 1000);
  using State = ConnectionStatus::State;
  state_.connection.Set(
      {State::kJoined, "irc.example.net:6667", "#lab", "Zelvo", clock_.MonotonicNow(), ""});
  EXPECT_EQ(MainWindowView(window).Status().Text().toStdString(),
            "In the channel  \u00B7  irc.example.net:6667  \u00B7  #lab  \u00B7  Zelvo");
  EXPECT_EQ(MainWindowView(window).Status().Mark(), kStatusGreen);
  // The tray icon follows: the mark's colour, the status line as tooltip.
  EXPECT_NEAR(tray_->lamp_hues.back(), 120, 3);
  EXPECT_EQ(tray_->tips.back(), "Zelvo: " + MainWindowView(window).Status().Text().toStdString());
  state_.connection.Set({State::kReconnecting, "irc.example.net:6667", "#lab", "Zelvo",
                         clock_.MonotonicNow() + seconds(10), "Zelvo -  (Reconnecting in 10 s)"});
  EXPECT_EQ(window.windowTitle(), "Zelvo -  (Reconnecting in 10 s)");
  EXPECT_EQ(MainWindowView(window).Status().Mark(), kStatusAmber);
  EXPECT_NEAR(tray_->lamp_hues.back(), 45, 3);
  clock_.Advance(seconds(3));
  window.StatusTick();
  EXPECT_THAT(MainWindowView(window).Status().Text().toStdString(),
              ::testing::StartsWith("Reconnecting in 7 s  \u00B7  "));
}

TEST_F(MainWindowTest, LastRuleRunIsShownUnderTheStatus) {
  frmMain& window = Load();
  EXPECT_FALSE(MainWindowView(window).LastRun().HasRun());
  state_.last_run.Set(RuleRun{"Disco-Kula On", "alice", ToOleDate({2024, 5, 17, 21, 4, 9})});
  EXPECT_EQ(MainWindowView(window).LastRun().text().toStdString(),
            "Last rule: Disco-Kula On by alice at 21:04:09");
}

TEST_F(MainWindowTest, LampTooltipsNameTheRulesAndFollowANewSet) {
  frmMain& window = Load();
  IOCommands rules, reloaded;
  const auto add = [](IOCommands& rules, const std::string& name, std::int32_t flags,
                      std::int32_t back) {
    auto rule = std::make_shared<IOCommand>(0.0);
    rule->SetIOName(name);
    rule->SetExtraFlags(flags);
    rule->SetAutoReturn(back);
    rules.Add(rule);
  };
  add(rules, "Saft", OnBit(1), 15);
  add(rules, "Disco <b>", OnBit(1) | OnBit(2), 0);
  state_.rules.Set({{"Saftblandare"}, rules});
  const auto tip = [&window](int n) {
    return QTextDocumentFragment::fromHtml(MainWindowView(window).Picture(n).toolTip())
        .toPlainText()
        .toStdString();
  };
  EXPECT_EQ(tip(1), "O1 Saftblandare\nSaft: on, undone after 15 s\nDisco <b>: on");
  EXPECT_EQ(tip(2), "O2\nDisco <b>: on");
  EXPECT_EQ(tip(3), "O3\nNo rule switches this output.");
  // After a reload: new names and rules.
  add(reloaded, "Buzz", ToggleBit(2), 0);
  state_.rules.Set({{"Saftblandare", "Disco-kula"}, reloaded});
  EXPECT_EQ(MainWindowView(window).OutputNameLabel(2).text(), "Disco-kula");
  EXPECT_EQ(tip(1), "O1 Saftblandare\nNo rule switches this output.");
  EXPECT_EQ(tip(2), "O2 Disco-kula\nBuzz: toggle");
}

// The strip under a lamp shows when its output was on: after a click and a
// minute, the right tenth of the strip (ten minutes across) is on.
TEST_F(MainWindowTest, TheStripUnderALampShowsWhenItsOutputWasOn) {
  frmMain& window = Load();
  window.show();
  clock_.Advance(seconds(600));
  state_.outputs.Set(4);
  clock_.Advance(seconds(60));
  window.StatusTick();
  const auto columns_on = [&window](int n) {
    ActivityStrip& strip = MainWindowView(window).Strip(n);
    const QImage image = strip.grab().toImage();
    std::vector<int> on;
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, 1) == ColorFromNumber(kLampOnColour)) on.push_back(x);
    }
    return on;
  };
  EXPECT_THAT(columns_on(3), ElementsAre(43, 44, 45, 46, 47));
  EXPECT_THAT(columns_on(2), ::testing::IsEmpty());
  // Off again: the stretch moves left as time passes.
  state_.outputs.Set(0);
  clock_.Advance(seconds(60));
  window.StatusTick();
  EXPECT_THAT(columns_on(3), ElementsAre(38, 39, 40, 41, 42, 43));
}

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

TEST_F(MainWindowTest, AMaximisedStartComesBackMaximisedFromTheTray) {
  settings_.giWindowState = 2;
  frmMain& window = Load();
  window.show();
  window.setWindowState(Qt::WindowMinimized);
  EXPECT_FALSE(window.isVisible());
  tray_->Activate(TrayIcon::Activation::kPrimaryPress);
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

TEST_F(MainWindowTest, WithoutTrayAHiddenStartIsMinimisedAtItsFirstPaint) {
  settings_.gbWindowShow = false;
  frmMain& window = Load(/*tray_available=*/false);
  window.show();
  window.Form_Paint();
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.isMinimized());
  // On the task bar it counts as shown: brought back from there, it stays.
  EXPECT_TRUE(settings_.gbWindowShow);
  window.setWindowState(Qt::WindowNoState);
  window.Form_Paint();
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.isMinimized());
}

struct TrayChangeCase {
  bool show_at_load;  // WindowShow
  bool tray_at_load;  // a notification area when the window loads
  bool tray_later;    // ... when the window is minimised
  bool to_tray;       // minimising hides it behind the icon (else: task bar)
};

class TrayChangeTest : public MainWindowTest,
                       public ::testing::WithParamInterface<TrayChangeCase> {};

// Whatever the notification area does, a minimised window stays reachable:
// hidden only behind an icon that is shown, else on the task bar.
TEST_P(TrayChangeTest, MinimisingNeverHidesTheWindowWithoutAnIconShown) {
  settings_.gbWindowShow = GetParam().show_at_load;
  frmMain& window = Load(GetParam().tray_at_load);
  window.show();
  window.Form_Paint();  // the first paint
  tray_->SetAvailable(GetParam().tray_later);
  window.setWindowState(Qt::WindowNoState);
  window.show();
  window.Form_Paint();
  window.setWindowState(Qt::WindowMinimized);
  window.Form_Paint();
  if (!GetParam().to_tray) {
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMinimized());
    return;
  }
  EXPECT_FALSE(window.isVisible());
  ASSERT_TRUE(tray_->Shown() && tray_->IsAvailable());
  tray_->Activate(TrayIcon::Activation::kPrimaryPress);
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.isMinimized());
}

INSTANTIATE_TEST_SUITE_P(Trays, TrayChangeTest,
                         ::testing::Values(TrayChangeCase{true, false, true, true},
                                           TrayChangeCase{false, false, true, true},
                                           TrayChangeCase{true, false, false, false},
                                           TrayChangeCase{true, true, false, false},
                                           TrayChangeCase{true, true, true, true}));

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

// --- The tray icon's menu and first-start message ---------------------------

TEST_F(MainWindowTest, TheTrayMenuShowsHidesTogglesReloadsAndQuits) {
  state_.rules.Set({{"Saftblandare", "A&B"}, {}});
  frmMain& window = Load();
  window.show();
  TrayMenu& menu = MainWindowView(window).Menu();
  ASSERT_EQ(tray_->menu_, &menu);
  EXPECT_THAT((std::vector{menu.Output(1).text(), menu.Output(2).text(), menu.Output(3).text()}),
              ElementsAre("O1  Saftblandare", "O2  A&&B", "O3"));
  for (const bool visible : {true, false}) {
    emit menu.aboutToShow();
    EXPECT_EQ(menu.ShowHide().text(), visible ? "Hide" : "Show");
    menu.ShowHide().trigger();
    EXPECT_EQ(window.isVisible(), !visible);
  }

  // An output's entry toggles as a lamp click does; its check follows the state.
  menu.Output(3).trigger();
  EXPECT_EQ(events_.back(), "toggle 3");
  EXPECT_FALSE(menu.Output(3).isChecked());
  state_.outputs.Set(0b101);
  EXPECT_TRUE(menu.Output(1).isChecked());
  EXPECT_FALSE(menu.Output(2).isChecked());
  EXPECT_TRUE(menu.Output(3).isChecked());

  events_.clear();
  menu.Reload().trigger();
  // With outputs on, Quit asks first and a "no" keeps the bot running.
  menu.Quit().trigger();
  answer_ = true;
  menu.Quit().trigger();
  state_.outputs.Set(0);
  menu.Quit().trigger();
  const std::string ask = "ask Outputs Saftblandare and O3 are on. Quit Zelvo anyway?";
  EXPECT_THAT(events_, ElementsAre("reload", ask, ask, "close", "close"));
}

TEST_F(MainWindowTest, AFirstStartHiddenInTheTrayTellsWhereTheConfigurationIs) {
  frmMain& window = Load();
  window.FirstStart("/home/ann/.config/zelvo/config.xml");
  window.show();
  window.FirstStart("/x/config.xml");  // shown: nothing to tell
  EXPECT_THAT(tray_->notes,
              ElementsAre(::testing::HasSubstr("written to /home/ann/.config/zelvo/config.xml")));
}

TEST_F(MainWindowTest, EnterSendsTheLineAndUpRecallsIt) {
  frmMain& window = Load();
  window.show();
  QTest::keyClick(&MainWindowView(window).Text1(), Qt::Key_Up);
  EXPECT_EQ(MainWindowView(window).Text1().text(), "");
  QTest::keyClicks(&MainWindowView(window).Text1(), "Disco On");
  QTest::keyClick(&MainWindowView(window).Text1(), Qt::Key_Return);
  EXPECT_THAT(sent_, ElementsAre("Disco On"));
  EXPECT_EQ(MainWindowView(window).Text1().text(), "");
  EXPECT_EQ(MainWindowView(window).msLastInput(), "Disco On");
  QTest::keyClicks(&MainWindowView(window).Text1(), "half typed");
  QTest::keyClick(&MainWindowView(window).Text1(), Qt::Key_Up);
  EXPECT_EQ(MainWindowView(window).Text1().text(), "Disco On");
  // Enter on the keypad and with modifiers acts the same.
  QTest::keyClick(&MainWindowView(window).Text1(), Qt::Key_Enter, Qt::KeypadModifier);
  MainWindowView(window).Text1().setText("");
  QTest::keyClick(&MainWindowView(window).Text1(), Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_THAT(sent_, ElementsAre("Disco On", "Disco On", ""));
  EXPECT_EQ(ConsoleText(), "");
}

TEST_F(MainWindowTest, EnterWhileNotConnectedKeepsTheLineAndSaysSo) {
  frmMain& window = Load();
  window.show();
  outcome_ = LineOutcome::kNotConnected;
  QTest::keyClicks(&MainWindowView(window).Text1(), "Disco On");
  QTest::keyClick(&MainWindowView(window).Text1(), Qt::Key_Return);
  EXPECT_EQ(MainWindowView(window).Text1().text(), "Disco On");
  EXPECT_EQ(MainWindowView(window).msLastInput(), "");
  EXPECT_EQ(ConsoleText(), std::string(console_text::kNotConnected) + "\n");
}

TEST_F(MainWindowTest, TypedTextReachesTheConnectionAsUtf8) {
  frmMain& window = Load();
  MainWindowView(window).Text1().setText(QString::fromUtf8("Sm\u00F6rg\u00E5s"));
  window.Text1_KeyDown(Qt::Key_Return);
  EXPECT_THAT(sent_, ElementsAre("Sm\xC3\xB6rg\xC3\xA5s"));
}

// The close box asks for the close; the unload removes the icon, once.
TEST_F(MainWindowTest, TheCloseBoxAsksToCloseAndTheUnloadRemovesTheIconOnce) {
  frmMain& window = Load();
  window.show();
  events_.clear();
  window.close();
  window.Form_Unload();
  window.Form_Unload();
  EXPECT_THAT(events_, ElementsAre("close", "tray remove"));
  EXPECT_FALSE(tray_->Shown());
}

TEST_F(MainWindowTest, ConsoleAppendsWithLineEndsAndKeepsTheCaretAtTheEnd) {
  frmMain& window = Load();
  window.Append("PING :7A41C2\r\n");
  window.Append("\r\n");
  window.Append(
      ":nick!~user@host PRIVMSG #lab :Gr\xC3\xBC\xC3\x9F"
      "e\r\n");
  window.Append("Latin-1 \xE4\r\n");
  EXPECT_EQ(MainWindowView(window).txtBuffer().toPlainText(),
            QString::fromUtf8("PING :7A41C2\n\n:nick!~user@host PRIVMSG #lab :Gr\u00FC\u00DFe\n"
                              "Latin-1 \u00E4\n"));
  EXPECT_EQ(MainWindowView(window).txtBuffer().textCursor().position(),
            MainWindowView(window).txtBuffer().document()->characterCount() - 1);
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
  const QString text = MainWindowView(window).txtBuffer().toPlainText();
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
