// The catalogue of the system's log messages: every id written to the event
// log, with its type and its fixed text, or the function that builds its text
// where a value is joined in. An id has one meaning wherever it is written.
// Also the texts the console shows on its own.
//
// The messages are the rows of one table in messages.cpp, which also holds
// the text builders; this header only names them, so that a changed text
// rebuilds messages.cpp alone. The constants are constant-initialised: they
// may be read during any other object's initialisation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelvo {

namespace log_type {
inline constexpr std::int32_t kError = 1;
inline constexpr std::int32_t kWarning = 2;
inline constexpr std::int32_t kInformation = 4;
}  // namespace log_type

// Writes one entry to the event log now (id, type, text); the result is not
// looked at.
using LogWriter = std::function<void(std::int32_t id, std::int32_t type, const std::string& text)>;

// One message: its id, its type and its fixed text. `text` is empty where the
// text is built by the function named beside the message's row.
struct LogMessage {
  std::int32_t id;
  std::int32_t type;
  std::string_view text;
};

namespace log_msg {

using log_type::kError;
using log_type::kInformation;
using log_type::kWarning;

// Start-up.
extern const LogMessage kStarted;
extern const LogMessage kTryingToWriteLog;
extern const LogMessage kMainFunctionError;
extern const LogMessage kLogWriteFailed;
extern const LogMessage kLogWritten;
extern const LogMessage kReadingSettings;
extern const LogMessage kSettingsLoaded;
extern const LogMessage kShowingMainform;
extern const LogMessage kPortFallback;

// The configuration files.
extern const LogMessage kCheckingConfigFiles;
extern const LogMessage kConfigMissing;
extern const LogMessage kConfigCreated;
extern const LogMessage kConfigFound;
extern const LogMessage kSchemaMissing;
extern const LogMessage kSchemaCreated;
extern const LogMessage kSchemaFound;
extern const LogMessage kSchemaChecksumCorrect;
extern const LogMessage kSchemaChecksumIncorrect;
extern const LogMessage kSchemaReplaced;

// Loading the configuration.
extern const LogMessage kCreatingParser;
extern const LogMessage kReadingSchema;
extern const LogMessage kLoadingConfig;
extern const LogMessage kValidatingConfig;
extern const LogMessage kConfigLoaded;
extern const LogMessage kConfigFaulty;
extern const LogMessage kExampleCreated;

// The front end (the window, or the terminal without one).
extern const LogMessage kMainformLoaded;
extern const LogMessage kMainwindowSetup;
extern const LogMessage kAddingTrayIcon;
extern const LogMessage kConnecting;
extern const LogMessage kClosing;
extern const LogMessage kHandlerError;
extern const LogMessage kNoSystemTray;

// The IRC client.
extern const LogMessage kSocketStateChanged;
extern const LogMessage kSocketError;
extern const LogMessage kLineTooLong;
extern const LogMessage kRepliesDropped;
// Ids kConnectionIdFirst to kConnectionIdLast belong to the connection's
// messages (connecting, TLS, registration, joining, reconnecting).
inline constexpr std::int32_t kConnectionIdFirst = 50;
inline constexpr std::int32_t kConnectionIdLast = 69;
extern const LogMessage kConnectAttempt;
extern const LogMessage kTlsUnverified;
extern const LogMessage kTlsError;
extern const LogMessage kSaslSucceeded;
extern const LogMessage kSaslFailed;
extern const LogMessage kNickFallback;
extern const LogMessage kNickRegained;
extern const LogMessage kKicked;
extern const LogMessage kJoinRefused;
extern const LogMessage kDeadLink;
extern const LogMessage kReconnectIn;
extern const LogMessage kServerError;
extern const LogMessage kRegistered;
extern const LogMessage kJoined;
extern const LogMessage kProtocolLineDropped;
extern const LogMessage kRosterFull;
extern const LogMessage kRegistrationTimeout;
// Why a connection attempt failed (kTlsMismatch: plain and TLS mixed up), and
// a channel name the server does not allow (ids 71 to 73).
extern const LogMessage kConnectFailed;
extern const LogMessage kTlsMismatch;
extern const LogMessage kChannelTypeRefused;
extern const LogMessage kNextServer;
// A capability the server added (CAP NEW, then acknowledged) or withdrew
// (CAP DEL) while the bot was connected (id 98).
extern const LogMessage kCapabilityChanged;

// The event log itself.
extern const LogMessage kLogPathRefused;
extern const LogMessage kLogFileNotALog;
extern const LogMessage kRewrittenInPlace;
extern const LogMessage kLogUnwritable;
extern const LogMessage kLogWritableAgain;
extern const LogMessage kLogEntriesDropped;
extern const LogMessage kLogFolderMissing;

// The rules.
extern const LogMessage kRuleNotRun;
extern const LogMessage kSenderLimited;
extern const LogMessage kOutputTooSoon;
extern const LogMessage kReplayedLinesIgnored;

// The MQTT broker connection and its commands.
extern const LogMessage kMqttConnected;
extern const LogMessage kMqttDisconnected;
extern const LogMessage kMqttSwitched;
extern const LogMessage kMqttWarning;
extern const LogMessage kMqttCommandsDropped;
extern const LogMessage kMqttRetainedCommand;

// The safe states and the configuration file's permissions.
extern const LogMessage kOutputsOnDisconnect;
extern const LogMessage kOutputsOnExit;
extern const LogMessage kStartStateUnread;
extern const LogMessage kStateFileUnwritable;
extern const LogMessage kPasswordReadable;

// Reading config.xml again while the bot runs (SIGHUP).
extern const LogMessage kReloading;
extern const LogMessage kReloaded;
extern const LogMessage kReloadFailed;
extern const LogMessage kReloadNeedsRestart;

// The audit trail: one entry per change of the outputs, and the journal.
extern const LogMessage kSwitched;
extern const LogMessage kJournalFailed;

// What the rule lint finds in config.xml (start, reload, --check).
extern const LogMessage kRuleLintWarning;
extern const LogMessage kSaslInterception;
// IRCSASLKeyFile readable by group or others.
extern const LogMessage kSaslKeyReadable;

// Strict transport security (sts_policy.h).
extern const LogMessage kStsUpgrade;
extern const LogMessage kStsPolicy;
extern const LogMessage kStsIgnored;
extern const LogMessage kStsTlsRequired;
extern const LogMessage kStsFileProblem;

// Owner commands: one received, a private message refused.
extern const LogMessage kOwnerCommand;
extern const LogMessage kOwnerRefused;

}  // namespace log_msg

