#include "irc/line_framer.h"

namespace zelvo {

std::vector<std::string> LineFramer::Feed(std::string_view data) {
  std::vector<std::string> lines;
  while (!data.empty()) {
    const std::size_t feed = data.find('\n');
    const std::string_view piece =
        data.substr(0, feed == std::string_view::npos ? data.size() : feed + 1);
    data.remove_prefix(piece.size());
    if (discarding_) {
      // The rest of a line already dropped.
      if (feed != std::string_view::npos) discarding_ = false;
      continue;
    }
    // A line may hold kMaxTaggedLineBytes bytes with its line feed, so a partial
    // line that long can never end in time.
    const std::size_t size = partial_.size() + piece.size();
    if (size > kMaxTaggedLineBytes ||
        (feed == std::string_view::npos && size == kMaxTaggedLineBytes)) {
      ++dropped_;
      partial_.clear();
      partial_.shrink_to_fit();
      discarding_ = feed == std::string_view::npos;
      continue;
    }
    partial_.append(piece);
    if (feed != std::string_view::npos) {
      lines.push_back(std::move(partial_));
      partial_.clear();
    }
  }
  return lines;
}

std::size_t LineFramer::TakeDroppedCount() {
  const std::size_t dropped = dropped_;
  dropped_ = 0;
  return dropped;
}

void LineFramer::Reset() {
  partial_.clear();
  discarding_ = false;
}

}  // namespace zelvo
