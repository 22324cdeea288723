#include "irc/isupport.h"

#include <charconv>

namespace zelvo {

namespace {

void ApplyToken(ISupport& s, std::string_view key, std::string_view value, bool withdrawn) {
  const ISupport defaults;
  if (key == "CASEMAPPING") {
    s.casemapping = withdrawn ? defaults.casemapping : CaseMapping::FromToken(value);
  } else if (key == "NICKLEN") {
    std::size_t n = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), n);
    s.nicklen = withdrawn || error != std::errc() ? 0 : n;
  } else if (key == "PREFIX") {
    s.prefix_modes = defaults.prefix_modes;
    s.prefix_symbols = defaults.prefix_symbols;
    if (withdrawn) return;
    const std::size_t close = value.find(')');
    if (value.empty()) {
      s.prefix_modes.clear();
      s.prefix_symbols.clear();
    } else if (value.front() == '(' && close != std::string_view::npos &&
               value.size() - close - 1 == close - 1) {
      s.prefix_modes = std::string(value.substr(1, close - 1));
      s.prefix_symbols = std::string(value.substr(close + 1));
    }
  } else if (key == "BOT") {
    s.bot_mode = withdrawn || value.empty() ? 0 : value.front();
  } else if (key == "MONITOR") {
    s.monitor = !withdrawn;
  } else if (key == "CHANTYPES") {
    s.chantypes = withdrawn ? defaults.chantypes : std::string(value);
  } else if (key == "CHANMODES") {
    std::string* groups[] = {&s.chanmodes_list, &s.chanmodes_always, &s.chanmodes_when_set,
                             &s.chanmodes_never};
    const std::string* fallback[] = {&defaults.chanmodes_list, &defaults.chanmodes_always,
                                     &defaults.chanmodes_when_set, &defaults.chanmodes_never};
    for (std::size_t i = 0; i < 4; ++i) {
      const std::size_t comma = value.find(',');
      *groups[i] = withdrawn ? *fallback[i] : std::string(value.substr(0, comma));
      value.remove_prefix(comma == std::string_view::npos ? value.size() : comma + 1);
    }
  }
}

}  // namespace

bool ISupport::Apply(const IrcMessage& message) {
  if (message.command != "005") return false;
  // The first parameter is the bot's nick and the last the "are supported" text.
  for (std::size_t i = 1; i + 1 < message.params.size(); ++i) {
    std::string_view token = message.params[i];
    const bool withdrawn = !token.empty() && token.front() == '-';
    if (withdrawn) token.remove_prefix(1);
    const std::size_t equals = token.find('=');
    ApplyToken(*this, token.substr(0, equals),
               equals == std::string_view::npos ? std::string_view() : token.substr(equals + 1),
               withdrawn);
  }
  return true;
}

char ISupport::ModeForSymbol(char symbol) const {
  const std::size_t at = prefix_symbols.find(symbol);
  return at == std::string::npos || at >= prefix_modes.size() ? 0 : prefix_modes[at];
}

bool ISupport::ModeTakesParam(char mode, bool set) const {
  if (prefix_modes.find(mode) != std::string::npos) return true;
  if (chanmodes_list.find(mode) != std::string::npos) return true;
  if (chanmodes_always.find(mode) != std::string::npos) return true;
  if (chanmodes_when_set.find(mode) != std::string::npos) return set;
  return false;
}

bool ISupport::IsChannel(std::string_view target) const {
  return !target.empty() && chantypes.find(target.front()) != std::string::npos;
}

}  // namespace zelvo
