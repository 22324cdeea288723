#include "ui/main_window.h"

#include <QCloseEvent>
#include <QFont>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPalette>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QWindow>

#include "front/qt_text.h"
#include "log/messages.h"
#include "model/visible_text.h"
#include "ui/lamp_tooltip.h"
#include "ui/window_icon.h"
#include "ui/window_layout.h"

namespace zelvo {

namespace {

constexpr const char* kCaption = "Zelvo";
constexpr const char* kTagLine = "IRC device switch";
constexpr const char* kTrayTip = "Zelvo";

QLabel* MakeGreenLabel(QWidget* parent, const QString& text, const QRect& geometry) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(geometry);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, ColorFromNumber(kLampOnColour));
  label->setPalette(palette);
  label->setAttribute(Qt::WA_TranslucentBackground);
  return label;
}

// CR LF and lone CR become the pane's line break.
QString ConsoleText(std::string_view text) {
  QString result = TextToQString(text);
  result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return result;
}

}  // namespace

Qt::WindowStates WindowStatesFromCode(std::int16_t code) {
  return code == window_state::kMaximised ? Qt::WindowMaximized : Qt::WindowNoState;
}

frmMain::frmMain(MainWindowServices services)
    : QWidget(nullptr),
      services_(std::move(services)),
      clock_(services_.clock ? *services_.clock : system_clock_) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QString::fromLatin1(kCaption));
  setWindowIcon(ZelvoWindowIcon());
  resize(layout::kWindowArea);
  setMinimumSize(layout::kMinimumArea);
  setFont(QFont(QStringLiteral("Arial"), 8));

  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::black);
  setPalette(palette);
  setAutoFillBackground(true);

  label1_ = MakeGreenLabel(this, QString::fromLatin1(kCaption), layout::kTitle);
  label1_->setObjectName(QStringLiteral("Label1"));
  // "Arial" without a style hint, so that fontconfig picks a metric-compatible
  // face where Arial itself is missing.
  QFont title_font(QStringLiteral("Arial"), 36, QFont::Bold);
  label1_->setFont(title_font);

  label2_ = MakeGreenLabel(this, QString::fromLatin1(kTagLine), layout::kTagLine);
  label2_->setObjectName(QStringLiteral("Label2"));
  QFont tag_font(QStringLiteral("Arial"), 12, QFont::Bold);
  label2_->setFont(tag_font);

  for (int n = 1; n <= kOutputCount; ++n) {
    const auto i = static_cast<std::size_t>(n - 1);
    auto* box = new PictureBox(n, this);
    box->move(layout::kPictureLeft[i], layout::kPictureTop);
    box->resize(layout::kPictureSize);
    box->SetOnClick([this, n] { Picture_Click(n); });
    pictures_[i] = box;

    auto* name = MakeGreenLabel(
        this, QString(), QRect(QPoint(layout::kNameLeft[i], layout::kNameTop), layout::kNameSize));
    name->setObjectName(QStringLiteral("OutputName%1").arg(n));
    name->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    name_labels_[i] = name;

    histories_[i] = std::make_unique<OutputHistory>(clock_);
    auto* strip = new ActivityStrip(*histories_[i], this);
    strip->setObjectName(QStringLiteral("ActivityStrip%1").arg(n));
    strip->setGeometry(
        QRect(QPoint(layout::kPictureLeft[i] +
                         (layout::kPictureSize.width() - ActivityStrip::kSize.width()) / 2,
                     layout::kStripTop),
              ActivityStrip::kSize));
    strips_[i] = strip;
  }

  txt_buffer_ = new QPlainTextEdit(this);
  txt_buffer_->setObjectName(QStringLiteral("txtBuffer"));
  txt_buffer_->setGeometry(layout::kConsole);
  txt_buffer_->setReadOnly(true);
  txt_buffer_->setUndoRedoEnabled(false);
  txt_buffer_->setLineWrapMode(QPlainTextEdit::NoWrap);
  txt_buffer_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txt_buffer_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txt_buffer_->setFocusPolicy(Qt::ClickFocus);
  QFont console_font(QStringLiteral("Courier New"), 8);
  console_font.setStyleHint(QFont::TypeWriter);
  console_font.setFixedPitch(true);
  txt_buffer_->setFont(console_font);

  text1_ = new QLineEdit(this);
  text1_->setObjectName(QStringLiteral("Text1"));
  text1_->setGeometry(layout::kInput);
  text1_->installEventFilter(this);
  setFocusProxy(text1_);
  text1_->setFocus();

  status_line_ = new StatusLine(clock_, this);
  status_line_->setGeometry(layout::kStatusLine);
  last_run_ = new LastRunLabel(this);
  last_run_->setGeometry(layout::kLastRun);

  status_timer_.setInterval(kStatusTickMs);
  QObject::connect(&status_timer_, &QTimer::timeout, this, [this] { StatusTick(); });
  FitPanes();

  tray_menu_ = std::make_unique<TrayMenu>(TrayMenuActions{
      [this] { ToggleShown(); },
      [this](int n) { Picture_Click(n); },
      [this] {
        if (services_.actions.reload) services_.actions.reload();
      },
      [this] { QuitFromTray(); }});
  QObject::connect(tray_menu_.get(), &QMenu::aboutToShow, this,
                   [this] { tray_menu_->SetWindowShown(isVisible()); });

  BotState& state = services_.state;
  subscriptions_.push_back(state.connection.Subscribe(
      [this](const ConnectionStatus& status) { ShowConnection(status); }));
  subscriptions_.push_back(
      state.outputs.Subscribe([this](std::uint8_t byte) { ShowOutputs(byte); }));
  subscriptions_.push_back(
      state.rules.Subscribe([this](const OutputRules& rules) { ShowRules(rules); }));
  subscriptions_.push_back(state.last_run.Subscribe([this](const std::optional<RuleRun>& run) {
    if (run) last_run_->SetLastRun(run->rule, run->nick, run->at);
  }));
  subscriptions_.push_back(state.problems.Subscribe([this](const Problems& problems) {
    status_line_->SetProblems(problems);
    UpdateTray();
  }));
}

