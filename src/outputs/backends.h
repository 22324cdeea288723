// The port back-ends of this library as PortBackends registrations. Each is
// opened on the platform calls it is given, so that tests can put fakes in
// their place.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "outputs/port_backend.h"

namespace zelvo {

class ParportSystem;
class IoPortSystem;
class GpioSystem;

// The platform calls behind the back-ends. One rule for every member: a null
// or empty member means the platform has none of it, and the back-ends that
// need it are refused (a missing device file falls back as when absent).
struct PortPlatform {
  ParportSystem* parport = nullptr;                       // the ppdev interface
  IoPortSystem* ioport = nullptr;                         // port instructions
  std::function<bool(const std::string&)> device_exists;  // whether a device file exists
  GpioSystem* gpio = nullptr;                             // GPIO lines
  // The directory a relative "file:" path is taken in (the program
  // directory); empty: the working directory.
  std::string base_dir;
  // The byte the outputs start at: back-ends that set their lines when they
  // open (GPIO) set them to it.
  std::uint8_t initial_byte = 0;
};

// The machine's ppdev interface, port instructions (none but on x86 Linux),
// file system and libgpiod.
PortPlatform NativePortPlatform();

// This library's back-ends opened on `platform`, in the order of the
// accepted forms (each form is described where it is registered).
PortBackends BuiltinPortBackends(const PortPlatform& platform);

}  // namespace zelvo