// Every message above, in the order of the table.
std::span<const LogMessage> LogCatalogue();

// Writes `message` with its fixed text, or with `text` where it has none.
// Does nothing without a writer.
void WriteMessage(const LogWriter& log, const LogMessage& message);
void WriteMessage(const LogWriter& log, const LogMessage& message, const std::string& text);

// The texts built for the messages above.

std::string MainFunctionErrorText(long long number, const std::string& description);
std::string LogWriteFailedText(const std::string& flush_error);
// Below the fatal path's message: the start's error `description` in one or
// two lines (a configuration report as "FILE, line N: REASON" and any hint
// the report adds; "Zelvo is already running." with the lock and the fix;
// any other text with its line ends made blanks), then "Log: " and
// `log_path`. Lines are joined by "\n".
std::string FatalCauseText(const std::string& description, const std::string& program_dir,
                           const std::string& log_path);
std::string HandlerErrorText(const std::string& error);
std::string SocketStateChangedText(const std::string& state);
std::string SocketErrorText(long long number, const std::string& description, long long scode,
                            const std::string& source, const std::string& help_file,
                            long long help_context);
std::string LineTooLongText(std::size_t max_bytes);
std::string ProtocolLineDroppedText(const std::string& line, std::size_t waiting);
std::string RosterFullText(const std::string& channel, std::size_t kept);
std::string RegistrationTimeoutText(long seconds);
std::string RepliesDroppedText(std::size_t dropped);
// `target` is the server as host:port.
std::string ConnectAttemptText(const std::string& target, bool tls);
std::string TlsUnverifiedText(const std::string& target);
// `fingerprint` is empty where the server showed no certificate.
std::string TlsErrorText(const std::string& target, const std::string& reason,
                         const std::string& fingerprint);
