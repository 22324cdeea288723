// The catalogue of the system's log messages: every id written to the event
// log, with its type and its fixed text, or the function that builds its text
// where a value is joined in. An id has one meaning wherever it is written.
// Also the texts the console shows on its own. Header only and free of
// libraries, so that every part of the bot can use it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

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
// text is built by the function named beside the message.
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
inline constexpr LogMessage kStarted{1, kInformation, "Zelvo has started."};
inline constexpr LogMessage kTryingToWriteLog{18, kInformation, "Trying to write the log."};
inline constexpr LogMessage kMainFunctionError{19, kError, ""};  // MainFunctionErrorText
inline constexpr LogMessage kLogWriteFailed{20, kError, ""};     // LogWriteFailedText
inline constexpr LogMessage kLogWritten{21, kInformation, "Log written!"};
inline constexpr LogMessage kReadingSettings{25, kInformation, "Reads settings..."};
inline constexpr LogMessage kSettingsLoaded{26, kInformation, "Setting loaded successfully."};
inline constexpr LogMessage kShowingMainform{27, kInformation, "Starting mainform..."};
inline constexpr LogMessage kPortFallback{40, kWarning, ""};  // PortFallbackText

// The configuration files.
inline constexpr LogMessage kCheckingConfigFiles{
    3, kInformation, "Checking if \"config.xml\" and \"config.xsd\" exist."};
inline constexpr LogMessage kConfigMissing{4, kWarning,
                                           "\"config.xml\" doesn't exist. Trying to create file."};
inline constexpr LogMessage kConfigCreated{5, kInformation, "\"config.xml\" were created."};
inline constexpr LogMessage kConfigFound{6, kInformation, "\"config.xml\" were found."};
inline constexpr LogMessage kSchemaMissing{7, kWarning,
                                           "\"config.xsd\" doesn't exist. Trying to create file."};
inline constexpr LogMessage kSchemaCreated{8, kInformation, "\"config.xsd\" were created."};
inline constexpr LogMessage kSchemaFound{9, kInformation,
                                         "\"config.xsd\" were found. Controlling the checksum."};
inline constexpr LogMessage kSchemaChecksumCorrect{10, kInformation,
                                                   "\"config.xsd\" checksum were correct."};
inline constexpr LogMessage kSchemaChecksumIncorrect{
    11, kError, "\"config.xsd\" checksum were incorrect. Replaceing the file"};
inline constexpr LogMessage kSchemaReplaced{12, kInformation, "\"config.xsd\" were replaced."};

// Loading the configuration.
inline constexpr LogMessage kCreatingParser{
    13, kInformation, "Trying to create MSXML2.DOMDocument60 and MSXML2.XMLSchemaCache60."};
inline constexpr LogMessage kReadingSchema{14, kInformation, "Trying to read \"config.xsd\"."};
inline constexpr LogMessage kLoadingConfig{15, kInformation,
                                           "Trying to load \"config.xml\" into moXMLConfig."};
inline constexpr LogMessage kValidatingConfig{
    16, kInformation, "Trying to validate \"config.xml\" based on \"config.xsd\"."};
inline constexpr LogMessage kConfigLoaded{
    17, kInformation, "\"config.xml\" are loaded correctly based on \"config.xsd\"."};
inline constexpr LogMessage kConfigFaulty{22, kWarning,
                                          "\"config.xml\" is faulty, createing example-file."};
inline constexpr LogMessage kExampleCreated{23, kInformation,
                                            "\"config.example.xml\" were created."};

// The front end (the window, or the terminal without one).
inline constexpr LogMessage kMainformLoaded{28, kInformation, "Mainform loaded successfully."};
inline constexpr LogMessage kMainwindowSetup{29, kInformation, "Mainwindow setup..."};
inline constexpr LogMessage kAddingTrayIcon{30, kInformation, "Adding icon in trayfield..."};
inline constexpr LogMessage kConnecting{31, kInformation, "Starting mainform..."};
inline constexpr LogMessage kClosing{34, kInformation, "Closing Zelvo..."};
inline constexpr LogMessage kHandlerError{36, kError, ""};  // HandlerErrorText
inline constexpr LogMessage kNoSystemTray{
    37, kWarning, "No system tray available: the window stays on the task bar when minimised."};

