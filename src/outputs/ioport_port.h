// The parallel port's data register written directly with the processor's
// port instructions: needs root (or CAP_SYS_RAWIO) on x86 Linux. A last
// resort where the ppdev driver cannot be used.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "outputs/port_writer.h"

namespace zelvo {

inline constexpr std::uint16_t kDefaultIoPortAddress = 888;  // 0x378, the first parallel port

// Port access of the processor.
class IoPortSystem {
 public:
  virtual ~IoPortSystem() = default;
  // Grants (`enable` true) or gives back access to one port: 0 or an errno value.
  virtual int Permit(std::uint16_t address, bool enable) = 0;
  virtual void Out(std::uint16_t address, std::uint8_t byte) = 0;
};

// The processor's port I/O; null where the build has none (not x86 Linux).
IoPortSystem* NativeIoPortSystem();

// Reads a port address written in decimal ("888") or hexadecimal ("0x378");
// empty text gives the default 888. Empty result for anything else or for
// addresses above 65535.
std::optional<std::uint16_t> ParseIoPortAddress(std::string_view text);

class IoPort final : public PortWriter {
 public:
  // Gains access to `address`. Without `system` (no port I/O on this machine)
  // or without permission the choice holds no writer and an error text.
  static PortWriterChoice Open(std::uint16_t address, IoPortSystem* system = NativeIoPortSystem());

  ~IoPort() override;
  IoPort(const IoPort&) = delete;
  IoPort& operator=(const IoPort&) = delete;

  std::string Write(std::uint8_t byte) override;
  std::string Describe() const override;

 private:
  IoPort(std::uint16_t address, IoPortSystem& system);

  std::uint16_t address_;
  IoPortSystem& system_;
};

}  // namespace zelvo
