// The settings read from config.xml at start-up; filled once, read everywhere.
#pragma once

#include <cstdint>
#include <string>

namespace zelvo {

struct Settings {
  std::string gsIRCDomain;
  std::int16_t giIRCPort = 0;
  std::string gsIRCChannel;
  std::string gsIRCUser;
  std::string gsIRCNickname;
  std::int16_t giWindowState = 0;  // 0 normal, 1 minimised, 2 maximised
  bool gbWindowShow = false;
  std::int16_t giWindowX = 0;
  std::int16_t giWindowY = 0;
  std::int16_t giWindowWidth = 0;
  std::int16_t giWindowHeight = 0;
  // Port back-end ("auto", "parport:/dev/parport0", "ioport:888", "file:PATH").
  std::string OutputDevice = "auto";
};

}  // namespace zelvo
