// Cuts the received byte stream into IRC lines. Bytes are buffered until a
// line feed; every complete line is handed out with its line end. A line of
// more than kMaxLineBytes bytes (line end included) is dropped whole, so the
// buffer never holds more than that.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelvo {

class LineFramer {
 public:
  // 8191 bytes of message tags plus a 512-byte message.
  static constexpr std::size_t kMaxLineBytes = 8703;

  // Appends `data` and returns the lines it completed, in order.
  std::vector<std::string> Feed(std::string_view data);

  // How many over-long lines were dropped since the last call; resets it.
  std::size_t TakeDroppedCount();

  // Forgets a partial line (the connection ended).
  void Reset();

  std::size_t BufferedBytes() const { return partial_.size(); }

 private:
  std::string partial_;
  bool discarding_ = false;  // inside an over-long line, until its line feed
  std::size_t dropped_ = 0;
};

}  // namespace zelvo