// The IRC client.
inline constexpr LogMessage kSocketStateChanged{32, kInformation, ""};  // SocketStateChangedText
inline constexpr LogMessage kSocketError{35, kError, ""};               // SocketErrorText
inline constexpr LogMessage kLineTooLong{38, kWarning, ""};             // LineTooLongText
inline constexpr LogMessage kRepliesDropped{39, kWarning, ""};          // RepliesDroppedText
// Ids kConnectionIdFirst to kConnectionIdLast belong to the connection's
// messages (connecting, TLS, registration, joining, reconnecting); their
// texts are built by the IRC session.
inline constexpr std::int32_t kConnectionIdFirst = 50;
inline constexpr std::int32_t kConnectionIdLast = 69;
inline constexpr LogMessage kConnectAttempt{50, kInformation, ""};  // host, port, TLS
inline constexpr LogMessage kTlsUnverified{51, kWarning, ""};       // verification is off
inline constexpr LogMessage kTlsError{52, kError, ""};              // reason and fingerprint
inline constexpr LogMessage kSaslSucceeded{53, kInformation, ""};
inline constexpr LogMessage kSaslFailed{54, kWarning, ""};
inline constexpr LogMessage kNickFallback{55, kWarning, ""};
inline constexpr LogMessage kNickRegained{56, kInformation, ""};
inline constexpr LogMessage kKicked{57, kWarning, ""};       // by whom and why
inline constexpr LogMessage kJoinRefused{58, kWarning, ""};  // the server's text
inline constexpr LogMessage kDeadLink{59, kWarning, ""};
inline constexpr LogMessage kReconnectIn{60, kInformation, ""};
inline constexpr LogMessage kServerError{61, kWarning, ""};     // the ERROR line's text
inline constexpr LogMessage kRegistered{62, kInformation, ""};  // the nickname
inline constexpr LogMessage kJoined{63, kInformation, ""};
// A server line the connection could not keep up with, and no 001 in time.
inline constexpr LogMessage kProtocolLineDropped{64, kWarning, ""};  // ProtocolLineDroppedText
inline constexpr LogMessage kRosterFull{65, kWarning, ""};           // RosterFullText
inline constexpr LogMessage kRegistrationTimeout{66, kWarning, ""};  // RegistrationTimeoutText

// The event log itself.
inline constexpr LogMessage kLogPathRefused{41, kWarning, ""};        // LogPathRefusedText
inline constexpr LogMessage kLogFileNotALog{42, kWarning, ""};        // LogFileNotALogText
inline constexpr LogMessage kRewrittenInPlace{43, kWarning, ""};      // RewrittenInPlaceText
inline constexpr LogMessage kLogUnwritable{44, kError, ""};           // LogUnwritableText
inline constexpr LogMessage kLogWritableAgain{45, kInformation, ""};  // LogWritableAgainText
inline constexpr LogMessage kLogEntriesDropped{46, kWarning, ""};     // LogEntriesDroppedText

// The rules: a line matched a rule's trigger and an allowed user's names, but
// not the user's Host, Account or Status condition.
inline constexpr LogMessage kRuleNotRun{70, kInformation, ""};

// The MQTT broker connection and its commands.
inline constexpr LogMessage kMqttConnected{80, kInformation, ""};  // MqttConnectedText
inline constexpr LogMessage kMqttDisconnected{81, kWarning, ""};   // why, and the next attempt
inline constexpr LogMessage kMqttSwitched{82, kInformation, ""};   // MqttSwitchedText
inline constexpr LogMessage kMqttWarning{83, kWarning, ""};        // an ignored command, a
                                                                   // failed publish
// The safe states and the configuration file's permissions.
inline constexpr LogMessage kOutputsOnDisconnect{84, kWarning, ""};  // OutputsOnDisconnectText
inline constexpr LogMessage kOutputsOnExit{85, kInformation, ""};    // OutputsOnExitText
inline constexpr LogMessage kPasswordReadable{86, kWarning, ""};     // PasswordFileWarning
// Switch commands from the broker beyond the limit per output, one entry per
// burst.
inline constexpr LogMessage kMqttCommandsDropped{87, kWarning, ""};  // MqttCommandsDroppedText

// Reading config.xml again while the bot runs (SIGHUP).
inline constexpr LogMessage kReloading{90, kInformation, "Reading \"config.xml\" again."};
inline constexpr LogMessage kReloaded{91, kInformation, ""};        // what changed
inline constexpr LogMessage kReloadFailed{92, kError, ""};          // ReloadFailedText
inline constexpr LogMessage kReloadNeedsRestart{93, kWarning, ""};  // ReloadNeedsRestartText

}  // namespace log_msg

