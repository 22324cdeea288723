// The bytes of the log file: the layout this program writes, the text of one
// entry, and the libxml2 document used when a file has to be read whole.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "log/log_file.h"

struct _xmlDoc;
struct _xmlNode;

namespace zelvo {

// A new log file starts with the header and ends with the tail; entries go
// between them. One tab per nesting level, LF line ends, UTF-8.
inline constexpr std::string_view kLogHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<Zelvo>\n\t<Logs>\n";
inline constexpr std::string_view kLogTail = "\t</Logs>\n</Zelvo>\n";

// "ERROR", "WARNING", "INFORMATION" for types 1, 2, 4; "" for any other.
std::string LogTypeText(std::int32_t type);

// The text as valid XML character data in UTF-8: valid UTF-8 sequences are
// kept, any other byte is read as an ISO-8859-1 character, and characters XML
// cannot carry (control characters other than tab, LF and CR) become U+FFFD.
std::string ToXmlCharacters(std::string_view text);

// Escapes &, <, > and CR (as "&#13;", so that it survives being read back).
std::string EscapeXmlText(std::string_view utf8);

// One "Log" element at the depth of the file's entries, ending with LF.
std::string LogEntryXml(const LogRecord& record);

// A complete new log file holding just `entries` (LogEntryXml texts).
std::string NewLogFileXml(std::string_view entries);

// How many bytes of a file BeginsAsLog needs at most.
inline constexpr std::size_t kLogStartBytes = 4096;

// True when `start` (the first bytes of a file, up to kLogStartBytes) begins
// as this program's logs do: an optional byte-order mark and XML declaration,
// white space, comments or processing instructions, then the root start tag
// "<Zelvo>" and, after white space or comments, the start of "Logs".
bool BeginsAsLog(std::string_view start);

// What a read of the whole file found out about it.
struct LogShape {
  // The file is well-formed XML and its root `Zelvo` holds a `Logs` element.
  bool usable = false;
  // A new entry may be written as bytes just before `kLogTail`: the file is
  // usable and in UTF-8, ends with `kLogTail`, and the `Logs` element that
  // entries go to is the root's last element.
  bool appendable_in_place = false;
};

// Reads `content` as a stream, without building a tree, network access or
// expanding entities.
LogShape ScanLog(std::string_view content);

// A parsed log file, for files that have to be rewritten whole.
class LogDocument {
 public:
  // Parses `content` without network access and without expanding entities.
  explicit LogDocument(const std::string& content);
  ~LogDocument();
  LogDocument(const LogDocument&) = delete;
  LogDocument& operator=(const LogDocument&) = delete;

  // The file parsed and its root `Zelvo` holds a `Logs` element.
  bool Usable() const { return logs_ != nullptr; }

  // Appends `record` to `Logs` and returns the whole document in the layout
  // of this program (same declaration, one tab per level). Whatever followed
  // `Logs` in the root, or the root in the document (elements, comments,
  // processing instructions), is moved to just before it, so that the result
  // ends with `kLogTail` and takes the next entries in place.
  std::string AppendAndSerialise(const LogRecord& record);

 private:
  _xmlDoc* doc_ = nullptr;
  _xmlNode* logs_ = nullptr;
};

}  // namespace zelvo
