#include "irc/send_queue.h"

#include <algorithm>

namespace zelvo {

void SendQueue::Reset(TimePoint now) {
  first_.clear();
  pong_.clear();
  others_.clear();
  next_slot_ = now;
}

SendQueue::Duration SendQueue::WaitBehind(std::size_t ahead, TimePoint now) const {
  // The line after `ahead` others may go once the steady rate has caught up to
  // within the burst allowance of its slot.
  const TimePoint slot =
      std::max(next_slot_, now) +
      (static_cast<std::int64_t>(ahead) - (limits_.burst - 1)) * limits_.interval;
  return std::max(slot - now, Duration::zero());
}

bool SendQueue::Push(std::string line, Kind kind, TimePoint now) {
  switch (kind) {
    case Kind::kFirst:
      if (std::find(first_.begin(), first_.end(), line) != first_.end()) return true;
      if (first_.size() >= kMaxFirstLines) return false;
      first_.push_back(std::move(line));
      return true;
    case Kind::kPong:
      // The server only needs its latest token back.
      pong_ = std::move(line);
      return true;
    case Kind::kLine:
      others_.push_back(std::move(line));
      return true;
    case Kind::kReply:
      if (WaitBehind(Size(), now) > limits_.max_wait) {
        if (dropped_ == 0) first_drop_ = now;
        last_drop_ = now;
        ++dropped_;
        return false;
      }
      others_.push_back(std::move(line));
      return true;
  }
  return false;
}

std::vector<std::string> SendQueue::TakeDue(TimePoint now) {
  std::vector<std::string> due;
  while (!Empty() && WaitBehind(0, now) == Duration::zero()) {
    if (!first_.empty()) {
      due.push_back(std::move(first_.front()));
      first_.pop_front();
    } else if (!pong_.empty()) {
      due.push_back(std::move(pong_));
      pong_.clear();
    } else {
      due.push_back(std::move(others_.front()));
      others_.pop_front();
    }
    next_slot_ = std::max(next_slot_, now) + limits_.interval;
  }
  return due;
}

std::size_t SendQueue::TakeDropReport(TimePoint now) {
  if (dropped_ == 0) return 0;
  if (now - last_drop_ < std::chrono::seconds(1) && now - first_drop_ < limits_.max_wait) return 0;
  const std::size_t dropped = dropped_;
  dropped_ = 0;
  return dropped;
}

}  // namespace zelvo
