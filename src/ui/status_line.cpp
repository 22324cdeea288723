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
  using State = ConnectionStatus::State;
  switch (status.state) {
    case State::kDown:
      return QStringLiteral("Disconnected");
    case State::kConnecting:
      return QStringLiteral("Connecting");
    case State::kRegistering:
      return QStringLiteral("Registering");
    case State::kJoined:
      return QStringLiteral("In the channel");
    case State::kNotInChannel:
      return QStringLiteral("Connected, not in the channel");
    case State::kReconnecting: {
      const auto left = status.reconnect_at - now;
      const auto seconds = std::chrono::ceil<std::chrono::seconds>(left).count();
      if (seconds <= 0) return QStringLiteral("Reconnecting");
      return QStringLiteral("Reconnecting in %1 s").arg(seconds);
    }
  }
  return {};
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

void StatusLine::Tick() {
  if (status_.state != ConnectionStatus::State::kReconnecting) return;
  const QString before = text_;
  Refresh();
  if (text_ != before) update();
}

void StatusLine::Refresh() {
  QString text = StateWords(status_, clock_.MonotonicNow());
  for (const std::string* field : {&status_.server, &status_.channel, &status_.nick}) {
    if (!field->empty()) text += QStringLiteral("  \u00B7  ") + TextToQString(*field);
  }
  text_ = text;
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
