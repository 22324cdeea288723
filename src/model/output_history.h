// When one output was on during a recent window of time (ten minutes by
// default), for the activity strip under its lamp. Memory stays bounded: only
// the changes inside the window are kept, with the state before the oldest of
// them, and at most kMaxChanges changes.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <vector>

#include "model/clock.h"

namespace zelvo {

class OutputHistory {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Duration = std::chrono::steady_clock::duration;

  static constexpr Duration kDefaultWindow = std::chrono::minutes(10);
  // Beyond this many changes in the window the oldest are folded into the
  // state before the window; a strip a few dozen pixels wide shows no more.
  static constexpr std::size_t kMaxChanges = 1024;

  // `clock` must outlive the history; the output starts in state `on`.
  explicit OutputHistory(const Clock& clock, Duration window = kDefaultWindow, bool on = false);

  // The output's state now; a state equal to the current one is no change.
  void Record(bool on);

  // A stretch of time during which the output was on.
  struct Span {
    TimePoint from;
    TimePoint to;
    bool operator==(const Span&) const = default;
  };
  // The stretches of on within the window ending now, oldest first, clipped
  // to the window; a stretch that lasts until now ends now.
  std::vector<Span> OnSpans() const;

  bool IsOn() const { return changes_.empty() ? before_ : changes_.back().on; }
  Duration Window() const { return window_; }
  TimePoint Now() const { return clock_.MonotonicNow(); }
  // How many changes are held (for the bound on memory).
  std::size_t StoredChanges() const { return changes_.size(); }

 private:
  struct Change {
    TimePoint at;
    bool on;
  };
  void Forget(TimePoint now);

  const Clock& clock_;
  Duration window_;
  bool before_;  // the state before the oldest change held
  std::deque<Change> changes_;
};

}  // namespace zelvo
