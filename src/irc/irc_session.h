// The IRC client's session: connects (plain or TLS), registers (CAP, SASL,
// PASS, NICK with fallback, USER; without 001 within kRegistrationTimeout, or
// when a required SASL login fails, it sends "QUIT :<reason>" and the attempt
// counts as lost), follows the capabilities the server adds or withdraws
// later (cap-notify: a log entry, and WHOX when account tracking is lost),
// joins after the welcome and rejoins after a kick, watches the link,
// reconnects after any loss (the next server of IRCServers at once, a new
// round of them after a growing wait: ServerRotation), reports the
// connection state in the caption and the log, frames received data into
// lines (parsing each once, answering PINGs, showing it and handing it to
// the rules, but for a channel line played back from before the join, which
// is shown marked and fires nothing (ReplayFilter); at most kLinesPerPass
// lines per data event, the rest in later ones, so that signals and timers
// are handled in between), and sends every outgoing line after registration
// through a flood-protected queue.
//
// With IRCSTS it follows the servers' strict transport security policies
// (sts_policy.h): a plain connection whose server lists a policy port is
// given up at once ("QUIT :<reason>", nothing else sent) for a verified TLS
// one to that port; a policy listed over a verified TLS connection is kept,
// until it expires, in the policy file (read once, at the first attempt), and
// every attempt to that host goes over verified TLS while a policy or such an
// upgrade holds, never falling back to plain text. Without IRCSTS policies
// are ignored, logged once per run.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "irc/cap_negotiation.h"
#include "irc/channel_roster.h"
#include "irc/irc_connection.h"
#include "irc/irc_sender.h"
#include "irc/isupport.h"
#include "irc/line_event.h"
#include "irc/line_framer.h"
#include "irc/link_watchdog.h"
#include "irc/nick_fallback.h"
#include "irc/replay_filter.h"
#include "irc/send_queue.h"
#include "irc/server_rotation.h"
#include "irc/socket.h"
#include "irc/sts_policy.h"
#include "log/messages.h"
#include "model/clock.h"
#include "model/console.h"
#include "model/random_source.h"
#include "model/reconnect_backoff.h"
#include "model/settings.h"

namespace zelvo {

struct IrcHooks {
  // Holds one line against the rules: each received line after the session
  // has followed it, and each operator's line sent to the channel.
  std::function<void(const LineEvent&)> match;
  // Writes one entry to the event log.
  LogWriter log;
  // Sets the main window's caption.
  std::function<void(const std::string&)> caption;
  // The file that keeps the strict transport security policies; "" keeps
  // them in memory only.
  std::string sts_file;
};

class IrcSession final : public IrcConnection, public IrcSender, public SocketEvents {
 public:
  // Without 001 this long after connecting, the attempt is given up.
  static constexpr std::chrono::seconds kRegistrationTimeout{60};
  // A connection registered this long before it is lost counts as stable:
  // the next attempt waits the shortest time again.
  static constexpr std::chrono::seconds kStableConnection{60};
  // The most received lines handled in one data event.
  static constexpr std::size_t kLinesPerPass = 100;

  // Everything passed in must outlive the session. Hooks may be empty.
  IrcSession(const Settings& settings, Socket& socket, const Clock& clock, Console& console,
             IrcHooks hooks, SendQueue::Limits limits = {},
             RandomSource random = SystemRandomSource());

  // Sets the matcher later (the matcher usually needs this session first).
  void SetMatcher(std::function<void(const LineEvent&)> match) { hooks_.match = std::move(match); }
  // Called after the connection state as the caption shows it, or the
  // nickname, has changed (read them through the accessors below).
  void SetStateChanged(std::function<void()> changed) { state_changed_ = std::move(changed); }

  // IrcConnection
  // Starts a connection attempt (at start, and again after each loss) to the
  // server the rotation names, from IRCBindAddress when one is set.
  void ConnectToServer() override;
  // Sends "PRIVMSG <channel> :<typed>" (line breaks removed), echoes it on
  // the console as the server would relay it from the nickname in use, and
  // hands it to the rules as an OperatorLine; false, doing nothing, unless
  // connected and registered.
  bool SendOperatorLine(std::string_view typed) override;
  // Closes the socket; later socket events are ignored.
  void Close() override;

  // IrcSender: queues a reply line (CR, LF and NUL in it are removed and one
  // CR LF ends it); "" or console_text::kNotConnected (also before registration).
  std::string SendLine(std::string_view line) override;
  std::string LocalIP() const override;

  // SocketEvents
  void sckIRC_Connect() override;
  void sckIRC_DataArrival(std::int32_t bytes_total) override;
  void sckIRC_Error(const SocketError& error) override;
  void sckIRC_ConnectionRequest(std::int32_t request_id) override;
  void sckIRC_SendComplete() override;
  void sckIRC_Close() override;
  void sckIRC_TlsError(const TlsFailure& failure) override;

  // The connection's tick: sends what the flood limit allows now, reports
  // dropped replies, and runs the timeouts (capability negotiation, SASL,
  // nickname regain, rejoin, dead link, reconnect). The event loop calls it
  // about ten times a second.
  void tmrSendQueue_Timer();

  // Reads the socket state; logs a change of it, and shows the connection
  // state in the caption when that has changed.
  void ReportConnectionState();

  const std::string& SocketStateText() const { return msSocketState; }
  const std::string& IrcStateText() const { return msIRCState; }
  // What the caption shows in parentheses: the registration, channel or
  // reconnect state in words, else the socket state text.
  std::string ConnectionStateText() const;
  std::size_t QueuedLines() const { return queue_.Size(); }

