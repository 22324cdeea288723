#include "irc/sts_policy.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <ctime>
#include <memory>
#include <utility>

#include "files/file_helpers.h"
#include "log/messages.h"

namespace zelvo {

namespace {

// A policy lasts at most this long, whatever the server asks (no overflow).
constexpr std::int64_t kMaxDuration = std::int64_t{100} * 366 * 86400;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Only decimal digits, all of them, within `max`.
std::optional<std::uint64_t> Number(std::string_view text, std::uint64_t max) {
  std::uint64_t n = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || n > max) {
    return std::nullopt;
  }
  return n;
}

// Seconds since 1970 (negative before), all of the text, within what the
// system clock holds (about 292 years either way).
std::optional<std::int64_t> UnixSeconds(std::string_view text) {
  constexpr std::int64_t kMost = 9'000'000'000;
  std::int64_t n = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || n > kMost ||
      n < -kMost) {
    return std::nullopt;
  }
  return n;
}

std::optional<std::int32_t> Port(std::string_view text) {
  const auto n = Number(text, 65535);
  if (!n || *n == 0) return std::nullopt;
  return static_cast<std::int32_t>(*n);
}

struct DocDeleter {
  void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};

std::string Attribute(xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, BAD_CAST name);
  if (value == nullptr) return {};
  std::string out(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return out;
}

}  // namespace

StsOffer ParseStsValue(std::string_view value) {
  StsOffer offer;
  bool port_seen = false, duration_seen = false, preload_seen = false;
  while (!value.empty()) {
    const std::size_t comma = value.find(',');
    const std::string_view token = value.substr(0, comma);
    value.remove_prefix(comma == std::string_view::npos ? value.size() : comma + 1);
    const std::size_t equals = token.find('=');
    const std::string_view key = token.substr(0, equals);
    const std::string_view text =
        equals == std::string_view::npos ? std::string_view() : token.substr(equals + 1);
    // A key counts once: the first time it is listed.
    if (key == "port" && !std::exchange(port_seen, true)) {
      offer.port = Port(text);
    } else if (key == "duration" && !std::exchange(duration_seen, true)) {
      if (const auto n = Number(text, INT64_MAX)) offer.duration = static_cast<std::int64_t>(*n);
    } else if (key == "preload" && !std::exchange(preload_seen, true)) {
      offer.preload = equals == std::string_view::npos;
    }
  }
  return offer;
}

std::optional<StsRule> StsPolicyStore::Find(std::string_view host, WallTime now) const {
  const std::string key = Lower(host);
  if (const auto it = policies_.find(key); it != policies_.end() && *it->second.until > now) {
    return it->second;
  }
  if (const auto it = upgrades_.find(key); it != upgrades_.end()) return StsRule{it->second, {}};
  return std::nullopt;
}

StsPolicyStore::Change StsPolicyStore::Keep(std::string_view host, std::int32_t port,
                                            std::int64_t duration, WallTime now) {
  const std::string key = Lower(host);
  const auto it = policies_.find(key);
  const bool live = it != policies_.end() && *it->second.until > now;
  if (duration <= 0) {
    if (it == policies_.end()) return Change::kNone;
    policies_.erase(it);
    return live ? Change::kRemoved : Change::kNone;
  }
  policies_[key] = StsRule{port, now + std::chrono::seconds(std::min(duration, kMaxDuration))};
  upgrades_.erase(key);
  return live ? Change::kRefreshed : Change::kStored;
}

void StsPolicyStore::Upgrade(std::string_view host, std::int32_t port) {
  upgrades_[Lower(host)] = port;
}

std::string StsPolicyStore::ToXml() const {
  // Built through libxml2, which escapes the host names.
  const std::unique_ptr<xmlDoc, DocDeleter> doc(xmlNewDoc(BAD_CAST "1.0"));
  xmlNode* root = xmlNewNode(nullptr, BAD_CAST "StsPolicies");
  xmlDocSetRootElement(doc.get(), root);
  for (const auto& [host, rule] : policies_) {
    const auto until =
        std::chrono::duration_cast<std::chrono::seconds>(rule.until->time_since_epoch());
    xmlNode* policy = xmlNewChild(root, nullptr, BAD_CAST "Policy", nullptr);
    xmlNewProp(policy, BAD_CAST "host", BAD_CAST host.c_str());
    xmlNewProp(policy, BAD_CAST "port", BAD_CAST std::to_string(rule.port).c_str());
    xmlNewProp(policy, BAD_CAST "until", BAD_CAST std::to_string(until.count()).c_str());
  }
  xmlChar* text = nullptr;
  int size = 0;
  xmlDocDumpFormatMemoryEnc(doc.get(), &text, &size, "UTF-8", 1);
  std::string xml(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size));
  xmlFree(text);
  return xml;
}

std::string StsPolicyStore::FromXml(std::string_view xml) {
  policies_.clear();
  if (xml.size() > static_cast<std::size_t>(INT_MAX)) return "it is too large";
  const std::unique_ptr<xmlDoc, DocDeleter> doc(
      xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  if (!doc) return "it is not well-formed XML";
  xmlNode* root = xmlDocGetRootElement(doc.get());
  if (root == nullptr || !xmlStrEqual(root->name, BAD_CAST "StsPolicies")) {
    return "its root element is not StsPolicies";
  }
  std::map<std::string, StsRule> read;
  for (xmlNode* node = root->children; node != nullptr; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    const std::string host = Lower(Attribute(node, "host"));
    const auto port = Port(Attribute(node, "port"));
    const auto until = UnixSeconds(Attribute(node, "until"));
    if (!xmlStrEqual(node->name, BAD_CAST "Policy") || host.empty() || !port || !until) {
      return "it holds an element that is not a Policy with a host, a port and an expiry";
    }
    read[host] = StsRule{*port, WallTime(std::chrono::seconds(*until))};
  }
  policies_ = std::move(read);
  return {};
}

std::string ReadStsFile(const std::string& path, StsPolicyStore& store) {
  store = StsPolicyStore();
  if (!FileExists(path)) return {};
  std::string text;
  if (!ReadFileText(path, text).empty()) return StsFileDamagedText(path, "it cannot be read");
  const std::string why = store.FromXml(text);
  return why.empty() ? std::string() : StsFileDamagedText(path, why);
}

std::string WriteStsFile(const std::string& path, const StsPolicyStore& store) {
  return SaveFileText(path, store.ToXml());
}

std::string UtcText(WallTime time) {
  const std::time_t t = std::chrono::system_clock::to_time_t(time);
  std::tm tm{};
  char text[32] = "";
  if (gmtime_r(&t, &tm) == nullptr ||
      std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm) == 0) {
    return std::to_string(static_cast<long long>(t)) + " s after 1970 UTC";
  }
  return text;
}

ConnectTarget ApplySts(ConnectTarget target, const StsPolicyStore& store, WallTime now) {
  target.sts = store.Find(target.host, now);
  if (!target.sts) return target;
  if (!target.tls) target.port = target.sts->port;
  target.tls = true;
  target.verify = true;
  return target;
}

}  // namespace zelvo