frmMain::~frmMain() {
  if (tray_added_) services_.tray.Remove();
}

void frmMain::Log(const LogMessage& message) {
  WriteMessage(services_.log, message);
}

bool frmMain::IconShown() const {
  return tray_added_ && services_.tray.IsAvailable();
}

void frmMain::FitOuterSize() {
  // Before the window is framed (and on platforms without frames) the frame
  // adds nothing.
  const QWindow* handle = windowHandle();
  const QMargins frame = handle ? handle->frameMargins() : QMargins();
  resize(outer_size_.width() - frame.left() - frame.right(),
         outer_size_.height() - frame.top() - frame.bottom());
}

std::int16_t frmMain::CurrentStateCode() const {
  const Qt::WindowStates state = windowState();
  if (state & Qt::WindowMinimized) return window_state::kMinimised;
  if (state & Qt::WindowMaximized) return window_state::kMaximised;
  return window_state::kNormal;
}

void frmMain::Form_Load() {
  ApplyWindowSettings();
  status_timer_.start();
}

void frmMain::ApplyWindowSettings() {
  Settings& settings = services_.settings;
  // A minimised start is a hidden one: it goes where minimising would send
  // the window (see Form_Paint).
  if (settings.giWindowState == window_state::kMinimised) {
    settings.gbWindowShow = false;
    settings.giWindowState = window_state::kNormal;
  }
  if (!settings.gbWindowShow) hide();
  // Position and size of the outer frame. The geometry comes before the
  // state, so that it is what a maximised window is restored to.
  move(settings.giWindowX, settings.giWindowY);
  outer_size_ = QSize(settings.giWindowWidth, settings.giWindowHeight);
  outer_size_pending_ = true;
  FitOuterSize();
  setWindowState(WindowStatesFromCode(settings.giWindowState));
  setWindowTitle(QString::fromLatin1(kCaption));
  ShowRules(services_.state.rules.Get());
  outputs_byte_ = services_.state.outputs.Get();
  tray_menu_->SetOutputs(outputs_byte_);
  Log(log_msg::kAddingTrayIcon);
  AddTrayIcon();
}

void frmMain::Form_Paint() {
  Settings& settings = services_.settings;
  if (settings.gbWindowShow) return;
  if (IconShown()) {
    hide();
    return;
  }
  // Without an icon to come back from, the window is minimised to the task
  // bar instead, where it counts as shown.
  settings.gbWindowShow = true;
  setWindowState(windowState() | Qt::WindowMinimized);
}

