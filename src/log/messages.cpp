#include "log/messages.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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
  /* A failed attempt moves on to the next server of IRCServers at once. */                  \
  ROW(kNextServer, 89, kInformation, "") /* NextServerText */                                \
  /* A capability added or withdrawn while connected (CAP NEW, CAP DEL). */                  \
  ROW(kCapabilityChanged, 98, kInformation, "") /* CapabilityChangedText */                  \
  /* The event log itself. */                                                                \
  ROW(kLogPathRefused, 41, kWarning, "")       /* LogPathRefusedText */                      \
  ROW(kLogFileNotALog, 42, kWarning, "")       /* LogFileNotALogText */                      \
  ROW(kRewrittenInPlace, 43, kWarning, "")     /* RewrittenInPlaceText */                    \
  ROW(kLogUnwritable, 44, kError, "")          /* LogUnwritableText */                       \
  ROW(kLogWritableAgain, 45, kInformation, "") /* LogWritableAgainText */                    \
  ROW(kLogEntriesDropped, 46, kWarning, "")    /* LogEntriesDroppedText */                   \
  ROW(kLogFolderMissing, 67, kWarning, "")     /* LogFolderMissingText */                    \
  /* The rules: a line matched a rule's trigger and an allowed user's names, */              \
  /* but not the user's Host, Account or Status condition. */                                \
  ROW(kRuleNotRun, 70, kInformation, "") /* RuleNotRunText */                                \
  /* The limits: a sender beyond SenderRateLimit (once per window), a rule */                \
  /* refused because an output changed less than OutputMinInterval ago. */                   \
  ROW(kSenderLimited, 74, kWarning, "")     /* SenderLimitedText */                          \
  ROW(kOutputTooSoon, 75, kInformation, "") /* OutputTooSoonText */                          \
  /* Channel lines played back from before the bot joined, one entry per */                  \
  /* batch or burst (IgnoreReplayedLines). */                                                \
  ROW(kReplayedLinesIgnored, 96, kInformation, "") /* ReplayedLinesIgnoredText */            \
  /* The MQTT broker connection and its commands. */                                         \
  ROW(kMqttConnected, 80, kInformation, "") /* MqttConnectedText */                          \
  ROW(kMqttDisconnected, 81, kWarning, "")  /* MqttDisconnectedText */                       \
  ROW(kMqttSwitched, 82, kInformation, "")  /* MqttSwitchedText */                           \
  ROW(kMqttWarning, 83, kWarning, "")       /* an ignored command, a failed publish */       \
  /* Switch commands from the broker beyond the limit per output, one entry */               \
  /* per burst. */                                                                           \
  ROW(kMqttCommandsDropped, 87, kWarning, "") /* MqttCommandsDroppedText */                  \
  /* A retained command on a command topic, ignored (MQTTIgnoreRetainedCommands). */         \
  ROW(kMqttRetainedCommand, 88, kWarning, "") /* MqttRetainedCommandText */                  \
  /* The safe states and the configuration file's permissions. */                            \
  ROW(kOutputsOnDisconnect, 84, kWarning, "") /* OutputsOnDisconnectText */                  \
  ROW(kOutputsOnExit, 85, kInformation, "")   /* OutputsOnExitText */                        \
  ROW(kStartStateUnread, 77, kWarning, "")    /* StartStateMissingText, ...UnreadableText */ \
  ROW(kStateFileUnwritable, 78, kWarning, "") /* StateFileUnwritableText */                  \
  ROW(kPasswordReadable, 86, kWarning, "")    /* PasswordFileWarning (config_loader.h) */    \
  ROW(kSaslKeyReadable, 49, kWarning, "")     /* SaslKeyFileWarning (config_loader.h) */     \
  /* Reading config.xml again while the bot runs (SIGHUP). */                                \
  ROW(kReloading, 90, kInformation, "Reading \"config.xml\" again.")                         \
  ROW(kReloaded, 91, kInformation, "")       /* ReloadedText */                              \
  ROW(kReloadFailed, 92, kError, "")         /* ReloadFailedText */                          \
  ROW(kReloadNeedsRestart, 93, kWarning, "") /* ReloadNeedsRestartText */                    \
  /* The audit trail: one entry per change of the outputs. */                                \
  ROW(kSwitched, 94, kInformation, "")    /* SwitchedText */                                 \
  ROW(kJournalFailed, 95, kWarning, "")   /* JournalFailedText */                            \
  /* The rule lint's warnings (rule_lint.h). */                                              \
  ROW(kRuleLintWarning, 47, kWarning, "") /* the finding's text */                           \
  /* A SCRAM login where the server did not prove that it knows the password. */             \
  ROW(kSaslInterception, 48, kError, "") /* SaslInterceptionText */                          \
  /* Strict transport security: a move to TLS, a policy kept or ended, policies */           \
  /* ignored (IRCSTS), TLS failing where a policy requires it, the policy file. */           \
  ROW(kStsUpgrade, 69, kInformation, "")  /* StsUpgradeText, StsPolicyAppliedText */         \
  ROW(kStsPolicy, 76, kInformation, "")   /* StsPolicyKeptText, StsPolicyRemovedText */      \
  ROW(kStsIgnored, 79, kWarning, "")      /* StsIgnoredText */                               \
  ROW(kStsTlsRequired, 104, kWarning, "") /* StsTlsRequiredText */                           \
  ROW(kStsFileProblem, 105, kWarning, "") /* StsFileDamagedText, StsFileUnwritableText */    \
  /* Owner commands: one received, a private message from anyone else */                     \
  /* (once per sender and hour). */                                                          \
  ROW(kOwnerCommand, 110, kInformation, "") /* OwnerCommandText */                           \
  ROW(kOwnerRefused, 111, kWarning, "")     /* OwnerRefusedText */

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

