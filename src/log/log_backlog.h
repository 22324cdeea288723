// Entries the event log could not write, kept in order until it can. While
// the log fails, every new entry goes behind the kept ones; the oldest are
// dropped beyond a bound and counted. A write is tried again with each new
// entry and, from Tick, at least every kRetryInterval. The first failure is
// reported once through the notice callback (and kept as an entry of its
// own); so is the first success after it, which writes the kept entries in
// order with their own times, then an entry with the counts.
//
// Entries that come in bursts (the audit trail) may be held instead: held
// entries are written together, in one write, when kGroupInterval has passed
// since the first of them (WriteHeldWhenDue), before any entry Write takes,
// and by Flush. A power cut loses at most the held group.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "log/log_types.h"
#include "model/clock.h"

namespace zelvo {

class LogBacklog {
 public:
  // Writes entries to the log, all or none: "" when written (or skipped),
  // else why not.
  using Writer = std::function<std::string(std::span<const LogEntry> entries)>;
  // Shows a text on the console and in the status line.
  using Notice = std::function<void(const std::string& text)>;

  static constexpr std::size_t kCapacity = 1000;
  static constexpr std::chrono::seconds kRetryInterval{30};
  static constexpr std::chrono::milliseconds kGroupInterval{100};

  LogBacklog(const Clock& clock, Writer writer, Notice notice, std::size_t capacity = kCapacity);

  // Writes an entry made now (at `time`), or keeps it when the log fails.
  void Write(std::int32_t id, std::int32_t type, std::string text, OleDate time);

  // Holds an entry made now (at `time`) for the next group.
  void Hold(std::int32_t id, std::int32_t type, std::string text, OleDate time);
  // Writes the held group when kGroupInterval has passed since its first
  // entry. Returns how long until it is due; zero when nothing is held.
  std::chrono::milliseconds WriteHeldWhenDue();

  // Retries the kept entries when kRetryInterval has passed since the last
  // try. Call it about once a second.
  void Tick();

  // Writes the held group, then tries once more to write the kept entries;
  // true when none are left.
  bool Flush();

  bool Failing() const { return !kept_.empty(); }
  // The entries still unwritten, oldest first, preceded by a note of how many
  // were dropped (if any): the text of the error dump.
  std::vector<LogEntry> Unwritten() const;

 private:
  // Writes `entries` at once, or keeps them all with the failure's note.
  void WriteNow(std::span<const LogEntry> entries);
  void WriteHeld();
  // Writes the kept entries in order; stops at the first failure.
  bool WriteKept();
  // Keeps `entry` last, dropping the oldest beyond the bound.
  void Keep(LogEntry entry);
  OleDate Now() const;

  const Clock& clock_;
  Writer writer_;
  Notice notice_;
  std::size_t capacity_;
  std::deque<LogEntry> kept_;
  std::vector<LogEntry> held_;
  std::chrono::steady_clock::time_point held_since_{};
  std::size_t written_ = 0;  // kept entries written since the failure
  std::size_t dropped_ = 0;
  bool closing_note_kept_ = false;  // the entry that says the log works again
  std::chrono::steady_clock::time_point last_try_{};
};

}  // namespace zelvo
