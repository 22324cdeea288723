// The program without a window, for the service: the bot headless, built
// without the window so that it loads no GUI library.
#include "app/program.h"

int main(int argc, char** argv) {
  return zelvo::RunProgram(argc, argv, nullptr);
}
