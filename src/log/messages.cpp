#include "log/messages.h"

#include <array>
#include <span>
#include <string>
#include <string_view>

// The table: one row for each message, giving its name in log_msg, its id,
// its type and its fixed text, or "" and the function below that builds the
// text. A new message needs its row here and its name declared in messages.h.
#define ZELVO_LOG_MESSAGES(ROW)                                                              \
  /* Start-up. */                                                                            \
  ROW(kStarted, 1, kInformation, "Zelvo has started.")                                       \
  ROW(kTryingToWriteLog, 18, kInformation, "Trying to write the log.")                       \
  ROW(kMainFunctionError, 19, kError, "") /* MainFunctionErrorText */                        \
  ROW(kLogWriteFailed, 20, kError, "")    /* LogWriteFailedText */                           \
  ROW(kLogWritten, 21, kInformation, "Log written!")                                         \
  ROW(kReadingSettings, 25, kInformation, "Reads settings...")                               \
  ROW(kSettingsLoaded, 26, kInformation, "Setting loaded successfully.")                     \
  ROW(kShowingMainform, 27, kInformation, "Starting mainform...")                            \
  ROW(kPortFallback, 40, kWarning, "") /* PortFallbackText */                                \
  /* The configuration files. */                                                             \
  ROW(kCheckingConfigFiles, 3, kInformation,                                                 \
      "Checking if \"config.xml\" and \"config.xsd\" exist.")                                \
  ROW(kConfigMissing, 4, kWarning, "\"config.xml\" doesn't exist. Trying to create file.")   \
  ROW(kConfigCreated, 5, kInformation, "\"config.xml\" were created.")                       \
  ROW(kConfigFound, 6, kInformation, "\"config.xml\" were found.")                           \
  ROW(kSchemaMissing, 7, kWarning, "\"config.xsd\" doesn't exist. Trying to create file.")   \
  ROW(kSchemaCreated, 8, kInformation, "\"config.xsd\" were created.")                       \
  ROW(kSchemaFound, 9, kInformation, "\"config.xsd\" were found. Controlling the checksum.") \
  ROW(kSchemaChecksumCorrect, 10, kInformation, "\"config.xsd\" checksum were correct.")     \
  ROW(kSchemaChecksumIncorrect, 11, kError,                                                  \
      "\"config.xsd\" checksum were incorrect. Replaceing the file")                         \
  ROW(kSchemaReplaced, 12, kInformation, "\"config.xsd\" were replaced.")                    \
  /* Loading the configuration. */                                                           \
  ROW(kCreatingParser, 13, kInformation,                                                     \
      "Trying to create MSXML2.DOMDocument60 and MSXML2.XMLSchemaCache60.")                  \
  ROW(kReadingSchema, 14, kInformation, "Trying to read \"config.xsd\".")                    \
  ROW(kLoadingConfig, 15, kInformation, "Trying to load \"config.xml\" into moXMLConfig.")   \
  ROW(kValidatingConfig, 16, kInformation,                                                   \
      "Trying to validate \"config.xml\" based on \"config.xsd\".")                          \
  ROW(kConfigLoaded, 17, kInformation,                                                       \
      "\"config.xml\" are loaded correctly based on \"config.xsd\".")                        \
  ROW(kConfigFaulty, 22, kWarning, "\"config.xml\" is faulty, createing example-file.")      \
  ROW(kExampleCreated, 23, kInformation, "\"config.example.xml\" were created.")             \
  /* The front end (the window, or the terminal without one). */                             \
  ROW(kMainformLoaded, 28, kInformation, "Mainform loaded successfully.")                    \
  ROW(kMainwindowSetup, 29, kInformation, "Mainwindow setup...")                             \
  ROW(kAddingTrayIcon, 30, kInformation, "Adding icon in trayfield...")                      \
  ROW(kConnecting, 31, kInformation, "Starting mainform...")                                 \
  ROW(kClosing, 34, kInformation, "Closing Zelvo...")                                        \
  ROW(kHandlerError, 36, kError, "") /* HandlerErrorText */                                  \
  ROW(kNoSystemTray, 37, kWarning,                                                           \
      "No system tray available: the window stays on the task bar when minimised.")          \
  /* The IRC client. */                                                                      \
  ROW(kSocketStateChanged, 32, kInformation, "") /* SocketStateChangedText */                \
  ROW(kSocketError, 35, kError, "")              /* SocketErrorText */                       \
  ROW(kLineTooLong, 38, kWarning, "")            /* LineTooLongText */                       \
  ROW(kRepliesDropped, 39, kWarning, "")         /* RepliesDroppedText */                    \
  /* The connection (kConnectionIdFirst to kConnectionIdLast). */                            \
  ROW(kConnectAttempt, 50, kInformation, "") /* ConnectAttemptText */                        \
  ROW(kTlsUnverified, 51, kWarning, "")      /* TlsUnverifiedText */                         \
  ROW(kTlsError, 52, kError, "")             /* TlsErrorText */                              \
  ROW(kSaslSucceeded, 53, kInformation, "")  /* SaslSucceededText */                         \
  ROW(kSaslFailed, 54, kWarning, "")         /* SaslFailedText */                            \
  ROW(kNickFallback, 55, kWarning, "")       /* NickFallbackText */                          \
  ROW(kNickRegained, 56, kInformation, "")   /* NickRegainedText */                          \
  ROW(kKicked, 57, kWarning, "")             /* KickedText */                                \
  ROW(kJoinRefused, 58, kWarning, "")        /* JoinRefusedText */                           \
  ROW(kDeadLink, 59, kWarning, "")           /* DeadLinkText */                              \
  ROW(kReconnectIn, 60, kInformation, "")    /* ReconnectInText */                           \
  ROW(kServerError, 61, kWarning, "")        /* ServerErrorText */                           \
  ROW(kRegistered, 62, kInformation, "")     /* RegisteredText */                            \
  ROW(kJoined, 63, kInformation, "")         /* JoinedText */                                \
  /* A server line the connection could not keep up with, and no 001 in time. */             \
  ROW(kProtocolLineDropped, 64, kWarning, "") /* ProtocolLineDroppedText */                  \
  ROW(kRosterFull, 65, kWarning, "")          /* RosterFullText */                           \
  ROW(kRegistrationTimeout, 66, kWarning, "") /* RegistrationTimeoutText */                  \
  /* Why a connection attempt failed, with the setting to check, and a channel */            \
  /* name the server's CHANTYPES does not allow. */                                          \
  ROW(kConnectFailed, 71, kWarning, "")     /* ConnectFailedText */                          \
  ROW(kTlsMismatch, 72, kWarning, "")       /* ConnectFailedText */                          \
  ROW(kChannelTypeRefused, 73, kWarning, "") /* ChannelTypeRefusedText */                    \
  /* The event log itself. */                                                                \
  ROW(kLogPathRefused, 41, kWarning, "")       /* LogPathRefusedText */                      \
  ROW(kLogFileNotALog, 42, kWarning, "")       /* LogFileNotALogText */                      \
  ROW(kRewrittenInPlace, 43, kWarning, "")     /* RewrittenInPlaceText */                    \
  ROW(kLogUnwritable, 44, kError, "")          /* LogUnwritableText */                       \
  ROW(kLogWritableAgain, 45, kInformation, "") /* LogWritableAgainText */                    \
  ROW(kLogEntriesDropped, 46, kWarning, "")    /* LogEntriesDroppedText */                   \
  /* The rules: a line matched a rule's trigger and an allowed user's names, */              \
  /* but not the user's Host, Account or Status condition. */                                \
  ROW(kRuleNotRun, 70, kInformation, "") /* RuleNotRunText */                                \
  /* The MQTT broker connection and its commands. */                                         \
  ROW(kMqttConnected, 80, kInformation, "") /* MqttConnectedText */                          \
  ROW(kMqttDisconnected, 81, kWarning, "")  /* MqttDisconnectedText */                       \
  ROW(kMqttSwitched, 82, kInformation, "")  /* MqttSwitchedText */                           \
  ROW(kMqttWarning, 83, kWarning, "")       /* an ignored command, a failed publish */       \
  /* Switch commands from the broker beyond the limit per output, one entry */               \
  /* per burst. */                                                                           \
  ROW(kMqttCommandsDropped, 87, kWarning, "") /* MqttCommandsDroppedText */                  \
  /* The safe states and the configuration file's permissions. */                            \
  ROW(kOutputsOnDisconnect, 84, kWarning, "") /* OutputsOnDisconnectText */                  \
  ROW(kOutputsOnExit, 85, kInformation, "")   /* OutputsOnExitText */                        \
  ROW(kPasswordReadable, 86, kWarning, "")    /* PasswordFileWarning (config_loader.h) */    \
  /* Reading config.xml again while the bot runs (SIGHUP). */                                \
  ROW(kReloading, 90, kInformation, "Reading \"config.xml\" again.")                         \
  ROW(kReloaded, 91, kInformation, "")       /* ReloadedText */                              \
  ROW(kReloadFailed, 92, kError, "")         /* ReloadFailedText */                          \
  ROW(kReloadNeedsRestart, 93, kWarning, "") /* ReloadNeedsRestartText */