// Every message above, for the catalogue's checks.
inline constexpr std::array kLogCatalogue = {
    log_msg::kStarted,
    log_msg::kCheckingConfigFiles,
    log_msg::kConfigMissing,
    log_msg::kConfigCreated,
    log_msg::kConfigFound,
    log_msg::kSchemaMissing,
    log_msg::kSchemaCreated,
    log_msg::kSchemaFound,
    log_msg::kSchemaChecksumCorrect,
    log_msg::kSchemaChecksumIncorrect,
    log_msg::kSchemaReplaced,
    log_msg::kCreatingParser,
    log_msg::kReadingSchema,
    log_msg::kLoadingConfig,
    log_msg::kValidatingConfig,
    log_msg::kConfigLoaded,
    log_msg::kTryingToWriteLog,
    log_msg::kMainFunctionError,
    log_msg::kLogWriteFailed,
    log_msg::kLogWritten,
    log_msg::kConfigFaulty,
    log_msg::kExampleCreated,
    log_msg::kReadingSettings,
    log_msg::kSettingsLoaded,
    log_msg::kShowingMainform,
    log_msg::kMainformLoaded,
    log_msg::kMainwindowSetup,
    log_msg::kAddingTrayIcon,
    log_msg::kConnecting,
    log_msg::kSocketStateChanged,
    log_msg::kClosing,
    log_msg::kSocketError,
    log_msg::kHandlerError,
    log_msg::kNoSystemTray,
    log_msg::kLineTooLong,
    log_msg::kRepliesDropped,
    log_msg::kPortFallback,
    log_msg::kLogPathRefused,
    log_msg::kLogFileNotALog,
    log_msg::kRewrittenInPlace,
    log_msg::kLogUnwritable,
    log_msg::kLogWritableAgain,
    log_msg::kLogEntriesDropped,
    log_msg::kRuleNotRun,
    log_msg::kConnectAttempt,
    log_msg::kTlsUnverified,
    log_msg::kTlsError,
    log_msg::kSaslSucceeded,
    log_msg::kSaslFailed,
    log_msg::kNickFallback,
    log_msg::kNickRegained,
    log_msg::kKicked,
    log_msg::kJoinRefused,
    log_msg::kDeadLink,
    log_msg::kReconnectIn,
    log_msg::kServerError,
    log_msg::kRegistered,
    log_msg::kJoined,
    log_msg::kProtocolLineDropped,
    log_msg::kRosterFull,
    log_msg::kRegistrationTimeout,
    log_msg::kMqttConnected,
    log_msg::kMqttDisconnected,
    log_msg::kMqttSwitched,
    log_msg::kMqttWarning,
    log_msg::kOutputsOnDisconnect,
    log_msg::kOutputsOnExit,
    log_msg::kPasswordReadable,
    log_msg::kMqttCommandsDropped,
    log_msg::kReloading,
    log_msg::kReloaded,
    log_msg::kReloadFailed,
    log_msg::kReloadNeedsRestart,
};

// Writes `message` with its fixed text, or with `text` where it has none.
inline void WriteMessage(const LogWriter& log, const LogMessage& message) {
  if (log) log(message.id, message.type, std::string(message.text));
}
inline void WriteMessage(const LogWriter& log, const LogMessage& message, const std::string& text) {
  if (log) log(message.id, message.type, text);
}

// The texts built for the messages above.

inline std::string MainFunctionErrorText(long long number, const std::string& description) {
  return "An error occurd in the main-function: Error-Number: " + std::to_string(number) +
         " Error-Description: " + description;
}

inline std::string LogWriteFailedText(const std::string& flush_error) {
  return "An error occurd when trying to write the log: " + flush_error +
         "\r\nTrying to copy to clipboard instead.";
}

inline std::string HandlerErrorText(const std::string& error) {
  return "An error occurd in an event handler: " + error;
}

inline std::string SocketStateChangedText(const std::string& state) {
  return "Socket-connection changed to: " + state;
}

inline std::string SocketErrorText(long long number, const std::string& description,
                                   long long scode, const std::string& source,
                                   const std::string& help_file, long long help_context) {
  return "Socket connection error!\r\nError number: " + std::to_string(number) +
         "\r\n Description: " + description + "\r\n Scode: " + std::to_string(scode) +
         "\r\n Source: " + source + "\r\n HelpFile: " + help_file +
         "\r\n HelpContext: " + std::to_string(help_context);
}

inline std::string LineTooLongText(std::size_t max_bytes) {
  return "Dropped an incoming line longer than " + std::to_string(max_bytes) + " bytes.";
}

inline std::string ProtocolLineDroppedText(const std::string& line, std::size_t waiting) {
  return "Dropped the line \"" + line + "\": " + std::to_string(waiting) +
         " protocol lines are waiting to be sent already.";
}

inline std::string RosterFullText(const std::string& channel, std::size_t kept) {
  return "More than " + std::to_string(kept) + " members in " + channel + ": only the first " +
         std::to_string(kept) + " are followed; the others' status and account are not known.";
}

inline std::string RegistrationTimeoutText(long seconds) {
  return "The server did not complete the registration (001) within " + std::to_string(seconds) +
         " s: disconnecting.";
}

inline std::string RepliesDroppedText(std::size_t dropped) {
  return "Dropped " + std::to_string(dropped) + (dropped == 1 ? " reply" : " replies") +
         " to keep the bot from flooding the server.";
}

