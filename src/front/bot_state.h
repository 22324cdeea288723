// What the bot shows its operator, in one place. The application sets it;
// the window, the terminal and the service manager's status line subscribe
// to the parts they show. Something new to show is a field here, set by the
// application, and a subscriber that shows it. No Qt.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "front/bot_status.h"
#include "model/date_time.h"
#include "model/io_command.h"
#include "model/output_number.h"

namespace zelvo {

// Ends a subscription when it goes; either side may go first.
class Subscription {
 public:
  Subscription() = default;
  explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
  Subscription(Subscription&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)) {}
  Subscription& operator=(Subscription&& other) noexcept {
    if (this != &other) {
      Cancel();
      cancel_ = std::exchange(other.cancel_, nullptr);
    }
    return *this;
  }
  ~Subscription() { Cancel(); }

 private:
  void Cancel() {
    if (cancel_) std::exchange(cancel_, nullptr)();
  }
  std::function<void()> cancel_;
};

// One published value. Each Set calls every subscriber with the new value,
// in the order they subscribed, even when the value has not changed.
template <typename T>
class Published {
 public:
  using Subscriber = std::function<void(const T&)>;

  const T& Get() const { return value_; }
  void Set(T value) {
    value_ = std::move(value);
    // A copy: a subscriber may end subscriptions while it is called.
    const Subscribers now = *subscribers_;
    for (const auto& [id, subscriber] : now) {
      if (subscribers_->count(id) != 0) subscriber(value_);
    }
  }
  // Calls `subscriber` at each later Set, until the subscription goes.
  [[nodiscard]] Subscription Subscribe(Subscriber subscriber) {
    const int id = next_id_++;
    (*subscribers_)[id] = std::move(subscriber);
    return Subscription([weak = std::weak_ptr<Subscribers>(subscribers_), id] {
      if (const auto subscribers = weak.lock()) subscribers->erase(id);
    });
  }

 private:
  using Subscribers = std::map<int, Subscriber>;
  T value_{};
  std::shared_ptr<Subscribers> subscribers_ = std::make_shared<Subscribers>();
  int next_id_ = 0;
};

// The output names and the rules that switch the outputs (the lamps' names
// and tooltips).
struct OutputRules {
  std::array<std::string, kOutputCount> names;
  IOCommands rules;
};

// A rule that ran for a line from `nick`, at local time `at`.
struct RuleRun {
  std::string rule;
  std::string nick;
  OleDate at = 0;
};

// Lasting problems beside the connection's state, by a short name ("port",
// "log"), each with its text.
using Problems = std::map<std::string, std::string, std::less<>>;

struct BotState {
  // The IRC connection as its client reports it, after each change.
  Published<ConnectionStatus> connection;
  // The outputs as the lamps show them (output N is bit N-1): at each write
  // to the port, and again when the port refused the byte and the outputs
  // went back to what the devices show.
  Published<std::uint8_t> outputs;
  Published<OutputRules> rules;
  Published<std::optional<RuleRun>> last_run;
  Published<Problems> problems;
  // The latest one-line news for an operator who sees nothing else (the
  // service manager's status): a new caption, a problem or its end, a note
  // about the log.
  Published<std::string> headline;
};

}  // namespace zelvo