namespace zelvo {

// Each row defines its constant, constant-initialised.
namespace log_msg {
#define ZELVO_DEFINE_MESSAGE(name, id, type, text) constexpr LogMessage name{id, type, text};
ZELVO_LOG_MESSAGES(ZELVO_DEFINE_MESSAGE)
#undef ZELVO_DEFINE_MESSAGE
}  // namespace log_msg

namespace {
#define ZELVO_LIST_MESSAGE(name, id, type, text) log_msg::name,
constexpr std::array kCatalogue = {ZELVO_LOG_MESSAGES(ZELVO_LIST_MESSAGE)};
#undef ZELVO_LIST_MESSAGE
}  // namespace

#undef ZELVO_LOG_MESSAGES

std::span<const LogMessage> LogCatalogue() {
  return kCatalogue;
}

void WriteMessage(const LogWriter& log, const LogMessage& message) {
  if (log) log(message.id, message.type, std::string(message.text));
}

void WriteMessage(const LogWriter& log, const LogMessage& message, const std::string& text) {
  if (log) log(message.id, message.type, text);
}

// The texts built for the messages of the table.

std::string MainFunctionErrorText(long long number, const std::string& description) {
  return "An error occurd in the main-function: Error-Number: " + std::to_string(number) +
         " Error-Description: " + description;
}

std::string LogWriteFailedText(const std::string& flush_error) {
  return "An error occurd when trying to write the log: " + flush_error +
         "\r\nTrying to copy to clipboard instead.";
}

std::string HandlerErrorText(const std::string& error) {
  return "An error occurd in an event handler: " + error;
}

std::string SocketStateChangedText(const std::string& state) {
  return "Socket-connection changed to: " + state;
}

std::string SocketErrorText(long long number, const std::string& description, long long scode,
                            const std::string& source, const std::string& help_file,
                            long long help_context) {
  return "Socket connection error!\r\nError number: " + std::to_string(number) +
         "\r\n Description: " + description + "\r\n Scode: " + std::to_string(scode) +
         "\r\n Source: " + source + "\r\n HelpFile: " + help_file +
         "\r\n HelpContext: " + std::to_string(help_context);
}

std::string LineTooLongText(std::size_t max_bytes) {
  return "Dropped an incoming line longer than " + std::to_string(max_bytes) + " bytes.";
}

std::string ProtocolLineDroppedText(const std::string& line, std::size_t waiting) {
  return "Dropped the line \"" + line + "\": " + std::to_string(waiting) +
         " protocol lines are waiting to be sent already.";
}

std::string RosterFullText(const std::string& channel, std::size_t kept) {
  return "More than " + std::to_string(kept) + " members in " + channel + ": only the first " +
         std::to_string(kept) + " are followed; the others' status and account are not known.";
}

std::string RegistrationTimeoutText(long seconds) {
  return "The server did not complete the registration (001) within " + std::to_string(seconds) +
         " s: disconnecting.";
}

std::string RepliesDroppedText(std::size_t dropped) {
  return "Dropped " + std::to_string(dropped) + (dropped == 1 ? " reply" : " replies") +
         " to keep the bot from flooding the server.";
}

std::string ConnectAttemptText(const std::string& target, bool tls) {
  return "Connecting to " + target + (tls ? " with TLS." : " without TLS.");
}

std::string TlsUnverifiedText(const std::string& target) {
  return "The certificate of " + target +
         " is not verified (IRCTLSVerify is false): anyone on the way can read and change the "
         "traffic.";
}

std::string TlsErrorText(const std::string& target, const std::string& reason,
                         const std::string& fingerprint) {
  return "TLS connection to " + target + " refused: " + reason +
         " Certificate SHA-256 fingerprint: " + (fingerprint.empty() ? "none shown" : fingerprint) +
         ".";
}

std::string SaslSucceededText(const std::string& account) {
  return "Logged in with SASL" + (account.empty() ? "" : " as " + account) + ".";
}

std::string SaslFailedText(const std::string& reason, bool required) {
  return "SASL login failed: " + reason +
         (required ? " Disconnecting (IRCSASLRequired)." : " Going on without login.");
}

std::string NickFallbackText(const std::string& refused, const std::string& command,
                             const std::string& reason, const std::string& next) {
  return "The nickname " + refused + " is not available (" + command + " " + reason + "); trying " +
         next + ".";
}

std::string NickRegainedText(const std::string& nick) {
  return "Regained the nickname " + nick + ".";
}

std::string KickedText(const std::string& channel, const std::string& by, const std::string& reason,
                       long rejoin_delay) {
  return "Kicked from " + channel + " by " + by + " (" + reason + ")" +
         (rejoin_delay > 0 ? "; rejoining in " + std::to_string(rejoin_delay) + " s."
                           : "; not rejoining (IRCRejoinDelay is 0).");
}

std::string JoinRefusedText(const std::string& channel, const std::string& reason,
                            const std::string& command, long seconds) {
  return "Cannot join " + channel + ": " + reason + " (" + command + "); trying again in " +
         std::to_string(seconds) + " s.";
}

std::string DeadLinkText(long timeout) {
  return "Nothing received for " + std::to_string(timeout) + " s and no answer to a PING for " +
         std::to_string(timeout) + " s more: the link is dead.";
}

std::string ReconnectInText(long seconds) {
  return "Reconnecting in " + std::to_string(seconds) + " s.";
}

std::string ServerErrorText(const std::string& message) {
  return "The server ended the connection: " + message;
}

std::string RegisteredText(const std::string& server, const std::string& nick) {
  return "Registered with " + server + " as " + nick + ".";
}

std::string JoinedText(const std::string& channel) {
  return "Joined " + channel + ".";
}

std::string JoinRefusedCheckText(const std::string& channel, const std::string& reason,
                                 const std::string& command, long seconds,
                                 const std::string& setting) {
  return JoinRefusedText(channel, reason, command, seconds) + " Check " + setting + ".";
}

std::string JoinRefusedStatusText(const std::string& channel, const std::string& reason,
                                  const std::string& command, const std::string& setting) {
  return "Cannot join " + channel + ": " + reason + " (" + command + "): check " + setting;
}

std::string ConnectFailedText(const std::string& target, std::string_view cause) {
  return "Cannot connect to " + target + ": " + std::string(cause);
}

std::string TlsFailedCause(const std::string& reason) {
  std::string_view why = reason;
  while (!why.empty() && why.back() == '.') why.remove_suffix(1);
  return "TLS failed (IRCTLS, IRCTLSVerify, IRCTLSCAFile, IRCTLSFingerprint): " + std::string(why);
}

std::string TlsNoAnswerText(long long seconds) {
  return "The server sent no answer to the TLS handshake within " + std::to_string(seconds) +
         " s.";
}

std::string ChannelTypeRefusedText(const std::string& channel, const std::string& chantypes) {
  return "The server's channel names begin with one of \"" + chantypes +
         "\" (its CHANTYPES), " + channel + " does not: check IRCChannel.";
}

std::string PortFallbackText(std::string_view missing_device) {
  return "No parallel port was found (" + std::string(missing_device) +
         " does not exist): the outputs are simulated in memory and switch no device. Choose a "
         "device with the OutputDevice setting, e.g. parport:/dev/parport0, ioport:0x378 or "
         "file:PATH.";
}

std::string LogPathRefusedText(const std::string& setting, const std::string& used_path) {
  return "The LogFile \"" + setting +
         "\" names a file of the configuration; the log is written to \"" + used_path +
         "\" instead.";
}

std::string LogFileNotALogText(const std::string& file, const std::string& used_path) {
  return "\"" + file + "\" does not begin as a log of Zelvo and is left as it is; the log is " +
         "written to \"" + used_path + "\" instead.";
}

std::string RewrittenInPlaceText(const std::string& path) {
  return "No new file can be made beside \"" + path +
         "\", so it was rewritten in place: a crash or a full disk during such a write can leave "
         "it damaged. Allow Zelvo to create files in its folder.";
}

std::string LogUnwritableText(const std::string& reason, std::size_t kept) {
  return "The log cannot be written: " + reason + " Up to " + std::to_string(kept) +
         " entries are kept and written when it can be written again.";
}

std::string LogWritableAgainText(std::size_t written, std::size_t dropped) {
  std::string text =
      "The log can be written again; " + std::to_string(written) + " kept entries were written";
  if (dropped > 0) {
    text += ", " + std::to_string(dropped) + " older ones did not fit and were dropped";
  }
  return text + ".";
}

std::string LogEntriesDroppedText(std::size_t dropped) {
  return std::to_string(dropped) +
         " log entries were dropped while the log could not be written (only the newest are kept).";
}

std::string RuleNotRunText(std::string_view rule, const std::string& sender,
                           const std::string& missing) {
  return "Rule \"" + std::string(rule) + "\" not run for " + sender + ": " + missing;
}

std::string MqttConnectedText(const std::string& broker) {
  return "Connected to the MQTT broker " + broker + ".";
}

std::string MqttDisconnectedText(const std::string& broker, const std::string& why,
                                 long long seconds) {
  return "MQTT broker " + broker + ": " + why + "; trying again in " + std::to_string(seconds) +
         " s.";
}

std::string MqttSwitchedText(int output, bool on, std::string_view command,
                             const std::string& topic) {
  return "Output " + std::to_string(output) + " switched " + (on ? "on" : "off") + " by " +
         std::string(command) + " on " + topic + ".";
}

std::string MqttCommandsDroppedText(int output, long long dropped, long long seconds,
                                    int per_second, const std::string& topic) {
  return "Dropped " + std::to_string(dropped) + (dropped == 1 ? " command" : " commands") +
         " for output " + std::to_string(output) + " on " + topic + " within " +
         std::to_string(seconds) + " s: at most " + std::to_string(per_second) +
         " a second are taken for each output.";
}

std::string OutputsOnDisconnectText(const std::string& channel, long long seconds, int byte) {
  return "Out of " + channel + " for " + std::to_string(seconds) + " s: the outputs are set to " +
         std::to_string(byte) + " (OutputsOnDisconnect).";
}

std::string OutputsOnExitText(int byte) {
  return "Closing: the outputs are set to " + std::to_string(byte) + " (OutputsOnExit).";
}

std::string ReloadFailedText(const std::string& report) {
  return "\"config.xml\" was not reloaded; the bot goes on with the configuration it has: " +
         report;
}

std::string ReloadedText(long long rules, long long kept, bool reconnected, bool devices_reopened) {
  return "\"config.xml\" reloaded: " + std::to_string(rules) + " rules (" + std::to_string(kept) +
         " kept their state); the IRC connection was " + (reconnected ? "reopened" : "kept") +
         ", the output devices were " + (devices_reopened ? "reopened." : "kept.");
}

std::string ReloadNeedsRestartText(const std::string& settings) {
  return "Changed settings that take effect at the next start: " + settings + ".";
}

// Texts shown without a log entry of their own.

std::string ProblemSolvedText(std::string_view what) {
  std::string text = "The ";
  return text.append(what).append(" works again.");
}

std::string PortProblemText(std::string_view error) {
  std::string text = "The outputs cannot be written: ";
  return text.append(error);
}

std::string RuleNotSwitchedText(std::string_view rule, std::string_view error) {
  std::string text = "Rule \"";
  text.append(rule).append("\" switched nothing: the port refused the outputs: ").append(error);
  return text;
}

}  // namespace zelvo
