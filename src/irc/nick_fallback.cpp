#include "irc/nick_fallback.h"

#include <cstdio>

namespace zelvo {

NickFallback::NickFallback(std::string configured, std::string alternative, RandomSource random)
    : configured_(std::move(configured)),
      alternative_(std::move(alternative)),
      random_(std::move(random)) {}

std::string NickFallback::Cut(std::string nick, std::size_t keep_suffix) const {
  if (nicklen_ == 0 || nick.size() <= nicklen_) return nick;
  const std::size_t suffix = std::min(keep_suffix, nicklen_);
  return nick.substr(0, nicklen_ - suffix) + nick.substr(nick.size() - suffix);
}

std::string NickFallback::Start() {
  registered_ = false;
  has_configured_ = false;
  monitor_ = false;
  monitor_full_ = false;
  monitoring_ = false;
  step_ = 0;
  current_ = Cut(configured_, 0);
  return current_;
}

std::string NickFallback::NextCandidate() {
  if (step_ < 1 && !alternative_.empty() && alternative_ != configured_) {
    step_ = 1;
    return Cut(alternative_, 0);
  }
  if (step_ < 2) {
    step_ = 2;
    return Cut(configured_ + "_", 1);
  }
  step_ = 3;
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02u", static_cast<unsigned>(random_() % 100));
  return Cut(configured_ + digits, 2);
}

std::optional<std::string> NickFallback::OnMessage(const IrcMessage& message,
                                                   const CaseMapping& mapping, TimePoint now) {
  const std::string& command = message.command;
  if (command == "001") {
    registered_ = true;
    if (!message.Param(0).empty()) current_ = message.Param(0);
    has_configured_ = mapping.Equal(current_, Cut(configured_, 0));
    next_regain_ = now + kRegainInterval;
    return std::nullopt;
  }
  if (!registered_) {
    if ((command == "433" || command == "432" || command == "437") &&
        mapping.Equal(message.Param(1), current_)) {
      current_ = NextCandidate();
      return "NICK " + current_;
    }
    return std::nullopt;
  }
  if (command == "NICK" && mapping.Equal(message.nick, current_)) {
    current_ = message.Param(0);
    has_configured_ = mapping.Equal(current_, Cut(configured_, 0));
    return MonitorChange();
  }
  if (command == "734" && monitoring_) {
    monitor_full_ = true;
    monitor_ = false;
    monitoring_ = false;
    next_regain_ = now;
    return std::nullopt;
  }
  if (has_configured_) return std::nullopt;
  if (((command == "QUIT" || command == "NICK") &&
       mapping.Equal(message.nick, Cut(configured_, 0))) ||
      (command == "731" && monitoring_ && NamesConfigured(message.Param(1), mapping))) {
    next_regain_ = now + kRegainInterval;
    return "NICK " + Cut(configured_, 0);
  }
  return MonitorChange();
}

std::optional<std::string> NickFallback::MonitorChange() {
  const bool watch = monitor_ && registered_ && !has_configured_;
  if (watch == monitoring_) return std::nullopt;
  monitoring_ = watch;
  return (watch ? "MONITOR + " : "MONITOR - ") + Cut(configured_, 0);
}

bool NickFallback::NamesConfigured(std::string_view targets, const CaseMapping& mapping) const {
  const std::string wanted = Cut(configured_, 0);
  while (!targets.empty()) {
    const std::size_t comma = targets.find(',');
    const std::string_view target = targets.substr(0, comma);
    if (mapping.Equal(target.substr(0, target.find('!')), wanted)) return true;
    targets.remove_prefix(comma == std::string_view::npos ? targets.size() : comma + 1);
  }
  return false;
}

std::optional<std::string> NickFallback::Tick(TimePoint now) {
  if (!registered_ || has_configured_ || monitoring_ || now < next_regain_) return std::nullopt;
  next_regain_ = now + kRegainInterval;
  return "NICK " + Cut(configured_, 0);
}

}  // namespace zelvo
