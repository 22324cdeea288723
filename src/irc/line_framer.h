// The IRC line lengths, and the framing of the received byte stream into
// lines. Bytes are buffered until a line feed; every complete line is handed
// out with its line end. A line of more than kMaxTaggedLineBytes bytes (line
// end included) is dropped whole, so the buffer never holds more than that.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zelvo {

// The longest message (without tags) a server must take, CR LF included.
inline constexpr std::size_t kMaxMessageBytes = 512;
// The longest line the bot receives: 8191 bytes of message tags plus a message.
inline constexpr std::size_t kMaxTaggedLineBytes = 8191 + kMaxMessageBytes;

class LineFramer {
 public:
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
