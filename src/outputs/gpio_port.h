// Outputs on GPIO lines of one chip through the kernel's GPIO character
// device (libgpiod). All connected lines are requested as outputs in one
// request with consumer "zelvo", held until the writer is destroyed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "outputs/port_writer.h"

namespace zelvo {

inline constexpr char kGpioConsumer[] = "zelvo";

// One output wired to one line of the chip.
struct GpioLine {
  int output = 0;           // 1..8
  unsigned offset = 0;      // line offset on the chip
  bool active_low = false;  // the output is on when the line is low
  bool operator==(const GpioLine&) const = default;
};

struct GpioMapping {
  std::string chip;             // gpiochip0, /dev/gpiochip0 or the chip's label
  std::vector<GpioLine> lines;  // connected outputs in output order
};

// Parses the argument of "gpio:CHIP:L1,L2,L3,L4,L5,L6,L7,L8": eight entries,
// each a line offset, "!" and an offset (active-low), or "-" (output not
// connected). On failure returns nothing and sets `error`.
std::optional<GpioMapping> ParseGpioDevice(std::string_view argument, std::string* error);

// The few libgpiod calls the back-end makes. Each returns 0 (OpenChip: a
// handle) on success, or the negated errno value.
class GpioSystem {
 public:
  virtual ~GpioSystem() = default;
  // Opens a chip by name, path or label.
  virtual int OpenChip(const std::string& chip) = 0;
  // The number of lines of the chip.
  virtual int LineCount(int chip) = 0;
  // The consumer of a line that some program holds; nothing when it is free.
  virtual std::optional<std::string> LineConsumer(int chip, unsigned offset) = 0;
  // Requests `offsets` as outputs, set to `initial` (physical levels).
  virtual int RequestOutputs(int chip, const std::vector<unsigned>& offsets,
                             const std::vector<int>& initial, const std::string& consumer) = 0;
  // Sets the requested lines to `values` (physical levels, in request order).
  virtual int SetValues(int chip, const std::vector<int>& values) = 0;
  // Gives the request back and closes the chip.
  virtual void Close(int chip) = 0;
};

// libgpiod on this machine.
GpioSystem& LibgpiodSystem();

class GpioPort final : public PortWriter {
 public:
  // Opens the chip and requests the mapped lines at the levels of `initial`
  // (the outputs' start byte), so that no line changes twice. On failure the
  // choice holds no writer and an error text naming the chip, the line and
  // the fix.
  static PortWriterChoice Open(const GpioMapping& mapping, GpioSystem& system = LibgpiodSystem(),
                               std::uint8_t initial = 0);
  // Parses the argument of "gpio:" and opens it.
  static PortWriterChoice Open(std::string_view argument, GpioSystem& system = LibgpiodSystem(),
                               std::uint8_t initial = 0);

  ~GpioPort() override;
  GpioPort(const GpioPort&) = delete;
  GpioPort& operator=(const GpioPort&) = delete;

  std::string Write(std::uint8_t byte) override;
  std::string Describe() const override;

  // Physical levels of the mapped lines for `byte`, in request order.
  static std::vector<int> Levels(const GpioMapping& mapping, std::uint8_t byte);

 private:
  GpioPort(GpioMapping mapping, int chip, GpioSystem& system);

  GpioMapping mapping_;
  int chip_;
  GpioSystem& system_;
};

}  // namespace zelvo
