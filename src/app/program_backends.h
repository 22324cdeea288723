// The OutputDevice back-ends of the program, in the order of the accepted
// forms: those of zelvo_outputs (outputs/backends.h), then the MQTT relays.
// A back-end from outside zelvo_outputs is registered here.
#pragma once

#include "model/settings.h"
#include "outputs/backends.h"
#include "outputs/port_backend.h"

namespace zelvo {

class MqttLink;

// For a start: the devices open on `platform`, "mqtt:" relays on `mqtt`, the
// MQTTBroker link (null: no MQTTBroker is set, and they are refused).
PortBackends StartPortBackends(const PortPlatform& platform, MqttLink* mqtt);

// For --check, which opens nothing: refuses what a start with `settings`
// would refuse before opening a device.
PortBackends CheckPortBackends(const Settings& settings);

}  // namespace zelvo
