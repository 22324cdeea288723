// The outgoing line queue with flood protection: a burst of up to `burst`
// lines, then one line per `interval`. Lines of the first class (registration,
// JOIN), then the waiting PONG, go before all others; a first-class line
// already waiting is not queued again and at most kMaxFirstLines of them wait,
// so a PONG waits behind that many lines at most; only the newest PONG waits,
// and replies that would wait longer than `max_wait` are dropped and counted,
// so the queue stays small whatever the server sends.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace zelvo {

class SendQueue {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Duration = std::chrono::steady_clock::duration;

  enum class Kind {
    kFirst,  // registration, JOIN: ahead of everything; refused only when full
    kPong,   // after the first class; a newer PONG replaces the one waiting
    kLine,   // the operator's lines: in order, never dropped
    kReply,  // the rules' replies: in order, dropped when they would wait too long
  };

  // The most first-class lines waiting at once.
  static constexpr std::size_t kMaxFirstLines = 8;

  struct Limits {
    int burst = 4;
    Duration interval = std::chrono::seconds(1);
    Duration max_wait = std::chrono::seconds(30);
  };

  SendQueue() : SendQueue(Limits{}) {}
  explicit SendQueue(Limits limits) : limits_(limits) {}

  // Empties the queue and refills the burst allowance.
  void Reset(TimePoint now);

  // Queues one line; false when a reply was dropped instead, or a first-class
  // line was refused because kMaxFirstLines wait already. A first-class line
  // that is waiting already is taken as queued (true) and not added twice.
  bool Push(std::string line, Kind kind, TimePoint now);

  // Takes the lines that may be sent at `now`, in sending order.
  std::vector<std::string> TakeDue(TimePoint now);

  // The number of replies dropped that is due to be reported at `now` (once
  // no reply has been dropped for a second, or 30 s after the first drop that
  // is not yet reported); 0 when there is nothing to report. Resets the count.
  std::size_t TakeDropReport(TimePoint now);

  std::size_t Size() const { return first_.size() + (pong_.empty() ? 0 : 1) + others_.size(); }
  bool Empty() const { return Size() == 0; }

 private:
  // How long a line would wait behind `ahead` queued lines.
  Duration WaitBehind(std::size_t ahead, TimePoint now) const;

  Limits limits_;
  // Theoretical time of the next send at the steady rate; the burst allowance
  // lets a line go while this lies at most (burst - 1) intervals ahead.
  TimePoint next_slot_{};
  std::deque<std::string> first_;
  std::string pong_;  // empty: no PONG waiting
  std::deque<std::string> others_;
  std::size_t dropped_ = 0;
  TimePoint first_drop_{};
  TimePoint last_drop_{};
};

}  // namespace zelvo
