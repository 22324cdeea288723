// Shared pieces of the log tests: a temporary program directory, a fake
// clock, fake Log settings and a reader that parses a log file with libxml2.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "log/log_types.h"
#include "model/clock.h"
#include "model/date_time.h"

namespace zelvo::testing {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zelvo-log-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

  // Names of the directory's entries, sorted.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string path_;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

class FakeClock final : public Clock {
 public:
  explicit FakeClock(OleDate now = 0) : now_(now) {}
  OleDate LocalNow() const override { return now_; }
  std::chrono::steady_clock::time_point MonotonicNow() const override { return {}; }
  void Set(const CivilDateTime& civil) { now_ = ToOleDate(civil); }

 private:
  OleDate now_;
};

// Log settings as a loaded configuration would give them; counts the reads.
class FakeLogSettings final : public LogSettingsSource {
 public:
  bool loaded = true;
  std::optional<LogSettings> settings = LogSettings{"true", "true", "true", ""};
  std::string error = "The element \"Zelvo/Log/LogFile\" is missing.";
  mutable int reads = 0;

  bool IsLoaded() const override { return loaded; }
  std::optional<LogSettings> ReadLogSettings(std::string& error_text) const override {
    ++reads;
    if (!settings) error_text = error;
    return settings;
  }
};

struct ReadEntry {
  std::string id;
  std::string type;
  std::string description;
  std::string date_time;
  bool operator==(const ReadEntry&) const = default;
};

// The entries of a log file as libxml2 reads them; std::nullopt when the file
// does not parse or is not a Zelvo/Logs document.
inline std::optional<std::vector<ReadEntry>> ReadLogEntries(const std::string& path) {
  const std::string bytes = ReadBytes(path);
  xmlDoc* doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (doc == nullptr) return std::nullopt;
  std::optional<std::vector<ReadEntry>> result;
  xmlNode* root = xmlDocGetRootElement(doc);
  xmlNode* logs = nullptr;
  if (root != nullptr && xmlStrEqual(root->name, BAD_CAST "Zelvo")) {
    for (xmlNode* child = root->children; child != nullptr && logs == nullptr;
         child = child->next) {
      if (child->type == XML_ELEMENT_NODE && xmlStrEqual(child->name, BAD_CAST "Logs")) {
        logs = child;
      }
    }
  }
  if (logs != nullptr) {
    result.emplace();
    for (xmlNode* log = logs->children; log != nullptr; log = log->next) {
      if (log->type != XML_ELEMENT_NODE) continue;
      ReadEntry entry;
      for (xmlNode* field = log->children; field != nullptr; field = field->next) {
        if (field->type != XML_ELEMENT_NODE) continue;
        xmlChar* text = xmlNodeGetContent(field);
        const std::string value = text != nullptr ? reinterpret_cast<char*>(text) : "";
        xmlFree(text);
        const std::string name = reinterpret_cast<const char*>(field->name);
        if (name == "ID") entry.id = value;
        if (name == "Type") entry.type = value;
        if (name == "Description") entry.description = value;
        if (name == "DateTime") entry.date_time = value;
      }
      result->push_back(entry);
    }
  }
  xmlFreeDoc(doc);
  return result;
}

inline std::vector<std::string> Ids(const std::vector<ReadEntry>& entries) {
  std::vector<std::string> ids;
  for (const ReadEntry& entry : entries) ids.push_back(entry.id);
  return ids;
}

}  // namespace zelvo::testing
