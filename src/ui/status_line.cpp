#include "ui/status_line.h"

#include <QPainter>
#include <QTextDocument>
#include <utility>

#include "front/qt_text.h"
#include "ui/lamp_box.h"

namespace zelvo {

namespace {

constexpr int kPadding = 2;
constexpr int kMarkGap = 6;

}  // namespace

QString StateWords(const ConnectionStatus& status, std::chrono::steady_clock::time_point now) {
  return QString::fromStdString(ConnectionStateWords(status, now));
}

std::uint32_t MarkColour(ConnectionStatus::State state) {
  using State = ConnectionStatus::State;
  switch (state) {
    case State::kJoined:
      return kStatusGreen;
    case State::kConnecting:
    case State::kRegistering:
    case State::kReconnecting:
    case State::kNotInChannel:
      return kStatusAmber;
    case State::kDown:
      break;
  }
  return kStatusRed;
}

StatusLine::StatusLine(const Clock& clock, QWidget* parent) : QWidget(parent), clock_(clock) {
  setObjectName(QStringLiteral("StatusLine"));
  Refresh();
}

void StatusLine::SetStatus(ConnectionStatus status) {
  status_ = std::move(status);
  Refresh();
  update();
}

void StatusLine::SetProblems(Problems problems) {
  problems_ = std::move(problems);
  Refresh();
  update();
}

void StatusLine::Tick() {
  if (status_.state != ConnectionStatus::State::kReconnecting) return;
  const QString before = text_;
  Refresh();
  if (text_ != before) update();
}

void StatusLine::Refresh() {
  std::string text = ConnectionStatusText(status_, clock_.MonotonicNow());
  for (const auto& [what, problem] : problems_) text.append(kStatusSeparator).append(problem);
  text_ = TextToQString(text);
  setToolTip(Qt::convertFromPlainText(text_));
}

QSize StatusLine::sizeHint() const {
  const QFontMetrics metrics = fontMetrics();
  return {MarkRect().right() + kMarkGap + metrics.horizontalAdvance(text_) + kPadding,
          metrics.height() + 2 * kPadding};
}

QSize StatusLine::minimumSizeHint() const {
  return {0, fontMetrics().height() + 2 * kPadding};
}

QRect StatusLine::MarkRect() const {
  // A round mark as high as a capital letter, centred on the text's line.
  const int diameter = qMax(6, fontMetrics().capHeight() + 2);
  return {kPadding, (height() - diameter) / 2, diameter, diameter};
}

void StatusLine::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(ColorFromNumber(Mark()));
  const QRect mark = MarkRect();
  painter.drawEllipse(mark);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(ColorFromNumber(kStatusText));
  const QRect text_area = rect().adjusted(mark.right() + kMarkGap, 0, -kPadding, 0);
  painter.drawText(text_area, Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(text_, Qt::ElideRight, text_area.width()));
}

}  // namespace zelvo
