#include "model/output_number.h"

#include <stdexcept>
#include <string>

namespace zelvo {

void ThrowOutputOutOfRange(int output) {
  throw std::out_of_range("Output number out of range: " + std::to_string(output));
}

}  // namespace zelvo
