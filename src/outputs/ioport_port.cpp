#include "outputs/ioport_port.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <system_error>

#if defined(__linux__) && (defined(__x86_64__) || defined(__i386__))
#define ZELVO_HAS_PORT_IO 1
#include <sys/io.h>
#endif

namespace zelvo {
namespace {

#if defined(ZELVO_HAS_PORT_IO)
class X86PortIo final : public IoPortSystem {
 public:
  int Permit(std::uint16_t address, bool enable) override {
    return ::ioperm(address, 1, enable ? 1 : 0) == 0 ? 0 : errno;
  }
  void Out(std::uint16_t address, std::uint8_t byte) override { ::outb(byte, address); }
};
#endif

std::string AddressText(std::uint16_t address) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(address));
  return std::to_string(address) + " (" + hex + ")";
}

}  // namespace

IoPortSystem* NativeIoPortSystem() {
#if defined(ZELVO_HAS_PORT_IO)
  static X86PortIo system;
  return &system;
#else
  return nullptr;
#endif
}

std::optional<std::uint16_t> ParseIoPortAddress(std::string_view text) {
  if (text.empty()) return kDefaultIoPortAddress;
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty() || text.front() == '-' || text.front() == '+') return std::nullopt;
  unsigned long value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, base);
  if (error != std::errc() || stop != end || value > 0xFFFF) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

PortWriterChoice IoPort::Open(std::uint16_t address, IoPortSystem* system) {
  PortWriterChoice choice;
  if (system == nullptr) {
    choice.error = "Direct port I/O (ioport:" + std::to_string(address) +
                   ") is only available on x86 Linux. Use the ppdev driver instead: "
                   "OutputDevice parport:/dev/parport0 ('modprobe ppdev').";
    return choice;
  }
  if (const int error = system->Permit(address, true); error != 0) {
    choice.error = "Cannot get access to I/O port " + AddressText(address) + ": " +
                   std::error_code(error, std::generic_category()).message() +
                   ". Direct port I/O needs root (or the CAP_SYS_RAWIO capability); the ppdev "
                   "driver needs neither: OutputDevice parport:/dev/parport0 ('modprobe ppdev', "
                   "add the user to group lp).";
    return choice;
  }
  choice.writer.reset(new IoPort(address, *system));
  return choice;
}

IoPort::IoPort(std::uint16_t address, IoPortSystem& system) : address_(address), system_(system) {}

IoPort::~IoPort() {
  system_.Permit(address_, false);
}

std::string IoPort::Write(std::uint8_t byte) {
  system_.Out(address_, byte);
  return {};
}

std::string IoPort::Describe() const {
  return "I/O port " + AddressText(address_);
}

}  // namespace zelvo
