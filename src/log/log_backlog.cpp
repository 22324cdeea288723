#include "log/log_backlog.h"

#include <utility>

#include "log/messages.h"

namespace zelvo {

LogBacklog::LogBacklog(const Clock& clock, Writer writer, Notice notice, std::size_t capacity)
    : clock_(clock),
      writer_(std::move(writer)),
      notice_(std::move(notice)),
      capacity_(capacity > 0 ? capacity : 1) {}

OleDate LogBacklog::Now() const {
  return ToOleDate(FromOleDate(clock_.LocalNow()));  // to the whole second, as the pre-log
}

void LogBacklog::Write(std::int32_t id, std::int32_t type, std::string text, OleDate time) {
  WriteHeld();
  const LogEntry entry{id, type, std::move(text), time};
  WriteNow(std::span<const LogEntry>(&entry, 1));
}

void LogBacklog::Hold(std::int32_t id, std::int32_t type, std::string text, OleDate time) {
  if (held_.empty()) held_since_ = clock_.MonotonicNow();
  held_.push_back(LogEntry{id, type, std::move(text), time});
}

std::chrono::milliseconds LogBacklog::WriteHeldWhenDue() {
  if (held_.empty()) return {};
  const auto held_for = std::chrono::duration_cast<std::chrono::milliseconds>(
      clock_.MonotonicNow() - held_since_);
  if (held_for < kGroupInterval) return kGroupInterval - held_for;
  WriteHeld();
  return {};
}

void LogBacklog::WriteHeld() {
  if (held_.empty()) return;
  const std::vector<LogEntry> group = std::exchange(held_, {});
  WriteNow(group);
}

void LogBacklog::WriteNow(std::span<const LogEntry> entries) {
  if (Failing()) {
    for (const LogEntry& entry : entries) Keep(entry);
    WriteKept();
    return;
  }
  const std::string error = writer_(entries);
  if (error.empty()) return;
  last_try_ = clock_.MonotonicNow();
  written_ = 0;
  dropped_ = 0;
  closing_note_kept_ = false;
  const std::string why = LogUnwritableText(error, capacity_);
  for (const LogEntry& entry : entries) Keep(entry);
  Keep(LogEntry{log_msg::kLogUnwritable.id, log_msg::kLogUnwritable.type, why,
                entries.back().LogDateTime});
  if (notice_) notice_(why);
}

void LogBacklog::Tick() {
  if (Failing() && clock_.MonotonicNow() - last_try_ >= kRetryInterval) WriteKept();
}

bool LogBacklog::Flush() {
  WriteHeld();
  return !Failing() || WriteKept();
}

bool LogBacklog::WriteKept() {
  last_try_ = clock_.MonotonicNow();
  while (!kept_.empty()) {
    if (!writer_(std::span<const LogEntry>(&kept_.front(), 1)).empty()) return false;
    kept_.pop_front();
    if (!closing_note_kept_) ++written_;
    if (!kept_.empty()) continue;
    if (!closing_note_kept_) {
      // Everything kept is written: one more entry says so, then the notice.
      closing_note_kept_ = true;
      if (dropped_ > 0) {
        kept_.push_back(LogEntry{log_msg::kLogEntriesDropped.id, log_msg::kLogEntriesDropped.type,
                                 LogEntriesDroppedText(dropped_), Now()});
      }
      kept_.push_back(LogEntry{log_msg::kLogWritableAgain.id, log_msg::kLogWritableAgain.type,
                               LogWritableAgainText(written_, dropped_), Now()});
    } else {
      if (notice_) notice_(LogWritableAgainText(written_, dropped_));
      dropped_ = 0;
    }
  }
  return true;
}

void LogBacklog::Keep(LogEntry entry) {
  kept_.push_back(std::move(entry));
  if (kept_.size() <= capacity_) return;
  kept_.pop_front();
  ++dropped_;
}

std::vector<LogEntry> LogBacklog::Unwritten() const {
  std::vector<LogEntry> entries;
  if (dropped_ > 0) {
    entries.push_back(LogEntry{log_msg::kLogEntriesDropped.id, log_msg::kLogEntriesDropped.type,
                               LogEntriesDroppedText(dropped_), Now()});
  }
  entries.insert(entries.end(), kept_.begin(), kept_.end());
  return entries;
}

}  // namespace zelvo
