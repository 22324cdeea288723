#include "log/log_xml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlreader.h>
#include <strings.h>

#include <climits>

#include "files/xml_node.h"

namespace zelvo {
namespace {

bool IsXmlChar(std::uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one well-formed UTF-8 sequence at `i`; returns its length, 0 when
// the bytes there are not one (overlong forms and surrogates included).
std::size_t DecodeUtf8(std::string_view text, std::size_t i, std::uint32_t& c) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  std::uint32_t min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, c = lead & 0x1F, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, c = lead & 0x0F, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, c = lead & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

void AppendElement(std::string& out, std::string_view name, std::string_view text) {
  out += "\t\t\t<";
  out += name;
  if (text.empty()) {
    out += "/>\n";
    return;
  }
  out += '>';
  out += EscapeXmlText(ToXmlCharacters(text));
  out += "</";
  out += name;
  out += ">\n";
}

void AddTextChild(xmlDoc* doc, xmlNode* parent, const char* name, const std::string& text) {
  xmlNode* element = xmlNewDocNode(doc, nullptr, BAD_CAST name, nullptr);
  const std::string utf8 = ToXmlCharacters(text);
  if (!utf8.empty())
    xmlAddChild(element,
                xmlNewDocTextLen(doc, BAD_CAST utf8.data(), static_cast<int>(utf8.size())));
  xmlAddChild(parent, element);
}

// Moves every node after `node` (its later siblings) to just before it, in
// their order, so that `node` ends its parent.
void MoveBefore(xmlNode* node) {
  while (node->next != nullptr) xmlAddPrevSibling(node, node->next);
}

}  // namespace

std::string LogTypeText(std::int32_t type) {
  switch (type) {
    case 1:
      return "ERROR";
    case 2:
      return "WARNING";
    case 4:
      return "INFORMATION";
    default:
      return {};
  }
}

std::string ToXmlCharacters(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t c = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    if (c >= 0x80) {
      const std::size_t decoded = DecodeUtf8(text, i, c);
      if (decoded == 0) {
        c = static_cast<unsigned char>(text[i]);  // ISO-8859-1
      } else {
        length = decoded;
      }
    }
    AppendUtf8(out, IsXmlChar(c) ? c : 0xFFFD);
    i += length;
  }
  return out;
}

std::string EscapeXmlText(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (const char c : utf8) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string LogEntryXml(const LogRecord& record) {
  std::string out = "\t\t<Log>\n";
  AppendElement(out, "ID", std::to_string(record.id));
  AppendElement(out, "Type", LogTypeText(record.type));
  AppendElement(out, "Description", record.description);
  AppendElement(out, "DateTime", record.date_time);
  out += "\t\t</Log>\n";
  return out;
}

std::string NewLogFileXml(std::string_view entries) {
  std::string out(kLogHeader);
  out += entries;
  out += kLogTail;
  return out;
}

bool BeginsAsLog(std::string_view start) {
  std::string_view rest = start;
  const auto skip_space = [&] {
    while (!rest.empty() &&
           (rest[0] == ' ' || rest[0] == '\t' || rest[0] == '\r' || rest[0] == '\n')) {
      rest.remove_prefix(1);
    }
  };
  // Skips one "<open ... close>" at the front; false when there is none.
  const auto skip = [&](std::string_view open, std::string_view close) {
    if (!rest.starts_with(open)) return false;
    const std::size_t end = rest.find(close, open.size());
    if (end == std::string_view::npos) return false;
    rest.remove_prefix(end + close.size());
    return true;
  };
  // The start tag `name`: the name, optional white space, then `ends`.
  const auto tag = [&](std::string_view name, std::string_view ends) {
    if (!rest.starts_with(name)) return false;
    rest.remove_prefix(name.size());
    skip_space();
    return !rest.empty() && ends.find(rest[0]) != std::string_view::npos;
  };
  if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);
  skip_space();
  while (skip("<?", "?>") || skip("<!--", "-->")) skip_space();
  if (!tag("<Zelvo", ">")) return false;
  rest.remove_prefix(1);
  skip_space();
  while (skip("<!--", "-->")) skip_space();
  return tag("<Logs", ">/");
}

LogShape ScanLog(std::string_view content) {
  if (content.size() > static_cast<std::size_t>(INT_MAX)) return {};
  xmlTextReader* reader =
      xmlReaderForMemory(content.data(), static_cast<int>(content.size()), nullptr, nullptr,
                         XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (reader == nullptr) return {};
  bool root_is_zelvo = false;
  bool has_logs = false;
  bool element_after_logs = false;
  int status = 0;
  while ((status = xmlTextReaderRead(reader)) == 1) {
    if (xmlTextReaderNodeType(reader) != XML_READER_TYPE_ELEMENT) continue;
    const int depth = xmlTextReaderDepth(reader);
    const xmlChar* name = xmlTextReaderConstLocalName(reader);
    if (depth == 0) {
      root_is_zelvo = xmlStrEqual(name, BAD_CAST "Zelvo");
    } else if (depth == 1) {
      if (has_logs) {
        element_after_logs = true;
      } else {
        has_logs = xmlStrEqual(name, BAD_CAST "Logs");
      }
    }
  }
  const xmlChar* encoding = xmlTextReaderConstEncoding(reader);
  const bool utf8 =
      encoding == nullptr || strcasecmp(reinterpret_cast<const char*>(encoding), "UTF-8") == 0;
  xmlFreeTextReader(reader);
  LogShape shape;
  shape.usable = status == 0 && root_is_zelvo && has_logs;
  shape.appendable_in_place =
      shape.usable && utf8 && !element_after_logs && content.ends_with(kLogTail);
  return shape;
}

LogDocument::LogDocument(const std::string& content) {
  if (content.size() > static_cast<std::size_t>(INT_MAX)) return;
  doc_ =
      xmlReadMemory(content.data(), static_cast<int>(content.size()), nullptr, nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (doc_ == nullptr) return;
  xmlNode* root = xmlDocGetRootElement(doc_);
  if (root == nullptr || !xmlStrEqual(root->name, BAD_CAST "Zelvo")) return;
  logs_ = FirstChildElement(root, "Logs");
}

LogDocument::~LogDocument() {
  if (doc_ != nullptr) xmlFreeDoc(doc_);
}

std::string LogDocument::AppendAndSerialise(const LogRecord& record) {
  MoveBefore(logs_);
  MoveBefore(xmlDocGetRootElement(doc_));
  xmlNode* log = xmlNewDocNode(doc_, nullptr, BAD_CAST "Log", nullptr);
  AddTextChild(doc_, log, "ID", std::to_string(record.id));
  AddTextChild(doc_, log, "Type", LogTypeText(record.type));
  AddTextChild(doc_, log, "Description", record.description);
  AddTextChild(doc_, log, "DateTime", record.date_time);
  xmlAddChild(logs_, log);

  doc_->standalone = 1;
  if (doc_->version == nullptr || !xmlStrEqual(doc_->version, BAD_CAST "1.0")) {
    xmlFree(const_cast<xmlChar*>(doc_->version));
    doc_->version = xmlStrdup(BAD_CAST "1.0");
  }
  const char* saved_indent = xmlTreeIndentString;
  const int saved_indent_output = xmlIndentTreeOutput;
  xmlTreeIndentString = "\t";
  xmlIndentTreeOutput = 1;
  xmlChar* bytes = nullptr;
  int size = 0;
  xmlDocDumpFormatMemoryEnc(doc_, &bytes, &size, "UTF-8", 1);
  xmlTreeIndentString = saved_indent;
  xmlIndentTreeOutput = saved_indent_output;
  std::string out;
  if (bytes != nullptr) {
    out.assign(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
    xmlFree(bytes);
  }
  return out;
}

}  // namespace zelvo
