#include "outputs/gpio_port.h"

#include <gpiod.h>

#include <cerrno>
#include <charconv>
#include <map>
#include <system_error>

namespace zelvo {
namespace {

constexpr char kPermissionFix[] =
    "Add the user to the group that owns /dev/gpiochip* ('ls -l /dev/gpiochip*'; on Raspberry "
    "Pi OS: 'usermod -aG gpio USER', then log in again), or give that group access with a udev "
    "rule, e.g. SUBSYSTEM==\"gpio\", KERNEL==\"gpiochip*\", GROUP=\"gpio\", MODE=\"0660\" in "
    "/etc/udev/rules.d/60-gpio.rules.";

std::string ErrnoText(int error) {
  return std::error_code(error, std::generic_category()).message();
}

std::string LineName(const GpioLine& line) {
  return "GPIO line " + std::to_string(line.offset) + " (output " + std::to_string(line.output) +
         ")";
}

std::string LineList(const GpioMapping& mapping) {
  std::string text;
  for (const GpioLine& line : mapping.lines) {
    if (!text.empty()) text += ',';
    text += std::to_string(line.offset);
  }
  return text;
}

class Libgpiod final : public GpioSystem {
 public:
  int OpenChip(const std::string& chip) override {
    errno = 0;
    gpiod_chip* handle = ::gpiod_chip_open_lookup(chip.c_str());
    if (!handle) return errno ? -errno : -ENOENT;
    const int id = next_id_++;
    chips_[id].chip = handle;
    return id;
  }
  int LineCount(int chip) override {
    const auto it = chips_.find(chip);
    return it == chips_.end() ? -EBADF : static_cast<int>(::gpiod_chip_num_lines(it->second.chip));
  }
  std::optional<std::string> LineConsumer(int chip, unsigned offset) override {
    const auto it = chips_.find(chip);
    if (it == chips_.end()) return std::nullopt;
    gpiod_line* line = ::gpiod_chip_get_line(it->second.chip, offset);
    if (!line || !::gpiod_line_is_used(line)) return std::nullopt;
    const char* consumer = ::gpiod_line_consumer(line);
    return std::string(consumer ? consumer : "the kernel");
  }
  int RequestOutputs(int chip, const std::vector<unsigned>& offsets,
                     const std::vector<int>& initial, const std::string& consumer) override {
    const auto it = chips_.find(chip);
    if (it == chips_.end()) return -EBADF;
    Chip& entry = it->second;
    if (::gpiod_chip_get_lines(entry.chip, const_cast<unsigned*>(offsets.data()),
                               static_cast<unsigned>(offsets.size()), &entry.bulk) < 0)
      return -errno;
    if (::gpiod_line_request_bulk_output(&entry.bulk, consumer.c_str(), initial.data()) < 0)
      return -errno;
    entry.requested = true;
    return 0;
  }
  int SetValues(int chip, const std::vector<int>& values) override {
    const auto it = chips_.find(chip);
    if (it == chips_.end() || !it->second.requested) return -EBADF;
    return ::gpiod_line_set_value_bulk(&it->second.bulk, values.data()) < 0 ? -errno : 0;
  }
  void Close(int chip) override {
    const auto it = chips_.find(chip);
    if (it == chips_.end()) return;
    if (it->second.requested) ::gpiod_line_release_bulk(&it->second.bulk);
    ::gpiod_chip_close(it->second.chip);
    chips_.erase(it);
  }

 private:
  struct Chip {
    gpiod_chip* chip = nullptr;
    gpiod_line_bulk bulk{};
    bool requested = false;
  };
  std::map<int, Chip> chips_;
  int next_id_ = 1;
};

std::string OpenChipError(const std::string& chip, int error) {
  std::string text = "Cannot open the GPIO chip " + chip + ": " + ErrnoText(error) + ". ";
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return text +
             "List this machine's chips with 'gpiodetect' and name one in OutputDevice as "
             "gpiochipN, /dev/gpiochipN or by its label.";
    case EACCES:
    case EPERM:
      return text + kPermissionFix;
    default:
      return text + "Check the OutputDevice setting.";
  }
}

std::string RequestError(const GpioMapping& mapping, int chip, int error, GpioSystem& system) {
  if (error == EBUSY) {
    for (const GpioLine& line : mapping.lines)
      if (const auto consumer = system.LineConsumer(chip, line.offset))
        return LineName(line) + " of the GPIO chip " + mapping.chip + " is in use by \"" +
               *consumer +
               "\". Free it there, or wire the output to another line in "
               "OutputDevice ('gpioinfo " +
               mapping.chip + "' shows who holds which line).";
    return "A GPIO line of the chip " + mapping.chip + " (lines " + LineList(mapping) +
           ") is in use by another program; 'gpioinfo " + mapping.chip + "' shows which.";
  }
  std::string text = "Cannot request the GPIO lines " + LineList(mapping) + " of the chip " +
                     mapping.chip + " as outputs: " + ErrnoText(error) + ". ";
  if (error == EACCES || error == EPERM) return text + kPermissionFix;
  return text + "Check the OutputDevice setting.";
}

}  // namespace

