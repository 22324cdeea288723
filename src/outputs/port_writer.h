// Where the output byte goes: the parallel port's data register, a simulated
// port, or a file. Write returns an error text, empty on success.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace zelvo {

class PortWriter {
 public:
  virtual ~PortWriter() = default;
  // Puts `byte` on the eight data lines; "" on success, else an error text.
  virtual std::string Write(std::uint8_t byte) = 0;
  // A short human-readable name of the device, for messages and the log.
  virtual std::string Describe() const = 0;
  // After a Write that returned an error: whether some of the devices behind
  // this writer took the byte all the same (only a group of several can).
  virtual bool PartlyWritten() const { return false; }
};

// Result of opening a port back-end from its configuration text.
struct PortWriterChoice {
  std::unique_ptr<PortWriter> writer;  // null when opening failed
  std::string error;                   // why opening failed; names the device and the fix
  std::string warning;                 // set when `auto` fell back to a simulated port
};

// Opens the back-end named by `device`:
//   "auto" or ""       parport:/dev/parport0 when that device exists, else an
//                      in-memory simulated port (with a warning)
//   "parport[:DEVICE]" the kernel's ppdev interface (default /dev/parport0)
//   "ioport[:ADDRESS]" direct port I/O as root on x86 (default 888)
//   "file:PATH"        appends "<monotonic microseconds> <byte>\n" per write
//   "memory"           the in-memory simulated port
//   "gpio:CHIP:L1,...,L8"  GPIO lines of one chip (see gpio_port.h)
//   "mqtt:TOPIC[:ON:OFF]"  relays on the network, through PortPlatform::mqtt_relay
PortWriterChoice OpenPortWriter(std::string_view device);

class ParportSystem;
class IoPortSystem;
class GpioSystem;

// The platform calls behind the back-ends. One rule for every member: a null
// or empty member means the platform has none of it, and the back-ends that
// need it are refused (a missing device file falls back as when absent).
// NativePortPlatform() fills in the machine's own.
struct PortPlatform {
  ParportSystem* parport = nullptr;                       // the ppdev interface
  IoPortSystem* ioport = nullptr;                         // port instructions
  std::function<bool(const std::string&)> device_exists;  // whether a device file exists
  GpioSystem* gpio = nullptr;                             // GPIO lines
  // Opens "mqtt:" back-ends from the text after "mqtt:" (a broker is set).
  std::function<PortWriterChoice(std::string_view)> mqtt_relay;
  // The directory a relative "file:" path is taken in (the program
  // directory); empty: the working directory.
  std::string base_dir;
};

// The machine's ppdev interface, port instructions (none but on x86 Linux),
// file system and libgpiod; no MQTT broker.
PortPlatform NativePortPlatform();

// OpenPortWriter on the given platform.
PortWriterChoice OpenPortWriter(std::string_view device, const PortPlatform& platform);

}  // namespace zelvo
