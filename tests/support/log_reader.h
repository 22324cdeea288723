// The entries of an event log file, read back with libxml2 the way another
// program would read the file: under a shared lock, so that an entry the bot
// is appending in place is read whole or not at all.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

namespace zelvo::testing {

// One <Log> element's fields as written in the file.
struct ReadEntry {
  std::string id;
  std::string type;
  std::string description;
  std::string date_time;
  bool operator==(const ReadEntry&) const = default;
};

// The entries of a log file; std::nullopt when the file is missing, does not
// parse or is not a Zelvo/Logs document.
inline std::optional<std::vector<ReadEntry>> ReadLogEntries(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  ::flock(fd, LOCK_SH);
  std::string bytes;
  char chunk[65536];
  for (ssize_t got; (got = ::read(fd, chunk, sizeof chunk)) > 0;) bytes.append(chunk, got);
  ::close(fd);
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

// The entries, or none when the file cannot be read as a log (not yet
// written, for one).
inline std::vector<ReadEntry> LogEntriesOrNone(const std::string& path) {
  return ReadLogEntries(path).value_or(std::vector<ReadEntry>{});
}

inline std::vector<std::string> Ids(const std::vector<ReadEntry>& entries) {
  std::vector<std::string> ids;
  for (const ReadEntry& entry : entries) ids.push_back(entry.id);
  return ids;
}

// The entries' IDs as numbers, oldest first; none when the file cannot be
// read as a log. An ID that is not a number throws.
inline std::vector<int> LoggedIds(const std::string& path) {
  std::vector<int> ids;
  for (const ReadEntry& entry : LogEntriesOrNone(path)) ids.push_back(std::stoi(entry.id));
  return ids;
}

}  // namespace zelvo::testing
