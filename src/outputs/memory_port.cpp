#include "outputs/memory_port.h"

namespace zelvo {

std::string MemoryPort::Write(std::uint8_t byte) {
  if (!failure_.empty()) return failure_;
  written_.push_back(byte);
  return {};
}

}  // namespace zelvo
