#include "mqtt/payloads.h"

#include <cstdio>

namespace zelvo::mqtt {
namespace {

// The length of the valid UTF-8 sequence at the start of `text`, 0 if none.
std::size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  std::uint32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  if (overlong || surrogate || code > 0x10FFFF) return 0;
  return length;
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      if (const std::size_t length = Utf8SequenceLength(text.substr(i))) {
        out.append(text.substr(i, length));
        i += length;
      } else {  // ISO-8859-1: the byte is the code point
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
        ++i;
      }
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  out += '"';
  return out;
}

std::string IsoTime(const CivilDateTime& local, int utc_offset_minutes) {
  const char sign = utc_offset_minutes < 0 ? '-' : '+';
  const int offset = utc_offset_minutes < 0 ? -utc_offset_minutes : utc_offset_minutes;
  char text[80];  // room for any int fields, so nothing is cut
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.year,
                local.month, local.day, local.hour, local.minute, local.second, sign, offset / 60,
                offset % 60);
  return text;
}

std::string LocalIsoTime(std::time_t when) {
  std::tm tm{};
  ::localtime_r(&when, &tm);
  const CivilDateTime civil{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                            tm.tm_hour,        tm.tm_min,     tm.tm_sec};
  return IsoTime(civil, static_cast<int>(tm.tm_gmtoff / 60));
}

std::string EventJson(const RuleEvent& event) {
  return "{\"rule\":" + JsonString(event.rule) + ",\"nick\":" + JsonString(event.nick) +
         ",\"user\":" + JsonString(event.user) + ",\"host\":" + JsonString(event.host) +
         ",\"account\":" + (event.account ? JsonString(*event.account) : "null") +
         ",\"channel\":" + JsonString(event.channel) + ",\"time\":" + JsonString(event.time) +
         ",\"outputs\":" + std::to_string(event.outputs) + "}";
}

std::string DiscoveryNode(std::string_view client_id) {
  std::string node;
  for (char c : client_id)
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
        c == '-')
      node += c;
  return node.empty() ? std::string(kDefaultPrefix) : node;
}

std::string DiscoveryTopic(std::string_view node, int n) {
  return "homeassistant/switch/" + std::string(node) + "/output" + std::to_string(n) + "/config";
}

bool IsUnusedOutputName(std::string_view name) {
  const std::size_t first = name.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return false;
  name = name.substr(first, name.find_last_not_of(" \t\r\n") + 1 - first);
  return name.size() == 3 && (name[0] == 'N' || name[0] == 'n') && name[1] == '/' &&
         (name[2] == 'C' || name[2] == 'c');
}

std::string DiscoveryPayload(const Topics& topics, std::string_view node, int n,
                             std::string_view name, std::string_view device_name,
                             std::string_view version) {
  const std::string shown = name.empty() ? "Output " + std::to_string(n) : std::string(name);
  const std::string id = std::string(node) + "_output" + std::to_string(n);
  return "{\"name\":" + JsonString(shown) + ",\"unique_id\":" + JsonString(id) +
         ",\"object_id\":" + JsonString(id) +
         ",\"command_topic\":" + JsonString(topics.OutputSet(n)) +
         ",\"state_topic\":" + JsonString(topics.Output(n)) +
         ",\"availability_topic\":" + JsonString(topics.Status()) +
         ",\"payload_available\":\"online\",\"payload_not_available\":\"offline\""
         ",\"payload_on\":\"ON\",\"payload_off\":\"OFF\",\"qos\":1"
         ",\"device\":{\"identifiers\":[" +
         JsonString(node) + "],\"name\":" + JsonString(device_name) +
         ",\"model\":\"Zelvo\",\"sw_version\":" + JsonString(version) + "}}";
}

}  // namespace zelvo::mqtt
