// The eight-output register: logical state and display name per output, the
// byte they fold into (output N is bit N-1), and SetOutputs, which shows the
// state on the lamps and writes the byte to the port.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "model/output_number.h"
#include "outputs/port_writer.h"

namespace zelvo {

inline constexpr std::uint32_t kLampOnColour = 65280;   // bright green
inline constexpr std::uint32_t kLampOffColour = 16384;  // dark green

// The eight indicator lamps of the window (or nothing, when headless).
class LampPanel {
 public:
  virtual ~LampPanel() = default;
  // Sets the fill colour of lamp `output` (1..8).
  virtual void SetLampColour(int output, std::uint32_t colour) = 0;
};

class Outputs {
 public:
  // `port` must outlive the register. Lamps may be attached later.
  explicit Outputs(PortWriter& port);

  void AttachLamps(LampPanel* lamps) { lamps_ = lamps; }
  // Told of the byte after each SetOutputs, whether the port took it or not
  // (the register holds that state either way); not of PortOut.
  void SetWrittenHook(std::function<void(std::uint8_t)> hook) { written_ = std::move(hook); }

  // Every member taking an output number refuses one outside 1..8 with
  // std::out_of_range.

  // State of output n (1..8); setting it changes neither lamps nor port.
  bool Output(int n) const;
  void SetOutput(int n, bool vData);
  // Flips output n and returns its new value; writes nothing to the port.
  bool Output_Toggle(int n);

  const std::string& OutputName(int n) const;
  void SetOutputName(int n, std::string vData);

  // Bitwise OR of the weights of the outputs that are on; 0..255.
  std::int32_t DecimalOutput() const;

  // Paints the eight lamps, then writes DecimalOutput to the port. Returns ""
  // or the port's error text; the state keeps its values either way.
  std::string SetOutputs();

  // Writes one byte to the port directly (the pulse does this), leaving the
  // state and lamps alone. Returns "" or the port's error text.
  std::string PortOut(std::uint8_t byte);

 private:
  PortWriter& port_;
  LampPanel* lamps_ = nullptr;
  std::function<void(std::uint8_t)> written_;
  std::array<bool, kOutputCount> state_{};
  std::array<std::string, kOutputCount> names_{};
};

}  // namespace zelvo
