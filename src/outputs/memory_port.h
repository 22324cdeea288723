// A simulated port that keeps every byte written; for demonstrations without
// hardware and for tests.
#pragma once

#include <vector>

#include "outputs/port_writer.h"

namespace zelvo {

class MemoryPort final : public PortWriter {
 public:
  std::string Write(std::uint8_t byte) override;
  std::string Describe() const override { return "simulated port (memory)"; }

  const std::vector<std::uint8_t>& Written() const { return written_; }
  // When set, every write fails with this text (to exercise error paths).
  void FailWith(std::string error) { failure_ = std::move(error); }

 private:
  std::vector<std::uint8_t> written_;
  std::string failure_;
};

}  // namespace zelvo
