#include "outputs/outputs.h"

#include <utility>

namespace zelvo {
Outputs::Outputs(PortWriter& port) : port_(port) {}

bool Outputs::Output(int n) const {
  return state_[OutputIndex(n)];
}

void Outputs::SetOutput(int n, bool vData) {
  state_[OutputIndex(n)] = vData;
}

bool Outputs::Output_Toggle(int n) {
  bool& value = state_[OutputIndex(n)];
  value = !value;
  return value;
}

const std::string& Outputs::OutputName(int n) const {
  return names_[OutputIndex(n)];
}

void Outputs::SetOutputName(int n, std::string vData) {
  names_[OutputIndex(n)] = std::move(vData);
}

std::int32_t Outputs::DecimalOutput() const {
  std::int32_t byte = 0;
  for (int n = 1; n <= kOutputCount; ++n)
    if (state_[OutputIndex(n)]) byte |= 1 << (n - 1);
  return byte;
}

void Outputs::TellShown() {
  if (shown_) shown_(static_cast<std::uint8_t>(DecimalOutput()));
}

std::string Outputs::SetOutputs(const SwitchCause& cause) {
  TellShown();
  const auto byte = static_cast<std::uint8_t>(DecimalOutput());
  std::string error = PortOut(byte);
  last_taken_ = error.empty() || port_.PartlyWritten();
  if (last_taken_) {
    const std::uint8_t before = std::exchange(written_byte_, byte);
    if (written_) written_(byte);
    if (changed_ && before != byte) changed_(before, byte, cause);
  } else if (byte != written_byte_) {
    for (int n = 1; n <= kOutputCount; ++n) state_[OutputIndex(n)] = (written_byte_ >> (n - 1)) & 1;
    TellShown();
  }
  if (port_failing_ != !error.empty()) {
    port_failing_ = !error.empty();
    if (port_problem_) port_problem_(error);
  }
  return error;
}

std::string Outputs::PortOut(std::uint8_t byte) {
  return port_.Write(byte);
}

}  // namespace zelvo
