#include "irc/irc_session.h"

#include <cctype>
#include <cmath>
#include <utility>

#include "irc/secret_mask.h"
#include "irc/text_encoding.h"

namespace zelvo {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kPongPrefix = "PONG ";

std::string_view WithoutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

// `message` as UTF-8, every part of it read as ISO-8859-1: what parsing the
// whole line read as ISO-8859-1 gives, as the parser splits only at ASCII.
IrcMessage Latin1MessageToUtf8(IrcMessage message) {
  for (auto& [key, value] : message.tags) {
    key = Latin1ToUtf8(key);
    value = Latin1ToUtf8(value);
  }
  for (std::string* part : {&message.prefix, &message.nick, &message.user, &message.host,
                            &message.command, &message.classic})
    *part = Latin1ToUtf8(*part);
  for (std::string& param : message.params) param = Latin1ToUtf8(param);
  return message;
}

SaslMechanism MechanismOf(std::string_view name) {
  if (name == "PLAIN") return SaslMechanism::kPlain;
  if (name == "EXTERNAL") return SaslMechanism::kExternal;
  if (name == "SCRAM-SHA-256") return SaslMechanism::kScramSha256;
  if (name == "ECDSA-NIST256P-CHALLENGE") return SaslMechanism::kEcdsaNist256pChallenge;
  return SaslMechanism::kNone;
}

// A numeric that refuses a JOIN: the setting to check, and whether the log
// entry names it (the refusals logged before it was named keep their text).
struct JoinRefusal {
  std::string_view setting;
  bool named_in_log;
};

std::optional<JoinRefusal> JoinRefusalOf(std::string_view command) {
  struct Row {
    std::string_view command;
    JoinRefusal refusal;
  };
  static constexpr Row kRefusals[] = {
      {"471", {"IRCChannel", false}},      {"473", {"IRCChannel", false}},
      {"474", {"IRCChannel", false}},      {"475", {"IRCChannelKey", false}},
      {"477", {"IRCSASLUsername", false}}, {"403", {"IRCChannel", true}},
      {"405", {"IRCChannel", true}},       {"437", {"IRCChannel", true}},
      {"476", {"IRCChannel", true}},       {"479", {"IRCChannel", true}},
      {"480", {"IRCChannel", true}},       {"489", {"IRCTLS", true}},
  };
  for (const Row& row : kRefusals) {
    if (row.command == command) return row.refusal;
  }
  return std::nullopt;
}

// Why the socket failed to connect, in words with the setting to check:
// `listed` for a server of IRCServers, `bind` the IRCBindAddress.
std::string ConnectErrorCause(const SocketError& error, bool listed, const std::string& bind) {
  switch (error.Number) {
    case socket_error::kHostNotFound:
      if (!bind.empty()) return NoAddressForBindCause(bind);
      return std::string(listed ? connect_cause::kHostNotFoundInList
                                : connect_cause::kHostNotFound);
    case socket_error::kConnectionRefused:
      return std::string(listed ? connect_cause::kRefusedInList : connect_cause::kRefused);
    case socket_error::kTimedOut:
      return std::string(connect_cause::kTimedOut);
    case socket_error::kNetworkDown:
      return std::string(connect_cause::kUnreachable);
    default:
      break;
  }
  std::string_view words = error.Description;
  while (!words.empty() && words.back() == '.') words.remove_suffix(1);
  return std::string(words);
}

// Whether a 005 line announces CHANTYPES.
bool AnnouncesChantypes(const IrcMessage& message) {
  for (const std::string& token : message.params) {
    if (token == "CHANTYPES" || token.rfind("CHANTYPES=", 0) == 0) return true;
  }
  return false;
}

std::chrono::seconds PingTimeout(const Settings& settings) {
  return std::chrono::seconds(settings.IRCPingTimeout > 0 ? settings.IRCPingTimeout
                                                          : kDefaultPingTimeout);
}

long WholeSeconds(std::chrono::steady_clock::duration d) {
  return std::lround(std::chrono::duration<double>(d).count());
}

}  // namespace