// `account` is empty where the server did not name it.
std::string SaslSucceededText(const std::string& account);
std::string SaslFailedText(const std::string& reason, bool required);
// `command` and `reason` are the refusing reply's command and last parameter.
std::string NickFallbackText(const std::string& refused, const std::string& command,
                             const std::string& reason, const std::string& next);
std::string NickRegainedText(const std::string& nick);
// `rejoin_delay` is in seconds; 0 never rejoins.
std::string KickedText(const std::string& channel, const std::string& by, const std::string& reason,
                       long rejoin_delay);
std::string JoinRefusedText(const std::string& channel, const std::string& reason,
                            const std::string& command, long seconds);
std::string DeadLinkText(long timeout);
std::string ReconnectInText(long seconds);
std::string ServerErrorText(const std::string& message);
std::string RegisteredText(const std::string& server, const std::string& nick);
std::string JoinedText(const std::string& channel);
// JoinRefusedText with the setting to check after it.
std::string JoinRefusedCheckText(const std::string& channel, const std::string& reason,
                                 const std::string& command, long seconds,
                                 const std::string& setting);
// The refusal as the status line shows it while the bot is out of the channel.
std::string JoinRefusedStatusText(const std::string& channel, const std::string& reason,
                                  const std::string& command, const std::string& setting);
// `target` is the server as host:port, `cause` one of connect_cause or
// TlsFailedCause. Also what the console and the status line say.
std::string ConnectFailedText(const std::string& target, std::string_view cause);
// `target` is the server as host:port.
std::string NextServerText(const std::string& target);
// Causes for ConnectFailedText: binding the local end to `address` failed
// for `reason`; the host has no address of the bound address's family.
std::string BindFailedCause(const std::string& address, std::string_view reason);
std::string NoAddressForBindCause(const std::string& address);
// `reason` is the TLS error's.
std::string TlsFailedCause(const std::string& reason);
// A TLS error's reason: nothing came back to the handshake.
std::string TlsNoAnswerText(long long seconds);
// `chantypes` is the server's CHANTYPES, which `channel`'s first character is not in.
std::string ChannelTypeRefusedText(const std::string& channel, const std::string& chantypes);
// `added`: the capability came into use; else the server withdrew it.
std::string CapabilityChangedText(const std::string& name, bool added);
std::string PortFallbackText(std::string_view missing_device);
std::string LogPathRefusedText(const std::string& setting, const std::string& used_path);
std::string LogFileNotALogText(const std::string& file, const std::string& used_path);
std::string RewrittenInPlaceText(const std::string& path);
// Also what the console and the status line say, once, when the log fails.
std::string LogUnwritableText(const std::string& reason, std::size_t kept);
std::string LogWritableAgainText(std::size_t written, std::size_t dropped);
std::string LogEntriesDroppedText(std::size_t dropped);
// `folder` as the LogFile `setting` names it; `used_path` where the log goes.
std::string LogFolderMissingText(const std::string& folder, const std::string& setting,
                                 const std::string& used_path);
// `sender` is the line's prefix, `missing` the conditions it did not meet.
std::string RuleNotRunText(std::string_view rule, const std::string& sender,
                           const std::string& missing);