namespace {

// The value of the report line that begins with `label`; "" when none does.
std::string ReportValue(const std::vector<std::string>& lines, std::string_view label) {
  for (const std::string& line : lines)
    if (line.starts_with(label)) return line.substr(label.size());
  return "";
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

}  // namespace

std::string FatalCauseText(const std::string& description, const std::string& program_dir,
                           const std::string& log_path) {
  constexpr std::size_t kReportLines = 8;
  const std::vector<std::string> lines = SplitLines(description);
  std::string cause;
  if (lines.size() >= kReportLines &&
      (lines[0] == "Couldn't load \"config.xml\" into moXMLConfig." ||
       lines[0] == "Invalid \"config.xml\" based on \"config.xsd\".")) {
    cause = ReportValue(lines, "URL: ") + ", line " + ReportValue(lines, "Line: ") + ": " +
            ReportValue(lines, "Error-Reason: ");
    while (!cause.empty() && (cause.back() == ' ' || cause.back() == '\n')) cause.pop_back();
    for (std::size_t i = kReportLines; i < lines.size(); ++i)
      if (!lines[i].empty()) {
        cause += "\n" + lines[i];
        break;
      }
  } else if (description == "Zelvo is already running.") {
    cause = "Another Zelvo runs with the folder " + program_dir + " (it holds " + program_dir +
            "/zelvo.lock). Stop it first, or start this one with another --dir.";
  } else {
    for (const std::string& line : lines) {
      if (line.empty()) continue;
      cause += (cause.empty() ? "" : " ") + line;
    }
  }
  return cause + "\nLog: " + log_path;
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

std::string CapabilityChangedText(const std::string& name, bool added) {
  return added ? "The server added the capability \"" + name + "\"; the bot uses it now."
               : "The server withdrew the capability \"" + name +
                     "\"; the bot no longer relies on it.";
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

std::string NextServerText(const std::string& target) {
  return "Trying the next server at once: " + target + " (IRCServers).";
}

std::string BindFailedCause(const std::string& address, std::string_view reason) {
  while (!reason.empty() && reason.back() == '.') reason.remove_suffix(1);
  return "cannot bind the local end to " + address + " (IRCBindAddress): " + std::string(reason);
}

std::string NoAddressForBindCause(const std::string& address) {
  const bool v6 = address.find(':') != std::string::npos;
  return std::string("host not found, or it has no ") + (v6 ? "IPv6" : "IPv4") +
         " address to reach from IRCBindAddress " + address + " (IRCDomain, IRCServers)";
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

std::string LogFolderMissingText(const std::string& folder, const std::string& setting,
                                 const std::string& used_path) {
  return "The folder \"" + folder + "\" of the LogFile \"" + setting +
         "\" does not exist; the log is written to \"" + used_path +
         "\" instead. Create the folder or change LogFile.";
}

std::string RuleNotRunText(std::string_view rule, const std::string& sender,
                           const std::string& missing) {
  return "Rule \"" + std::string(rule) + "\" not run for " + sender + ": " + missing;
}

std::string SenderLimitedText(const std::string& sender, const std::string& prefix, long long count,
                              long long seconds, long long wait) {
  return "Sender " + sender + " (" + prefix + ") ran " + std::to_string(count) + " rules in " +
         std::to_string(seconds) + " s, the most SenderRateLimit allows: their lines fire no " +
         "rule until the limit ends in " + std::to_string(wait) + " s.";
}

std::string SenderLimitedNoticeText(long long count, long long seconds, long long wait) {
  return "You ran " + std::to_string(count) + " commands in " + std::to_string(seconds) +
         " s, the most allowed; your lines switch nothing for the next " + std::to_string(wait) +
         " s.";
}

std::string OutputTooSoonPart(int output, const std::string& name, long long interval,
                              long long wait) {
  return "output " + std::to_string(output) + " \"" + name + "\" changed less than " +
         std::to_string(interval) + " s ago (OutputMinInterval); it may switch again in " +
         std::to_string(wait) + " s";
}

std::string OutputTooSoonText(std::string_view rule, int output, const std::string& name,
                              long long interval, long long wait) {
  return "Rule \"" + std::string(rule) +
         "\" not run: " + OutputTooSoonPart(output, name, interval, wait) + ".";
}

std::string ReplayedLinesIgnoredText(std::size_t lines, const std::string& channel) {
  return "Ignored " + std::to_string(lines) + (lines == 1 ? " replayed line" : " replayed lines") +
         " from before the bot joined " + channel +
         " (played back by the server or bouncer; IgnoreReplayedLines is true).";
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

std::string MqttRetainedCommandText(const std::string& topic) {
  // The topic as one shell word: quoted unless it is made of safe characters.
  std::string word = topic;
  if (topic.find_first_not_of(
          "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_/.-") !=
      std::string::npos) {
    word = "'";
    for (char c : topic) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    word += "'";
  }
  return "Ignored a retained MQTT command on " + topic +
         ": the broker hands it over again at every connection (MQTTIgnoreRetainedCommands). "
         "Clear it with: mosquitto_pub -r -n -t " +
         word +
         " (with the broker's -h, -p and login). Further retained commands on this topic are "
         "ignored without a warning until the next connection.";
}

std::string OutputsOnDisconnectText(const std::string& channel, long long seconds, int byte) {
  return "Out of " + channel + " for " + std::to_string(seconds) + " s: the outputs are set to " +
         std::to_string(byte) + " (OutputsOnDisconnect).";
}

std::string StartStateMissingText(const std::string& path) {
  return "OutputsOnStart is \"last\", but " + path +
         " does not exist (the first start, or the file was removed): the outputs start off.";
}

std::string StartStateUnreadableText(const std::string& path, const std::string& why) {
  return "OutputsOnStart is \"last\", but " + path + " is damaged (" + why +
         "): the outputs start off. The file is written anew at the next change.";
}

std::string StateFileUnwritableText(const std::string& error) {
  return "The outputs' state for OutputsOnStart \"last\" could not be kept: " + error;
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

std::string OutputBitsText(int byte) {
  std::string bits(8, '0');
  for (std::size_t n = 1; n <= bits.size(); ++n)
    if ((byte >> (n - 1)) & 1) bits[bits.size() - n] = '1';
  return bits;
}

std::string SwitchedText(std::string_view cause, std::string_view rule, std::string_view sender,
                         std::string_view account, int before, int after) {
  std::string text = "Switched by ";
  text.append(cause);
  if (!rule.empty()) text.append(" (rule \"").append(rule).append("\")");
  if (!sender.empty()) text.append(" from ").append(sender);
  if (!account.empty()) text.append(" (account ").append(account).append(")");
  return text + ": " + OutputBitsText(before) + " -> " + OutputBitsText(after) + ".";
}

std::string OwnerCommandText(std::string_view command, std::string_view prefix,
                             std::string_view account) {
  std::string text = "Owner command \"";
  text.append(command).append("\" from ").append(prefix);
  return text.append(" (account ").append(account).append(").");
}

std::string OwnerRefusedText(std::string_view prefix, std::string_view sender,
                             std::string_view account, std::string_view owners) {
  std::string text = "Private message from ";
  text.append(prefix).append(" not taken as an owner command: ");
  if (account.empty())
    text.append("not logged in to a services account");
  else
    text.append("logged in as \"").append(account).append("\"");
  text.append(", and IRCOwners lists only ").append(owners);
  text.append(". Not answered; said again for ").append(sender).append(" after an hour.");
  return text;
}

std::string JournalFailedText(const std::string& error) {
  return "The changes of the outputs cannot be sent to the journal (" + error +
         "); they are still logged here. Said again only after a send has worked.";
}

// The rule lint.

std::string RuleLabelText(int position, std::string_view name) {
  std::string text = "rule " + std::to_string(position) + " \"";
  return text.append(name).append("\"");
}

std::string UnknownFlagText(const std::string& rule, std::string_view flag,
                            std::string_view suggestion) {
  std::string text = rule + ": unknown flag \"";
  return text.append(flag).append("\"; did you mean \"").append(suggestion).append("\"?");
}

std::string FlagOutputRangeText(const std::string& rule, std::string_view flag, long long output) {
  std::string text = rule + ": flag \"";
  return text.append(flag).append("\" names output " + std::to_string(output) +
                                  ", but the outputs are 1 to 8; use one of them.");
}

std::string NegativeSecondsText(const std::string& rule, std::string_view attribute,
                                long long value) {
  std::string text = rule + ": ";
  return text.append(attribute).append("=\"" + std::to_string(value) +
                                       "\" is negative; use 0 or a number of seconds.");
}

std::string TriggerNeverMatchesText(const std::string& rule, std::string_view trigger,
                                    TriggerFix fix) {
  std::string text = rule + ": the trigger \"";
  text.append(trigger).append("\" can never match a received line");
  switch (fix) {
    case TriggerFix::kEndStar:
      return text + ", which ends with CR LF; end the trigger with \"*\".";
    case TriggerFix::kStartStar:
      return text + ", which begins with \":\"; begin the trigger with \"*\".";
    case TriggerFix::kBothStars:
      return text +
             ", which begins with \":\" and ends with CR LF; begin and end the trigger "
             "with \"*\".";
    case TriggerFix::kEmptyList:
      break;
  }
  return text +
         ": it holds a list that no character fits (a range such as \"[z-a]\" runs "
         "backwards); fix the list.";
}

std::string TriggerHashText(const std::string& rule, std::string_view trigger,
                            std::string_view fixed) {
  std::string text = rule + ": in the trigger \"";
  return text.append(trigger)
      .append(
          "\" a \"#\" stands for one digit, not for the \"#\" of a channel name; write "
          "\"[#]\" for the character: \"")
      .append(fixed)
      .append("\".");
}

std::string UserPatternText(const std::string& rule, int user, UserPatternFault fault,
                            std::string_view pattern) {
  const std::string who = rule + ": user " + std::to_string(user) + "'s ";
  std::string quoted = "\"";
  quoted.append(pattern).append("\"");
  switch (fault) {
    case UserPatternFault::kNickname:
      return who + "Nickname " + quoted +
             " can never match: a nickname holds no blank, \"!\", \"@\", CR, LF or NUL; fix "
             "the pattern.";
    case UserPatternFault::kUsername:
      return who + "Username " + quoted +
             " can never match: a user name holds no blank, \"@\", CR, LF or NUL; fix the "
             "pattern.";
    case UserPatternFault::kEmptyNickname:
      break;
  }
  return who + "Nickname is empty, but a nickname never is; use \"*\" for any nickname.";
}

std::string RuleNeverRunsText(const std::string& rule, NeverRunsCause cause) {
  const std::string text = rule + ": the rule can never run: ";
  switch (cause) {
    case NeverRunsCause::kNoUsers:
      return text +
             "it has no allowed user; add a User (Username=\"*\" Nickname=\"*\" for "
             "anybody).";
    case NeverRunsCause::kWeekdaysAndWeekends:
      return text +
             "ExecuteOnWeekdaysOnly and ExecuteOnWeekendsOnly together leave no day; "
             "keep one of them.";
    case NeverRunsCause::kFocusAndNonFocus:
      return text +
             "ExecuteOnlyWhenVeskoHasFocus and ExecuteOnlyWhenVeskoHasNonFocus together "
             "leave no moment; keep one of them.";
    case NeverRunsCause::kNoUserCanMatch:
      break;
  }
  return text + "none of its allowed users can match a sender; fix their patterns.";
}

std::string AutoReturnWithoutOutputText(const std::string& rule, long long seconds) {
  const std::string value = std::to_string(seconds);
  return rule + ": AutoReturn=\"" + value +
         "\" but the rule switches no output: there is nothing to put back, yet the rule waits " +
         value + " seconds before it runs again; set AutoReturn=\"0\" or add a SetOutput flag.";
}

std::string Utf8InDeclaredEncodingText(std::string_view encoding, std::span<const int> lines) {
  std::string text = "config.xml declares encoding=\"";
  text.append(encoding).append(lines.size() == 1 ? "\" but line " : "\" but lines ");
  for (std::size_t i = 0; i < lines.size(); ++i)
    text += (i == 0 ? "" : ", ") + std::to_string(lines[i]);
  return text + (lines.size() == 1 ? " holds" : " hold") +
         " UTF-8 characters, which read as other characters (\"T\xC3\xBCr\" as "
         "\"T\xC3\x83\xC2\xBCr\"); save the file as " +
         std::string(encoding) + " or change its declaration to encoding=\"UTF-8\".";
}

std::string CheckWarningLine(const std::string& warning) {
  return "zelvo: warning: " + warning + "\n";
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

// Settings of config.xml that the reader refuses.

std::string ServerMissingText() {
  return "no server is named: write the host name or address of the IRC server, e.g. "
         "irc.libera.chat.";
}

std::string ChannelCharactersText(const std::string& channel) {
  return "\"" + channel +
         "\": channel names cannot hold blanks, commas or control characters. Remove them; the "
         "bot joins one channel, and its key goes in IRCChannelKey.";
}

std::string ChannelPrefixText(const std::string& channel) {
  return "\"" + channel + "\" does not begin with a channel prefix (# & + !): write " +
         (channel.empty() ? "the channel with its prefix, e.g. \"#zelvo\"."
                          : "\"#" + channel + "\".");
}

std::string NicknameCharactersText(const std::string& nickname) {
  return "\"" + nickname +
         "\": nicknames cannot hold blanks or control characters; write it without them.";
}

std::string NicknameStartText(const std::string& nickname) {
  return "\"" + nickname +
         "\": nicknames cannot begin with a digit or \"-\"; begin it with a letter.";
}

std::string NegativeSizeText(long long size, std::string_view what) {
  return "\"" + std::to_string(size) + "\" is negative: write the window's " + std::string(what) +
         " in pixels, 0 or more.";
}

std::string SaslPlainIncompleteText(bool no_username, bool no_password,
                                    const std::string& mechanism) {
  const std::string missing = no_username && no_password ? "IRCSASLUsername and IRCSASLPassword are"
                              : no_username              ? "IRCSASLUsername is"
                                                         : "IRCSASLPassword is";
  return "\"Zelvo/Settings/IRCSASLMechanism\" is " + mechanism + ", which logs in with IRCSASLUsername and "
         "IRCSASLPassword, but " +
         missing + " missing or empty: set " + (no_username && no_password ? "them" : "it") +
         ", or remove IRCSASLMechanism.";
}

std::string SaslKeyFileText(SaslKeyProblem problem, const std::string& path) {
  const std::string make =
      " Make one with: openssl ecparam -name prime256v1 -genkey -noout -out zelvo.key";
  const std::string file = "\"Zelvo/Settings/IRCSASLKeyFile\" " + path;
  switch (problem) {
    case SaslKeyProblem::kMissing:
      return "\"Zelvo/Settings/IRCSASLMechanism\" is ECDSA-NIST256P-CHALLENGE, which logs in with "
             "IRCSASLUsername and the private key in IRCSASLKeyFile, but " +
             std::string(path.empty() ? "IRCSASLKeyFile" : "IRCSASLUsername") +
             " is missing or empty: set it, or remove IRCSASLMechanism." +
             (path.empty() ? make : "");
    case SaslKeyProblem::kUnreadable:
      return file + " cannot be read: check the path and that the bot's user may read it.";
    case SaslKeyProblem::kNotPemKey:
      return file + " holds no PEM private key (an encrypted key cannot be used)." + make;
    case SaslKeyProblem::kNotEc:
      return file + " holds a private key that is not an elliptic-curve (EC) key." + make;
    case SaslKeyProblem::kNotP256:
      return file + " holds an EC key on another curve than P-256 (prime256v1)." + make;
  }
  return file;
}

std::string SaslKeyReadableText(const std::string& quoted_path) {
  return "IRCSASLKeyFile holds a private key and can be read by other users; run: chmod go-r " +
         quoted_path;
}

std::string TopicWildcardText(const std::string& topic) {
  return "\"" + topic +
         "\": the MQTT wildcards # and + cannot stand in the topics the bot publishes to; write "
         "a plain prefix, e.g. \"zelvo\" or \"home/lab\".";
}

std::string ElementOrderText(const std::string& parent, const std::string& element,
                             const std::string& expected, const std::string& placement) {
  std::string text = "Order: the elements of " + parent + " follow a fixed order";
  if (parent == "Settings") text += " (the table under \"Configuration\" in README.md)";
  text += "; here the schema expects " + expected + "; ";
  return text + element +
         (placement.empty() ? " is not an element of " + parent + "."
                            : " belongs " + placement + ".");
}

std::string SaslQuitReason(std::string_view reason) {
  std::size_t length = std::min(reason.size(), quit_reason::kMaxSaslReasonBytes);
  // Back off UTF-8 continuation bytes so the cut falls between characters.
  while (length < reason.size() && length > 0 &&
         (static_cast<unsigned char>(reason[length]) & 0xC0) == 0x80) {
    --length;
  }
  return "SASL login failed: " + std::string(reason.substr(0, length));
}

std::string SaslMechanismsText(std::string_view offered, std::string_view configured) {
  std::string list;
  for (char c : offered) list += c == ',' ? std::string(", ") : std::string(1, c);
  return "908: the server offers " + list + "; IRCSASLMechanism is " + std::string(configured) +
         ".";
}

// The report of zelvo --explain.
namespace explain_text {

namespace {
std::string Joined(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (std::string_view part : parts) text.append(part);
  return text;
}
}  // namespace

std::string LineText(std::string_view line) {
  return Joined({"Line: ", line});
}

std::string SenderText(std::string_view prefix, const std::string* account,
                       std::string_view status) {
  return Joined({"Sender: ", prefix, ", ",
                 account ? "logged in as \"" + *account + "\"" : "not logged in", ", ",
                 status.empty() ? "no channel status" : Joined({"channel status ", status})});
}

std::string RuleText(int number, std::string_view rule, std::string_view detail) {
  return Joined({"Rule ", std::to_string(number), " \"", rule, "\": ", detail});
}

std::string FiresText(std::string_view switches, std::string_view reply, long long rest,
                      long long auto_return) {
  std::string text = Joined({"fires: ", switches.empty() ? "switches nothing" : switches});
  if (!reply.empty()) text += Joined({"; replies \"", reply, "\""});
  if (auto_return > 0)
    text += "; puts the outputs back after " + std::to_string(auto_return) + " s";
  return text + (rest > 0 ? "; may run again after " + std::to_string(rest) + " s"
                          : "; may run again at once");
}

std::string SwitchText(int output, std::string_view name, std::string_view action) {
  return Joined({"output ", std::to_string(output), " \"", name, "\" ", action});
}

std::string OwnLineText(std::string_view nick) {
  return Joined({"does not fire: the line comes from the bot's own nickname ", nick,
                 ", and the bot ignores its own lines"});
}

std::string NotPrivmsgText(std::string_view command, std::string_view channel) {
  return Joined(
      {"does not fire: the line is a ", command, ", only a PRIVMSG to ", channel, " counts"});
}

std::string OtherChannelText(std::string_view target, std::string_view channel) {
  return Joined({"does not fire: the line goes to ", target, ", not to the channel ", channel});
}

std::string CtcpText(std::string_view request) {
  return Joined({"does not fire: the text is the CTCP request ", request,
                 ", and of those only ACTION counts"});
}

std::string NoUserPrefixText(std::string_view prefix) {
  return Joined({"does not fire: the sender \"", prefix,
                 "\" has no \"!\" before its \"@\", so no allowed user can match"});
}

std::string TriggerStopText(std::string_view trigger, std::string_view part, bool at_start,
                            std::string_view pattern_rest, std::string_view line_rest) {
  std::string text =
      Joined({"does not fire: trigger \"", trigger, "\" does not match: ", part,
              at_start ? " does not match the start of the line" : " is found nowhere in the line",
              "; matching stopped where the trigger has \"", pattern_rest, "\" and the line ",
              line_rest.empty() ? "has ended" : Joined({"has \"", line_rest, "\""})});
  if (pattern_rest.starts_with('#'))
    text += " (\"#\" in a trigger is any one digit; \"[#]\" is the character itself)";
  return text;
}

std::string TriggerEndText(std::string_view trigger, std::string_view part, std::string_view rest) {
  return Joined({"does not fire: trigger \"", trigger, "\" does not match: ", part,
                 " must match up to the line's end, but after it the line goes on with \"", rest,
                 "\" (end the trigger with \"*\" to allow that)"});
}

std::string NoUserText(std::string_view users) {
  return Joined({"does not fire: no allowed user matches the sender: ", users});
}

std::string UserText(int number, std::string_view field, std::string_view value,
                     std::string_view pattern) {
  return Joined({"user ", std::to_string(number), ": ", field, " \"", value, "\" does not match \"",
                 pattern, "\""});
}

std::string ConditionsText(std::string_view missing) {
  return Joined({"does not fire: ", missing});
}

std::string TooSoonText(long long wait, std::string_view refusal) {
  return Joined({"does not fire: it may run again in ", std::to_string(wait),
                 " s; until then it answers \"", refusal, "\""});
}

std::string DayText(std::string_view gate, std::string_view today) {
  return Joined({"does not fire: ", gate, ", and today is ", today});
}

std::string FocusText(std::string_view gate, bool active, bool known) {
  if (known)
    return Joined({"does not fire: ", gate, ", and the chat client's window is ",
                   active ? "not active" : "active"});
  return Joined({"fires only while the chat client's window is ", active ? "active" : "not active",
                 " (", gate,
                 "); --explain does not look at the window, so the rule is not counted as "
                 "firing"});
}

std::string SenderLimitedText(long long count, long long seconds, long long wait) {
  return Joined({"does not fire: the sender ran ", std::to_string(count), " rules in ",
                 std::to_string(seconds), " s (SenderRateLimit); its lines fire nothing for ",
                 std::to_string(wait), " s"});
}

std::string OutputTooSoonText(int output, const std::string& name, long long interval,
                              long long wait) {
  return "does not fire: " + OutputTooSoonPart(output, name, interval, wait);
}

std::string SummaryText(int firing, int rules) {
  if (firing == 0) return "No rule fires.";
  return Joined({std::to_string(firing), " of ", std::to_string(rules),
                 rules == 1 ? " rule" : " rules", firing == 1 ? " fires." : " fire."});
}

}  // namespace explain_text

// SCRAM logins.
std::string ScramMalformedText(const std::string& what) {
  return "The server's SCRAM message has no valid " + what + ".";
}

std::string ScramNonceText() { return "The server's SCRAM nonce does not extend the bot's."; }

std::string ScramIterationsText(long iterations, long min, long max) {
  return "The server asks for " + std::to_string(iterations) + " SCRAM iterations; " +
         std::to_string(min) + " to " + std::to_string(max) + " are accepted.";
}

std::string ScramNoRandomText() { return "No random bytes for the SCRAM nonce."; }

std::string ScramServerErrorText(const std::string& error) {
  return "The server refused the SCRAM login: " + error + ".";
}

std::string ScramSignatureText() { return "The server's SCRAM signature is wrong."; }

std::string ScramEarlySuccessText() {
  return "The server reported success before it proved that it knows the password.";
}

std::string EcdsaChallengeText(std::string_view what) {
  return "The server's ECDSA challenge is " + std::string(what) + ".";
}

std::string EcdsaSignFailedText() {
  return "The ECDSA challenge could not be signed.";
}

std::string SaslInterceptionText(const std::string& reason, bool required) {
  return "SASL login failed, possible interception: " + reason +
         (required ? " Disconnecting (IRCSASLRequired)." : " Going on without login.");
}

std::string StsUpgradeText(const std::string& host, std::int32_t port) {
  return host + " asks for TLS (strict transport security): reconnecting at once with TLS to " +
         host + ":" + std::to_string(port) + ".";
}

std::string StsPolicyAppliedText(const std::string& host, std::int32_t port,
                                 const std::string& until) {
  return "A strict transport security policy for " + host + " requires TLS" +
         (until.empty() ? "" : " until " + until) + ": connecting with TLS to " + host + ":" +
         std::to_string(port) + ".";
}

std::string StsPolicyKeptText(const std::string& host, std::int32_t port, const std::string& until,
                              bool refreshed) {
  return std::string(refreshed ? "Renewed" : "Stored") +
         " the strict transport security policy of " + host + ": TLS on port " +
         std::to_string(port) + " until " + until + ".";
}

std::string StsPolicyRemovedText(const std::string& host) {
  return host + " ended its strict transport security policy (duration 0): removed.";
}

std::string StsIgnoredText(const std::string& host) {
  return host +
         " offers strict transport security (TLS only); ignored, as IRCSTS is false: set IRCSTS "
         "true to follow it.";
}

std::string StsTlsRequiredText(const std::string& target, const std::string& until) {
  return "TLS to " + target + " failed, and a strict transport security policy requires TLS" +
         (until.empty() ? " from this server" : " until " + until) +
         ": not connecting without it; trying again later.";
}

std::string StsFileDamagedText(const std::string& path, const std::string& why) {
  return "The strict transport security policies in " + path + " are ignored: " + why +
         ". The file is written again at the next policy.";
}

std::string StsFileUnwritableText(const std::string& path, const std::string& error) {
  return "The strict transport security policies cannot be kept in " + path + ": " + error;
}

std::string FirstStartText(std::string_view where, std::string_view config_path) {
  return "Zelvo runs " + std::string(where) + ". Its configuration was written to " +
         std::string(config_path) + "; edit it and reload (or restart) to use your own server.";
}

std::string QuitWithOutputsOnText(const std::vector<std::string>& outputs_on) {
  std::string names;
  for (std::size_t i = 0; i < outputs_on.size(); ++i) {
    if (i > 0) names += i + 1 == outputs_on.size() ? " and " : ", ";
    names += outputs_on[i];
  }
  return (outputs_on.size() == 1 ? "Output " + names + " is on." : "Outputs " + names + " are on.") +
         " Quit Zelvo anyway?";
}

std::string LibraryMissingText(const std::string& why, std::string_view package) {
  return why + ". Install the package " + std::string(package) + ".";
}

std::string HeadlessProgramUnusedText(const std::string& why) {
  return "The program without a window could not be started (" + why +
         "); running headless with the window's libraries loaded.";
}

}  // namespace zelvo
