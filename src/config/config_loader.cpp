#include "config/config_loader.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlschemas.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <vector>

#include "config/resources.h"
#include "files/file_helpers.h"
#include "files/xml_node.h"
#include "irc/crypto_library.h"
#include "irc/ecdsa_challenge.h"
#include "log/messages.h"
#include "model/flags.h"
#include "model/raised_error.h"
#include "model/visible_text.h"
#include "model/server_address.h"

namespace zelvo {

struct ConfigDocument::Impl {
  xmlDocPtr doc = nullptr;

  void Reset(xmlDocPtr replacement = nullptr) {
    if (doc != nullptr) xmlFreeDoc(doc);
    doc = replacement;
  }
  ~Impl() { Reset(); }
};

struct ConfigDocumentAccess {
  static xmlDocPtr Doc(const ConfigDocument& document) { return document.impl_->doc; }
  static void Reset(ConfigDocument& document, xmlDocPtr replacement = nullptr) {
    document.impl_->Reset(replacement);
  }
};

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kConfigFile = "config.xml";
constexpr std::string_view kSchemaFile = "config.xsd";
constexpr std::size_t kMaxCollectedErrors = 64;

std::string FromXmlChars(const xmlChar* text) {
  if (text == nullptr) return {};
  // libxml2 hands out UTF-8 whatever the file's encoding; texts stay UTF-8
  // inside the program.
  return reinterpret_cast<const char*>(text);
}

// One error reported by libxml2, copied out of its transient structure.
struct XmlProblem {
  int code = 0;
  int level = 0;
  std::string message;  // trailing line break removed
  int line = 0;
  int column = 0;
  xmlNodePtr node = nullptr;  // the element validated, while its document lives
};

// Collects libxml2's structured errors while alive, so that nothing reaches
// stderr, and refuses every external resource (DTDs, entities, includes).
class XmlErrorCapture {
 public:
  XmlErrorCapture()
      : saved_structured_(xmlStructuredError),
        saved_structured_context_(xmlStructuredErrorContext),
        saved_generic_(xmlGenericError),
        saved_generic_context_(xmlGenericErrorContext),
        saved_loader_(xmlGetExternalEntityLoader()) {
    xmlSetStructuredErrorFunc(this, StructuredHandler());
    xmlSetGenericErrorFunc(this, &IgnoreGeneric);
    saved_active_ = active_;
    active_ = this;
    xmlSetExternalEntityLoader(&RefuseExternal);
  }
  ~XmlErrorCapture() {
    xmlSetExternalEntityLoader(saved_loader_);
    active_ = saved_active_;
    xmlSetGenericErrorFunc(saved_generic_context_, saved_generic_);
    xmlSetStructuredErrorFunc(saved_structured_context_, saved_structured_);
  }
  XmlErrorCapture(const XmlErrorCapture&) = delete;
  XmlErrorCapture& operator=(const XmlErrorCapture&) = delete;

  // The handler to give to libxml2 APIs that take their own error callback.
  static xmlStructuredErrorFunc StructuredHandler() {
    return [](void* context, auto* error) {
      if (context != nullptr && error != nullptr)
        static_cast<XmlErrorCapture*>(context)->Add(*error);
    };
  }

  void Clear() { problems_.clear(); }
  // The first error (not warning), or failing that the first report of any level.
  const XmlProblem* FirstError() const {
    for (const XmlProblem& problem : problems_) {
      if (problem.level >= XML_ERR_ERROR) return &problem;
    }
    return problems_.empty() ? nullptr : &problems_.front();
  }

 private:
  void Add(const xmlError& error) {
    if (problems_.size() >= kMaxCollectedErrors) return;
    XmlProblem problem;
    problem.code = error.code;
    problem.level = error.level;
    problem.message = FromXmlChars(reinterpret_cast<const xmlChar*>(error.message));
    while (!problem.message.empty() &&
           (problem.message.back() == '\n' || problem.message.back() == '\r')) {
      problem.message.pop_back();
    }
    problem.line = error.line;
    problem.column = error.int2;
    problem.node = static_cast<xmlNodePtr>(error.node);
    problems_.push_back(std::move(problem));
  }
  static void IgnoreGeneric(void*, const char*, ...) {}
  // An external DTD, entity or include is an error of the document, reported
  // where it is referenced.
  static xmlParserInputPtr RefuseExternal(const char* url, const char*, xmlParserCtxtPtr context) {
    if (active_ != nullptr && active_->problems_.size() < kMaxCollectedErrors) {
      XmlProblem problem;
      problem.code = XML_IO_LOAD_ERROR;
      problem.level = XML_ERR_FATAL;
      problem.message = "External resource refused: " + std::string(url != nullptr ? url : "");
      if (context != nullptr && context->input != nullptr) {
        problem.line = context->input->line;
        problem.column = context->input->col;
      }
      active_->problems_.push_back(std::move(problem));
    }
    return nullptr;
  }

  static inline thread_local XmlErrorCapture* active_ = nullptr;
  XmlErrorCapture* saved_active_ = nullptr;

