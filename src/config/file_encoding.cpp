#include "config/file_encoding.h"

#include <algorithm>
#include <cctype>

namespace zelvo {
namespace {

// The encoding named in the XML declaration at the start of `bytes`; "" when
// there is none.
std::string DeclaredEncoding(std::string_view bytes) {
  if (bytes.substr(0, 5) != "<?xml") return {};
  const std::string_view declaration = bytes.substr(0, bytes.find("?>"));
  std::size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return {};
  at = declaration.find_first_of("\"'", at);
  if (at == std::string_view::npos) return {};
  const std::size_t end = declaration.find(declaration[at], at + 1);
  if (end == std::string_view::npos) return {};
  return std::string(declaration.substr(at + 1, end - at - 1));
}

// The length of the well-formed UTF-8 sequence of two or more bytes at `i`;
// 0 when none starts there.
std::size_t SequenceAt(std::string_view bytes, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char lead = byte(i);
  std::size_t size = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    size = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    size = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    size = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + size > bytes.size() || byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < size; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  return size;
}

}  // namespace

MisreadUtf8 FindMisreadUtf8(std::string_view bytes) {
  MisreadUtf8 found;
  found.encoding = DeclaredEncoding(bytes);
  std::string upper = found.encoding;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (upper.empty() || upper == "UTF-8" || upper == "UTF8" || upper.rfind("UTF-16", 0) == 0)
    return found;
  int line = 1;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      ++line;
    } else if (const std::size_t size = SequenceAt(bytes, i); size > 0) {
      if (found.lines.empty() || found.lines.back() != line) found.lines.push_back(line);
      i += size - 1;
    }
  }
  return found;
}

}  // namespace zelvo
