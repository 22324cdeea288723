// Reads an OutputDevice text without opening anything: which back-end it
// names and whether its argument is well formed, for checking a
// configuration before a start.
#pragma once

#include <string>
#include <string_view>

namespace zelvo {

struct PortDevice {
  enum class Kind { kAuto, kMemory, kParport, kIoPort, kFile, kGpio, kMqtt, kInvalid };
  Kind kind = Kind::kInvalid;
  std::string argument;  // the text after the first colon (parport: the device path)
  std::string error;     // for kInvalid: what is wrong and the accepted forms
};

// The forms of OutputDevice that OpenPortWriter accepts. The argument of
// "ioport" and "gpio" is checked in full; "parport" and "file" paths are not
// looked up; the argument of "mqtt" is left to the MQTT relay's own parser.
PortDevice ParsePortDevice(std::string_view device);

}  // namespace zelvo
