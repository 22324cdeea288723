// The window's icon (32 x 32 and 16 x 16), also shown in the notification area.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace zelvo {

// The lamp's colour in the window's icon.
inline const QColor kIconLampGreen{0, 255, 0};

// Draws the icon at `size` pixels: a lit lamp on a black tile. The tray icon
// lights it in the colour of the connection's state.
QPixmap DrawZelvoIcon(int size, QColor lamp_colour = kIconLampGreen);

QIcon ZelvoWindowIcon(QColor lamp_colour = kIconLampGreen);

}  // namespace zelvo
