// The parallel port through the Linux ppdev driver: the port is claimed when
// opened, each byte goes to the data register, and the claim is given back
// when the writer is destroyed.
#pragma once

#include <cstdint>
#include <string>

#include "outputs/port_writer.h"

namespace zelvo {

inline constexpr char kDefaultParportDevice[] = "/dev/parport0";

// The system calls of the ppdev back-end. Each returns 0 (Open: the file
// descriptor) on success, or the negated errno value.
class ParportSystem {
 public:
  virtual ~ParportSystem() = default;
  virtual int Open(const std::string& path) = 0;
  virtual int Claim(int fd) = 0;                         // PPCLAIM
  virtual int WriteData(int fd, std::uint8_t byte) = 0;  // PPWDATA
  virtual int Release(int fd) = 0;                       // PPRELEASE
  virtual int Close(int fd) = 0;
};

// The kernel's ppdev interface (on systems without it every call fails with
// ENOSYS).
ParportSystem& LinuxParportSystem();

// Whether a device file exists at `path`.
bool ParportDeviceExists(const std::string& path);

class ParportPort final : public PortWriter {
 public:
  // Opens and claims `device`. On failure the choice holds no writer and an
  // error text that names the device and the fix.
  static PortWriterChoice Open(const std::string& device,
                               ParportSystem& system = LinuxParportSystem());

  ~ParportPort() override;
  ParportPort(const ParportPort&) = delete;
  ParportPort& operator=(const ParportPort&) = delete;

  std::string Write(std::uint8_t byte) override;
  std::string Describe() const override;

 private:
  ParportPort(std::string device, int fd, ParportSystem& system);

  std::string device_;
  int fd_;
  ParportSystem& system_;
};

}  // namespace zelvo
