// One received IRC line taken apart: IRCv3 message tags, the prefix (nick,
// user, host), the command and its parameters (the trailing one included).
// `classic` is the line as a server without tags would have sent it: the tag
// block and the blanks after it are cut off, everything else, the line end
// included, stays byte for byte.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zelvo {

struct IrcMessage {
  // Tags in the order received, values unescaped; a tag without "=" has an
  // empty value. A key given twice keeps its last value.
  std::vector<std::pair<std::string, std::string>> tags;
  std::string prefix;   // without the ':'; empty when the line has none
  std::string nick;     // the prefix up to '!' or '@' (a server's name when it has neither)
  std::string user;     // between '!' and '@'
  std::string host;     // after '@'
  std::string command;  // upper-cased; numerics stay three digits
  std::vector<std::string> params;  // the trailing parameter is the last one, without its ':'
  std::string classic;              // the line without its tags, line end kept

  // Sets `prefix` (given without its ':') and the nick, user and host taken from it.
  void SetPrefix(std::string_view text);
  std::optional<std::string> Tag(std::string_view key) const;
  // The parameter at `index`, or "" when there are fewer.
  const std::string& Param(std::size_t index) const;
  bool IsNumeric() const;
};

IrcMessage ParseIrcMessage(std::string_view line);

// The operator's channel line as the server relays it to the others, without
// a line end: ":nick!~user@ip PRIVMSG channel :text".
IrcMessage RelayedOperatorLine(std::string_view nick, std::string_view user, std::string_view ip,
                               std::string_view channel, std::string_view text);

// A tag value with the escapes \: \s \\ \r \n resolved; a backslash before any
// other character stands for that character, a lone one at the end is dropped.
std::string UnescapeTagValue(std::string_view value);

}  // namespace zelvo
