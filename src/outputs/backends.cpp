#include "outputs/backends.h"

#include "log/messages.h"
#include "outputs/file_port.h"
#include "outputs/gpio_port.h"
#include "outputs/ioport_port.h"
#include "outputs/memory_port.h"
#include "outputs/parport_port.h"

namespace zelvo {
namespace {

using Argument = PortBackend::Argument;

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

PortWriterChoice OpenParport(const PortPlatform& platform, const std::string& path) {
  if (!platform.parport)
    return Failed("Parallel ports through ppdev (" + path + ") are not available here.");
  return ParportPort::Open(path, *platform.parport);
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

PortBackends BuiltinPortBackends(const PortPlatform& platform) {
  std::vector<PortBackend> backends;
  backends.push_back({.prefix = "auto",
                      .is_default = true,
                      .form = "auto",
                      .open = [platform](std::string_view, std::string_view) {
                        if (platform.device_exists && platform.device_exists(kDefaultParportDevice))
                          return OpenParport(platform, kDefaultParportDevice);
                        return Simulated(PortFallbackText(kDefaultParportDevice));
                      }});
  backends.push_back({.prefix = "memory",
                      .form = "memory",
                      .open = [](std::string_view, std::string_view) { return Simulated(); }});
  backends.push_back(
      {.prefix = "parport",
       .argument = Argument::kOptional,
       .form = std::string("parport[:DEVICE] (default ") + kDefaultParportDevice + ")",
       .open = [platform](std::string_view, std::string_view argument) {
         return OpenParport(platform, argument.empty() ? std::string(kDefaultParportDevice)
                                                       : std::string(argument));
       }});
  backends.push_back(
      {.prefix = "ioport",
       .argument = Argument::kOptional,
       .form = "ioport[:ADDRESS] (default " + std::to_string(kDefaultIoPortAddress) +
               ", decimal or 0x hex)",
       .check = [](std::string_view, std::string_view argument) -> std::string {
         if (ParseIoPortAddress(argument)) return {};
         return "Invalid I/O port address \"" + std::string(argument) +
                "\" in OutputDevice: write it in decimal (888) or hexadecimal (0x378), at most "
                "65535.";
       },
       .open =
           [platform](std::string_view, std::string_view argument) {
             return IoPort::Open(*ParseIoPortAddress(argument), platform.ioport);
           }});
  backends.push_back({.prefix = "file",
                      .argument = Argument::kRequired,
                      .form = "file:PATH",
                      .check = [](std::string_view, std::string_view argument) -> std::string {
                        if (!argument.empty()) return {};
                        return "The simulated port needs a file name: OutputDevice file:PATH.";
                      },
                      .open =
                          [platform](std::string_view, std::string_view argument) {
                            const std::string path(argument);
                            return FilePort::Open(platform.base_dir.empty() || path.front() == '/'
                                                      ? path
                                                      : platform.base_dir + "/" + path);
                          }});
  backends.push_back({.prefix = "gpio",
                      .argument = Argument::kRequired,
                      .form = "gpio:CHIP:L1,L2,L3,L4,L5,L6,L7,L8",
                      .check = [](std::string_view, std::string_view argument) -> std::string {
                        std::string error;
                        if (ParseGpioDevice(argument, &error)) return {};
                        return error;
                      },
                      .open =
                          [platform](std::string_view device, std::string_view argument) {
                            if (!platform.gpio)
                              return Failed("GPIO lines (" + std::string(device) +
                                            ") are not available here.");
                            return GpioPort::Open(argument, *platform.gpio);
                          }});
  return PortBackends(std::move(backends));
}

}  // namespace zelvo