void frmMain::FitPanes() {
  // The panes fill the inner area with the design's margins: m left of them
  // and between them, the right and bottom margins under and beside them.
  const int m = layout::kMargin;
  const int width = this->width() - m - layout::kRightMargin;
  const int height = this->height() - txt_buffer_->y() - text1_->height() - m - layout::kBelowInput;
  // Each step on its own; a step whose size would be negative is skipped.
  if (width >= 0) txt_buffer_->resize(width, txt_buffer_->height());
  if (width >= 0) text1_->resize(width, text1_->height());
  if (height >= 0) txt_buffer_->resize(txt_buffer_->width(), height);
  text1_->move(text1_->x(), txt_buffer_->y() + txt_buffer_->height() + m);
  // The status and the last run follow the input line, as wide as it.
  if (!status_line_ || !last_run_) return;
  status_line_->setGeometry(text1_->x(), text1_->y() + text1_->height() + layout::kStatusGap,
                            text1_->width(), status_line_->height());
  last_run_->setGeometry(text1_->x(), status_line_->y() + status_line_->height(), text1_->width(),
                         last_run_->height());
}

void frmMain::Form_Resize() {
  FitPanes();

  // While the window is hidden its state changes are the window manager
  // tidying up, not the user's doing.
  if (!isVisible()) return;
  Settings& settings = services_.settings;
  const std::int16_t state = CurrentStateCode();
  if (state != window_state::kMinimised) {
    settings.giWindowState = state;
    return;
  }
  // A notification area that appeared after the load gets its icon now.
  if (!tray_added_ && services_.tray.IsAvailable()) AddTrayIcon();
  // Without an icon shown the window stays minimised on the task bar.
  if (!IconShown()) return;
  // Minimising sends the window to the notification area, in the state it
  // had before.
  settings.gbWindowShow = false;
  setWindowState(WindowStatesFromCode(settings.giWindowState));
  hide();
}

void frmMain::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  RemoveTrayIcon();
}

void frmMain::Picture_Click(int output) {
  if (services_.actions.toggle_output) services_.actions.toggle_output(output);
}

void frmMain::Text1_KeyDown(int key) {
  if (key == Qt::Key_Up) text1_->setText(ms_last_input_);
  if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
  const QString line = text1_->text();
  const QByteArray typed = line.toUtf8();
  const LineOutcome outcome =
      services_.actions.send_line
          ? services_.actions.send_line(std::string_view(typed.constData(), typed.size()))
          : LineOutcome::kNotConnected;
  if (outcome == LineOutcome::kSent) {
    ms_last_input_ = line;
    text1_->clear();
  } else if (outcome == LineOutcome::kNotConnected) {
    Append(std::string(console_text::kNotConnected) + "\r\n");
  }
}

void frmMain::AddTrayIcon() {
  if (!services_.tray.IsAvailable()) {
    Log(log_msg::kNoSystemTray);
    return;
  }
  services_.tray.SetMenu(tray_menu_.get());
  services_.tray.Add(windowIcon(), QString::fromLatin1(kTrayTip),
                     [this](TrayIcon::Activation activation) { TrayIcon_Activated(activation); });
  tray_added_ = true;
  UpdateTray();
}

void frmMain::UpdateTray() {
  if (!tray_added_ || !status_line_) return;
  const std::uint32_t colour = status_line_->Mark();
  const QString tip = QString::fromLatin1(kTrayTip) + QStringLiteral(": ") + status_line_->Text();
  if (colour == tray_colour_ && tip == tray_tip_) return;
  tray_colour_ = colour;
  tray_tip_ = tip;
  services_.tray.Update(ZelvoWindowIcon(ColorFromNumber(colour)), tip);
}

void frmMain::FirstStart(const std::string& config_path) {
  if (isVisible() || !IconShown()) return;
  services_.tray.Notify(QString::fromLatin1(kTrayTip),
                        QString::fromUtf8(FirstStartText(first_start::kInTheTray, config_path)));
}

void frmMain::QuitFromTray() {
  if (outputs_byte_ != 0) {
    std::vector<std::string> on;
    for (int n = 1; n <= kOutputCount; ++n) {
      const auto i = static_cast<std::size_t>(n - 1);
      if ((outputs_byte_ >> i) & 1) on.push_back(names_[i].empty() ? "O" + std::to_string(n) : names_[i]);
    }
    const QString question = QString::fromUtf8(QuitWithOutputsOnText(on));
    const bool yes = services_.confirm
                         ? services_.confirm(question)
                         : QMessageBox::question(this, QString::fromLatin1(kCaption), question) ==
                               QMessageBox::Yes;
    if (!yes) return;
  }
  if (services_.actions.close) services_.actions.close();
}

