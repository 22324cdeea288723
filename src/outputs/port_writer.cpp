#include "outputs/port_writer.h"

#include <cctype>

#include "log/messages.h"
#include "outputs/file_port.h"
#include "outputs/gpio_port.h"
#include "outputs/ioport_port.h"
#include "outputs/memory_port.h"
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

PortWriterChoice Simulated(std::string warning = {}) {
  PortWriterChoice choice;
  choice.writer = std::make_unique<MemoryPort>();
  choice.warning = std::move(warning);
  return choice;
}

PortWriterChoice Failed(std::string error) {
  PortWriterChoice choice;
  choice.error = std::move(error);
  return choice;
}

}  // namespace

PortPlatform NativePortPlatform() {
  PortPlatform platform;
  platform.parport = &LinuxParportSystem();
  platform.ioport = NativeIoPortSystem();
  platform.device_exists = ParportDeviceExists;
  platform.gpio = &LibgpiodSystem();
  return platform;
}

PortWriterChoice OpenPortWriter(std::string_view device) {
  return OpenPortWriter(device, NativePortPlatform());
}

PortWriterChoice OpenPortWriter(std::string_view device, const PortPlatform& platform) {
  const auto device_exists = [&](const std::string& path) {
    return platform.device_exists && platform.device_exists(path);
  };
  const auto open_parport = [&](const std::string& path) {
    if (!platform.parport)
      return Failed("Parallel ports through ppdev (" + path + ") are not available here.");
    return ParportPort::Open(path, *platform.parport);
  };

  // The kind of back-end stands before the first colon; its argument after it.
  const std::size_t colon = device.find(':');
  const std::string_view kind = device.substr(0, colon);
  const bool has_argument = colon != std::string_view::npos;
  const std::string_view argument = has_argument ? device.substr(colon + 1) : std::string_view{};

  if (device.empty() || (EqualsIgnoringCase(kind, "auto") && !has_argument)) {
    if (device_exists(kDefaultParportDevice)) return open_parport(kDefaultParportDevice);
    return Simulated(PortFallbackText(kDefaultParportDevice));
  }
  if (EqualsIgnoringCase(kind, "memory") && !has_argument) return Simulated();
  if (EqualsIgnoringCase(kind, "parport"))
    return open_parport(argument.empty() ? std::string(kDefaultParportDevice)
                                         : std::string(argument));
  if (EqualsIgnoringCase(kind, "ioport")) {
    const std::optional<std::uint16_t> address = ParseIoPortAddress(argument);
    if (!address)
      return Failed("Invalid I/O port address \"" + std::string(argument) +
                    "\" in OutputDevice: write it in decimal (888) or hexadecimal (0x378), "
                    "at most 65535.");
    return IoPort::Open(*address, platform.ioport);
  }
  if (EqualsIgnoringCase(kind, "file") && has_argument)
    return FilePort::Open(std::string(argument));
  if (EqualsIgnoringCase(kind, "gpio") && has_argument) {
    if (!platform.gpio)
      return Failed("GPIO lines (" + std::string(device) + ") are not available here.");
    return GpioPort::Open(argument, *platform.gpio);
  }
  if (EqualsIgnoringCase(kind, "mqtt") && has_argument) {
    if (!platform.mqtt_relay)
      return Failed("OutputDevice \"" + std::string(device) +
                    "\" sends the outputs through the MQTT broker, but no broker is set: add "
                    "the MQTTBroker setting (mqtt://HOST[:PORT] or mqtts://HOST[:PORT]).");
    return platform.mqtt_relay(argument);
  }
  return Failed("Unknown OutputDevice \"" + std::string(device) +
                "\". Accepted forms: " + kAcceptedForms + ".");
}

}  // namespace zelvo
