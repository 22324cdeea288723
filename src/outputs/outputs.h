// The eight-output register: logical state and display name per output, the
// byte they fold into (output N is bit N-1), and SetOutputs, which tells what
// the lamps are to show, writes the byte to the port and tells what changed
// and why.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "model/output_number.h"
#include "outputs/port_writer.h"

namespace zelvo {

// Why SetOutputs is called: what did it and who. The texts are looked at
// only during the call.
struct SwitchCause {
  enum class Kind : std::uint8_t {
    kStart,
    kRule,          // a rule ran for a channel line
    kOperatorLine,  // a rule ran for a line the operator typed
    kLamp,          // the operator clicked a lamp
    kMqtt,          // a command on an MQTT /set topic
    kAutoReturn,    // a rule's AutoReturn put its outputs back
    kPulseEnd,      // the same for a rule whose outputs were pulsing
    kSafeStateExit,
    kSafeStateDisconnect,
    kReload,        // rules gone at a reload put their outputs back
    kOwnerCommand,  // an owner's private message; `rule` holds the command
  };
  SwitchCause(Kind kind = Kind::kStart, std::string_view rule = {}, std::string_view sender = {},
              std::string_view account = {})
      : kind(kind), rule(rule), sender(sender), account(account) {}
  Kind kind;
  std::string_view rule;     // the rule's IOName, where a rule is the cause
  std::string_view sender;   // "nick!user@host", "operator" or the MQTT topic
  std::string_view account;  // the sender's services account; "" when not known
};

class Outputs {
 public:
  // `port` must outlive the register.
  explicit Outputs(PortWriter& port);

  // Told of the byte the lamps are to show: at each SetOutputs before the
  // port is written, and again when the state went back after a refusal.
  void SetShownHook(std::function<void(std::uint8_t)> hook) { shown_ = std::move(hook); }
  // Told of each byte that SetOutputs wrote to the port; not of a refused
  // byte, nor of PortOut.
  void SetWrittenHook(std::function<void(std::uint8_t)> hook) { written_ = std::move(hook); }
  // Told when a byte SetOutputs wrote differs from the one written before:
  // both bytes and the cause, after the port is written.
  using ChangedHook =
      std::function<void(std::uint8_t before, std::uint8_t after, const SwitchCause& cause)>;
  void SetChangedHook(ChangedHook hook) { changed_ = std::move(hook); }
  // Told when the port starts refusing bytes (its error text) and when it
  // takes one again (""); not told again while nothing changes.
  void SetPortProblemHook(std::function<void(const std::string&)> hook) {
    port_problem_ = std::move(hook);
  }

  // Every member taking an output number refuses one outside 1..8 with
  // std::out_of_range.

  // State of output n (1..8); setting it tells nothing and writes nothing.
  bool Output(int n) const;
  void SetOutput(int n, bool vData);
  // Flips output n and returns its new value; writes nothing to the port.
  bool Output_Toggle(int n);

  const std::string& OutputName(int n) const;
  void SetOutputName(int n, std::string vData);

  // Bitwise OR of the weights of the outputs that are on; 0..255.
  std::int32_t DecimalOutput() const;

  // Tells the shown byte, then writes DecimalOutput to the port. Returns ""
  // or the port's error text. When no device took the byte, the state and
  // lamps go back to the last byte the port took, so that they never show
  // what the devices do not; a byte some devices of a group took stands.
  std::string SetOutputs(const SwitchCause& cause);
  // Whether the last SetOutputs reached the devices (all, or some of a group).
  bool LastWriteTaken() const { return last_taken_; }

  // Writes one byte to the port directly (the pulse does this), leaving the
  // state alone and telling nothing. Returns "" or the port's error text.
  std::string PortOut(std::uint8_t byte);

 private:
  void TellShown();

  PortWriter& port_;
  std::function<void(std::uint8_t)> shown_;
  std::function<void(std::uint8_t)> written_;
  ChangedHook changed_;
  std::function<void(const std::string&)> port_problem_;
  std::uint8_t written_byte_ = 0;
  bool last_taken_ = true;
  bool port_failing_ = false;
  std::array<bool, kOutputCount> state_{};
  std::array<std::string, kOutputCount> names_{};
};

}  // namespace zelvo
