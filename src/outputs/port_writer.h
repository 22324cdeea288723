// What every port back-end implements: the sink of the output byte. Which
// OutputDevice text opens which back-end is the registry's business
// (outputs/port_backend.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zelvo {

class PortWriter {
 public:
  virtual ~PortWriter() = default;
  // Puts `byte` on the eight outputs; "" on success, else an error text.
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

}  // namespace zelvo
