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

// "auto" or "": parport:/dev/parport0 when that device exists, else an
// in-memory simulated port (with a warning).
PortBackend AutoBackend(const PortPlatform& platform) {
  return {.prefix = "auto",
          .is_default = true,
          .form = "auto",
          .open = [platform](std::string_view, std::string_view) {
            if (platform.device_exists && platform.device_exists(kDefaultParportDevice))
              return OpenParport(platform, kDefaultParportDevice);
            return Simulated(PortFallbackText(kDefaultParportDevice));
          }};
}

// The in-memory simulated port.
PortBackend MemoryBackend() {
  return {.prefix = "memory", .form = "memory", .open = [](std::string_view, std::string_view) {
            return Simulated();
          }};
}

// The kernel's ppdev interface; the path is looked up only when opened.
PortBackend ParportBackend(const PortPlatform& platform) {
  return {.prefix = "parport",
          .argument = Argument::kOptional,
          .form = std::string("parport[:DEVICE] (default ") + kDefaultParportDevice + ")",
          .open = [platform](std::string_view, std::string_view argument) {
            return OpenParport(platform, argument.empty() ? std::string(kDefaultParportDevice)
                                                          : std::string(argument));
          }};
}

std::string CheckIoPortAddress(std::string_view, std::string_view argument) {
  if (ParseIoPortAddress(argument)) return {};
  return "Invalid I/O port address \"" + std::string(argument) +
         "\" in OutputDevice: write it in decimal (888) or hexadecimal (0x378), at most 65535.";
}

// Direct port I/O as root on x86.
PortBackend IoPortBackend(const PortPlatform& platform) {
  return {.prefix = "ioport",
          .argument = Argument::kOptional,
          .form = "ioport[:ADDRESS] (default " + std::to_string(kDefaultIoPortAddress) +
                  ", decimal or 0x hex)",
          .check = CheckIoPortAddress,
          .open = [platform](std::string_view, std::string_view argument) {
            return IoPort::Open(*ParseIoPortAddress(argument), platform.ioport);
          }};
}

std::string CheckFilePath(std::string_view, std::string_view argument) {
  if (!argument.empty()) return {};
  return "The simulated port needs a file name: OutputDevice file:PATH.";
}

// Appends "<monotonic microseconds> <byte>\n" per write; a relative path is
// taken in the base directory.
PortBackend FileBackend(const PortPlatform& platform) {
  return {.prefix = "file",
          .argument = Argument::kRequired,
          .form = "file:PATH",
          .check = CheckFilePath,
          .open = [base_dir = platform.base_dir](std::string_view, std::string_view argument) {
            const std::string path(argument);
            return FilePort::Open(base_dir.empty() || path.front() == '/' ? path
                                                                          : base_dir + "/" + path);
          }};
}

std::string CheckGpioDevice(std::string_view, std::string_view argument) {
  std::string error;
  if (ParseGpioDevice(argument, &error)) return {};
  return error;
}

// GPIO lines of one chip (see gpio_port.h).
PortBackend GpioBackend(const PortPlatform& platform) {
  return {.prefix = "gpio",
          .argument = Argument::kRequired,
          .form = "gpio:CHIP:L1,L2,L3,L4,L5,L6,L7,L8",
          .check = CheckGpioDevice,
          .open = [gpio = platform.gpio, initial = platform.initial_byte](
                      std::string_view device, std::string_view argument) {
            if (!gpio)
              return Failed("GPIO lines (" + std::string(device) + ") are not available here.");
            return GpioPort::Open(argument, *gpio, initial);
          }};
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
  return PortBackends({AutoBackend(platform), MemoryBackend(), ParportBackend(platform),
                       IoPortBackend(platform), FileBackend(platform), GpioBackend(platform)});
}

}  // namespace zelvo