// A lasting problem that went away ("port", "log").
inline std::string ProblemSolvedText(std::string_view what) {
  std::string text = "The ";
  return text.append(what).append(" works again.");
}

// The port refuses the outputs: the status line's words.
inline std::string PortProblemText(std::string_view error) {
  std::string text = "The outputs cannot be written: ";
  return text.append(error);
}

// A rule whose outputs the port refused: nothing was switched or announced.
inline std::string RuleNotSwitchedText(std::string_view rule, std::string_view error) {
  std::string text = "Rule \"";
  text.append(rule).append("\" switched nothing: the port refused the outputs: ").append(error);
  return text;
}

inline std::string PortFallbackText(std::string_view missing_device) {
  return "No parallel port was found (" + std::string(missing_device) +
         " does not exist): the outputs are simulated in memory and switch no device. Choose a "
         "device with the OutputDevice setting, e.g. parport:/dev/parport0, ioport:0x378 or "
         "file:PATH.";
}

inline std::string LogPathRefusedText(const std::string& setting, const std::string& used_path) {
  return "The LogFile \"" + setting +
         "\" names a file of the configuration; the log is written to \"" + used_path +
         "\" instead.";
}

inline std::string LogFileNotALogText(const std::string& file, const std::string& used_path) {
  return "\"" + file + "\" does not begin as a log of Zelvo and is left as it is; the log is " +
         "written to \"" + used_path + "\" instead.";
}

inline std::string RewrittenInPlaceText(const std::string& path) {
  return "No new file can be made beside \"" + path +
         "\", so it was rewritten in place: a crash or a full disk during such a write can leave "
         "it damaged. Allow Zelvo to create files in its folder.";
}

// Also what the console and the status line say, once, when the log fails.
inline std::string LogUnwritableText(const std::string& reason, std::size_t kept) {
  return "The log cannot be written: " + reason + " Up to " + std::to_string(kept) +
         " entries are kept and written when it can be written again.";
}

inline std::string LogWritableAgainText(std::size_t written, std::size_t dropped) {
  std::string text =
      "The log can be written again; " + std::to_string(written) + " kept entries were written";
  if (dropped > 0) {
    text += ", " + std::to_string(dropped) + " older ones did not fit and were dropped";
  }
  return text + ".";
}

inline std::string LogEntriesDroppedText(std::size_t dropped) {
  return std::to_string(dropped) +
         " log entries were dropped while the log could not be written (only the newest are kept).";
}

inline std::string MqttConnectedText(const std::string& broker) {
  return "Connected to the MQTT broker " + broker + ".";
}

// `command` is the payload's word (ON, OFF or TOGGLE), `topic` where it came.
inline std::string MqttSwitchedText(int output, bool on, std::string_view command,
                                    const std::string& topic) {
  return "Output " + std::to_string(output) + " switched " + (on ? "on" : "off") + " by " +
         std::string(command) + " on " + topic + ".";
}

inline std::string MqttCommandsDroppedText(int output, long long dropped, long long seconds,
                                           int per_second, const std::string& topic) {
  return "Dropped " + std::to_string(dropped) + (dropped == 1 ? " command" : " commands") +
         " for output " + std::to_string(output) + " on " + topic + " within " +
         std::to_string(seconds) + " s: at most " + std::to_string(per_second) +
         " a second are taken for each output.";
}

inline std::string OutputsOnDisconnectText(const std::string& channel, long long seconds,
                                           int byte) {
  return "Out of " + channel + " for " + std::to_string(seconds) + " s: the outputs are set to " +
         std::to_string(byte) + " (OutputsOnDisconnect).";
}

inline std::string OutputsOnExitText(int byte) {
  return "Closing: the outputs are set to " + std::to_string(byte) + " (OutputsOnExit).";
}

// Texts the console shows without a log entry.
namespace console_text {
// The operator's line or a reply could not be sent.
inline constexpr std::string_view kNotConnected = "Not connected";
}  // namespace console_text

inline std::string ReloadFailedText(const std::string& report) {
  return "\"config.xml\" was not reloaded; the bot goes on with the configuration it has: " +
         report;
}

inline std::string ReloadedText(long long rules, long long kept, bool reconnected,
                                bool devices_reopened) {
  return "\"config.xml\" reloaded: " + std::to_string(rules) + " rules (" + std::to_string(kept) +
         " kept their state); the IRC connection was " + (reconnected ? "reopened" : "kept") +
         ", the output devices were " + (devices_reopened ? "reopened." : "kept.");
}

inline std::string ReloadNeedsRestartText(const std::string& settings) {
  return "Changed settings that take effect at the next start: " + settings + ".";
}

}  // namespace zelvo