std::string SocketStateText(std::int16_t state) {
  switch (state) {
    case 0:
      return "Closed";
    case 1:
      return "Open";
    case 2:
      return "Listening";
    case 3:
      return "Connecting pending";
    case 4:
      return "Resolveing host";
    case 5:
      return "Host resolved";
    case 6:
      return "Connecting";
    case 7:
      return "Connected";
    case 8:
      return "Closing";
    case 9:
      return "Error";
    default:
      return "The connection is unknown";
  }
}

IrcSession::IrcSession(const Settings& settings, Socket& socket, const Clock& clock,
                       Console& console, IrcHooks hooks, SendQueue::Limits limits,
                       RandomSource random)
    : settings_(settings),
      socket_(socket),
      clock_(clock),
      console_(console),
      hooks_(std::move(hooks)),
      queue_(limits),
      random_(std::move(random)),
      roster_(settings.gsIRCChannel, server_),
      nick_(settings.gsIRCNickname, settings.IRCAltNickname, random_),
      watchdog_(PingTimeout(settings)),
      backoff_(random_, kStableConnection),
      join_backoff_(random_),
      rotation_(kStableConnection) {
  queue_.Reset(clock_.MonotonicNow());
  for (const std::string* secret :
       {&settings.IRCPassword, &settings.IRCSASLPassword, &settings.MQTTPassword}) {
    if (!secret->empty()) secrets_.push_back(*secret);
  }
}

void IrcSession::Log(const LogMessage& message, const std::string& text) {
  WriteMessage(hooks_.log, message, Shown(text));
}

std::string IrcSession::Shown(std::string_view text) const {
  // Also without passwords: a key login's AUTHENTICATE payloads stay hidden.
  return MaskSecrets(text, secrets_);
}

std::string IrcSession::ConnectionStateText() const {
  switch (phase_) {
    case Phase::kWaiting: {
      const long left = SecondsUntil(reconnect_at_, clock_.MonotonicNow());
      const std::string in = left > 0 ? " in " + std::to_string(left) + " s" : "";
      return wait_text_.empty() ? "Reconnecting" + in : wait_text_ + ", reconnecting" + in;
    }
    case Phase::kStopped:
      return wait_text_.empty() ? msSocketState : wait_text_;
    case Phase::kRegistering:
      return socket_.State() == socket_state::kConnected ? "Registering" : msSocketState;
    case Phase::kRegistered:
      if (socket_.State() != socket_state::kConnected) return msSocketState;
      return (roster_.Joined() ? "Joined " : "Not in ") + settings_.gsIRCChannel;
    case Phase::kIdle:
    case Phase::kConnecting:
      break;
  }
  return msSocketState;
}

void IrcSession::ReportConnectionState() {
  msSocketState = zelvo::SocketStateText(socket_.State());
  if (msSocketState != msLastSocketState) {
    Log(log_msg::kSocketStateChanged, SocketStateChangedText(msSocketState));
  }
  msLastSocketState = msSocketState;
  const std::string caption = "Zelvo - " + msIRCState + " (" + ConnectionStateText() + ")";
  const bool changed =
      caption != last_caption_ || nick_.Current() != last_nick_ || problem_ != last_problem_;
  if (caption != last_caption_) {
    last_caption_ = caption;
    if (hooks_.caption) hooks_.caption(caption);
  }
  last_nick_ = nick_.Current();
  last_problem_ = problem_;
  if (changed && state_changed_) state_changed_();
}

