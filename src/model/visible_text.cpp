#include "model/visible_text.h"

#include <cstddef>
#include <cstdint>

namespace zelvo {

namespace {

// Length of the well-formed UTF-8 sequence at `at`, or 0.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;  // bounds of the first continuation byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  return length;
}

bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

void AppendEscape(std::string& out, const char* prefix, std::uint8_t code) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += prefix;
  out.push_back(kHex[code >> 4]);
  out.push_back(kHex[code & 0x0F]);
}

}  // namespace

std::string VisibleControlText(std::string_view text) {
  const bool utf8 = IsUtf8(text);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto code = static_cast<std::uint8_t>(text[i]);
    const bool line_end =
        code == '\n' || (code == '\r' && i + 1 < text.size() && text[i + 1] == '\n');
    if (code == '\t' || line_end) {
      out.push_back(text[i]);
    } else if (code < 0x20 || code == 0x7F) {
      AppendEscape(out, "\\x", code);
    } else if (utf8 && code == 0xC2 && i + 1 < text.size() &&
               static_cast<std::uint8_t>(text[i + 1]) <= 0x9F) {
      // U+0080 to U+009F; the text is valid, so a continuation byte follows.
      AppendEscape(out, "\\u00", static_cast<std::uint8_t>(text[++i]));
    } else if (!utf8 && code >= 0x80 && code <= 0x9F) {
      AppendEscape(out, "\\u00", code);
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace zelvo
