// What a reload of the configuration has to reopen: the settings grouped by
// the part of the running bot that reads them once, when it opens.
#pragma once

#include "model/settings.h"

namespace zelvo {

struct SettingsChanges {
  bool connection = false;  // server, names, TLS, SASL, timing: reconnect
  bool devices = false;     // the OutputDevice list: reopen the port back-ends
  bool mqtt = false;        // broker, topic, credentials, client id, discovery
  bool window = false;      // position, size, state: only read at start

  bool Any() const { return connection || devices || mqtt || window; }
};

// Compares two readings of the configuration. Settings read at every use
// (the channel for replies, the safe states) reopen nothing but count under
// the part they belong to, so the log can say what changed.
SettingsChanges CompareSettings(const Settings& running, const Settings& fresh);

// Gives `fresh` the running window and MQTT settings, which are read once at
// start and so take effect only at the next one.
void KeepStartOnlySettings(const Settings& running, Settings& fresh);

}  // namespace zelvo
