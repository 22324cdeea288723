#include "outputs/port_writer.h"

#include "log/messages.h"
#include "outputs/file_port.h"
#include "outputs/gpio_port.h"
#include "outputs/ioport_port.h"
#include "outputs/memory_port.h"
#include "outputs/parport_port.h"
#include "outputs/port_device.h"

namespace zelvo {
namespace {

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

  const PortDevice parsed = ParsePortDevice(device);
  const std::string argument = parsed.argument;
  switch (parsed.kind) {
    case PortDevice::Kind::kAuto:
      if (device_exists(kDefaultParportDevice)) return open_parport(kDefaultParportDevice);
      return Simulated(PortFallbackText(kDefaultParportDevice));
    case PortDevice::Kind::kMemory:
      return Simulated();
    case PortDevice::Kind::kParport:
      return open_parport(argument);
    case PortDevice::Kind::kIoPort:
      return IoPort::Open(*ParseIoPortAddress(argument), platform.ioport);
    case PortDevice::Kind::kFile:
      return FilePort::Open(platform.base_dir.empty() || argument.front() == '/'
                                ? argument
                                : platform.base_dir + "/" + argument);
    case PortDevice::Kind::kGpio:
      if (!platform.gpio)
        return Failed("GPIO lines (" + std::string(device) + ") are not available here.");
      return GpioPort::Open(argument, *platform.gpio);
    case PortDevice::Kind::kMqtt:
      if (!platform.mqtt_relay)
        return Failed("OutputDevice \"" + std::string(device) +
                      "\" sends the outputs through the MQTT broker, but no broker is set: add "
                      "the MQTTBroker setting (mqtt://HOST[:PORT] or mqtts://HOST[:PORT]).");
      return platform.mqtt_relay(argument);
    case PortDevice::Kind::kInvalid:
      break;
  }
  return Failed(parsed.error);
}

}  // namespace zelvo
