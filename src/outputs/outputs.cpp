#include "outputs/outputs.h"

#include <stdexcept>

namespace zelvo {
namespace {

std::size_t Slot(int n) {
  if (n < 1 || n > kOutputCount)
    throw std::out_of_range("Output number out of range: " + std::to_string(n));
  return static_cast<std::size_t>(n - 1);
}

}  // namespace

Outputs::Outputs(PortWriter& port) : port_(port) {}

bool Outputs::Output(int n) const {
  return state_[Slot(n)];
}

void Outputs::SetOutput(int n, bool vData) {
  state_[Slot(n)] = vData;
}

bool Outputs::Output_Toggle(int n) {
  bool& value = state_[Slot(n)];
  value = !value;
  return value;
}

const std::string& Outputs::OutputName(int n) const {
  return names_[Slot(n)];
}

void Outputs::SetOutputName(int n, std::string vData) {
  names_[Slot(n)] = std::move(vData);
}

std::int32_t Outputs::DecimalOutput() const {
  std::int32_t byte = 0;
  for (int n = 1; n <= kOutputCount; ++n)
    if (state_[Slot(n)]) byte |= 1 << (n - 1);
  return byte;
}

std::string Outputs::SetOutputs() {
  if (lamps_)
    for (int n = 1; n <= kOutputCount; ++n)
      lamps_->SetLampColour(n, state_[Slot(n)] ? kLampOnColour : kLampOffColour);
  return PortOut(static_cast<std::uint8_t>(DecimalOutput()));
}

std::string Outputs::PortOut(std::uint8_t byte) {
  return port_.Write(byte);
}

}  // namespace zelvo
