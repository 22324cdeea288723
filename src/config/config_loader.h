// Loads config.xml, validates it against config.xsd (libxml2), and reads the
// settings, the rules and the output names from it.
#pragma once

#include <memory>
#include <string>

#include "log/log_types.h"
#include "model/clock.h"
#include "model/io_command.h"
#include "model/settings.h"
#include "outputs/outputs.h"

namespace zelvo {

// The loaded configuration document (moXMLConfig). Empty until a load
// succeeds; it answers the log's settings on every call.
class ConfigDocument final : public LogSettingsSource {
 public:
  ConfigDocument();
  ~ConfigDocument() override;
  ConfigDocument(const ConfigDocument&) = delete;
  ConfigDocument& operator=(const ConfigDocument&) = delete;

  bool IsLoaded() const override;
  std::optional<LogSettings> ReadLogSettings(std::string& error) const override;

  struct Impl;
  Impl& impl() const { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

// Loads and validates <program_dir>/config.xml into `document` (pre-log entries
// 13 to 17; 22 and 23 with config.example.xml written on failure). Throws
// RaisedError with the eight-line load or validation report.
void LoadConfigDocument(const std::string& program_dir, PreLog& prelog, ConfigDocument& document);

// Writes config.example.xml from the embedded example (entry 23); throws on failure.
void WriteExampleConfig(const std::string& program_dir, PreLog& prelog);

// Fill the settings, the rules and the output names. Throw RaisedError for a
// missing element or attribute or a value that does not convert.
Settings ReadSettings(const ConfigDocument& document);
void ReadIOCommands(const ConfigDocument& document, const Clock& clock, IOCommands& commands);
void ReadOutputNames(const ConfigDocument& document, Outputs& outputs);

// Conversions of configuration texts (blanks ignored, halves to even).
std::int16_t ToInt16(const std::string& text);
std::int32_t ToInt32(const std::string& text);
bool ToBoolean(const std::string& text);

}  // namespace zelvo
