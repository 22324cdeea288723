#include "outputs/port_fanout.h"

namespace zelvo {
namespace {

void AppendLine(std::string& text, const std::string& line) {
  if (line.empty()) return;
  if (!text.empty()) text += '\n';
  text += line;
}

}  // namespace

PortFanout::PortFanout(std::vector<std::unique_ptr<PortWriter>> members)
    : members_(std::move(members)) {}

std::string PortFanout::Write(std::uint8_t byte) {
  std::string errors;
  bool taken = false;
  for (const auto& member : members_) {
    const std::string error = member->Write(byte);
    if (!error.empty()) {
      AppendLine(errors, member->Describe() + ": " + error);
    } else {
      taken = true;
    }
  }
  partly_written_ = !errors.empty() && taken;
  return errors;
}

std::string PortFanout::Describe() const {
  std::string text;
  for (const auto& member : members_) {
    if (!text.empty()) text += " + ";
    text += member->Describe();
  }
  return text;
}

PortWriterChoice OpenPortWriters(const std::vector<std::string>& devices,
                                 const PortBackends& backends) {
  if (devices.size() <= 1) return backends.Open(devices.empty() ? "" : devices[0]);
  std::vector<std::unique_ptr<PortWriter>> members;
  std::string warnings;
  for (const std::string& device : devices) {
    PortWriterChoice choice = backends.Open(device);
    if (!choice.writer) {
      choice.warning = warnings;
      return choice;
    }
    AppendLine(warnings, choice.warning);
    members.push_back(std::move(choice.writer));
  }
  PortWriterChoice result;
  result.writer = std::make_unique<PortFanout>(std::move(members));
  result.warning = std::move(warnings);
  return result;
}

}  // namespace zelvo