  // The nickname the bot has (after 001) or tries (before).
  const std::string& Nickname() const { return nick_.Current(); }
  bool Registered() const { return phase_ == Phase::kRegistered; }
  // What the server told about its channel members and itself.
  const ChannelRoster& Roster() const { return roster_; }
  const ISupport& Server() const { return server_; }
  // Why the bot is not where it should be, with the setting to check: the
  // last attempt's failure until a connection stands, or the channel's
  // refusal until the bot is in it; "" otherwise.
  const std::string& Problem() const { return problem_; }
  // The server of the attempt under way or the last one ("host:port", or
  // "host:+port" with TLS); IRCDomain and IRCPort before the first.
  std::string ServerInUse() const;
  // The wait before the next attempt while one is due; zero otherwise.
  std::chrono::steady_clock::duration ReconnectWait() const { return wait_; }

  enum class Phase {
    kIdle,         // not started, or closed by the program
    kConnecting,   // an attempt is under way
    kRegistering,  // connected, before 001
    kRegistered,   // after 001
    kWaiting,      // lost; the next attempt is due at ReconnectAt
    kStopped,      // lost, and reconnecting is off
  };
  Phase CurrentPhase() const { return phase_; }
  // While kWaiting: when the next attempt is due (monotonic clock).
  std::chrono::steady_clock::time_point ReconnectAt() const { return reconnect_at_; }

 private:
  using TimePoint = std::chrono::steady_clock::time_point;

  // Parses one received line (with its line end), follows and answers it,
  // shows it and hands it to the rules unless it is replayed.
  void HandleLine(const std::string& raw);
  // Follows one message: registration, nickname, channel, 005, ERROR. True
  // when it moved registration on (an answer to negotiation, a NICK, 001).
  bool Follow(const IrcMessage& message, TimePoint now);
  void FollowCap(const CapOutput& output);
  // The "sts" value the server listed, once per connection; true when the
  // connection is given up for a TLS one.
  bool FollowSts();
  // `target` as the strict transport security policies have it (reading the
  // policy file at the first call), logging a move onto TLS.
  ConnectTarget WithSts(ConnectTarget target);
  // Shows and logs a strict transport security entry.
  void StsNote(const LogMessage& message, const std::string& text);
  void AnswerPing(const IrcMessage& message);
  void SendJoin();
  // The connection is gone or must go: closes it and waits for the next
  // attempt (or stops when reconnecting is off). `why` prefixes the caption;
  // `problem` becomes Problem(). `at_once`: the next attempt starts at the
  // next tick, without a wait and even when reconnecting is off.
  void Lost(const std::string& why, std::string problem = "", bool at_once = false);
  // The attempt failed for `cause`: logs it as `message`, shows it on the
  // console and as the Problem(), and is Lost(why).
  void FailAttempt(const LogMessage& message, std::string_view cause, const std::string& why);
  // Sends at once before registration, else through the queue.
  void SendProtocolLine(std::string_view text);
  void Enqueue(std::string_view text, SendQueue::Kind kind);
  void Drain();
  void Log(const LogMessage& message, const std::string& text);
  // A text as it may be shown: the configured secrets masked.
  std::string Shown(std::string_view text) const;

  const Settings& settings_;
  Socket& socket_;
  const Clock& clock_;
  Console& console_;
  IrcHooks hooks_;
  LineFramer framer_;
  // Framed lines not handled yet; pending_[pending_next_] is the next.
  std::vector<std::string> pending_;
  std::size_t pending_next_ = 0;
  SendQueue queue_;
  bool closed_ = false;

  RandomSource random_;
  Phase phase_ = Phase::kIdle;
  ISupport server_;
  ChannelRoster roster_;
  // Lines played back from before the join are shown marked and fire nothing.
  ReplayFilter replay_{settings_, server_, clock_, hooks_.log};
  // A capability that kept the accounts current went away: WHOX once the
  // message at hand is followed.
  CapConsumers cap_consumers_{roster_, [this] { refresh_accounts_ = true; }};
  bool refresh_accounts_ = false;
  CapNegotiation cap_{TellConsumers(cap_consumers_)};
  NickFallback nick_;
  LinkWatchdog watchdog_;
  ReconnectBackoff backoff_;       // before the next connection attempt
  ReconnectBackoff join_backoff_;  // before joining again after a refusal
  ServerRotation rotation_;        // which server the next attempt tries
  std::vector<std::string> secrets_;
  TimePoint reconnect_at_{};
  std::chrono::steady_clock::duration wait_{};
  std::string wait_text_;
  std::optional<TimePoint> rejoin_at_;
  TimePoint registration_deadline_{};
  bool bot_mode_sent_ = false;
  bool roster_full_logged_ = false;  // once per connection
  bool whox_ = false;
  bool chantypes_checked_ = false;  // once per connection
  bool received_ = false;           // anything on this connection yet
  ServerAddress attempt_;           // the server of the attempt
  std::string target_;              // host:port of the attempt
  bool tls_ = false;                // TLS on the attempt
  std::string host_;                // the host of the attempt, as configured
  std::int32_t port_ = 0;           // the port of the attempt
  bool verified_ = false;           // the attempt verifies the server's certificate
  std::optional<StsRule> sts_rule_;  // the policy the attempt is under
  StsPolicyStore sts_;
  bool sts_read_ = false;            // the policy file was read
  bool sts_seen_ = false;            // the "sts" value was followed on this connection
  bool sts_ignored_logged_ = false;  // once per run
  std::string problem_;
  std::string last_problem_;

  std::string msSocketState;
  std::string msLastSocketState;
  std::string msIRCState;
  std::string last_caption_;
  std::string last_nick_;
  std::function<void()> state_changed_;
};

}  // namespace zelvo
