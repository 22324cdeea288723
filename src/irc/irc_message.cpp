#include "irc/irc_message.h"

#include <cctype>

namespace zelvo {

namespace {

std::string_view WithoutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

void SkipBlanks(std::string_view& text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
}

std::string_view TakeWord(std::string_view& text) {
  const std::size_t end = text.find(' ');
  const std::string_view word = text.substr(0, end);
  text.remove_prefix(end == std::string_view::npos ? text.size() : end);
  SkipBlanks(text);
  return word;
}

void ParseTags(std::string_view block, IrcMessage& message) {
  while (!block.empty()) {
    const std::size_t end = block.find(';');
    const std::string_view tag = block.substr(0, end);
    block.remove_prefix(end == std::string_view::npos ? block.size() : end + 1);
    if (tag.empty()) continue;
    const std::size_t equals = tag.find('=');
    std::string key(tag.substr(0, equals));
    std::string value =
        equals == std::string_view::npos ? std::string() : UnescapeTagValue(tag.substr(equals + 1));
    bool replaced = false;
    for (auto& [k, v] : message.tags) {
      if (k == key) {
        v = std::move(value);
        replaced = true;
        break;
      }
    }
    if (!replaced) message.tags.emplace_back(std::move(key), std::move(value));
  }
}

}  // namespace

std::string UnescapeTagValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\') {
      out += value[i];
      continue;
    }
    if (++i == value.size()) break;
    switch (value[i]) {
      case ':':
        out += ';';
        break;
      case 's':
        out += ' ';
        break;
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      default:
        out += value[i];
    }
  }
  return out;
}

void IrcMessage::SetPrefix(std::string_view text) {
  prefix = std::string(text);
  const std::size_t at = text.find('@');
  const std::string_view before_at = text.substr(0, at);
  const std::size_t bang = before_at.find('!');
  nick = std::string(before_at.substr(0, bang));
  user = bang == std::string_view::npos ? std::string() : std::string(before_at.substr(bang + 1));
  host = at == std::string_view::npos ? std::string() : std::string(text.substr(at + 1));
}

IrcMessage RelayedOperatorLine(std::string_view nick, std::string_view user, std::string_view ip,
                               std::string_view channel, std::string_view text) {
  IrcMessage message;
  message.SetPrefix(std::string(nick) + "!~" + std::string(user) + "@" + std::string(ip));
  message.command = "PRIVMSG";
  message.params = {std::string(channel), std::string(text)};
  message.classic = ":" + message.prefix + " PRIVMSG " + message.params[0] + " :" + message.params[1];
  return message;
}

std::optional<std::string> IrcMessage::Tag(std::string_view key) const {
  for (const auto& [k, v] : tags) {
    if (k == key) return v;
  }
  return std::nullopt;
}

const std::string& IrcMessage::Param(std::size_t index) const {
  static const std::string kEmpty;
  return index < params.size() ? params[index] : kEmpty;
}

bool IrcMessage::IsNumeric() const {
  return command.size() == 3 && std::isdigit(static_cast<unsigned char>(command[0])) &&
         std::isdigit(static_cast<unsigned char>(command[1])) &&
         std::isdigit(static_cast<unsigned char>(command[2]));
}

IrcMessage ParseIrcMessage(std::string_view line) {
  IrcMessage message;
  std::string_view rest = line;
  if (!rest.empty() && rest.front() == '@') {
    const std::size_t end = rest.find(' ');
    ParseTags(rest.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1),
              message);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    SkipBlanks(rest);
  }
  message.classic = std::string(rest);

  rest = WithoutLineEnd(rest);
  if (!rest.empty() && rest.front() == ':') {
    rest.remove_prefix(1);
    message.SetPrefix(TakeWord(rest));
  } else {
    SkipBlanks(rest);
  }
  for (char c : TakeWord(rest)) {
    message.command += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  while (!rest.empty()) {
    if (rest.front() == ':') {
      message.params.emplace_back(rest.substr(1));
      break;
    }
    message.params.emplace_back(TakeWord(rest));
  }
  return message;
}

}  // namespace zelvo
