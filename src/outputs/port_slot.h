// A port back-end that can be exchanged while the register writes through
// it, for a reload that changes the devices.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "outputs/port_writer.h"

namespace zelvo {

class PortSlot final : public PortWriter {
 public:
  explicit PortSlot(std::unique_ptr<PortWriter> port) : port_(std::move(port)) {}

  std::string Write(std::uint8_t byte) override { return port_->Write(byte); }
  std::string Describe() const override { return port_->Describe(); }
  bool PartlyWritten() const override { return port_->PartlyWritten(); }

  // From now on every write goes to `port`; the previous back-end is closed.
  void Replace(std::unique_ptr<PortWriter> port) { port_ = std::move(port); }

 private:
  std::unique_ptr<PortWriter> port_;
};

}  // namespace zelvo
