// Whether the window can be opened: the display server that Qt's platform
// needs must answer before the Qt application is made, or Qt ends the
// process on its own.
#pragma once

#include <functional>
#include <string>

namespace zelvo {

// Reads one environment variable; "" when it is not set.
using EnvironmentLookup = std::function<std::string(const char* name)>;

EnvironmentLookup ProcessEnvironment();

// "" when the platform chosen by QT_QPA_PLATFORM (X11 or Wayland when none is
// chosen) has a display that answers; otherwise the error text
// "Cannot open the display ...; run with --headless". A platform that needs
// no display server (offscreen, VNC, framebuffer) is left to Qt.
std::string DisplayProblem(const EnvironmentLookup& environment);

}  // namespace zelvo
