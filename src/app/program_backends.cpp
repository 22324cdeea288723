#include "app/program_backends.h"

#include "app/mqtt_link.h"
#include "mqtt/relay_port.h"

namespace zelvo {
namespace {

PortBackends ProgramBackends(const PortPlatform& platform, bool broker_set,
                             mqtt::RelayOpener open_relay) {
  PortBackends backends = BuiltinPortBackends(platform);
  backends.Add(mqtt::RelayBackend(broker_set, std::move(open_relay)));
  return backends;
}

}  // namespace

PortBackends StartPortBackends(const PortPlatform& platform, MqttLink* mqtt) {
  mqtt::RelayOpener open_relay;
  if (mqtt) open_relay = [mqtt](std::string_view argument) { return mqtt->OpenRelay(argument); };
  return ProgramBackends(platform, mqtt != nullptr, std::move(open_relay));
}

PortBackends CheckPortBackends(const Settings& settings) {
  return ProgramBackends(PortPlatform{}, !settings.MQTTBroker.empty(), {});
}

}  // namespace zelvo