std::optional<GpioMapping> ParseGpioDevice(std::string_view argument, std::string* error) {
  const auto fail = [&](const std::string& why) -> std::optional<GpioMapping> {
    if (error)
      *error = "Invalid GPIO device \"gpio:" + std::string(argument) +
               "\" in OutputDevice: " + why +
               " Write gpio:CHIP:L1,L2,L3,L4,L5,L6,L7,L8 with a line offset, !offset "
               "(active-low) or - (not connected) for each output, e.g. "
               "gpio:gpiochip0:17,27,22,!23,-,-,-,-.";
    return std::nullopt;
  };
  // The chip's label may contain colons; the line list never does.
  const std::size_t colon = argument.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return fail("the chip is missing.");
  GpioMapping mapping;
  mapping.chip = std::string(argument.substr(0, colon));
  std::string_view list = argument.substr(colon + 1);
  std::vector<std::string_view> entries;
  for (std::size_t start = 0;;) {
    const std::size_t comma = list.find(',', start);
    entries.push_back(list.substr(start, comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (entries.size() != 8)
    return fail("it lists " + std::to_string(entries.size()) + " lines instead of eight.");
  for (int output = 1; output <= 8; ++output) {
    std::string_view entry = entries[output - 1];
    if (entry == "-") continue;
    GpioLine line;
    line.output = output;
    if (!entry.empty() && entry.front() == '!') {
      line.active_low = true;
      entry.remove_prefix(1);
    }
    const char* end = entry.data() + entry.size();
    const auto [ptr, ec] = std::from_chars(entry.data(), end, line.offset);
    if (entry.empty() || ec != std::errc() || ptr != end)
      return fail(std::string(1, '"').append(entries[output - 1]) + "\" for output " +
                  std::to_string(output) + " is not a line offset.");
    for (const GpioLine& other : mapping.lines)
      if (other.offset == line.offset)
        return fail("line " + std::to_string(line.offset) + " is given to outputs " +
                    std::to_string(other.output) + " and " + std::to_string(output) + ".");
    mapping.lines.push_back(line);
  }
  if (mapping.lines.empty()) return fail("no output is connected.");
  return mapping;
}

GpioSystem& LibgpiodSystem() {
  static Libgpiod system;
  return system;
}

std::vector<int> GpioPort::Levels(const GpioMapping& mapping, std::uint8_t byte) {
  std::vector<int> levels;
  levels.reserve(mapping.lines.size());
  for (const GpioLine& line : mapping.lines) {
    const bool on = (byte >> (line.output - 1)) & 1;
    levels.push_back(on != line.active_low ? 1 : 0);
  }
  return levels;
}

PortWriterChoice GpioPort::Open(std::string_view argument, GpioSystem& system,
                                std::uint8_t initial) {
  PortWriterChoice choice;
  const std::optional<GpioMapping> mapping = ParseGpioDevice(argument, &choice.error);
  if (!mapping) return choice;
  return Open(*mapping, system, initial);
}

PortWriterChoice GpioPort::Open(const GpioMapping& mapping, GpioSystem& system,
                                std::uint8_t initial) {
  PortWriterChoice choice;
  const int chip = system.OpenChip(mapping.chip);
  if (chip < 0) {
    choice.error = OpenChipError(mapping.chip, -chip);
    return choice;
  }
  const int count = system.LineCount(chip);
  for (const GpioLine& line : mapping.lines) {
    if (count >= 0 && line.offset >= static_cast<unsigned>(count)) {
      system.Close(chip);
      choice.error = "The GPIO chip " + mapping.chip + " has no line " +
                     std::to_string(line.offset) + " (output " + std::to_string(line.output) +
                     "): its lines are 0 to " + std::to_string(count - 1) +
                     ". Check OutputDevice; 'gpioinfo " + mapping.chip + "' lists them.";
      return choice;
    }
  }
  std::vector<unsigned> offsets;
  for (const GpioLine& line : mapping.lines) offsets.push_back(line.offset);
  // The lines start where the outputs start, so an active-low relay does not
  // click on and an output kept on does not drop out.
  if (const int rc = system.RequestOutputs(chip, offsets, Levels(mapping, initial), kGpioConsumer);
      rc < 0) {
    choice.error = RequestError(mapping, chip, -rc, system);
    system.Close(chip);
    return choice;
  }
  choice.writer.reset(new GpioPort(mapping, chip, system));
  return choice;
}

GpioPort::GpioPort(GpioMapping mapping, int chip, GpioSystem& system)
    : mapping_(std::move(mapping)), chip_(chip), system_(system) {}

GpioPort::~GpioPort() {
  system_.Close(chip_);
}

std::string GpioPort::Write(std::uint8_t byte) {
  if (const int rc = system_.SetValues(chip_, Levels(mapping_, byte)); rc < 0)
    return "Cannot set the GPIO lines " + LineList(mapping_) + " of the chip " + mapping_.chip +
           ": " + ErrnoText(-rc) + ".";
  return {};
}

std::string GpioPort::Describe() const {
  std::string text = "GPIO chip " + mapping_.chip + " lines ";
  for (std::size_t i = 0; i < mapping_.lines.size(); ++i) {
    if (i) text += ',';
    if (mapping_.lines[i].active_low) text += '!';
    text += std::to_string(mapping_.lines[i].offset);
  }
  return text;
}

}  // namespace zelvo