void frmMain::RemoveTrayIcon() {
  if (!tray_added_) return;
  tray_added_ = false;
  services_.tray.Remove();
}

void frmMain::TrayIcon_Activated(TrayIcon::Activation activation) {
  if (activation == TrayIcon::Activation::kPrimaryPress) ToggleShown();
}

void frmMain::ToggleShown() {
  Settings& settings = services_.settings;
  settings.gbWindowShow = !settings.gbWindowShow;
  if (!settings.gbWindowShow) {
    hide();
    return;
  }
  // Back in the state it had before it was hidden.
  setWindowState(WindowStatesFromCode(settings.giWindowState));
  show();
}

void frmMain::ShowConnection(const ConnectionStatus& status) {
  // The caption stays until the connection has worded one.
  if (!status.caption.empty()) setWindowTitle(QString::fromUtf8(status.caption));
  status_line_->SetStatus(status);
  UpdateTray();
}

// A name wider than its label is cut at the end with an ellipsis and shown
// whole in the label's tooltip (the lamp's tooltip names it too).
void ShowOutputName(QLabel& label, const QString& name) {
  const QString shown = label.fontMetrics().elidedText(name, Qt::ElideRight, label.width());
  label.setText(shown);
  label.setToolTip(shown == name ? QString() : name);
}

void frmMain::ShowRules(const OutputRules& rules) {
  tray_menu_->SetNames(rules.names);
  for (int n = 1; n <= kOutputCount; ++n) {
    const auto i = static_cast<std::size_t>(n - 1);
    ShowOutputName(*name_labels_[i], TextToQString(rules.names[i]));
    names_[i] = rules.names[i];
    pictures_[i]->setToolTip(AsToolTip(LampTooltip(rules.rules, n, rules.names[i])));
  }
}

void frmMain::StatusTick() {
  status_line_->Tick();
  UpdateTray();
  for (ActivityStrip* strip : strips_) strip->update();
}

void frmMain::ShowOutputs(std::uint8_t byte) {
  outputs_byte_ = byte;
  tray_menu_->SetOutputs(byte);
  for (int n = 1; n <= kOutputCount; ++n) {
    const auto i = static_cast<std::size_t>(n - 1);
    const bool on = (byte >> i) & 1;
    pictures_[i]->Shape().SetFillColor(on ? kLampOnColour : kLampOffColour);
    histories_[i]->Record(on);
    strips_[i]->update();
  }
}

void frmMain::Append(std::string_view text) {
  QTextDocument* document = txt_buffer_->document();
  QTextCursor cursor(document);
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(ConsoleText(VisibleControlText(text)));
  TrimConsole();
  QTextCursor caret = txt_buffer_->textCursor();
  caret.movePosition(QTextCursor::End);
  txt_buffer_->setTextCursor(caret);
  txt_buffer_->ensureCursorVisible();
}

void frmMain::TrimConsole() {
  QTextDocument* document = txt_buffer_->document();
  // characterCount() counts one paragraph separator after the last line.
  const auto length = static_cast<std::size_t>(document->characterCount() - 1);
  if (length <= console_limit_) return;
  const int excess = static_cast<int>(length - console_limit_);
  // Drop whole lines up to and including the one that holds the excess; a
  // single line longer than the limit keeps its newest characters.
  const QTextBlock block = document->findBlock(excess - 1);
  int cut = excess;
  if (block.isValid() && block.next().isValid()) cut = block.position() + block.length();
  QTextCursor cursor(document);
  cursor.setPosition(0);
  cursor.setPosition(cut, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
}

void frmMain::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (outer_size_pending_) {
    // The window is framed by now: its outer size is made the configured one.
    outer_size_pending_ = false;
    QTimer::singleShot(0, this, [this] {
      if (windowState() == Qt::WindowNoState) FitOuterSize();
    });
  }
  if (!services_.settings.gbWindowShow && !hide_pending_) {
    // Hidden after the paint has finished, never inside it.
    hide_pending_ = true;
    QTimer::singleShot(0, this, [this] {
      hide_pending_ = false;
      Form_Paint();
    });
  }
}

void frmMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Form_Resize();
}

void frmMain::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) Form_Resize();
}

void frmMain::closeEvent(QCloseEvent* event) {
  event->accept();
  if (services_.actions.close) services_.actions.close();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == text1_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    Text1_KeyDown(key);
    // Enter is handled here; every other key goes on to the input line.
    return key == Qt::Key_Return || key == Qt::Key_Enter;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace zelvo
