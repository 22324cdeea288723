#include "app/mqtt_link.h"

#include "mqtt/broker_url.h"
#include "mqtt/qt_driver.h"

namespace zelvo {
namespace {

class MosquittoConnection final : public MqttConnection {
 public:
  explicit MosquittoConnection(std::unique_ptr<mqtt::MosquittoClient> client)
      : client_(std::move(client)), driver_(*client_) {}

  mqtt::Transport& transport() override { return *client_; }
  bool Connected() const override { return client_->IsConnected(); }
  void Sync() override { driver_.Sync(); }
  void Close(const std::string& final_payload) override { driver_.Close(final_payload); }

 private:
  std::unique_ptr<mqtt::MosquittoClient> client_;
  mqtt::QtDriver driver_;
};

const char* CommandWord(mqtt::SwitchCommand command) {
  switch (command) {
    case mqtt::SwitchCommand::kOn:
      return "ON";
    case mqtt::SwitchCommand::kOff:
      return "OFF";
    case mqtt::SwitchCommand::kToggle:
      break;
  }
  return "TOGGLE";
}

}  // namespace

std::unique_ptr<MqttConnection> MakeMosquittoConnection(const mqtt::ClientOptions& options,
                                                        const Clock& clock,
                                                        mqtt::MosquittoClient::Events events,
                                                        std::string* error) {
  std::unique_ptr<mqtt::MosquittoClient> client =
      mqtt::MosquittoClient::Create(options, clock, std::move(events), error);
  if (!client) return nullptr;
  return std::make_unique<MosquittoConnection>(std::move(client));
}

// The relays' way to the broker: while it is away a message counts as handed
// over, since every relay is sent all eight outputs on the next connection.
class MqttLink::HeldPublisher final : public mqtt::Publisher {
 public:
  explicit HeldPublisher(MqttLink& link) : link_(link) {}
  std::string Publish(const std::string& topic, const std::string& payload, bool retain) override {
    if (!link_.Connected()) return {};
    std::string error = link_.connection_->transport().Publish(topic, payload, retain);
    link_.Sync();
    return error;
  }

 private:
  MqttLink& link_;
};

MqttLink::MqttLink(MqttLinkServices services)
    : services_(std::move(services)),
      relay_publisher_(std::make_unique<HeldPublisher>(*this)),
      limiter_(services_.clock) {
  drop_report_.setInterval(
      std::chrono::duration_cast<std::chrono::milliseconds>(mqtt::CommandLimiter::kQuiet));
  QObject::connect(&drop_report_, &QTimer::timeout, [this] { ReportDrops(); });
}

MqttLink::~MqttLink() = default;

std::unique_ptr<MqttLink> MqttLink::Open(MqttLinkServices services,
                                         const MqttConnectionFactory& factory, std::string* error) {
  const Settings& settings = services.settings;
  std::string why;
  const std::optional<mqtt::BrokerUrl> broker = mqtt::ParseBrokerUrl(settings.MQTTBroker, &why);
  if (!broker) {
    if (error) *error = why;
    return nullptr;
  }
  std::unique_ptr<MqttLink> link(new MqttLink(std::move(services)));
  mqtt::ClientOptions options;
  options.broker = *broker;
  options.client_id = MqttClientId(settings);
  options.username = settings.MQTTUsername;
  options.password = settings.MQTTPassword;
  options.ca_file = settings.MQTTCAFile;
  options.will_topic = mqtt::Topics(settings.MQTTTopic).Status();
  options.will_payload = mqtt::kOffline;
  MqttLink* self = link.get();
  // The events come from the event loop, each wrapped so that publishing
  // inside them leaves the socket to the loop.
  const auto inside = [self](auto&& action) {
    self->in_event_ = true;
    action();
    self->in_event_ = false;
  };
  mqtt::MosquittoClient::Events events{
      [self, inside] { inside([self] { self->OnConnected(); }); },
      [self, inside](const std::string& why) {
        inside([self, &why] { self->OnDisconnected(why); });
      },
      [self, inside](const std::string& topic, const std::string& payload, bool retained) {
        inside([self, &topic, &payload, retained] { self->OnMessage(topic, payload, retained); });
      }};
  link->connection_ = factory(options, link->services_.clock, std::move(events), error);
  if (!link->connection_) return nullptr;
  return link;
}

// A relay as the port holds it: known to the link, for the resend on each
// connection, until the port closes it (a reload that changes the devices).
class MqttLink::LinkedRelay final : public PortWriter {
 public:
  LinkedRelay(mqtt::RelayTarget target, MqttLink& link)
      : relay_(std::move(target), *link.relay_publisher_), link_(link) {
    link_.relays_.push_back(&relay_);
  }
  ~LinkedRelay() override { std::erase(link_.relays_, &relay_); }
  LinkedRelay(const LinkedRelay&) = delete;
  LinkedRelay& operator=(const LinkedRelay&) = delete;

