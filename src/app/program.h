// The process entry shared by the window's program (zelvo) and the one
// without a window (zelvo-headless): reads the command line, sets the
// locale, checks the display, creates the Qt application, runs the start-up
// sequence and the event loop.
#pragma once

#include <QCoreApplication>
#include <functional>
#include <memory>

#include "app/desktop.h"

namespace zelvo {

// What the window's program adds to the start.
struct WindowSupport {
  // The Qt application with a GUI.
  std::function<std::unique_ptr<QCoreApplication>(int& argc, char** argv)> make_application;
  // Whether that application runs on X11 (the chat client's window is
  // looked for there).
  std::function<bool()> on_x11;
  std::function<std::unique_ptr<Desktop>()> make_desktop;
  // Where the program without a window is installed, relative to this
  // program's directory; a headless run is handed to it.
  std::string headless_program_dir;
};

// Runs the program; returns its exit code. Without `window` every run is
// headless.
int RunProgram(int argc, char** argv, const WindowSupport* window);

}  // namespace zelvo
