// The window's icon (32 x 32 and 16 x 16), also shown in the notification area.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace zelvo {

// Draws the icon at `size` pixels: a lit green lamp on a black tile.
QPixmap DrawZelvoIcon(int size);

QIcon ZelvoWindowIcon();

}  // namespace zelvo
