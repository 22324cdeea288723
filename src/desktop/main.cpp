// The window's program, zelvo: the bot with its window and tray icon. A
// headless run is handed to the program without a window.
#include "desktop/qt_desktop.h"

int main(int argc, char** argv) {
  const zelvo::WindowSupport window = zelvo::QtWindowSupport(ZELVO_HEADLESS_PROGRAM_DIR);
  return zelvo::RunProgram(argc, argv, &window);
}