void IrcSession::ConnectToServer() {
  closed_ = false;
  phase_ = Phase::kConnecting;
  wait_ = {};
  wait_text_.clear();
  ReportConnectionState();
  // The next server of the list, moved onto TLS where a policy says so.
  rotation_.Use(ServersToTry(settings_));
  attempt_ = rotation_.Current();
  ConnectTarget target{attempt_.host, attempt_.port, settings_.IRCTLS, settings_.IRCTLSVerify, {}};
  target = WithSts(std::move(target));
  attempt_.port = target.port;
  TlsOptions tls;
  tls.enabled = target.tls;
  tls.verify = target.verify;
  tls.ca_file = settings_.IRCTLSCAFile;
  tls.fingerprint = settings_.IRCTLSFingerprint;
  tls.client_certificate = settings_.IRCClientCertificate;
  target_ = HostPortText(attempt_);
  tls_ = tls.enabled;
  host_ = target.host;
  port_ = target.port;
  verified_ = tls.enabled && (tls.verify || !tls.fingerprint.empty());
  sts_rule_ = target.sts;
  Log(log_msg::kConnectAttempt, ConnectAttemptText(target_, tls.enabled));
  if (tls.enabled && !tls.verify && tls.fingerprint.empty()) {
    Log(log_msg::kTlsUnverified, TlsUnverifiedText(target_));
  }
  socket_.SetTls(std::move(tls));
  socket_.SetRemoteHost(attempt_.host);
  socket_.SetRemotePort(attempt_.port);
  socket_.SetBindAddress(settings_.IRCBindAddress);
  socket_.Connect();
  ReportConnectionState();
}

ConnectTarget IrcSession::WithSts(ConnectTarget target) {
  if (!settings_.IRCSTS) return target;
  if (!std::exchange(sts_read_, true) && !hooks_.sts_file.empty()) {
    const std::string warning = ReadStsFile(hooks_.sts_file, sts_);
    if (!warning.empty()) StsNote(log_msg::kStsFileProblem, warning);
  }
  const bool plain = !target.tls;
  target = ApplySts(std::move(target), sts_, clock_.UtcNow());
  // An upgrade asked for over plain text was logged as it came.
  if (plain && target.sts && target.sts->until) {
    StsNote(log_msg::kStsUpgrade,
            StsPolicyAppliedText(target.host, target.port, UtcText(*target.sts->until)));
  }
  return target;
}

void IrcSession::StsNote(const LogMessage& message, const std::string& text) {
  Log(message, text);
  console_.Append(Shown(text) + std::string(kCrLf));
}

bool IrcSession::FollowSts() {
  const std::string* value = cap_.Listed("sts");
  if (value == nullptr || std::exchange(sts_seen_, true)) return false;
  if (!settings_.IRCSTS) {
    if (!std::exchange(sts_ignored_logged_, true)) {
      StsNote(log_msg::kStsIgnored, StsIgnoredText(host_));
    }
    return false;
  }
  const StsOffer offer = ParseStsValue(*value);
  if (!tls_) {
    // Over plain text only the port counts, and nothing of it is kept.
    if (!offer.port) return false;
    StsNote(log_msg::kStsUpgrade, StsUpgradeText(host_, *offer.port));
    sts_.Upgrade(host_, *offer.port);
    SendProtocolLine("QUIT :" + std::string(quit_reason::kStsUpgrade));
    Lost("Moving to TLS", "", true);
    return true;
  }
  // Only a verified connection shows that the policy comes from the server.
  if (!offer.duration || !verified_) return false;
  const WallTime now = clock_.UtcNow();
  const StsPolicyStore::Change change = sts_.Keep(host_, port_, *offer.duration, now);
  if (change == StsPolicyStore::Change::kNone) return false;
  if (change == StsPolicyStore::Change::kRemoved) {
    StsNote(log_msg::kStsPolicy, StsPolicyRemovedText(host_));
  } else {
    const std::string until = UtcText(sts_.Find(host_, now)->until.value_or(now));
    StsNote(log_msg::kStsPolicy,
            StsPolicyKeptText(host_, port_, until, change == StsPolicyStore::Change::kRefreshed));
  }
  if (hooks_.sts_file.empty()) return false;
  if (const std::string error = WriteStsFile(hooks_.sts_file, sts_); !error.empty()) {
    StsNote(log_msg::kStsFileProblem, StsFileUnwritableText(hooks_.sts_file, error));
  }
  return false;
}

