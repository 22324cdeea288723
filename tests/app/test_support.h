// Test configurations for the application's tests: the example with no real
// IRC server and the log switches, window and output device the test needs.
#pragma once

#include <filesystem>
#include <string>

#include "support/example_config.h"

namespace zelvo::testing {

inline bool Exists(const std::string& path) {
  return std::filesystem::exists(path);
}

// The example configuration with changes for tests.
struct ConfigOptions {
  bool log_everything = true;
  bool window_show = false;
  std::string output_device;  // empty: no OutputDevice element
  std::string log_file = "Log.xml";
};

inline std::string TestConfig(const ConfigOptions& options) {
  std::string text = ExampleConfigText();
  // Nothing in a test reaches out to a real IRC server.
  text = ReplacedOnce(text, "<IRCDomain>irc.libera.chat</IRCDomain>",
                      "<IRCDomain>127.0.0.1</IRCDomain>");
  text = ReplacedOnce(text, "<IRCPort>6667</IRCPort>", "<IRCPort>1</IRCPort>");
  if (options.log_everything) {
    text = ReplacedOnce(text, "<LogToFileInformation>false", "<LogToFileInformation>true");
    text = ReplacedOnce(text, "<LogToFileWarnings>false", "<LogToFileWarnings>true");
  }
  if (options.window_show) text = ReplacedOnce(text, "<WindowShow>false", "<WindowShow>true");
  if (!options.output_device.empty()) {
    text = ReplacedOnce(
        text, "<Output8>N/C</Output8>",
        "<Output8>N/C</Output8>\r\n\t\t<OutputDevice>" + options.output_device + "</OutputDevice>");
  }
  return ReplacedOnce(text, "<LogFile>Log.xml</LogFile>",
                      "<LogFile>" + options.log_file + "</LogFile>");
}

}  // namespace zelvo::testing
