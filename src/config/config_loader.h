// Loads config.xml, validates it against config.xsd (libxml2), and reads the
// settings, the rules and the output names from it. Texts read from the
// document are UTF-8, whatever encoding the file declares.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "log/log_types.h"
#include "model/clock.h"
#include "model/io_command.h"
#include "model/settings.h"
#include "outputs/outputs.h"

namespace zelvo {

// The loaded configuration document (moXMLConfig). Empty until a load
// succeeds; after a failed validation it holds the invalid document. It
// answers the log's settings on every call.
class ConfigDocument final : public LogSettingsSource {
 public:
  ConfigDocument();
  ~ConfigDocument() override;
  ConfigDocument(const ConfigDocument&) = delete;
  ConfigDocument& operator=(const ConfigDocument&) = delete;
  // Takes over the other's tree (a reload); the other gets this one's.
  ConfigDocument(ConfigDocument&& other);
  ConfigDocument& operator=(ConfigDocument&& other) noexcept;

  // True when a document with some text content is held.
  bool IsLoaded() const override;
  // Zelvo/Log/LogToFileErrors, LogToFileInformation, LogToFileWarnings and
  // LogFile; nullopt and an error text naming the missing element otherwise.
  std::optional<LogSettings> ReadLogSettings(std::string& error) const override;

 private:
  // The loader and the readers in config_loader.cpp reach the parsed tree.
  friend struct ConfigDocumentAccess;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Loads and validates <program_dir>/config.xml into `document` (pre-log entries
// 13 to 17; 22 and 23 with config.example.xml written on failure). Throws
// RaisedError(-1) with the eight-line load or validation report, with a file
// error text, or with libxml2's own number when config.xsd doesn't compile.
// An element out of its parent's order adds a ninth line to the validation
// report, naming what the schema's sequence expects there and where the
// element belongs.
// No network access and no external entities are loaded.
void LoadConfigDocument(const std::string& program_dir, PreLog& prelog, ConfigDocument& document);

// The same load and validation against `schema_text` (config.xsd as embedded
// or as read), writing nothing: no log entries and no config.example.xml.
// Throws the same errors.
void ValidateConfigDocument(const std::string& program_dir, const std::string& schema_text,
                            ConfigDocument& document);

// Writes config.example.xml from the embedded example (entry 23); throws on failure.
void WriteExampleConfig(const std::string& program_dir, PreLog& prelog);

// Fill the settings, the rules and the output names. Throw RaisedError(-1)
// naming the element or attribute that is missing or whose value does not
// convert. Only element children count: comments and processing instructions
// are skipped.
// OutputDevice may be given several times (absent or blank: "auto"); the
// other optional settings keep the defaults in Settings when absent. An
// invalid IRCTLSFingerprint, IRCSASLMechanism, IRCRejoinDelay, IRCPingTimeout,
// OutputsOnExit or OutputsOnDisconnect throws naming the element and value.
// So do a blank IRCDomain; an IRCChannel without a prefix (# & + !) or with
// a blank, a comma or a control character; an IRCNickname with a blank or a
// control character or beginning with a digit or "-"; a negative WindowWidth
// or WindowHeight; an MQTTTopic holding "#" or "+"; and SASL PLAIN without
// IRCSASLUsername or IRCSASLPassword; and ECDSA-NIST256P-CHALLENGE without
// IRCSASLUsername, without IRCSASLKeyFile or with a key file that cannot be
// read or holds no PEM private key on P-256 (the key is read here, into
// Settings::IRCSASLKey; its bytes appear in no text).
Settings ReadSettings(const ConfigDocument& document);
// The warning to log when `config_path` holds a password (IRCPassword,
// IRCSASLPassword or MQTTPassword is set) and other users may read the file,
// with the chmod that fixes it; "" otherwise (also when the file can't be
// examined).
std::string PasswordFileWarning(const std::string& config_path, const Settings& settings);
// The warning to log when the ECDSA key of IRCSASLKeyFile is in use and its
// file may be read by its group or by others, with the chmod that fixes it;
// "" otherwise (also when the file can't be examined).
std::string SaslKeyFileWarning(const Settings& settings);
// Replaces `commands` with the rules in document order (unchanged on error).
void ReadIOCommands(const ConfigDocument& document, const Clock& clock, IOCommands& commands);
// Sets the eight output names only; the caller calls SetOutputs.
void ReadOutputNames(const ConfigDocument& document, Outputs& outputs);

// Conversions of configuration texts: a decimal number, blanks around it
// ignored, rounded to the nearest integer with halves to even; a text that is
// not a number or out of range throws RaisedError(-1) naming the text.
std::int16_t ToInt16(const std::string& text);
std::int32_t ToInt32(const std::string& text);
// The same for a TCP port, 1 to 65535.
std::int32_t ToPortNumber(const std::string& text);
// "true"/"1" and "false"/"0" (blanks around ignored); anything else throws.
bool ToBoolean(const std::string& text);

}  // namespace zelvo
