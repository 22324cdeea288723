#include "ui/lamp_box.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/window_layout.h"

namespace zelvo {

QColor ColorFromNumber(std::uint32_t colour) {
  return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                static_cast<int>((colour >> 16) & 0xFF));
}

LampShape::LampShape(QWidget* parent) : QWidget(parent), colour_(kLampOffColour) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LampShape::SetFillColor(std::uint32_t colour) {
  if (colour == colour_) return;
  colour_ = colour;
  update();
}

void LampShape::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(ColorFromNumber(colour_));
  painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

PictureBox::PictureBox(int output, QWidget* parent)
    : QWidget(parent), shape_(new LampShape(this)), label_(new QLabel(this)) {
  setObjectName(QStringLiteral("Picture%1").arg(output));
  shape_->setObjectName(QStringLiteral("Shape%1").arg(output));
  shape_->setGeometry(layout::kShape);
  label_->setText(QStringLiteral("O%1").arg(output));
  label_->setAlignment(Qt::AlignCenter);
  label_->setGeometry(layout::kNumberLabel);
  label_->setAttribute(Qt::WA_TransparentForMouseEvents);
  QPalette label_palette = label_->palette();
  label_palette.setColor(QPalette::WindowText, ColorFromNumber(kLampOnColour));
  label_->setPalette(label_palette);
  setCursor(Qt::PointingHandCursor);
}

void PictureBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  // A sunken single-line border, so the black box stands out on the black window.
  painter.setPen(QColor(64, 64, 64));
  painter.drawLine(0, 0, width() - 1, 0);
  painter.drawLine(0, 0, 0, height() - 1);
  painter.setPen(QColor(160, 160, 160));
  painter.drawLine(0, height() - 1, width() - 1, height() - 1);
  painter.drawLine(width() - 1, 0, width() - 1, height() - 1);
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = true;
    event->accept();
  } else {
    QWidget::mousePressEvent(event);
  }
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  const bool was_pressed = pressed_;
  pressed_ = false;
  event->accept();
  // A click is a press and a release of the button inside the box.
  if (was_pressed && rect().contains(event->position().toPoint()) && on_click_) on_click_();
}

}  // namespace zelvo