void IrcSession::sckIRC_Connect() {
  if (closed_) return;
  const TimePoint now = clock_.MonotonicNow();
  phase_ = Phase::kRegistering;
  framer_.Reset();
  pending_.clear();
  pending_next_ = 0;
  queue_.Reset(now);
  server_ = ISupport{};
  // The settings as they are now (the session may be made before they are read).
  roster_.SetChannel(settings_.gsIRCChannel);
  roster_.SetOwnNick("");
  nick_ = NickFallback(settings_.gsIRCNickname, settings_.IRCAltNickname, random_);
  watchdog_ = LinkWatchdog(PingTimeout(settings_));
  rejoin_at_.reset();
  replay_.Reset();
  bot_mode_sent_ = false;
  roster_full_logged_ = false;
  whox_ = false;
  chantypes_checked_ = false;
  received_ = false;
  sts_seen_ = false;
  problem_.clear();
  join_backoff_ = ReconnectBackoff(random_);
  ReportConnectionState();
  CapConfig config;
  config.password = settings_.IRCPassword;
  config.nick_line = "NICK " + nick_.Start();
  config.user_line =
      RegistrationUserLine(settings_.gsIRCUser, socket_.LocalHostName(), socket_.LocalPort());
  config.mechanism = MechanismOf(settings_.IRCSASLMechanism);
  config.sasl_username = settings_.IRCSASLUsername;
  config.sasl_password = settings_.IRCSASLPassword;
  config.sasl_key = settings_.IRCSASLKey;
  config.sasl_required = settings_.IRCSASLRequired;
  config.ignore_replayed = settings_.IgnoreReplayedLines;
  watchdog_.Start(now);
  registration_deadline_ = now + kRegistrationTimeout;
  FollowCap(cap_.Start(std::move(config), now));
  refresh_accounts_ = false;  // the last connection's capabilities, told gone
}

void IrcSession::FollowCap(const CapOutput& output) {
  for (const std::string& line : output.lines) SendProtocolLine(line);
  for (const CapEvent& event : output.events) {
    switch (event.kind) {
      case CapEvent::Kind::kNegotiationDone:
        break;
      case CapEvent::Kind::kCapabilityAdded:
      case CapEvent::Kind::kCapabilityRemoved:
        Log(log_msg::kCapabilityChanged,
            CapabilityChangedText(event.text, event.kind == CapEvent::Kind::kCapabilityAdded));
        break;
      case CapEvent::Kind::kSaslSucceeded:
        Log(log_msg::kSaslSucceeded, SaslSucceededText(event.text));
        break;
      case CapEvent::Kind::kSaslFailed:
      case CapEvent::Kind::kSaslIntercepted:
        if (event.kind == CapEvent::Kind::kSaslIntercepted) {
          Log(log_msg::kSaslInterception,
              SaslInterceptionText(event.text, settings_.IRCSASLRequired));
        } else {
          Log(log_msg::kSaslFailed, SaslFailedText(event.text, settings_.IRCSASLRequired));
        }
        if (settings_.IRCSASLRequired) {
          SendProtocolLine("QUIT :" + SaslQuitReason(event.text));
          Lost("SASL login failed");
          return;
        }
        break;
    }
  }
}

void IrcSession::sckIRC_DataArrival(std::int32_t /*bytes_total*/) {
  const auto reading = [this] {
    return !closed_ && (phase_ == Phase::kRegistering || phase_ == Phase::kRegistered);
  };
  if (!reading()) {
    // Taken even when closed: the socket reads on only once its data is taken.
    std::string data;
    socket_.GetData(data);
    return;
  }
  if (pending_next_ == pending_.size()) {
    std::string data;
    socket_.GetData(data);
    if (!received_ && !data.empty()) {
      received_ = true;
      if (!tls_ && StartsTlsRecord(data)) {
        FailAttempt(log_msg::kTlsMismatch, connect_cause::kTls, "");
        return;
      }
    }
    pending_ = framer_.Feed(data);
    pending_next_ = 0;
    for (std::size_t n = framer_.TakeDroppedCount(); n > 0; --n) {
      Log(log_msg::kLineTooLong, LineTooLongText(kMaxTaggedLineBytes));
    }
  }
  // A bounded pass, then back to the event loop (signals, timers) for the
  // rest, and for what the socket holds once these are done.
  std::size_t handled = 0;
  while (pending_next_ < pending_.size() && handled < kLinesPerPass && reading()) {
    // Taken out: a line that ends the connection empties pending_.
    const std::string line = std::move(pending_[pending_next_++]);
    HandleLine(line);
    ++handled;
  }
  if (!reading()) {
    // A line that ended the connection ends this read too.
    pending_.clear();
    pending_next_ = 0;
    return;
  }
  if (handled > 0) socket_.DataEventLater();
  if (pending_next_ == pending_.size()) {
    pending_.clear();
    pending_next_ = 0;
  }
  if (handled == 0) ReportConnectionState();
}

