#include "model/output_history.h"

namespace zelvo {

OutputHistory::OutputHistory(const Clock& clock, Duration window, bool on)
    : clock_(clock), window_(window), before_(on) {}

void OutputHistory::Record(bool on) {
  const TimePoint now = clock_.MonotonicNow();
  Forget(now);
  if (on == IsOn()) return;
  changes_.push_back({now, on});
  if (changes_.size() > kMaxChanges) {
    before_ = changes_.front().on;
    changes_.pop_front();
  }
}

void OutputHistory::Forget(TimePoint now) {
  // A change at or before the window's start only sets the state before it.
  const TimePoint start = now - window_;
  while (!changes_.empty() && changes_.front().at <= start) {
    before_ = changes_.front().on;
    changes_.pop_front();
  }
}

std::vector<OutputHistory::Span> OutputHistory::OnSpans() const {
  const TimePoint now = clock_.MonotonicNow();
  const TimePoint start = now - window_;
  std::vector<Span> spans;
  bool on = before_;
  TimePoint since = start;
  for (const Change& change : changes_) {
    if (change.at <= start) {
      on = change.on;
      continue;
    }
    if (on && !change.on) spans.push_back({since, change.at});
    if (!on && change.on) since = change.at;
    on = change.on;
  }
  if (on) spans.push_back({since, now});
  return spans;
}

}  // namespace zelvo
