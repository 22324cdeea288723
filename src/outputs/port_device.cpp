#include "outputs/port_device.h"

#include <cctype>

#include "outputs/gpio_port.h"
#include "outputs/ioport_port.h"
#include "outputs/parport_port.h"

namespace zelvo {
namespace {

constexpr char kAcceptedForms[] =
    "auto, memory, parport[:DEVICE] (default /dev/parport0), ioport[:ADDRESS] (default 888, "
    "decimal or 0x hex), file:PATH, gpio:CHIP:L1,L2,L3,L4,L5,L6,L7,L8, mqtt:TOPIC[:ON:OFF]";

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

PortDevice Invalid(std::string error) {
  PortDevice device;
  device.error = std::move(error);
  return device;
}

PortDevice Valid(PortDevice::Kind kind, std::string_view argument = {}) {
  PortDevice device;
  device.kind = kind;
  device.argument = std::string(argument);
  return device;
}

}  // namespace

PortDevice ParsePortDevice(std::string_view device) {
  using Kind = PortDevice::Kind;
  const std::size_t colon = device.find(':');
  const std::string_view kind = device.substr(0, colon);
  const bool has_argument = colon != std::string_view::npos;
  const std::string_view argument = has_argument ? device.substr(colon + 1) : std::string_view{};

  if (device.empty() || (EqualsIgnoringCase(kind, "auto") && !has_argument))
    return Valid(Kind::kAuto);
  if (EqualsIgnoringCase(kind, "memory") && !has_argument) return Valid(Kind::kMemory);
  if (EqualsIgnoringCase(kind, "parport"))
    return Valid(Kind::kParport,
                 argument.empty() ? std::string_view(kDefaultParportDevice) : argument);
  if (EqualsIgnoringCase(kind, "ioport")) {
    if (!ParseIoPortAddress(argument))
      return Invalid("Invalid I/O port address \"" + std::string(argument) +
                     "\" in OutputDevice: write it in decimal (888) or hexadecimal (0x378), "
                     "at most 65535.");
    return Valid(Kind::kIoPort, argument);
  }
  if (EqualsIgnoringCase(kind, "file") && has_argument) {
    if (argument.empty())
      return Invalid("The simulated port needs a file name: OutputDevice file:PATH.");
    return Valid(Kind::kFile, argument);
  }
  if (EqualsIgnoringCase(kind, "gpio") && has_argument) {
    std::string error;
    if (!ParseGpioDevice(argument, &error)) return Invalid(error);
    return Valid(Kind::kGpio, argument);
  }
  if (EqualsIgnoringCase(kind, "mqtt") && has_argument) return Valid(Kind::kMqtt, argument);
  return Invalid("Unknown OutputDevice \"" + std::string(device) +
                 "\". Accepted forms: " + kAcceptedForms + ".");
}

}  // namespace zelvo