// `sender` as SenderKey names it, `prefix` the line's; `count` runs in
// `seconds` (SenderRateLimit), `wait` seconds until the window ends.
std::string SenderLimitedText(const std::string& sender, const std::string& prefix, long long count,
                              long long seconds, long long wait);
// The NOTICE to that sender.
std::string SenderLimitedNoticeText(long long count, long long seconds, long long wait);
// `output` (1..8) named `name` changed less than `interval` seconds ago;
// `wait` seconds until it may switch. The part both texts below share.
std::string OutputTooSoonPart(int output, const std::string& name, long long interval,
                              long long wait);
std::string OutputTooSoonText(std::string_view rule, int output, const std::string& name,
                              long long interval, long long wait);
// `lines` channel lines of one batch or burst fired no rule.
std::string ReplayedLinesIgnoredText(std::size_t lines, const std::string& channel);
std::string MqttConnectedText(const std::string& broker);
// `why` without a closing full stop; the next attempt in `seconds`.
std::string MqttDisconnectedText(const std::string& broker, const std::string& why,
                                 long long seconds);
// `command` is the payload's word (ON, OFF or TOGGLE), `topic` where it came.
std::string MqttSwitchedText(int output, bool on, std::string_view command,
                             const std::string& topic);
std::string MqttCommandsDroppedText(int output, long long dropped, long long seconds,
                                    int per_second, const std::string& topic);
// The retained command on `topic` was ignored; names the command that clears it.
std::string MqttRetainedCommandText(const std::string& topic);
std::string OutputsOnDisconnectText(const std::string& channel, long long seconds, int byte);
std::string OutputsOnExitText(int byte);
// OutputsOnStart "last" without a usable state file at `path`.
std::string StartStateMissingText(const std::string& path);
std::string StartStateUnreadableText(const std::string& path, const std::string& why);
// The state file could not be saved; `error` is the save's text.
std::string StateFileUnwritableText(const std::string& error);
std::string ReloadFailedText(const std::string& report);
std::string ReloadedText(long long rules, long long kept, bool reconnected, bool devices_reopened);
std::string ReloadNeedsRestartText(const std::string& settings);
// Eight digits, output 8 first: "10000011" has outputs 8, 2 and 1 on.
std::string OutputBitsText(int byte);
// "Switched by CAUSE (rule "R") from SENDER (account A): BEFORE -> AFTER.",
// each part in brackets or after "from" left out when empty; `cause` is one
// of switch_cause.
std::string SwitchedText(std::string_view cause, std::string_view rule, std::string_view sender,
                         std::string_view account, int before, int after);
std::string JournalFailedText(const std::string& error);
// `command` as received from `prefix`, logged in to `account`.
std::string OwnerCommandText(std::string_view command, std::string_view prefix,
                             std::string_view account);
// A private message from `prefix` refused; `sender` as SenderKey names it,
// `account` the one it is logged in to ("" for none), `owners` IRCOwners.
std::string OwnerRefusedText(std::string_view prefix, std::string_view sender,
                             std::string_view account, std::string_view owners);

// The rule lint's findings, each naming its rule with RuleLabelText
// (position from 1, IOName), what is wrong and the fix.
std::string RuleLabelText(int position, std::string_view name);
std::string UnknownFlagText(const std::string& rule, std::string_view flag,
                            std::string_view suggestion);
std::string FlagOutputRangeText(const std::string& rule, std::string_view flag, long long output);
// `attribute` is AutoReturn or ExecuteLimit.
std::string NegativeSecondsText(const std::string& rule, std::string_view attribute,
                                long long value);
// What the trigger lacks: a "*" at its end, at its start, at both; or (none
// of them) it holds a list that no character fits.
enum class TriggerFix : std::uint8_t { kEndStar, kStartStar, kBothStars, kEmptyList };
std::string TriggerNeverMatchesText(const std::string& rule, std::string_view trigger,
                                    TriggerFix fix);
// `fixed` is the trigger with "[#]" for each "#" that begins a channel name.
std::string TriggerHashText(const std::string& rule, std::string_view trigger,
                            std::string_view fixed);
