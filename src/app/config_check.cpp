#include "app/config_check.h"

#include <exception>
#include <vector>

#include "app/program_backends.h"
#include "config/config_loader.h"
#include "config/file_encoding.h"
#include "config/resources.h"
#include "dispatch/rule_lint.h"
#include "files/file_helpers.h"
#include "log/messages.h"
#include "model/clock.h"
#include "model/raised_error.h"
#include "mqtt/broker_url.h"
#include "outputs/memory_port.h"
#include "outputs/outputs.h"

namespace zelvo {

namespace {

// The report's CR LF line ends as the terminal's.
std::string TerminalLines(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  if (out.empty() || out.back() != '\n') out += '\n';
  return out;
}

// The back-ends that a start would open, read without opening them; throws
// the error that the start would end with.
void CheckOutputDevices(const Settings& settings) {
  if (!settings.MQTTBroker.empty()) {
    std::string error;
    if (!mqtt::ParseBrokerUrl(settings.MQTTBroker, &error)) throw RaisedError(-1, error);
  }
  const PortBackends backends = CheckPortBackends(settings);
  for (const std::string& device : settings.OutputDevices)
    if (const std::string error = backends.Check(device); !error.empty())
      throw RaisedError(-1, error);
}

std::string Summary(const std::string& config_path, const Settings& settings,
                    const IOCommands& commands, const Outputs& outputs) {
  const int rules = commands.Count();
  std::string line = config_path + " is valid: " + std::to_string(rules) +
                     (rules == 1 ? " rule" : " rules") + "; outputs";
  for (int n = 1; n <= kOutputCount; ++n)
    line += (n == 1 ? " \"" : ", \"") + outputs.OutputName(n) + "\"";
  line += settings.OutputDevices.size() == 1 ? "; output device " : "; output devices ";
  for (std::size_t i = 0; i < settings.OutputDevices.size(); ++i)
    line += (i == 0 ? "" : " + ") + settings.OutputDevices[i];
  const bool ipv6 = settings.gsIRCDomain.find(':') != std::string::npos;
  line += "; server " + (ipv6 ? "[" + settings.gsIRCDomain + "]" : settings.gsIRCDomain) + ":" +
          std::to_string(settings.giIRCPort) + ", TLS " + (settings.IRCTLS ? "yes" : "no") + "\n";
  return line;
}

}  // namespace

ConfigFindings LintConfiguration(const std::string& config_path, const IOCommands& commands) {
  ConfigFindings findings;
  for (RuleFinding& finding : LintRules(commands)) {
    if (finding.severity == RuleFinding::Severity::kWarning)
      findings.warnings.push_back(std::move(finding.text));
    else
      findings.errors += (findings.errors.empty() ? "" : "\r\n") + finding.text;
  }
  std::string bytes;
  if (ReadFileText(config_path, bytes).empty()) {
    const MisreadUtf8 misread = FindMisreadUtf8(bytes);
    if (!misread.lines.empty())
      findings.warnings.push_back(Utf8InDeclaredEncodingText(misread.encoding, misread.lines));
  }
  return findings;
}

ConfigCheck CheckConfiguration(const std::string& program_dir, const CheckedConfiguration& use) {
  ConfigCheck check;
  const std::string config_path = JoinPath(program_dir, "config.xml");
  if (!FileExists(config_path)) {
    check.text = "zelvo: there is no config.xml in " + program_dir +
                 "; the first start writes the example configuration there.\n";
    return check;
  }
  try {
    ConfigDocument document;
    ValidateConfigDocument(program_dir, GetResourceText(kSchemaResource, "XML"), document);
    const Settings settings = ReadSettings(document);
    const SystemClock clock;
    IOCommands commands;
    ReadIOCommands(document, clock, commands);
    MemoryPort port;
    Outputs outputs(port);
    ReadOutputNames(document, outputs);
    CheckOutputDevices(settings);
    const ConfigFindings findings = LintConfiguration(config_path, commands);
    for (const std::string& warning : findings.warnings) check.warning += CheckWarningLine(warning);
    if (!findings.errors.empty()) throw RaisedError(-1, findings.errors);
    check.valid = true;
    check.text = Summary(config_path, settings, commands, outputs);
    const std::string readable = PasswordFileWarning(config_path, settings);
    if (!readable.empty()) check.warning = readable + "\n" + check.warning;
    if (use) use(settings, commands, outputs);
  } catch (const RaisedError& error) {
    check.text = "zelvo: " + config_path + " is not valid:\n" + TerminalLines(error.Description());
  } catch (const std::exception& error) {
    check.text = "zelvo: " + config_path + " is not valid:\n" + TerminalLines(error.what());
  }
  return check;
}

}  // namespace zelvo
