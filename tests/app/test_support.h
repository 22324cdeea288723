// Temporary program directories, configurations and log reading for the
// application's tests.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "config/file_helpers.h"

namespace zelvo::testing {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zelvo-test-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteAll(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline bool Exists(const std::string& path) {
  return std::filesystem::exists(path);
}

inline void ReplaceOnce(std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
}

// The example configuration with changes for tests.
struct ConfigOptions {
  bool log_everything = true;
  bool window_show = false;
  std::string output_device;  // empty: no OutputDevice element
  std::string log_file = "Log.xml";
};

inline std::string ExampleConfig() {
  return GetResourceText(kExampleConfigResource, "XML");
}

inline std::string TestConfig(const ConfigOptions& options) {
  std::string text = ExampleConfig();
  // Nothing in a test reaches out to a real IRC server.
  ReplaceOnce(text, "<IRCDomain>irc.libera.chat</IRCDomain>", "<IRCDomain>127.0.0.1</IRCDomain>");
  ReplaceOnce(text, "<IRCPort>6667</IRCPort>", "<IRCPort>1</IRCPort>");
  if (options.log_everything) {
    ReplaceOnce(text, "<LogToFileInformation>false", "<LogToFileInformation>true");
    ReplaceOnce(text, "<LogToFileWarnings>false", "<LogToFileWarnings>true");
  }
  if (options.window_show) ReplaceOnce(text, "<WindowShow>false", "<WindowShow>true");
  if (!options.output_device.empty())
    ReplaceOnce(
        text, "<Output8>N/C</Output8>",
        "<Output8>N/C</Output8>\r\n\t\t<OutputDevice>" + options.output_device + "</OutputDevice>");
  ReplaceOnce(text, "<LogFile>Log.xml</LogFile>", "<LogFile>" + options.log_file + "</LogFile>");
  return text;
}

struct LoggedEntry {
  int id = 0;
  std::string type;
  std::string description;
};

inline std::string XmlUnescape(std::string text) {
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&lt;", "<"},   {"&gt;", ">"},   {"&quot;", "\""}, {"&apos;", "'"},
      {"&#13;", "\r"}, {"&#xD;", "\r"}, {"&amp;", "&"}};
  for (const auto& [entity, character] : kEntities) {
    for (std::size_t at = text.find(entity); at != std::string::npos;
         at = text.find(entity, at + 1))
      text.replace(at, std::char_traits<char>::length(entity), character);
  }
  return text;
}

// The entries of a log file, oldest first.
inline std::vector<LoggedEntry> ReadLog(const std::string& path) {
  const std::string text = ReadAll(path);
  static const std::regex kEntry(
      "<Log>\\s*<ID>(-?\\d+)</ID>\\s*<Type>([A-Z]*)</Type>\\s*<Description>([\\s\\S]*?)"
      "</Description>");
  std::vector<LoggedEntry> entries;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), kEntry);
       it != std::sregex_iterator(); ++it)
    entries.push_back({std::stoi((*it)[1]), (*it)[2], XmlUnescape((*it)[3])});
  return entries;
}

inline std::vector<int> LoggedIds(const std::string& path) {
  std::vector<int> ids;
  for (const LoggedEntry& entry : ReadLog(path)) ids.push_back(entry.id);
  return ids;
}

}  // namespace zelvo::testing