void IrcSession::HandleLine(const std::string& raw) {
  const TimePoint now = clock_.MonotonicNow();
  const IrcMessage message = ParseIrcMessage(raw);
  const bool registering = phase_ == Phase::kRegistering;
  AnswerPing(message);
  // Before 001 only a line that moves registration on shows a live link.
  if (Follow(message, now) || !registering) watchdog_.OnReceived(now);
  const bool replayed = replay_.Judge(message);
  console_.Append((replayed ? std::string(console_text::kReplayedMark) : std::string()) +
                  ReceivedLineToUtf8(Shown(message.classic)));
  ReportConnectionState();
  if (!hooks_.match || replayed) return;
  if (IsValidUtf8(raw)) {
    hooks_.match(ServerLine{message});
  } else {
    hooks_.match(ServerLine{Latin1MessageToUtf8(message)});
  }
}

void IrcSession::AnswerPing(const IrcMessage& message) {
  // A server PING (with or without a prefix) is answered with the rest of its
  // line, byte for byte as it came; a PING without one gets no answer.
  std::string_view content = WithoutLineEnd(message.classic);
  if (!content.empty() && content.front() == ':') {
    const std::size_t blank = content.find(' ');
    if (blank == std::string_view::npos) return;
    content.remove_prefix(blank + 1);
  }
  const std::size_t blank = content.find(' ');
  if (blank == std::string_view::npos || content.substr(0, blank) != "PING") return;
  std::string_view token = content.substr(blank + 1);
  if (token.empty()) return;
  token = token.substr(0, kMaxMessageBytes - kPongPrefix.size() - kCrLf.size());
  const std::string pong = std::string(kPongPrefix) + std::string(token);
  if (phase_ == Phase::kRegistered) {
    Enqueue(pong, SendQueue::Kind::kPong);
  } else {
    SendProtocolLine(pong);  // a ping cookie: registration waits for it
  }
}