  xmlStructuredErrorFunc saved_structured_;
  void* saved_structured_context_;
  xmlGenericErrorFunc saved_generic_;
  void* saved_generic_context_;
  xmlExternalEntityLoader saved_loader_;
  std::vector<XmlProblem> problems_;
};

// Fields of the load and validation reports.
struct ErrorReport {
  std::int32_t code = 0;
  std::string reason;
  std::int64_t file_pos = 0;
  std::int32_t line = 0;
  std::int32_t line_pos = 0;
  std::string source_text;
  std::string url;
  std::string hint;  // a further line when not empty
};

// A text of several lines as one: each line break (CR LF, LF or CR) and the
// blanks around it become one blank.
std::string OneLine(std::string_view text) {
  std::string out;
  bool at_break = false;
  for (const char c : text) {
    if (c == '\r' || c == '\n') {
      at_break = true;
      continue;
    }
    if (at_break) {
      while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
      if (c == ' ' || c == '\t') continue;
      if (!out.empty()) out += ' ';
      at_break = false;
    }
    out += c;
  }
  return out;
}

// The report's eight lines; each field stays on its line.
std::string FormatReport(std::string_view headline, const ErrorReport& report) {
  std::string text(headline);
  text.append(kCrLf).append("Error-Code: ").append(std::to_string(report.code));
  text.append(kCrLf).append("Error-Reason: ").append(OneLine(report.reason));
  text.append(kCrLf).append("File-Pos: ").append(std::to_string(report.file_pos));
  text.append(kCrLf).append("Line: ").append(std::to_string(report.line));
  text.append(kCrLf).append("Line-Pos: ").append(std::to_string(report.line_pos));
  text.append(kCrLf).append("Source-Text: ").append(OneLine(report.source_text));
  text.append(kCrLf).append("URL: ").append(OneLine(report.url));
  if (!report.hint.empty()) text.append(kCrLf).append(OneLine(report.hint));
  return text;
}

// Builds a report from a libxml2 problem: the byte position is the start of the
// reported line plus the column, the source text is that line without its end.
ErrorReport ReportFromProblem(const XmlProblem* problem, int fallback_code,
                              std::string_view fallback_reason, std::string_view file_bytes,
                              const std::string& url) {
  ErrorReport report;
  report.url = url;
  if (problem == nullptr) {
    report.code = fallback_code;
    report.reason = fallback_reason;
    return report;
  }
  report.code = problem->code;
  report.reason = problem->message;
  report.line = problem->line;
  report.line_pos = problem->column;
  if (problem->line <= 0) return report;

  std::size_t line_start = 0;
  for (int line = 1; line < problem->line; ++line) {
    const std::size_t newline = file_bytes.find('\n', line_start);
    if (newline == std::string_view::npos) break;
    line_start = newline + 1;
  }
  std::size_t line_end = file_bytes.find('\n', line_start);
  if (line_end == std::string_view::npos) line_end = file_bytes.size();
  std::string_view source = file_bytes.substr(line_start, line_end - line_start);
  if (!source.empty() && source.back() == '\r') source.remove_suffix(1);
  report.source_text = std::string(source);
  const std::size_t column =
      problem->column > 0 ? static_cast<std::size_t>(problem->column - 1) : std::size_t{0};
  report.file_pos = static_cast<std::int64_t>(line_start + std::min(column, source.size()));
  return report;
}

struct SchemaDeleter {
  void operator()(xmlSchemaPtr schema) const { xmlSchemaFree(schema); }
};
struct SchemaParserDeleter {
  void operator()(xmlSchemaParserCtxtPtr context) const { xmlSchemaFreeParserCtxt(context); }
};
struct SchemaValidDeleter {
  void operator()(xmlSchemaValidCtxtPtr context) const { xmlSchemaFreeValidCtxt(context); }
};
struct ParserDeleter {
  void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};
struct DocDeleter {
  void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
using SchemaPtr = std::unique_ptr<xmlSchema, SchemaDeleter>;
using DocPtr = std::unique_ptr<xmlDoc, DocDeleter>;

// Compiles the schema text; the library's error is raised with its own number.
SchemaPtr CompileSchema(std::string_view schema_text, XmlErrorCapture& capture) {
  // The file as written ends with one zero byte, which is not part of the XML.
  if (!schema_text.empty() && schema_text.back() == '\0') schema_text.remove_suffix(1);
  if (schema_text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw RaisedError(-1, "\"config.xsd\" is too large.");
  }
  capture.Clear();
  std::unique_ptr<xmlSchemaParserCtxt, SchemaParserDeleter> parser(
      xmlSchemaNewMemParserCtxt(schema_text.data(), static_cast<int>(schema_text.size())));
  if (!parser) throw RaisedError(-1, "Couldn't create the schema parser for \"config.xsd\".");
  xmlSchemaSetParserStructuredErrors(parser.get(), XmlErrorCapture::StructuredHandler(), &capture);
  SchemaPtr schema(xmlSchemaParse(parser.get()));
  if (!schema) {
    const XmlProblem* problem = capture.FirstError();
    std::string description = "Couldn't read \"config.xsd\": ";
    description += problem != nullptr ? problem->message : "the schema doesn't compile.";
    if (problem != nullptr && problem->line > 0) {
      description += " (line " + std::to_string(problem->line) + ")";
    }
    throw RaisedError(problem != nullptr ? problem->code : -1, description);
  }
  return schema;
}

// One child element of a schema's sequence.
struct SequenceItem {
  std::string name;
  bool required = true;
  bool repeats = false;
};

bool IsSchemaElement(xmlNodePtr node, std::string_view local_name) {
  return node != nullptr && node->type == XML_ELEMENT_NODE &&
         local_name == reinterpret_cast<const char*>(node->name);
}

std::string Attribute(xmlNodePtr node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  std::string text = FromXmlChars(value);
  xmlFree(value);
  return text;
}

// The first schema node below `node` (depth first) that is the schema
// element `kind` with the name `name`.
xmlNodePtr FindSchemaNode(xmlNodePtr node, std::string_view kind, std::string_view name) {
  for (xmlNodePtr child = node->children; child != nullptr; child = child->next) {
    if (IsSchemaElement(child, kind) && Attribute(child, "name") == name) return child;
    if (xmlNodePtr found = FindSchemaNode(child, kind, name)) return found;
  }
  return nullptr;
}

// The sequence of child elements that the schema gives the element
// `parent`, through its named type or its own complex type; empty when the
// schema gives it none.
std::vector<SequenceItem> SchemaSequence(xmlDocPtr schema, const std::string& parent) {
  xmlNodePtr root = xmlDocGetRootElement(schema);
  xmlNodePtr element = root != nullptr ? FindSchemaNode(root, "element", parent) : nullptr;
  if (element == nullptr) return {};
  std::string type = Attribute(element, "type");
  type = type.substr(type.find(':') + 1);  // the local name, without a prefix
  xmlNodePtr complex = type.empty() ? element->children : FindSchemaNode(root, "complexType", type);
  while (complex != nullptr && !IsSchemaElement(complex, "complexType")) complex = complex->next;
  if (complex == nullptr) return {};
  std::vector<SequenceItem> items;
  for (xmlNodePtr sequence = complex->children; sequence != nullptr; sequence = sequence->next) {
    if (!IsSchemaElement(sequence, "sequence")) continue;
    for (xmlNodePtr child = sequence->children; child != nullptr; child = child->next) {
      if (!IsSchemaElement(child, "element")) continue;
      const std::string max = Attribute(child, "maxOccurs");
      items.push_back(SequenceItem{Attribute(child, "name"), Attribute(child, "minOccurs") != "0",
                                   !max.empty() && max != "1"});
    }
  }
  return items;
}

// For libxml2's "This element is not expected": a line naming what the
// schema expects at that place and where the element belongs; "" for any
// other problem or when the schema's sequence does not explain it.
std::string OrderHint(const XmlProblem& problem, const std::string& schema_text) {
  xmlNodePtr node = problem.node;
  if (problem.message.find("This element is not expected") == std::string::npos ||
      node == nullptr || node->type != XML_ELEMENT_NODE || node->parent == nullptr ||
      node->parent->type != XML_ELEMENT_NODE) {
    return {};
  }
  std::string_view text = schema_text;
  if (!text.empty() && text.back() == '\0') text.remove_suffix(1);
  const DocPtr schema(xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  if (!schema) return {};
  const std::string parent = FromXmlChars(node->parent->name);
  const std::vector<SequenceItem> sequence = SchemaSequence(schema.get(), parent);
  if (sequence.empty()) return {};
  const auto name_is = [](const std::string& name) {
    return [&name](const SequenceItem& item) { return item.name == name; };
  };

  // The place in the sequence after the elements that stand before `node`.
  std::size_t next = 0;
  for (xmlNodePtr sibling = node->parent->children; sibling != node; sibling = sibling->next) {
    if (sibling->type != XML_ELEMENT_NODE) continue;
    const std::string name = FromXmlChars(sibling->name);
    if (next > 0 && sequence[next - 1].repeats && sequence[next - 1].name == name) continue;
    const auto found = std::find_if(sequence.begin() + static_cast<std::ptrdiff_t>(next),
                                    sequence.end(), name_is(name));
    if (found == sequence.end()) return {};
    next = static_cast<std::size_t>(found - sequence.begin()) + 1;
  }
  std::vector<std::string> expected;
  if (next > 0 && sequence[next - 1].repeats) expected.push_back(sequence[next - 1].name);
  bool end_allowed = true;
  for (std::size_t i = next; i < sequence.size() && end_allowed; ++i) {
    expected.push_back(sequence[i].name);
    end_allowed = !sequence[i].required;
  }
  if (end_allowed) expected.push_back("the end of " + parent);
  std::string listed = expected.size() > 1 ? "one of " : "";
  for (std::size_t i = 0; i < expected.size(); ++i) {
    listed += (i == 0 ? "" : i + 1 == expected.size() ? " or " : ", ") + expected[i];
  }

  const std::string element = FromXmlChars(node->name);
  const auto at = std::find_if(sequence.begin(), sequence.end(), name_is(element));
  std::string placement;
  if (at != sequence.end()) {
    const bool first = at == sequence.begin();
    const bool last = std::next(at) == sequence.end();
    if (first)
      placement = last ? "alone" : "first, before " + std::next(at)->name;
    else if (last)
      placement = "last, after " + std::prev(at)->name;
    else
      placement = "after " + std::prev(at)->name + " and before " + std::next(at)->name;
  }
  return ElementOrderText(parent, element, listed, placement);
}

xmlNodePtr RootElement(const ConfigDocument& document, std::string_view name) {
  xmlDocPtr doc = ConfigDocumentAccess::Doc(document);
  if (doc == nullptr) return nullptr;
  xmlNodePtr root = xmlDocGetRootElement(doc);
  if (root == nullptr || name != reinterpret_cast<const char*>(root->name)) return nullptr;
  return root;
}

std::string MissingElementText(std::string_view path) {
  return "The element \"" + std::string(path) + "\" is missing in \"config.xml\".";
}

// Follows a path of element names from the root element "Zelvo"; raises an
// error naming the path when a step is missing.
xmlNodePtr RequireElement(const ConfigDocument& document,
                          std::initializer_list<std::string_view> path) {
  std::string walked = "Zelvo";
  xmlNodePtr node = RootElement(document, "Zelvo");
  if (node == nullptr) throw RaisedError(-1, MissingElementText(walked));
  for (const std::string_view step : path) {
    walked.append("/").append(step);
    node = FirstChildElement(node, step);
    if (node == nullptr) throw RaisedError(-1, MissingElementText(walked));
  }
  return node;
}

std::string NodeText(xmlNodePtr node) {
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = FromXmlChars(content);
  if (content != nullptr) xmlFree(content);
  return text;
}

std::string RequireAttribute(xmlNodePtr element, const char* name, std::string_view where) {
  xmlChar* value = xmlGetNoNsProp(element, reinterpret_cast<const xmlChar*>(name));
  if (value == nullptr) {
    throw RaisedError(-1, "The attribute \"" + std::string(name) + "\" is missing in " +
                              std::string(where) + " of \"config.xml\".");
  }
  std::string text = FromXmlChars(value);
  xmlFree(value);
  return text;
}

// The attribute's text; "" when it is absent.
std::string OptionalAttribute(xmlNodePtr element, const char* name) {
  xmlChar* value = xmlGetNoNsProp(element, reinterpret_cast<const xmlChar*>(name));
  if (value == nullptr) return {};
  std::string text = FromXmlChars(value);
  xmlFree(value);
  return text;
}

// Runs a conversion and names the element or attribute in its error.
template <typename Convert>
auto ConvertNamed(Convert convert, const std::string& text, std::string_view what) {
  try {
    return convert(text);
  } catch (const RaisedError& error) {
    throw RaisedError(error.Number(),
                      "Invalid value of " + std::string(what) + ": " + error.Description());
  }
}

std::string_view TrimBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

// A decimal number rounded to the nearest integer, halves to even, within
// [minimum, maximum]; raises an error naming the text otherwise.
std::int64_t ToRoundedInteger(const std::string& text, std::int64_t minimum, std::int64_t maximum,
                              std::string_view type_name) {
  const std::string_view number = TrimBlanks(text);
  const auto fail = [&](std::string_view why) -> RaisedError {
    return RaisedError(-1, "Couldn't convert \"" + text + "\" to a " + std::string(type_name) +
                               ": " + std::string(why) + ".");
  };

  std::size_t pos = 0;
  bool negative = false;
  if (pos < number.size() && (number[pos] == '+' || number[pos] == '-')) {
    negative = number[pos] == '-';
    ++pos;
  }
  const std::size_t integer_start = pos;
  while (pos < number.size() && number[pos] >= '0' && number[pos] <= '9') ++pos;
  const std::string_view integer_digits = number.substr(integer_start, pos - integer_start);
  std::string_view fraction_digits;
  if (pos < number.size() && number[pos] == '.') {
    const std::size_t fraction_start = ++pos;
    while (pos < number.size() && number[pos] >= '0' && number[pos] <= '9') ++pos;
    fraction_digits = number.substr(fraction_start, pos - fraction_start);
  }
  if (pos != number.size() || (integer_digits.empty() && fraction_digits.empty())) {
    throw fail("not a number");
  }

  // Magnitude of the integer part, saturating well above any range asked for.
  constexpr std::uint64_t kSaturated = std::uint64_t{1} << 40;
  std::uint64_t magnitude = 0;
  for (const char digit : integer_digits) {
    magnitude = std::min(kSaturated, magnitude * 10 + static_cast<std::uint64_t>(digit - '0'));
  }
  if (!fraction_digits.empty()) {
    const char first = fraction_digits.front();
    const bool rest_nonzero =
        fraction_digits.substr(1).find_first_not_of('0') != std::string_view::npos;
    const bool round_up = first > '5' || (first == '5' && (rest_nonzero || (magnitude % 2) == 1));
    if (round_up) ++magnitude;
  }
  const std::int64_t value =
      negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
  if (value < minimum || value > maximum) throw fail("out of range");
  return value;
}

}  // namespace

// ---------------------------------------------------------------------------
// ConfigDocument

ConfigDocument::ConfigDocument() : impl_(std::make_unique<Impl>()) {}
ConfigDocument::~ConfigDocument() = default;
ConfigDocument::ConfigDocument(ConfigDocument&& other) : impl_(std::make_unique<Impl>()) {
  impl_.swap(other.impl_);
}
ConfigDocument& ConfigDocument::operator=(ConfigDocument&& other) noexcept {
  impl_.swap(other.impl_);
  return *this;
}

bool ConfigDocument::IsLoaded() const {
  // A document without any text counts as nothing loaded.
  if (impl_->doc == nullptr) return false;
  xmlNodePtr root = xmlDocGetRootElement(impl_->doc);
  if (root == nullptr) return false;
  return !NodeText(root).empty();
}

std::optional<LogSettings> ConfigDocument::ReadLogSettings(std::string& error) const {
  try {
    LogSettings settings;
    settings.LogToFileErrors = NodeText(RequireElement(*this, {"Log", "LogToFileErrors"}));
    settings.LogToFileInformation =
        NodeText(RequireElement(*this, {"Log", "LogToFileInformation"}));
    settings.LogToFileWarnings = NodeText(RequireElement(*this, {"Log", "LogToFileWarnings"}));
    settings.LogFile = NodeText(RequireElement(*this, {"Log", "LogFile"}));
    error.clear();
    return settings;
  } catch (const RaisedError& raised) {
    error = raised.Description();
    return std::nullopt;
  }
}

// ---------------------------------------------------------------------------
// Loading and validation

void WriteExampleConfig(const std::string& program_dir, PreLog& prelog) {
  const std::string path = JoinPath(program_dir, "config.example.xml");
  bool in_place = false;
  const std::string error =
      SaveFileText(path, GetResourceText(kExampleConfigResource, "XML"), &in_place);
  if (!error.empty()) throw RaisedError(-1, error);
  prelog.WritePreLog(log_msg::kExampleCreated);
  if (in_place) prelog.WritePreLog(log_msg::kRewrittenInPlace, RewrittenInPlaceText(path));
}

namespace {

// Loads <program_dir>/config.xml into `document` and validates it against the
// schema that `read_schema` returns. `note` receives the pre-log entries (null:
// none); `on_faulty` runs before a load or validation report is raised.
void LoadAndValidate(const std::string& program_dir,
                     const std::function<std::string()>& read_schema, PreLog* note,
                     const std::function<void()>& on_faulty, ConfigDocument& document) {
  const auto log = [note](const LogMessage& message) {
    if (note != nullptr) note->WritePreLog(message);
  };
  constexpr std::string_view kLoadHeadline = "Couldn't load \"config.xml\" into moXMLConfig.";
  constexpr std::string_view kInvalidHeadline = "Invalid \"config.xml\" based on \"config.xsd\".";
  const std::string config_path = JoinPath(program_dir, std::string(kConfigFile));
  std::string url = FullPath(config_path);
  if (url.empty()) url = config_path;

  log(log_msg::kCreatingParser);
  ConfigDocumentAccess::Reset(document);
  XmlErrorCapture capture;

  log(log_msg::kReadingSchema);
  const std::string schema_text = read_schema();
  const SchemaPtr schema = CompileSchema(schema_text, capture);

  log(log_msg::kLoadingConfig);
  const auto fail = [&](std::string_view headline, const ErrorReport& report) {
    if (on_faulty) on_faulty();
    throw RaisedError(-1, FormatReport(headline, report));
  };

  std::string config_bytes;
  if (const std::string error = ReadFileText(config_path, config_bytes); !error.empty()) {
    ErrorReport report;
    report.code = -1;
    report.reason = error;
    report.url = url;
    fail(kLoadHeadline, report);
  }
  if (config_bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    ErrorReport report;
    report.code = -1;
    report.reason = "The file is too large.";
    report.url = url;
    fail(kLoadHeadline, report);
  }

  // Well-formedness only. Internal entities are expanded (the schema validator
  // cannot walk entity references); the capture refuses every external one,
  // and nothing is fetched from the network.
  capture.Clear();
  std::unique_ptr<xmlParserCtxt, ParserDeleter> parser(xmlNewParserCtxt());
  if (!parser) throw RaisedError(-1, "Couldn't create the XML parser.");
  DocPtr doc(xmlCtxtReadMemory(parser.get(), config_bytes.data(),
                               static_cast<int>(config_bytes.size()), url.c_str(), nullptr,
                               XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_BIG_LINES));
  const XmlProblem* load_problem = capture.FirstError();
  const bool loaded = doc != nullptr && parser->wellFormed != 0 &&
                      (load_problem == nullptr || load_problem->level < XML_ERR_ERROR);
  if (!loaded) {
    fail(kLoadHeadline, ReportFromProblem(load_problem, -1, "The document couldn't be loaded.",
                                          config_bytes, url));
  }
  ConfigDocumentAccess::Reset(document, doc.release());

  log(log_msg::kValidatingConfig);
  capture.Clear();
  std::unique_ptr<xmlSchemaValidCtxt, SchemaValidDeleter> validator(
      xmlSchemaNewValidCtxt(schema.get()));
  if (!validator) throw RaisedError(-1, "Couldn't create the schema validator.");
  xmlSchemaSetValidStructuredErrors(validator.get(), XmlErrorCapture::StructuredHandler(),
                                    &capture);
  const int result = xmlSchemaValidateDoc(validator.get(), ConfigDocumentAccess::Doc(document));
  if (result != 0) {
    // The invalid document stays loaded: the log still reads its Log section.
    const XmlProblem* problem = capture.FirstError();
    ErrorReport report = ReportFromProblem(
        problem, result, "The document doesn't match the schema.", config_bytes, url);
    if (problem != nullptr) report.hint = OrderHint(*problem, schema_text);
    fail(kInvalidHeadline, report);
  }

  log(log_msg::kConfigLoaded);
}

}  // namespace

void LoadConfigDocument(const std::string& program_dir, PreLog& prelog, ConfigDocument& document) {
  const auto read_schema = [&program_dir] {
    std::string schema_text;
    const std::string error =
        ReadFileText(JoinPath(program_dir, std::string(kSchemaFile)), schema_text);
    if (!error.empty()) throw RaisedError(-1, error);
    return schema_text;
  };
  const auto on_faulty = [&] {
    prelog.WritePreLog(log_msg::kConfigFaulty);
    WriteExampleConfig(program_dir, prelog);
  };
  LoadAndValidate(program_dir, read_schema, &prelog, on_faulty, document);
}

void ValidateConfigDocument(const std::string& program_dir, const std::string& schema_text,
                            ConfigDocument& document) {
  LoadAndValidate(
      program_dir, [&schema_text] { return schema_text; }, nullptr, {}, document);
}

// ---------------------------------------------------------------------------
// Readers

namespace {

constexpr std::int32_t kMaxDelaySeconds = 86400;

std::string SettingName(std::string_view name) {
  return "\"Zelvo/Settings/" + std::string(name) + "\"";
}

[[noreturn]] void InvalidSetting(std::string_view name, const std::string& why) {
  throw RaisedError(-1, "Invalid value of " + SettingName(name) + ": " + why);
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// A whole number of seconds from `minimum` to kMaxDelaySeconds.
std::int32_t ToSeconds(std::string_view name, const std::string& text, std::int32_t minimum) {
  const std::int32_t value = ConvertNamed(ToInt32, text, SettingName(name));
  if (value < minimum || value > kMaxDelaySeconds) {
    InvalidSetting(name, "\"" + text + "\" is not a number of seconds from " +
                             std::to_string(minimum) + " to " + std::to_string(kMaxDelaySeconds) +
                             ".");
  }
  return value;
}

// A SHA-256 fingerprint: 64 hex digits, either unbroken or as 32 pairs
// separated by colons. Returns the digits in lower case without colons.
std::string ToFingerprint(std::string_view name, const std::string& text) {
  const std::string_view value = TrimBlanks(text);
  const bool with_colons = value.find(':') != std::string_view::npos;
  std::string digits;
  bool valid = value.size() == (with_colons ? 95U : 64U);
  for (std::size_t i = 0; valid && i < value.size(); ++i) {
    const char c = value[i];
    if (with_colons && i % 3 == 2) {
      valid = c == ':';
    } else if (std::isxdigit(static_cast<unsigned char>(c)) != 0) {
      digits += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else {
      valid = false;
    }
  }
  if (!valid) {
    InvalidSetting(name, "\"" + text +
                             "\" is not a SHA-256 fingerprint: write 64 hexadecimal digits, "
                             "in pairs separated by colons or without separators.");
  }
  return digits;
}

// "keep" (letter case ignored; also blank) or a byte 0 to 255 in decimal.
// Returns "keep" or the byte's decimal digits.
// Decimal digits only, at most `limit` (larger values come back as limit + 1).
std::optional<unsigned> DecimalUpTo(std::string_view value, unsigned limit) {
  if (value.empty()) return std::nullopt;
  unsigned number = 0;
  for (const char c : value) {
    if (c < '0' || c > '9') return std::nullopt;
    number = std::min(limit + 1, number * 10 + static_cast<unsigned>(c - '0'));
  }
  return number;
}

// `value` as a port byte 0 to 255 in decimal digits; else refused as
// "TEXT" is neither WORDS nor a port byte from 0 to 255.
std::string ToPortByte(std::string_view name, const std::string& text, std::string_view value,
                       std::string_view words) {
  const auto byte = DecimalUpTo(value, 255);
  if (!byte || *byte > 255) {
    InvalidSetting(name, "\"" + text + "\" is neither " + std::string(words) +
                             " nor a port byte from 0 to 255.");
  }
  return std::to_string(*byte);
}

std::string ToSafeState(std::string_view name, const std::string& text) {
  const std::string_view value = TrimBlanks(text);
  if (value.empty() || LowerAscii(value) == "keep") return "keep";
  return ToPortByte(name, text, value, "\"keep\" (leave the outputs as they are)");
}

// "off" (also blank), "last" (letter case ignored) or a byte 0 to 255.
// Returns "off", "last" or the byte's decimal digits.
std::string ToStartState(std::string_view name, const std::string& text) {
  const std::string value = LowerAscii(TrimBlanks(text));
  if (value.empty() || value == "off") return "off";
  if (value == "last") return value;
  return ToPortByte(name, text, value,
                    "\"off\", \"last\" (the outputs as they were at the last stop)");
}

// "0" (also blank: no limit) or "COUNT/SECONDS", both whole numbers from 1.
Settings::RateLimit ToRateLimit(std::string_view name, const std::string& text) {
  const std::string_view value = TrimBlanks(text);
  if (value.empty() || value == "0") return {};
  const std::size_t slash = value.find('/');
  const auto count = DecimalUpTo(value.substr(0, slash), 1000000);
  const auto seconds = slash == std::string_view::npos
                           ? std::nullopt
                           : DecimalUpTo(value.substr(slash + 1), kMaxDelaySeconds);
  if (!count || !seconds || *count < 1 || *count > 1000000 || *seconds < 1 ||
      *seconds > static_cast<unsigned>(kMaxDelaySeconds)) {
    InvalidSetting(name, "\"" + text +
                             "\" is not a limit: write COUNT/SECONDS, for example 10/60 (at "
                             "most 10 rule runs per sender in 60 seconds), or 0 for none.");
  }
  return {static_cast<std::int32_t>(*count), static_cast<std::int32_t>(*seconds)};
}

// A blank or a control character (C0 or DEL); bytes of UTF-8 sequences are neither.
bool IsBlankOrControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte <= 0x20 || byte == 0x7F;
}

// Account names separated by blanks (spaces, tabs, line ends); an entry
// holding a character no services account name can hold is refused.
std::vector<std::string> ToAccountNames(std::string_view name, const std::string& text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  std::vector<std::string> names;
  for (std::size_t start = text.find_first_not_of(kBlanks); start != std::string::npos;) {
    const std::size_t end = text.find_first_of(kBlanks, start);
    const std::string entry = text.substr(start, end - start);
    start = text.find_first_not_of(kBlanks, end);
    const bool bad = std::any_of(entry.begin(), entry.end(), [](char c) {
      return IsBlankOrControl(c) || std::strchr("!@,*?", c) != nullptr;
    });
    if (bad) {
      InvalidSetting(name, "\"" + VisibleControlText(entry) +
                               "\" is not a services account name: write the owners' account "
                               "names separated by blanks, without control characters, \"!\", "
                               "\"@\", \",\", \"*\" or \"?\".");
    }
    names.push_back(entry);
  }
  return names;
}

// The required IRC texts and the window's size, refused when a server could
// not take them or a window could not have them.
void CheckRequiredSettings(const Settings& settings) {
  if (TrimBlanks(settings.gsIRCDomain).empty()) InvalidSetting("IRCDomain", ServerMissingText());
  const std::string& channel = settings.gsIRCChannel;
  if (std::any_of(channel.begin(), channel.end(),
                  [](char c) { return c == ',' || IsBlankOrControl(c); })) {
    InvalidSetting("IRCChannel", ChannelCharactersText(channel));
  }
  if (channel.empty() || std::string_view("#&+!").find(channel.front()) == std::string_view::npos) {
    InvalidSetting("IRCChannel", ChannelPrefixText(channel));
  }
  const std::string& nickname = settings.gsIRCNickname;
  if (std::any_of(nickname.begin(), nickname.end(), IsBlankOrControl)) {
    InvalidSetting("IRCNickname", NicknameCharactersText(nickname));
  }
  if (!nickname.empty() &&
      (nickname.front() == '-' || std::isdigit(static_cast<unsigned char>(nickname.front())))) {
    InvalidSetting("IRCNickname", NicknameStartText(nickname));
  }
  if (settings.giWindowWidth < 0) {
    InvalidSetting("WindowWidth", NegativeSizeText(settings.giWindowWidth, "width"));
  }
  if (settings.giWindowHeight < 0) {
    InvalidSetting("WindowHeight", NegativeSizeText(settings.giWindowHeight, "height"));
  }
}

constexpr std::string_view kEcdsaMechanism = "ECDSA-NIST256P-CHALLENGE";

// The ECDSA-NIST256P-CHALLENGE key of IRCSASLKeyFile; throws naming what is missing or wrong.
std::shared_ptr<const EcdsaKey> ReadSaslKey(const Settings& settings) {
  const std::string& path = settings.IRCSASLKeyFile;
  if (path.empty() || TrimBlanks(settings.IRCSASLUsername).empty()) {
    throw RaisedError(-1, SaslKeyFileText(SaslKeyProblem::kMissing, path));
  }
  EcdsaKey::Loaded loaded = EcdsaKey::FromPemFile(path);
  switch (loaded.fault) {
    case EcdsaKey::Fault::kNone:
      return std::move(loaded.key);
    case EcdsaKey::Fault::kUnreadable:
      throw RaisedError(-1, SaslKeyFileText(SaslKeyProblem::kUnreadable, path));
    case EcdsaKey::Fault::kNotPemKey:
      throw RaisedError(-1, SaslKeyFileText(SaslKeyProblem::kNotPemKey, path));
    case EcdsaKey::Fault::kNotEc:
      throw RaisedError(-1, SaslKeyFileText(SaslKeyProblem::kNotEc, path));
    case EcdsaKey::Fault::kNotP256:
      throw RaisedError(-1, SaslKeyFileText(SaslKeyProblem::kNotP256, path));
    case EcdsaKey::Fault::kNoLibrary:
      throw RaisedError(-1, LibraryMissingText(loaded.library_error, kCryptoPackage));
  }
  throw RaisedError(-1, SaslKeyFileText(SaslKeyProblem::kNotPemKey, path));
}

// `path` quoted for a POSIX shell when it holds anything but plain characters.
std::string ShellQuoted(const std::string& path) {
  const bool plain = std::all_of(path.begin(), path.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || std::strchr("/._-+,@%=", c);
  });
  if (plain && !path.empty()) return path;
  std::string quoted = "'";
  for (const char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

Settings ReadSettings(const ConfigDocument& document) {
  const auto text = [&](std::string_view name) {
    return NodeText(RequireElement(document, {"Settings", name}));
  };
  const auto int16 = [&](std::string_view name) {
    return ConvertNamed(ToInt16, text(name), "\"Zelvo/Settings/" + std::string(name) + "\"");
  };
  const auto boolean = [&](std::string_view name) {
    return ConvertNamed(ToBoolean, text(name), "\"Zelvo/Settings/" + std::string(name) + "\"");
  };

  Settings settings;
  settings.gsIRCDomain = text("IRCDomain");
  settings.giIRCPort = ConvertNamed(ToPortNumber, text("IRCPort"), SettingName("IRCPort"));
  settings.gsIRCChannel = text("IRCChannel");
  settings.gsIRCUser = text("IRCUser");
  settings.gsIRCNickname = text("IRCNickname");
  settings.giWindowState = int16("WindowState");
  settings.gbWindowShow = boolean("WindowShow");
  settings.giWindowX = int16("WindowX");
  settings.giWindowY = int16("WindowY");
  settings.giWindowWidth = int16("WindowWidth");
  settings.giWindowHeight = int16("WindowHeight");
  CheckRequiredSettings(settings);

  xmlNodePtr section = RequireElement(document, {"Settings"});
  // Optional: the port back-ends in order; none, or a blank one, means "auto".
  settings.OutputDevices.clear();
  for (xmlNodePtr node = section->children; node != nullptr; node = node->next) {
    if (node->type != XML_ELEMENT_NODE ||
        std::string_view("OutputDevice") != reinterpret_cast<const char*>(node->name)) {
      continue;
    }
    const std::string device = NodeText(node);
    const std::string_view trimmed = TrimBlanks(device);
    settings.OutputDevices.emplace_back(trimmed.empty() ? "auto" : trimmed);
  }
  if (settings.OutputDevices.empty()) settings.OutputDevices.emplace_back("auto");
  settings.OutputDevice = settings.OutputDevices.front();

  // The optional settings below keep their defaults when absent.
  const auto optional = [&](std::string_view name) -> std::optional<std::string> {
    xmlNodePtr node = FirstChildElement(section, name);
    if (node == nullptr) return std::nullopt;
    return NodeText(node);
  };
  const auto read_text = [&](std::string_view name, std::string& target) {
    if (auto value = optional(name)) target = std::move(*value);
  };
  const auto read_boolean = [&](std::string_view name, bool& target) {
    if (auto value = optional(name)) target = ConvertNamed(ToBoolean, *value, SettingName(name));
  };

  read_text("IRCPassword", settings.IRCPassword);
  read_text("IRCChannelKey", settings.IRCChannelKey);
  read_text("IRCAltNickname", settings.IRCAltNickname);
  read_boolean("IRCTLS", settings.IRCTLS);
  read_boolean("IRCTLSVerify", settings.IRCTLSVerify);
  read_text("IRCTLSCAFile", settings.IRCTLSCAFile);
  if (auto value = optional("IRCTLSFingerprint"); value && !TrimBlanks(*value).empty()) {
    settings.IRCTLSFingerprint = ToFingerprint("IRCTLSFingerprint", *value);
  }
  read_text("IRCClientCertificate", settings.IRCClientCertificate);
  if (auto value = optional("IRCSASLMechanism")) {
    const std::string mechanism = UpperAscii(TrimBlanks(*value));
    if (!mechanism.empty() && mechanism != "PLAIN" && mechanism != "EXTERNAL" &&
        mechanism != "SCRAM-SHA-256" && mechanism != kEcdsaMechanism) {
      InvalidSetting("IRCSASLMechanism", "\"" + *value +
                                             "\" is not a SASL mechanism: write PLAIN, EXTERNAL, "
                                             "SCRAM-SHA-256 or ECDSA-NIST256P-CHALLENGE.");
    }
    settings.IRCSASLMechanism = mechanism;
  }
  read_text("IRCSASLUsername", settings.IRCSASLUsername);
  read_text("IRCSASLPassword", settings.IRCSASLPassword);
  if ((settings.IRCSASLMechanism == "PLAIN" || settings.IRCSASLMechanism == "SCRAM-SHA-256") &&
      (TrimBlanks(settings.IRCSASLUsername).empty() || settings.IRCSASLPassword.empty())) {
    throw RaisedError(
        -1, SaslPlainIncompleteText(TrimBlanks(settings.IRCSASLUsername).empty(),
                                    settings.IRCSASLPassword.empty(), settings.IRCSASLMechanism));
  }
  if (auto value = optional("IRCSASLKeyFile")) settings.IRCSASLKeyFile = TrimBlanks(*value);
  if (settings.IRCSASLMechanism == kEcdsaMechanism) {
    settings.IRCSASLKey = ReadSaslKey(settings);
  }
  settings.IRCSASLRequired = !settings.IRCSASLMechanism.empty();
  read_boolean("IRCSASLRequired", settings.IRCSASLRequired);
  if (auto value = optional("IRCRejoinDelay")) {
    settings.IRCRejoinDelay = ToSeconds("IRCRejoinDelay", *value, 0);
  }
  if (auto value = optional("IRCPingTimeout")) {
    settings.IRCPingTimeout = ToSeconds("IRCPingTimeout", *value, 1);
  }
  read_boolean("IRCReconnect", settings.IRCReconnect);

  read_text("MQTTBroker", settings.MQTTBroker);
  if (auto value = optional("MQTTTopic"); value && !TrimBlanks(*value).empty()) {
    settings.MQTTTopic = std::move(*value);
  }
  // The bot publishes under this prefix: a wildcard would make it no topic.
  if (settings.MQTTTopic.find_first_of("#+") != std::string::npos) {
    InvalidSetting("MQTTTopic", TopicWildcardText(settings.MQTTTopic));
  }
  read_text("MQTTUsername", settings.MQTTUsername);
  read_text("MQTTPassword", settings.MQTTPassword);
  read_text("MQTTCAFile", settings.MQTTCAFile);
  if (auto value = optional("MQTTClientId"); value && !TrimBlanks(*value).empty()) {
    settings.MQTTClientId = std::move(*value);
  }
  read_boolean("MQTTDiscovery", settings.MQTTDiscovery);
  if (auto value = optional("OutputsOnExit")) {
    settings.OutputsOnExit = ToSafeState("OutputsOnExit", *value);
  }
  if (auto value = optional("OutputsOnDisconnect")) {
    settings.OutputsOnDisconnect = ToSafeState("OutputsOnDisconnect", *value);
  }
  read_boolean("LogSwitches", settings.LogSwitches);
  read_boolean("IgnoreReplayedLines", settings.IgnoreReplayedLines);
  if (auto value = optional("SenderRateLimit")) {
    settings.SenderRateLimit = ToRateLimit("SenderRateLimit", *value);
  }
  if (auto value = optional("OutputMinInterval")) {
    settings.OutputMinInterval = ToSeconds("OutputMinInterval", *value, 0);
  }
  if (auto value = optional("OutputsOnStart")) {
    settings.OutputsOnStart = ToStartState("OutputsOnStart", *value);
  }
  read_boolean("MQTTIgnoreRetainedCommands", settings.MQTTIgnoreRetainedCommands);
  if (auto value = optional("IRCServers")) {
    ServerListResult list = ParseServerList(*value, settings.giIRCPort);
    if (!list.error.empty()) InvalidSetting("IRCServers", list.error);
    settings.IRCServers = std::move(list.servers);
  }
  if (auto value = optional("IRCBindAddress")) {
    const std::string address(TrimBlanks(*value));
    if (!address.empty() && !IsIpAddress(address)) {
      InvalidSetting("IRCBindAddress",
                     "\"" + *value +
                         "\" is not an IP address: write one of this machine's IPv4 or IPv6 "
                         "addresses (for example 192.0.2.10 or 2001:db8::10), or leave it "
                         "empty for any.");
    }
    settings.IRCBindAddress = address;
  }
  read_boolean("IRCSTS", settings.IRCSTS);
  if (auto value = optional("IRCOwners")) settings.IRCOwners = ToAccountNames("IRCOwners", *value);
  return settings;
}

std::string PasswordFileWarning(const std::string& config_path, const Settings& settings) {
  if (settings.IRCPassword.empty() && settings.IRCSASLPassword.empty() &&
      settings.MQTTPassword.empty()) {
    return {};
  }
  struct stat status {};
  if (::stat(config_path.c_str(), &status) != 0 || (status.st_mode & S_IROTH) == 0) return {};
  return "config.xml holds a password and can be read by other users; run: chmod o-r " +
         ShellQuoted(config_path);
}

std::string SaslKeyFileWarning(const Settings& settings) {
  if (!settings.IRCSASLKey) return {};
  const std::string& path = settings.IRCSASLKeyFile;
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || (status.st_mode & (S_IRGRP | S_IROTH)) == 0) return {};
  return SaslKeyReadableText(ShellQuoted(path));
}

void ReadIOCommands(const ConfigDocument& document, const Clock& clock, IOCommands& commands) {
  IOCommands loaded;
  xmlNodePtr list = RequireElement(document, {"IOCommands"});
  int position = 0;
  for (xmlNodePtr element = list->children; element != nullptr; element = element->next) {
    if (element->type != XML_ELEMENT_NODE) continue;  // comments, text, instructions
    ++position;
    const std::string where = "IOCommand " + std::to_string(position);

    auto command = std::make_shared<IOCommand>(clock.LocalNow());
    command->SetIOName(RequireAttribute(element, "IOName", where));
    command->SetIRCTrigger(RequireAttribute(element, "IRCTrigger", where));
    command->SetAutoReturn(ConvertNamed(ToInt32, RequireAttribute(element, "AutoReturn", where),
                                        "\"AutoReturn\" in " + where));
    command->SetExecuteLimit(ConvertNamed(ToInt32, RequireAttribute(element, "ExecuteLimit", where),
                                          "\"ExecuteLimit\" in " + where));

    xmlNodePtr users = FirstChildElement(element, "AllowedUsers");
    if (users == nullptr) {
      throw RaisedError(
          -1, "The element \"AllowedUsers\" is missing in " + where + " of \"config.xml\".");
    }
    for (xmlNodePtr node = users->children; node != nullptr; node = node->next) {
      if (node->type != XML_ELEMENT_NODE) continue;
      auto user = std::make_shared<User>();
      user->SetUsername(RequireAttribute(node, "Username", "a User of " + where));
      user->SetNickname(RequireAttribute(node, "Nickname", "a User of " + where));
      user->SetHost(OptionalAttribute(node, "Host"));
      user->SetAccount(OptionalAttribute(node, "Account"));
      if (const std::string status = OptionalAttribute(node, "Status"); !status.empty()) {
        const std::optional<ChannelStatus> level = ChannelStatusFromName(status);
        if (!level) {
          throw RaisedError(-1, "Invalid value of \"Status\" in a User of " + where + ": \"" +
                                    status + "\" is not voice, halfop, op, admin or owner.");
        }
        user->SetStatus(*level);
      }
      command->Add(std::move(user));
    }

    xmlNodePtr flags = FirstChildElement(element, "Flags");
    if (flags == nullptr) {
      throw RaisedError(-1, "The element \"Flags\" is missing in " + where + " of \"config.xml\".");
    }
    std::vector<std::string> flag_texts;
    for (xmlNodePtr node = flags->children; node != nullptr; node = node->next) {
      if (node->type != XML_ELEMENT_NODE) continue;
      flag_texts.push_back(NodeText(node));
      command->SetExtraFlags(ParseFlag(command->ExtraFlags(), flag_texts.back()));
    }
    command->SetFlagTexts(std::move(flag_texts));

    loaded.Add(std::move(command));
  }
  commands = std::move(loaded);
}

void ReadOutputNames(const ConfigDocument& document, Outputs& outputs) {
  for (int n = 1; n <= kOutputCount; ++n) {
    const std::string name = "Output" + std::to_string(n);
    outputs.SetOutputName(n, NodeText(RequireElement(document, {"Settings", name})));
  }
}

// ---------------------------------------------------------------------------
// Conversions

std::int16_t ToInt16(const std::string& text) {
  return static_cast<std::int16_t>(ToRoundedInteger(text, std::numeric_limits<std::int16_t>::min(),
                                                    std::numeric_limits<std::int16_t>::max(),
                                                    "16-bit integer"));
}

std::int32_t ToPortNumber(const std::string& text) {
  return static_cast<std::int32_t>(ToRoundedInteger(text, 1, 65535, "port number (1 to 65535)"));
}

std::int32_t ToInt32(const std::string& text) {
  return static_cast<std::int32_t>(ToRoundedInteger(text, std::numeric_limits<std::int32_t>::min(),
                                                    std::numeric_limits<std::int32_t>::max(),
                                                    "32-bit integer"));
}

bool ToBoolean(const std::string& text) {
  const std::string_view value = TrimBlanks(text);
  if (value == "true" || value == "1") return true;
  if (value == "false" || value == "0") return false;
  throw RaisedError(-1, "Couldn't convert \"" + text + "\" to a boolean: expected \"true\", " +
                            "\"false\", \"1\" or \"0\".");
}

}  // namespace zelvo
