#include "ui/window_icon.h"

#include <QPainter>
#include <QRadialGradient>

namespace zelvo {

QPixmap DrawZelvoIcon(int size, QColor lamp_colour) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  // Black tile with a dark green rim.
  painter.setPen(QPen(QColor(0, 64, 0), s / 16));
  painter.setBrush(Qt::black);
  painter.drawRoundedRect(QRectF(0, 0, s, s).adjusted(s / 32, s / 32, -s / 32, -s / 32), s / 6,
                          s / 6);
  // The lamp: a circle in its colour, lit from the upper left.
  const QRectF lamp(s * 0.22, s * 0.22, s * 0.56, s * 0.56);
  QRadialGradient glow(lamp.center() - QPointF(s * 0.08, s * 0.08), lamp.width() / 1.6);
  glow.setColorAt(0.0, lamp_colour.lighter(175));
  glow.setColorAt(0.45, lamp_colour);
  glow.setColorAt(1.0, lamp_colour.darker(210));
  painter.setPen(Qt::NoPen);
  painter.setBrush(glow);
  painter.drawEllipse(lamp);
  return pixmap;
}

QIcon ZelvoWindowIcon(QColor lamp_colour) {
  QIcon icon;
  icon.addPixmap(DrawZelvoIcon(32, lamp_colour));
  icon.addPixmap(DrawZelvoIcon(16, lamp_colour));
  return icon;
}

}  // namespace zelvo