bool IrcSession::Follow(const IrcMessage& message, TimePoint now) {
  const std::string& command = message.command;
  const CaseMapping& mapping = server_.casemapping;
  const bool is_005 = server_.Apply(message);
  if (is_005) {
    nick_.SetNickLen(server_.nicklen);
    nick_.SetMonitor(server_.monitor);
    for (const std::string& token : message.params) whox_ = whox_ || token == "WHOX";
    if (!chantypes_checked_ && AnnouncesChantypes(message)) {
      chantypes_checked_ = true;
      if (!server_.IsChannel(settings_.gsIRCChannel)) {
        Log(log_msg::kChannelTypeRefused,
            ChannelTypeRefusedText(settings_.gsIRCChannel, server_.chantypes));
      }
    }
  }

  bool progress = false;
  const Phase phase = phase_;
  if (phase == Phase::kRegistering || (phase == Phase::kRegistered && command == "CAP")) {
    const CapOutput output = cap_.OnMessage(message, now);
    progress = !output.lines.empty() || !output.events.empty();
    if (command == "CAP" && FollowSts()) return true;
    FollowCap(output);
    if (phase_ != phase) return progress;
    if (std::exchange(refresh_accounts_, false) && whox_ && roster_.Joined()) {
      Enqueue(roster_.WhoxQuery(), SendQueue::Kind::kFirst);
    }
  }

  const std::string before = nick_.Current();
  const bool was_regaining = nick_.Regaining();
  if (const std::optional<std::string> nick_line = nick_.OnMessage(message, mapping, now)) {
    progress = true;
    if (phase_ == Phase::kRegistering) {
      Log(log_msg::kNickFallback,
          NickFallbackText(before, command, message.params.empty() ? "" : message.params.back(),
                           nick_.Current()));
    }
    SendProtocolLine(*nick_line);
  }
  if (was_regaining && !nick_.Regaining()) {
    Log(log_msg::kNickRegained, NickRegainedText(nick_.Current()));
  }

  const bool was_joined = roster_.Joined();
  roster_.OnMessage(message);
  if (roster_.Full() && !roster_full_logged_) {
    roster_full_logged_ = true;
    Log(log_msg::kRosterFull, RosterFullText(settings_.gsIRCChannel, ChannelRoster::kMaxMembers));
  }

  if (command == "001" && phase_ == Phase::kRegistering) {
    progress = true;
    phase_ = Phase::kRegistered;
    roster_.SetOwnNick(nick_.Current());
    backoff_.OnUp(now);
    rotation_.OnRegistered(now);
    queue_.Reset(now);
    Log(log_msg::kRegistered, RegisteredText(attempt_.host, nick_.Current()));
    SendJoin();
  }
  // The rules ignore lines from the nickname the bot has now, whatever set it
  // (NICK, or a server that sends 001 again).
  if (phase_ == Phase::kRegistered) roster_.SetOwnNick(nick_.Current());
  if (phase_ != Phase::kRegistered) {
    if (command == "ERROR") {
      Log(log_msg::kServerError, ServerErrorText(message.Param(0)));
      Lost("");
    }
    return progress;
  }

  if (server_.bot_mode != 0 && !bot_mode_sent_) {
    bot_mode_sent_ = true;
    Enqueue("MODE " + nick_.Current() + " +" + std::string(1, server_.bot_mode),
            SendQueue::Kind::kFirst);
  }
  const std::string& channel = settings_.gsIRCChannel;
  if (command == "JOIN" && mapping.Equal(message.nick, nick_.Current()) &&
      mapping.Equal(message.Param(0), channel)) {
    // Only the JOIN that takes the bot in counts; repeats of it change nothing.
    if (was_joined) return progress;
    rejoin_at_.reset();
    join_backoff_ = ReconnectBackoff(random_);
    problem_.clear();
    Log(log_msg::kJoined, JoinedText(message.Param(0)));
    replay_.OnJoined(message);
    if (whox_) Enqueue(roster_.WhoxQuery(), SendQueue::Kind::kFirst);
  } else if (command == "KICK" && mapping.Equal(message.Param(0), channel) &&
             mapping.Equal(message.Param(1), nick_.Current())) {
    const std::string reason = message.params.size() > 2 ? message.params.back() : "";
    if (settings_.IRCRejoinDelay > 0)
      rejoin_at_ = now + std::chrono::seconds(settings_.IRCRejoinDelay);
    Log(log_msg::kKicked,
        KickedText(message.Param(0), message.nick, reason, settings_.IRCRejoinDelay));
  } else if (const std::optional<JoinRefusal> refusal = JoinRefusalOf(command);
             refusal && !was_joined && mapping.Equal(message.Param(1), channel)) {
    const auto wait = join_backoff_.OnLost(now);
    rejoin_at_ = now + wait;
    const std::string setting(refusal->setting);
    const std::string& reason = message.params.back();
    Log(log_msg::kJoinRefused,
        refusal->named_in_log
            ? JoinRefusedCheckText(message.Param(1), reason, command, WholeSeconds(wait), setting)
            : JoinRefusedText(message.Param(1), reason, command, WholeSeconds(wait)));
    problem_ = JoinRefusedStatusText(message.Param(1), reason, command, setting);
  } else if (command == "ERROR") {
    Log(log_msg::kServerError, ServerErrorText(message.Param(0)));
    Lost("");
  }
  return progress;
}

void IrcSession::SendJoin() {
  std::string join = "JOIN " + settings_.gsIRCChannel;
  if (!settings_.IRCChannelKey.empty()) join += " " + settings_.IRCChannelKey;
  Enqueue(join, SendQueue::Kind::kFirst);
}

