// The bot's MQTT side as the application wires it: one broker connection
// (MQTTBroker) that carries the bridge (status, states, byte, events,
// discovery, switch commands) and the "mqtt:" relay back-ends. Switch
// commands beyond CommandLimiter's limit are dropped; each burst of drops is
// logged once, when it ends, from a timer of the event loop.
#pragma once

#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "log/messages.h"
#include "model/clock.h"
#include "model/settings.h"
#include "mqtt/bridge.h"
#include "mqtt/command_limiter.h"
#include "mqtt/mosquitto_client.h"
#include "mqtt/relay_port.h"
#include "outputs/outputs.h"
#include "outputs/port_writer.h"

namespace zelvo {

// A broker connection driven by the event loop.
class MqttConnection {
 public:
  virtual ~MqttConnection() = default;
  virtual mqtt::Transport& transport() = 0;
  virtual bool Connected() const = 0;
  // Hands what was published outside the connection's own events to the
  // socket at once.
  virtual void Sync() = 0;
  // Publishes `final_payload` on the status topic, disconnects.
  virtual void Close(const std::string& final_payload) = 0;
};

// Makes the connection and starts its first attempt; the events arrive from
// the event loop. Null with `error` set when the client cannot be set up.
using MqttConnectionFactory = std::function<std::unique_ptr<MqttConnection>(
    const mqtt::ClientOptions& options, const Clock& clock, mqtt::MosquittoClient::Events events,
    std::string* error)>;

// libmosquitto driven by the Qt event loop.
std::unique_ptr<MqttConnection> MakeMosquittoConnection(const mqtt::ClientOptions& options,
                                                        const Clock& clock,
                                                        mqtt::MosquittoClient::Events events,
                                                        std::string* error);

// What the link is given. Everything referenced outlives it.
struct MqttLinkServices {
  const Settings& settings;
  const Clock& clock;
  LogWriter log;
  // A port write that failed after a switch command (logged and shown as a
  // failure inside an event handler).
  std::function<void(const std::string&)> report_error;
  std::string version;
};

class MqttLink {
 public:
  // Sets the connection up from the MQTT settings and starts connecting.
  // Null with `error` set when MQTTBroker cannot be parsed or the client
  // cannot be set up.
  static std::unique_ptr<MqttLink> Open(MqttLinkServices services,
                                        const MqttConnectionFactory& factory, std::string* error);
  ~MqttLink();
  MqttLink(const MqttLink&) = delete;
  MqttLink& operator=(const MqttLink&) = delete;

  // Opens an "mqtt:" back-end (the opener of mqtt::RelayBackend). While the
  // broker is away its writes are held back; on each connection every relay
  // still open is sent the current outputs. The link must outlive it.
  PortWriterChoice OpenRelay(std::string_view argument);

  // The register the commands switch and whose byte is published; its names
  // go into the discovery configurations. Set once, before the first write.
  void AttachOutputs(Outputs& outputs);

  // The register was written: each changed state and the byte.
  void PortWritten(std::uint8_t byte);
  // A rule ran.
  void RuleRan(const mqtt::RuleEvent& event);

  // Orderly close: "offline" on the status topic, then disconnect.
  void Close();

  const mqtt::Topics& topics() const { return bridge_->topics(); }
  bool Connected() const { return connection_ && connection_->Connected(); }

 private:
  class HeldPublisher;
  class LinkedRelay;

  explicit MqttLink(MqttLinkServices services);
  void OnConnected();
  void OnDisconnected(const std::string& why);
  void OnMessage(const std::string& topic, const std::string& payload, bool retained);
  void Switch(int output, mqtt::SwitchCommand command);
  // Logs the bursts of dropped commands that have ended (`all`: every one).
  void ReportDrops(bool all = false);
  void Sync();

  MqttLinkServices services_;
  std::unique_ptr<MqttConnection> connection_;
  std::unique_ptr<HeldPublisher> relay_publisher_;
  std::unique_ptr<mqtt::Bridge> bridge_;
  std::vector<mqtt::RelayPort*> relays_;  // the open relays, owned by the port
  Outputs* outputs_ = nullptr;
  mqtt::CommandLimiter limiter_;
  QTimer drop_report_;     // while commands are being dropped
  bool in_event_ = false;  // inside one of the connection's events
  bool closed_ = false;
};

}  // namespace zelvo