  std::string Write(std::uint8_t byte) override { return relay_.Write(byte); }
  std::string Describe() const override { return relay_.Describe(); }

 private:
  mqtt::RelayPort relay_;
  MqttLink& link_;
};

PortWriterChoice MqttLink::OpenRelay(std::string_view argument) {
  PortWriterChoice choice;
  if (std::optional<mqtt::RelayTarget> target = mqtt::ParseRelayTarget(argument, &choice.error))
    choice.writer = std::make_unique<LinkedRelay>(std::move(*target), *this);
  return choice;
}

void MqttLink::AttachOutputs(Outputs& outputs) {
  outputs_ = &outputs;
  mqtt::BridgeOptions options;
  options.prefix = services_.settings.MQTTTopic;
  options.client_id = MqttClientId(services_.settings);
  options.discovery = services_.settings.MQTTDiscovery;
  options.version = services_.version;
  options.ignore_retained_commands = services_.settings.MQTTIgnoreRetainedCommands;
  for (int n = 1; n <= kOutputCount; ++n) options.output_names[n - 1] = outputs.OutputName(n);
  bridge_ = std::make_unique<mqtt::Bridge>(
      std::move(options), connection_->transport(), services_.clock,
      [this](int output, mqtt::SwitchCommand command) { Switch(output, command); },
      [this](const LogMessage& message, const std::string& text) {
        WriteMessage(services_.log, message, text);
      });
  if (Connected()) OnConnected();
}

void MqttLink::OnConnected() {
  if (!bridge_ || !outputs_) return;
  WriteMessage(services_.log, log_msg::kMqttConnected,
               MqttConnectedText(services_.settings.MQTTBroker));
  const auto byte = static_cast<std::uint8_t>(outputs_->DecimalOutput());
  bridge_->Connected(byte);
  for (mqtt::RelayPort* relay : relays_) {
    relay->Resync();
    if (const std::string error = relay->Write(byte); !error.empty())
      WriteMessage(services_.log, log_msg::kMqttWarning, relay->Describe() + ": " + error);
  }
  Sync();
}

void MqttLink::OnDisconnected(const std::string& why) {
  if (bridge_) bridge_->Disconnected();
  WriteMessage(services_.log, log_msg::kMqttDisconnected, why);
}

void MqttLink::OnMessage(const std::string& topic, const std::string& payload, bool retained) {
  if (bridge_) bridge_->Message(topic, payload, retained);
}

void MqttLink::Switch(int output, mqtt::SwitchCommand command) {
  if (!outputs_) return;
  if (!limiter_.Admit(output)) {
    if (!drop_report_.isActive()) drop_report_.start();
    return;
  }
  switch (command) {
    case mqtt::SwitchCommand::kOn:
      outputs_->SetOutput(output, true);
      break;
    case mqtt::SwitchCommand::kOff:
      outputs_->SetOutput(output, false);
      break;
    case mqtt::SwitchCommand::kToggle:
      outputs_->Output_Toggle(output);
      break;
  }
  const bool on = outputs_->Output(output);
  const std::string topic = bridge_->topics().OutputSet(output);
  const std::string error = outputs_->SetOutputs({SwitchCause::Kind::kMqtt, {}, topic});
  if (!error.empty() && services_.report_error) services_.report_error(error);
  if (!outputs_->LastWriteTaken()) return;
  WriteMessage(services_.log, log_msg::kMqttSwitched,
               MqttSwitchedText(output, on, CommandWord(command), topic));
}

void MqttLink::ReportDrops(bool all) {
  if (!bridge_) return;
  for (const mqtt::DroppedBurst& burst : limiter_.TakeEnded(all))
    WriteMessage(services_.log, log_msg::kMqttCommandsDropped,
                 MqttCommandsDroppedText(burst.output, burst.dropped, burst.lasted.count(),
                                         mqtt::CommandLimiter::kPerSecond,
                                         bridge_->topics().OutputSet(burst.output)));
  if (!limiter_.Dropping()) drop_report_.stop();
}

void MqttLink::PortWritten(std::uint8_t byte) {
  if (!bridge_) return;
  bridge_->PortWritten(byte);
  Sync();
}

void MqttLink::RuleRan(const mqtt::RuleEvent& event) {
  if (!bridge_) return;
  bridge_->RuleRan(event);
  Sync();
}

void MqttLink::Sync() {
  if (!in_event_ && connection_) connection_->Sync();
}

void MqttLink::Close() {
  if (closed_) return;
  closed_ = true;
  ReportDrops(/*all=*/true);
  if (bridge_) bridge_->Disconnected();
  connection_->Close(mqtt::kOffline);
}

}  // namespace zelvo