enum class UserPatternFault : std::uint8_t { kNickname, kUsername, kEmptyNickname };
// `user` is the User's position in AllowedUsers (from 1).
std::string UserPatternText(const std::string& rule, int user, UserPatternFault fault,
                            std::string_view pattern);
enum class NeverRunsCause : std::uint8_t {
  kNoUsers,
  kWeekdaysAndWeekends,
  kFocusAndNonFocus,
  kNoUserCanMatch
};
std::string RuleNeverRunsText(const std::string& rule, NeverRunsCause cause);
std::string AutoReturnWithoutOutputText(const std::string& rule, long long seconds);
// config.xml declares `encoding` but holds UTF-8 sequences on `lines`.
std::string Utf8InDeclaredEncodingText(std::string_view encoding, std::span<const int> lines);
// A warning of --check, one line for standard error.
std::string CheckWarningLine(const std::string& warning);

// Texts shown without a log entry of their own.
// A lasting problem that went away ("port", "log").
std::string ProblemSolvedText(std::string_view what);
// The port refuses the outputs: the status line's words.
std::string PortProblemText(std::string_view error);
// A rule whose outputs the port refused: nothing was switched or announced.
std::string RuleNotSwitchedText(std::string_view rule, std::string_view error);

// Settings of config.xml that the reader refuses. Each text but the SASL one
// follows "Invalid value of "Zelvo/Settings/NAME": ".
std::string ServerMissingText();
std::string ChannelCharactersText(const std::string& channel);
std::string ChannelPrefixText(const std::string& channel);
std::string NicknameCharactersText(const std::string& nickname);
std::string NicknameStartText(const std::string& nickname);
// `size` is the value read, `what` "width" or "height".
std::string NegativeSizeText(long long size, std::string_view what);
// The whole text: IRCSASLMechanism PLAIN (or `mechanism`, which also logs in with
// both) without a user name, a password or both.
std::string SaslPlainIncompleteText(bool no_username, bool no_password,
                                    const std::string& mechanism = "PLAIN");
// The whole text: IRCSASLMechanism ECDSA-NIST256P-CHALLENGE without a key
// file or user name (kMissing, `path` empty when the key file is the one
// missing), or the key file at `path` not usable, with how to make one.
enum class SaslKeyProblem { kMissing, kUnreadable, kNotPemKey, kNotEc, kNotP256 };
std::string SaslKeyFileText(SaslKeyProblem problem, const std::string& path);
// The warning for a key file others may read, with the chmod that fixes it.
std::string SaslKeyReadableText(const std::string& quoted_path);
std::string TopicWildcardText(const std::string& topic);
// The line added to a validation report when an element stands out of its
// parent's order: `expected` is what the schema takes at that place (already
// listed), `placement` where `element` belongs ("" when it is no child of `parent`).
std::string ElementOrderText(const std::string& parent, const std::string& element,
                             const std::string& expected, const std::string& placement);
