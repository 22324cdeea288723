// The registry of port back-ends: which OutputDevice text names which
// back-end, whether its argument is well formed, and opening it. A back-end
// registers as one PortBackend; the registry itself knows none by name.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "outputs/port_writer.h"

namespace zelvo {

// One form of OutputDevice, "PREFIX" or "PREFIX:ARGUMENT".
struct PortBackend {
  // Whether the text after the prefix may or must follow a colon.
  enum class Argument { kNone, kOptional, kRequired };

  std::string prefix{};  // matched ignoring case
  Argument argument = Argument::kNone;
  bool is_default = false;  // also named by an empty OutputDevice
  // How the form is written in the list of accepted forms
  // ("parport[:DEVICE] (default /dev/parport0)").
  std::string form{};
  // What is wrong with the device, read without opening anything: "" when a
  // start would go on to open it. Empty: every argument is accepted.
  std::function<std::string(std::string_view device, std::string_view argument)> check{};
  // Opens the device; given only what `check` accepted. `argument` is the
  // text after the first colon, empty without one.
  std::function<PortWriterChoice(std::string_view device, std::string_view argument)> open{};
};

class PortBackends {
 public:
  PortBackends() = default;
  explicit PortBackends(std::vector<PortBackend> backends) : backends_(std::move(backends)) {}

  // Registers `backend` after the others; its form is listed last.
  void Add(PortBackend backend) { backends_.push_back(std::move(backend)); }

  // Reads `device` without opening anything: "" when a start would go on to
  // open it, else the error the start would end with. A text no back-end
  // takes is refused with the accepted forms of all of them.
  std::string Check(std::string_view device) const;

  // Opens the back-end `device` names; refused with Check's error first.
  PortWriterChoice Open(std::string_view device) const;

 private:
  const PortBackend* Find(std::string_view device, std::string_view* argument) const;
  std::string Unknown(std::string_view device) const;

  std::vector<PortBackend> backends_;
};

}  // namespace zelvo