void IrcSession::Lost(const std::string& why, std::string problem, bool at_once) {
  if (phase_ == Phase::kIdle || phase_ == Phase::kWaiting || phase_ == Phase::kStopped) {
    return;
  }
  problem_ = std::move(problem);
  const TimePoint now = clock_.MonotonicNow();
  framer_.Reset();
  pending_.clear();
  pending_next_ = 0;
  queue_.Reset(now);
  roster_.Clear();
  rejoin_at_.reset();
  replay_.Reset();
  if (settings_.IRCReconnect || at_once) {
    phase_ = Phase::kWaiting;
    // A move to TLS retries the same server at once; otherwise the next
    // server of the round is tried at once and a new round waits.
    const bool new_round = !at_once && rotation_.OnLost(now);
    wait_ = new_round ? backoff_.OnLost(now) : std::chrono::steady_clock::duration::zero();
    reconnect_at_ = now + wait_;
    wait_text_ = why;
    if (new_round || at_once) {
      Log(log_msg::kReconnectIn, ReconnectInText(SecondsUntil(reconnect_at_, now)));
    } else {
      Log(log_msg::kNextServer, NextServerText(HostPortText(rotation_.Current())));
    }
  } else {
    phase_ = Phase::kStopped;
    wait_ = {};
    wait_text_ = why;
  }
  // Closed after the phase is set: closing may report the close at once. A
  // socket that failed or closed already keeps its state for the caption.
  const std::int16_t state = socket_.State();
  if (state != socket_state::kClosed && state != socket_state::kError) socket_.Close();
  ReportConnectionState();
}

void IrcSession::sckIRC_Error(const SocketError& error) {
  if (closed_) return;
  Log(log_msg::kSocketError, SocketErrorText(error.Number, error.Description, error.Scode,
                                             error.Source, error.HelpFile, error.HelpContext));
  if (phase_ == Phase::kConnecting) {
    FailAttempt(log_msg::kConnectFailed,
                ConnectErrorCause(error, rotation_.Index() > 0, settings_.IRCBindAddress), "");
    return;
  }
  if (socket_.State() != socket_state::kConnected) {
    Lost("");
    return;
  }
  ReportConnectionState();
}

void IrcSession::sckIRC_TlsError(const TlsFailure& failure) {
  if (closed_) return;
  Log(log_msg::kTlsError, TlsErrorText(target_, failure.reason, failure.fingerprint));
  if (sts_rule_) {
    // Never plain text instead: the attempt fails, and so do the next ones.
    const std::string until = sts_rule_->until ? UtcText(*sts_rule_->until) : "";
    StsNote(log_msg::kStsTlsRequired, StsTlsRequiredText(target_, until));
    FailAttempt(log_msg::kConnectFailed, TlsFailedCause(failure.reason), "TLS error");
  } else if (failure.plain_server) {
    FailAttempt(log_msg::kTlsMismatch, connect_cause::kNotTls, "TLS error");
  } else {
    FailAttempt(log_msg::kConnectFailed, TlsFailedCause(failure.reason), "TLS error");
  }
}

void IrcSession::FailAttempt(const LogMessage& message, std::string_view cause,
                             const std::string& why) {
  std::string text = ConnectFailedText(target_, cause);
  Log(message, text);
  console_.Append(Shown(text) + std::string(kCrLf));
  Lost(why, std::move(text));
}

void IrcSession::sckIRC_ConnectionRequest(std::int32_t request_id) {
  if (closed_) return;
  if (socket_.State() != socket_state::kClosed) {
    socket_.Close();
    socket_.Accept(request_id);
  }
  ReportConnectionState();
}

void IrcSession::sckIRC_SendComplete() {
  if (closed_) return;
  ReportConnectionState();
}

void IrcSession::sckIRC_Close() {
  if (closed_) return;
  Lost("");
  ReportConnectionState();
}

void IrcSession::Close() {
  closed_ = true;
  phase_ = Phase::kIdle;
  problem_.clear();
  replay_.Reset();
  queue_.Reset(clock_.MonotonicNow());
  framer_.Reset();
  pending_.clear();
  pending_next_ = 0;
  socket_.Close();
}

std::string IrcSession::SendLine(std::string_view line) {
  if (closed_ || phase_ != Phase::kRegistered || socket_.State() != socket_state::kConnected) {
    return std::string(console_text::kNotConnected);
  }
  Enqueue(line, SendQueue::Kind::kReply);
  return "";
}