// The report of `zelvo --explain`: what the rules make of one channel line.
// Texts given in are shown as they are; the callers quote and escape them.
namespace explain_text {
// `line` shown with its line end written out.
std::string LineText(std::string_view line);
// `account`: nothing when not logged in; `status`: "" for none.
std::string SenderText(std::string_view prefix, const std::string* account,
                       std::string_view status);
// One rule: "Rule N "NAME": " and its verdict `detail`.
std::string RuleText(int number, std::string_view rule, std::string_view detail);
// `switches`: the outputs and what is done to each, joined; `reply`: "" for none;
// `rest`: seconds before it runs again; `auto_return`: seconds before the
// outputs are put back, 0 for never.
std::string FiresText(std::string_view switches, std::string_view reply, long long rest,
                      long long auto_return);
std::string SwitchText(int output, std::string_view name, std::string_view action);
std::string OwnLineText(std::string_view nick);
std::string NotPrivmsgText(std::string_view command, std::string_view channel);
std::string OtherChannelText(std::string_view target, std::string_view channel);
std::string CtcpText(std::string_view request);
std::string NoUserPrefixText(std::string_view prefix);
// `part`: which part of the trigger, e.g. "its last part "X""; `at_start`:
// the first part, which must match at the line's start (otherwise the part
// is found nowhere after the parts before it); `pattern_rest` and
// `line_rest`: the trigger and the line from where matching stopped
// (`line_rest` "" at the line's end).
std::string TriggerStopText(std::string_view trigger, std::string_view part, bool at_start,
                            std::string_view pattern_rest, std::string_view line_rest);
// The part matched up to `rest`, but must reach the line's end.
std::string TriggerEndText(std::string_view trigger, std::string_view part, std::string_view rest);
// `users`: one UserText per allowed user, joined.
std::string NoUserText(std::string_view users);
// `field` "nickname" or "user name"; `value` the sender's, `pattern` the user's.
std::string UserText(int number, std::string_view field, std::string_view value,
                     std::string_view pattern);
// `missing` as the log entry names it.
std::string ConditionsText(std::string_view missing);
std::string TooSoonText(long long wait, std::string_view refusal);
// `gate` the flag's name, `today` the weekday and date.
std::string DayText(std::string_view gate, std::string_view today);
// `gate` the flag's name; `active` the window state the rule needs; `known`
// whether the window was looked at.
std::string FocusText(std::string_view gate, bool active, bool known);
// The limit gates, with the values as OutputTooSoonPart and SenderLimitedText take them.
std::string SenderLimitedText(long long count, long long seconds, long long wait);
std::string OutputTooSoonText(int output, const std::string& name, long long interval,
                              long long wait);
std::string SummaryText(int firing, int rules);
}  // namespace explain_text

// Texts the console shows without a log entry.
namespace console_text {
// The operator's line or a reply could not be sent.
inline constexpr std::string_view kNotConnected = "Not connected";
// Before a received line that was played back from before the join and fired nothing.
inline constexpr std::string_view kReplayedMark = "[replayed, ignored] ";
}  // namespace console_text

// Why a connection attempt failed, with the setting to check (ConnectFailedText).
namespace connect_cause {
inline constexpr std::string_view kHostNotFound = "host not found (IRCDomain)";
inline constexpr std::string_view kRefused =
    "connection refused (IRCPort, or the server is not running)";
// The same for a server of IRCServers.
inline constexpr std::string_view kHostNotFoundInList = "host not found (IRCServers)";
inline constexpr std::string_view kRefusedInList =
    "connection refused (the port in IRCServers, or the server is not running)";
inline constexpr std::string_view kTimedOut = "timed out";
inline constexpr std::string_view kUnreachable = "network unreachable";
// IRCTLS is true, the server answered the handshake in plain text or not at all.
inline constexpr std::string_view kNotTls = "this port does not speak TLS: set IRCTLS false";
// IRCTLS is false, the server sent a TLS record.
inline constexpr std::string_view kTls = "this port speaks TLS: set IRCTLS true";
}  // namespace connect_cause

// What changed the outputs, as SwitchedText names it.
namespace switch_cause {
inline constexpr std::string_view kStart = "start";
inline constexpr std::string_view kChannelLine = "channel line";
inline constexpr std::string_view kOperatorLine = "operator line";
inline constexpr std::string_view kLamp = "lamp click";
inline constexpr std::string_view kMqtt = "MQTT /set";
inline constexpr std::string_view kAutoReturn = "auto-return";
inline constexpr std::string_view kPulseEnd = "pulse end";
inline constexpr std::string_view kSafeStateExit = "safe state at exit";
inline constexpr std::string_view kSafeStateDisconnect = "safe state after disconnect";
inline constexpr std::string_view kReload = "reload";
inline constexpr std::string_view kOwnerCommand = "owner command";
// Who, where the operator did it.
inline constexpr std::string_view kOperator = "operator";
}  // namespace switch_cause

