// Which nickname to register with, and getting the configured one back.
//
// During registration each 433, 432 or 437 for the nickname being tried
// gives the next one: the alternative nickname (when set), the configured
// nickname with "_", then with two random digits (new digits on every later
// refusal). Each is cut to the server's NICKLEN. Once registered (001) under
// another nickname, "NICK <configured>" is due every 60 s, and at once when
// the holder of the configured nickname is seen to quit or change nickname.
//
// On a server with MONITOR (SetMonitor) the bot watches the configured
// nickname instead of asking every 60 s: "MONITOR + <configured>" while it
// is registered under another one, "NICK <configured>" at once on 731
// (RPL_MONOFFLINE) for it, and "MONITOR - <configured>" once it has it. A
// full watch list (734) brings the 60 s attempts back.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "irc/case_mapping.h"
#include "irc/irc_message.h"
#include "model/random_source.h"

namespace zelvo {

class NickFallback {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  static constexpr std::chrono::seconds kRegainInterval{60};

  NickFallback(std::string configured, std::string alternative, RandomSource random);

  // A new connection: the nickname to register with (the configured one).
  std::string Start();
  // The server's NICKLEN (0: unknown, nothing is cut).
  void SetNickLen(std::size_t nicklen) { nicklen_ = nicklen; }
  // Whether the server's 005 names MONITOR; the next OnMessage (the 005
  // itself) starts watching when due.
  void SetMonitor(bool available) { monitor_ = available && !monitor_full_; }

  // Follows one server message; returns a NICK or MONITOR line to send, if
  // one is due.
  std::optional<std::string> OnMessage(const IrcMessage& message, const CaseMapping& mapping,
                                       TimePoint now);
  // Returns "NICK <configured>" when the regain interval has passed.
  std::optional<std::string> Tick(TimePoint now);

  // The nickname the bot has (after 001) or is trying (before).
  const std::string& Current() const { return current_; }
  bool Registered() const { return registered_; }
  // Registered under another nickname than the configured one.
  bool Regaining() const { return registered_ && !has_configured_; }

 private:
  std::string Cut(std::string nick, std::size_t keep_suffix) const;
  std::string NextCandidate();
  // "MONITOR +" or "-" when watching should start or stop.
  std::optional<std::string> MonitorChange();
  // Whether `targets` (731's comma-separated nick[!user@host] list) names
  // the configured nickname.
  bool NamesConfigured(std::string_view targets, const CaseMapping& mapping) const;

  std::string configured_;
  std::string alternative_;
  RandomSource random_;
  std::size_t nicklen_ = 0;
  std::string current_;
  int step_ = 0;  // 0 configured, 1 alternative, 2 underscore, 3 digits
  bool registered_ = false;
  bool has_configured_ = false;
  bool monitor_ = false;       // the server has MONITOR
  bool monitor_full_ = false;  // it refused the watch (734)
  bool monitoring_ = false;    // "MONITOR +" sent and not taken back
  TimePoint next_regain_{};
};

}  // namespace zelvo