std::string IrcSession::ServerInUse() const {
  if (target_.empty()) {
    return HostPortText({settings_.gsIRCDomain, settings_.giIRCPort}, settings_.IRCTLS);
  }
  return HostPortText(attempt_, tls_);
}

std::string IrcSession::LocalIP() const {
  return socket_.LocalIP();
}

bool IrcSession::SendOperatorLine(std::string_view typed) {
  if (closed_ || phase_ != Phase::kRegistered || socket_.State() != socket_state::kConnected) {
    return false;
  }
  const std::string text = RemoveLineBreaks(typed);
  Enqueue("PRIVMSG " + settings_.gsIRCChannel + " :" + text, SendQueue::Kind::kLine);
  const IrcMessage echo = RelayedOperatorLine(nick_.Current(), settings_.gsIRCUser,
                                              socket_.LocalIP(), settings_.gsIRCChannel, text);
  console_.Append(Shown(echo.classic) + std::string(kCrLf));
  if (hooks_.match) hooks_.match(OperatorLine{nick_.Current(), text});
  return true;
}

void IrcSession::SendProtocolLine(std::string_view text) {
  if (phase_ == Phase::kRegistered) {
    Enqueue(text, SendQueue::Kind::kFirst);
  } else if (phase_ == Phase::kRegistering) {
    // Registration is a handful of lines the server waits for: no flood limit.
    socket_.SendData(RemoveLineBreaks(text) + std::string(kCrLf));
  }
}

void IrcSession::Enqueue(std::string_view text, SendQueue::Kind kind) {
  std::string line = RemoveLineBreaks(text);
  if (!queue_.Push(line + std::string(kCrLf), kind, clock_.MonotonicNow()) &&
      kind == SendQueue::Kind::kFirst) {
    Log(log_msg::kProtocolLineDropped, ProtocolLineDroppedText(line, SendQueue::kMaxFirstLines));
  }
  Drain();
}

void IrcSession::Drain() {
  if (socket_.State() != socket_state::kConnected) return;
  for (const std::string& line : queue_.TakeDue(clock_.MonotonicNow())) socket_.SendData(line);
}

void IrcSession::tmrSendQueue_Timer() {
  if (closed_) return;
  const TimePoint now = clock_.MonotonicNow();
  if (phase_ == Phase::kWaiting) {
    if (now >= reconnect_at_) {
      ConnectToServer();
      return;
    }
    ReportConnectionState();  // the countdown moves on
  }
  if (phase_ == Phase::kRegistering) {
    FollowCap(cap_.Tick(now));
  }
  if (phase_ == Phase::kRegistering && now >= registration_deadline_) {
    Log(log_msg::kRegistrationTimeout, RegistrationTimeoutText(kRegistrationTimeout.count()));
    SendProtocolLine("QUIT :" + std::string(quit_reason::kNoWelcome));
    Lost(std::string(quit_reason::kNoWelcome));
    return;
  }
  if (phase_ == Phase::kRegistering || phase_ == Phase::kRegistered) {
    const LinkWatchdog::Action action = watchdog_.Tick(now);
    if (action.kind == LinkWatchdog::Action::Kind::kSendPing) {
      SendProtocolLine(action.line);
    } else if (action.kind == LinkWatchdog::Action::Kind::kDead) {
      const long timeout = static_cast<long>(PingTimeout(settings_).count());
      Log(log_msg::kDeadLink, DeadLinkText(timeout));
      Lost("");
      return;
    }
  }
  if (phase_ == Phase::kRegistered) {
    replay_.Tick();
    if (const std::optional<std::string> nick_line = nick_.Tick(now)) {
      Enqueue(*nick_line, SendQueue::Kind::kFirst);
    }
    if (rejoin_at_ && now >= *rejoin_at_) {
      rejoin_at_.reset();
      SendJoin();
    }
  }
  Drain();
  const std::size_t dropped = queue_.TakeDropReport(now);
  if (dropped > 0) {
    Log(log_msg::kRepliesDropped, RepliesDroppedText(dropped));
  }
}

}  // namespace zelvo
