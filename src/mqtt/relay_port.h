// Relays on the network as a port back-end, "mqtt:TOPIC[:ON:OFF]": each
// output whose state changes is published to TOPIC with %N replaced by the
// output number, e.g. mqtt:cmnd/relay%N/POWER for Tasmota boards.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "mqtt/publisher.h"
#include "outputs/port_backend.h"
#include "outputs/port_writer.h"

namespace zelvo::mqtt {

struct RelayTarget {
  std::string topic;  // contains %N
  std::string on = "ON";
  std::string off = "OFF";
  std::string Topic(int n) const;  // %N replaced by n
};

// Parses the text after "mqtt:"; on failure returns nothing and sets `error`.
std::optional<RelayTarget> ParseRelayTarget(std::string_view argument, std::string* error);

class RelayPort final : public PortWriter {
 public:
  // `publisher` must outlive the port.
  RelayPort(RelayTarget target, Publisher& publisher);

  // Publishes each output whose state differs from what was last published
  // (all eight the first time, and after Resync). An output whose message
  // could not be handed over is sent again at the next write.
  std::string Write(std::uint8_t byte) override;
  std::string Describe() const override;

  // Forgets what was published, so the next write sends all eight (after
  // the broker connection came back).
  void Resync() { sent_.fill(std::nullopt); }

  // Opens "mqtt:" back-ends on `publisher`.
  static PortWriterChoice Open(std::string_view argument, Publisher& publisher);

 private:
  RelayTarget target_;
  Publisher& publisher_;
  std::array<std::optional<bool>, 8> sent_{};
};

// Opens a relay from the text after "mqtt:" on the broker connection.
using RelayOpener = std::function<PortWriterChoice(std::string_view argument)>;

// The "mqtt:TOPIC[:ON:OFF]" back-end for PortBackends. Without a broker
// (`broker_set` false: no MQTTBroker) every "mqtt:" device is refused; with
// one, the text after "mqtt:" is checked and the device opened by `open`,
// which is called only when a device opens (a check, opening nothing, may
// leave it empty).
PortBackend RelayBackend(bool broker_set, RelayOpener open);

}  // namespace zelvo::mqtt
