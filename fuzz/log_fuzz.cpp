// Feeds arbitrary bytes to WriteLog as an existing log file. Whatever the file
// held, the write must succeed and leave a Zelvo/Logs document whose last
// entry is the new one; a usable log keeps all its entries, and a file that
// is renamed aside keeps its bytes.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "log/event_log.h"
#include "log/log_xml.h"

namespace {

using namespace zelvo;

class FixedClock final : public Clock {
 public:
  OleDate LocalNow() const override { return ToOleDate({2026, 12, 7, 20, 4, 55}); }
  std::chrono::steady_clock::time_point MonotonicNow() const override { return {}; }
  std::chrono::system_clock::time_point UtcNow() const override { return {}; }
};

// Writes run fast: nothing here has to survive a crash.
class NoSyncOps final : public LogFileOps {
 public:
  int FSync(int) override { return 0; }
};

const char kDescription[] = "fuzz <entry> & more\r\nsecond line";

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "log_fuzz: %s\n", what);
  std::abort();
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

xmlNode* FirstChild(xmlNode* parent, const char* name) {
  for (xmlNode* child = parent->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && xmlStrEqual(child->name, BAD_CAST name)) return child;
  }
  return nullptr;
}

// The number of Log entries of a Zelvo/Logs document; -1 when it is none.
// With `last_is_new`, the last entry must be the one this target writes.
int CountEntries(const std::string& bytes, bool last_is_new) {
  xmlDoc* doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (doc == nullptr) return -1;
  int count = -1;
  xmlNode* root = xmlDocGetRootElement(doc);
  xmlNode* logs = root != nullptr && xmlStrEqual(root->name, BAD_CAST "Zelvo")
                      ? FirstChild(root, "Logs")
                      : nullptr;
  if (logs != nullptr) {
    count = 0;
    xmlNode* last = nullptr;
    for (xmlNode* child = logs->children; child != nullptr; child = child->next) {
      if (child->type != XML_ELEMENT_NODE) continue;
      last = child;
      if (xmlStrEqual(child->name, BAD_CAST "Log")) ++count;
    }
    if (last_is_new) {
      if (last == nullptr || !xmlStrEqual(last->name, BAD_CAST "Log")) Fail("no new entry");
      xmlNode* id = FirstChild(last, "ID");
      xmlNode* description = FirstChild(last, "Description");
      xmlChar* id_text = id != nullptr ? xmlNodeGetContent(id) : nullptr;
      xmlChar* text = description != nullptr ? xmlNodeGetContent(description) : nullptr;
      const bool same = id_text != nullptr && text != nullptr &&
                        xmlStrEqual(id_text, BAD_CAST "7") &&
                        xmlStrEqual(text, BAD_CAST kDescription);
      xmlFree(id_text);
      xmlFree(text);
      if (!same) Fail("the last entry is not the one written");
    }
  }
  xmlFreeDoc(doc);
  return count;
}

const std::filesystem::path& Dir() {
  static const std::filesystem::path dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "zelvo-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) Fail("no temporary directory");
    return std::filesystem::path(pattern);
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::filesystem::path dir = Dir();
  const std::filesystem::path log_path = dir / "Log.xml";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directory(dir);
  std::ofstream(log_path, std::ios::binary) << input;

  const int entries_before = ScanLog(input).usable ? CountEntries(input, false) : -1;
  FixedClock clock;
  NoSyncOps ops;
  EventLog log(dir.string(), clock, &ops);
  const std::string result = log.WriteLog(nullptr, 7, 1, kDescription, clock.LocalNow());
  if (!result.empty()) Fail(result.c_str());

  const int entries_after = CountEntries(ReadBytes(log_path), true);
  if (entries_after < 1) Fail("the log does not parse as Zelvo/Logs");
  if (entries_before >= 0 && entries_after != entries_before + 1) Fail("entries were lost");

  const std::filesystem::path aside = dir / "Log.xml.corrupt-20261207-200455";
  if (std::filesystem::exists(aside)) {
    if (entries_before >= 0) Fail("a usable log was renamed aside");
    if (ReadBytes(aside) != input) Fail("the file renamed aside lost bytes");
    if (entries_after != 1) Fail("a new log holds more than the new entry");
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name != "Log.xml" && entry.path() != aside) Fail("a stray file was left");
  }
  return 0;
}
