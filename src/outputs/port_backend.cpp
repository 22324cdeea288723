#include "outputs/port_backend.h"

#include <cctype>

namespace zelvo {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

const PortBackend* PortBackends::Find(std::string_view device, std::string_view* argument) const {
  const std::size_t colon = device.find(':');
  const std::string_view prefix = device.substr(0, colon);
  const bool has_argument = colon != std::string_view::npos;
  *argument = has_argument ? device.substr(colon + 1) : std::string_view{};
  for (const PortBackend& backend : backends_) {
    if (device.empty() && backend.is_default) return &backend;
    if (!EqualsIgnoringCase(prefix, backend.prefix)) continue;
    if (has_argument ? backend.argument == PortBackend::Argument::kNone
                     : backend.argument == PortBackend::Argument::kRequired)
      continue;
    return &backend;
  }
  return nullptr;
}

std::string PortBackends::Unknown(std::string_view device) const {
  std::string forms;
  for (const PortBackend& backend : backends_) forms += (forms.empty() ? "" : ", ") + backend.form;
  return "Unknown OutputDevice \"" + std::string(device) + "\". Accepted forms: " + forms + ".";
}

std::string PortBackends::Check(std::string_view device) const {
  std::string_view argument;
  const PortBackend* backend = Find(device, &argument);
  if (!backend) return Unknown(device);
  return backend->check ? backend->check(device, argument) : std::string();
}

PortWriterChoice PortBackends::Open(std::string_view device) const {
  PortWriterChoice refused;
  refused.error = Check(device);
  if (!refused.error.empty()) return refused;
  std::string_view argument;
  return Find(device, &argument)->open(device, argument);
}

}  // namespace zelvo
