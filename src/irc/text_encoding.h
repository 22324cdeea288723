// Byte-level text helpers of the IRC client: UTF-8 validation with an
// ISO-8859-1 fallback for received lines, and the removal of the characters
// that would end an outgoing line early.
#pragma once

#include <string>
#include <string_view>

namespace zelvo {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Reads every byte as an ISO-8859-1 character and writes it as UTF-8.
std::string Latin1ToUtf8(std::string_view text);

// `line` unchanged when it is valid UTF-8, else read as ISO-8859-1.
std::string ReceivedLineToUtf8(std::string_view line);

// `text` without any CR, LF or NUL.
std::string RemoveLineBreaks(std::string_view text);

}  // namespace zelvo
