#include "ui/activity_strip.h"

#include <QPainter>
#include <cmath>

#include "ui/lamp_box.h"

namespace zelvo {

ActivityStrip::ActivityStrip(const OutputHistory& history, QWidget* parent)
    : QWidget(parent), history_(history) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ActivityStrip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), ColorFromNumber(kLampOffColour));
  const double window = std::chrono::duration<double>(history_.Window()).count();
  if (window <= 0 || width() <= 0) return;
  const auto start = history_.Now() - history_.Window();
  const auto x = [&](OutputHistory::TimePoint at) {
    return std::chrono::duration<double>(at - start).count() / window * width();
  };
  const QColor on = ColorFromNumber(kLampOnColour);
  for (const OutputHistory::Span& span : history_.OnSpans()) {
    // Whole pixels that the stretch touches; even a short one shows.
    const int left = static_cast<int>(std::floor(x(span.from)));
    const int right = qMax(left + 1, static_cast<int>(std::ceil(x(span.to))));
    painter.fillRect(QRect(left, 0, right - left, height()).intersected(rect()), on);
  }
}

}  // namespace zelvo