// SCRAM logins: why one failed (the reason in SaslFailedText and
// SaslInterceptionText), and the failure where the server did not prove that
// it knows the password.
std::string ScramMalformedText(const std::string& what);
std::string ScramNonceText();
std::string ScramIterationsText(long iterations, long min, long max);
std::string ScramNoRandomText();
std::string ScramServerErrorText(const std::string& error);
std::string ScramSignatureText();
std::string ScramEarlySuccessText();
std::string SaslInterceptionText(const std::string& reason, bool required);
// ECDSA-NIST256P-CHALLENGE logins: a challenge that is `what` ("empty", "not
// base64", "longer than 256 bytes"), and a signature libcrypto refused to make.
std::string EcdsaChallengeText(std::string_view what);
std::string EcdsaSignFailedText();
// Registration given up on the bot's side: the reason of the QUIT it sends
// before closing (short, and without secrets), and the SASL failure that
// names the server's mechanisms.
namespace quit_reason {
// No 001 within the registration time.
inline constexpr std::string_view kNoWelcome = "No welcome from the server";
// The longest SASL failure reason a QUIT carries (cut at a character boundary).
inline constexpr std::size_t kMaxSaslReasonBytes = 200;
}  // namespace quit_reason
// "SASL login failed: <reason>", the reason cut to quit_reason::kMaxSaslReasonBytes.
std::string SaslQuitReason(std::string_view reason);
// The reason of a 908 answer: "908: the server offers EXTERNAL, SCRAM-SHA-256;
// IRCSASLMechanism is PLAIN." from the 908's comma-separated `offered`.
std::string SaslMechanismsText(std::string_view offered, std::string_view configured);

// Strict transport security. `until` is a time as UtcText (sts_policy.h)
// gives it; "" where the rule lasts only while the program runs.
std::string StsUpgradeText(const std::string& host, std::int32_t port);
std::string StsPolicyAppliedText(const std::string& host, std::int32_t port,
                                 const std::string& until);
std::string StsPolicyKeptText(const std::string& host, std::int32_t port, const std::string& until,
                              bool refreshed);
std::string StsPolicyRemovedText(const std::string& host);
std::string StsIgnoredText(const std::string& host);
// `target` is the server as host:port.
std::string StsTlsRequiredText(const std::string& target, const std::string& until);
std::string StsFileDamagedText(const std::string& path, const std::string& why);
std::string StsFileUnwritableText(const std::string& path, const std::string& error);
// The QUIT reason of a plain connection given up for TLS.
namespace quit_reason {
inline constexpr std::string_view kStsUpgrade = "Reconnecting with TLS (strict transport security)";
}  // namespace quit_reason
// The first start, once the example configuration was written: where the bot
// runs and where its configuration is.
namespace first_start {
inline constexpr std::string_view kInTheTray = "in the notification area";
inline constexpr std::string_view kWithoutWindow = "without a window";
}  // namespace first_start
// "Zelvo runs <where>. Its configuration was written to <path>; edit it and
// reload (or restart) to connect to your own server."
std::string FirstStartText(std::string_view where, std::string_view config_path);
// A start with a window by a program built without one (the service's).
inline constexpr std::string_view kNoWindowText =
    "This program has no window: start zelvo, or run this one with --headless.";
// The window's program could not hand a headless start to the program
// without a window; it runs on with the window's libraries loaded.
std::string HeadlessProgramUnusedText(const std::string& why);
// A shared library that a setting needs could not be loaded (`why` names it),
// with the Debian package that brings it.
std::string LibraryMissingText(const std::string& why, std::string_view package);
// The question before Quit while outputs are on, naming them.
std::string QuitWithOutputsOnText(const std::vector<std::string>& outputs_on);

}  // namespace zelvo
