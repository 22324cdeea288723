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
  // Further Settings elements, placed after OutputDevice (or Output8): more
  // OutputDevice entries first, then the optional settings in schema order.
  std::string extra_settings;
  std::string log_file = "Log.xml";
  int irc_port = 1;  // where no server listens unless a test starts one
};

inline std::string TestConfig(const ConfigOptions& options) {
  std::string text = ExampleConfigText();
  // Nothing in a test reaches out to a real IRC server.
  text = ReplacedOnce(text, "<IRCDomain>irc.libera.chat</IRCDomain>",
                      "<IRCDomain>127.0.0.1</IRCDomain>");
  text = ReplacedOnce(text, "<IRCPort>6667</IRCPort>",
                      "<IRCPort>" + std::to_string(options.irc_port) + "</IRCPort>");
  if (options.log_everything) {
    text = ReplacedOnce(text, "<LogToFileInformation>false", "<LogToFileInformation>true");
    text = ReplacedOnce(text, "<LogToFileWarnings>false", "<LogToFileWarnings>true");
  }
  if (options.window_show) text = ReplacedOnce(text, "<WindowShow>false", "<WindowShow>true");
  std::string after_outputs;
  if (!options.output_device.empty())
    after_outputs += "\r\n\t\t<OutputDevice>" + options.output_device + "</OutputDevice>";
  if (!options.extra_settings.empty()) after_outputs += "\r\n\t\t" + options.extra_settings;
  if (!after_outputs.empty())
    text = ReplacedOnce(text, "<Output8>N/C</Output8>", "<Output8>N/C</Output8>" + after_outputs);
  return ReplacedOnce(text, "<LogFile>Log.xml</LogFile>",
                      "<LogFile>" + options.log_file + "</LogFile>");
}

}  // namespace zelvo::testing
