#include "mqtt/mosquitto_client.h"

#include <mosquitto.h>

#include <cerrno>
#include <string_view>
#include <system_error>

#include "files/shared_library.h"
#include "log/messages.h"

namespace zelvo::mqtt {
namespace {

// libmosquitto (with the libssl and libcrypto it brings), loaded when the
// first client is made: a bot without MQTTBroker does not map it.
#define ZELVO_MOSQUITTO_FUNCTIONS(X)                                                      \
  X(mosquitto_lib_init) X(mosquitto_strerror) X(mosquitto_new) X(mosquitto_destroy)       \
  X(mosquitto_int_option) X(mosquitto_connect_callback_set)                               \
  X(mosquitto_disconnect_callback_set) X(mosquitto_message_callback_set)                  \
  X(mosquitto_log_callback_set) X(mosquitto_publish_callback_set) X(mosquitto_will_set)   \
  X(mosquitto_username_pw_set) X(mosquitto_tls_set) X(mosquitto_connect_async)            \
  X(mosquitto_socket) X(mosquitto_want_write) X(mosquitto_loop_read)                      \
  X(mosquitto_loop_write) X(mosquitto_loop_misc) X(mosquitto_publish)                     \
  X(mosquitto_subscribe) X(mosquitto_loop) X(mosquitto_disconnect) X(mosquitto_connack_string)

struct MosquittoApi {
  ZELVO_MOSQUITTO_FUNCTIONS(ZELVO_LIBRARY_MEMBER)
};

const MosquittoApi* LoadMosquitto(std::string* error) {
  return LoadLibraryApi<MosquittoApi>("libmosquitto.so.1", error,
                                      [](MosquittoApi& api, SharedLibrary& library) {
                                        ZELVO_MOSQUITTO_FUNCTIONS(ZELVO_LIBRARY_RESOLVE)
                                        // Once for the process, with the table.
                                        if (library.Error().empty()) api.mosquitto_lib_init();
                                      });
}

// The table, once Create has loaded it (no client exists before).
const MosquittoApi& Mosq() {
  return *LoadMosquitto(nullptr);
}

std::string ErrorText(int rc) {
  if (rc == MOSQ_ERR_ERRNO) return std::error_code(errno, std::generic_category()).message();
  return Mosq().mosquitto_strerror(rc);
}

}  // namespace

std::unique_ptr<MosquittoClient> MosquittoClient::Create(const ClientOptions& options,
                                                         const Clock& clock, Events events,
                                                         std::string* error) {
  if (std::string why; !LoadMosquitto(&why)) {
    if (error) *error = LibraryMissingText(why, "libmosquitto1");
    return nullptr;
  }
  std::unique_ptr<MosquittoClient> client(new MosquittoClient(options, clock, std::move(events)));
  const auto fail = [&](const std::string& why) -> std::unique_ptr<MosquittoClient> {
    if (error) *error = "Cannot set up the MQTT client for " + client->Describe() + ": " + why;
    return nullptr;
  };
  if (const std::string why = client->NewHandle(); !why.empty()) return fail(why);
  return client;
}

// A handle of its own for each connection: libmosquitto would send the
// messages still unacknowledged on the old connection again after those of
// the new one, and outdated retained states would overwrite the current ones.
std::string MosquittoClient::NewHandle() {
  if (mosq_) Mosq().mosquitto_destroy(mosq_);
  const ClientOptions& options = options_;
  mosq_ = Mosq().mosquitto_new(options.client_id.c_str(), true, this);
  if (!mosq_) return ErrorText(MOSQ_ERR_ERRNO) + ".";
  mosquitto* m = mosq_;
  Mosq().mosquitto_int_option(m, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
  // Each message leaves at once instead of waiting for the previous one's ACK.
  Mosq().mosquitto_int_option(m, MOSQ_OPT_TCP_NODELAY, 1);
  Mosq().mosquitto_connect_callback_set(m, &MosquittoClient::OnConnect);
  Mosq().mosquitto_disconnect_callback_set(m, &MosquittoClient::OnDisconnect);
  Mosq().mosquitto_message_callback_set(m, &MosquittoClient::OnMessage);
  Mosq().mosquitto_log_callback_set(m, &MosquittoClient::OnLog);
  Mosq().mosquitto_publish_callback_set(m, &MosquittoClient::OnPublished);
  unacknowledged_ = 0;
  if (!options.will_topic.empty()) {
    const int rc = Mosq().mosquitto_will_set(m, options.will_topic.c_str(),
                                      static_cast<int>(options.will_payload.size()),
                                      options.will_payload.data(), 1, true);
    if (rc != MOSQ_ERR_SUCCESS) return "the Last Will: " + ErrorText(rc) + ".";
  }
  if (!options.username.empty()) {
    const int rc = Mosq().mosquitto_username_pw_set(
        m, options.username.c_str(), options.password.empty() ? nullptr : options.password.c_str());
    if (rc != MOSQ_ERR_SUCCESS) return "the user name: " + ErrorText(rc) + ".";
  }
  if (options.broker.tls) {
    int rc = MOSQ_ERR_SUCCESS;
    if (options.ca_file.empty())
      rc = Mosq().mosquitto_int_option(m, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
    else
      rc = Mosq().mosquitto_tls_set(m, options.ca_file.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (rc != MOSQ_ERR_SUCCESS)
      return "TLS with the CA file \"" + options.ca_file + "\": " + ErrorText(rc) +
             ". Check MQTTCAFile.";
  }
  return {};
}

MosquittoClient::MosquittoClient(const ClientOptions& options, const Clock& clock, Events events)
    : options_(options), clock_(clock), events_(std::move(events)) {}

MosquittoClient::~MosquittoClient() {
  if (mosq_) Mosq().mosquitto_destroy(mosq_);
}

std::string MosquittoClient::Describe() const {
  const std::string& host = options_.broker.host;
  const bool ipv6 = host.find(':') != std::string::npos;
  return std::string(options_.broker.tls ? "mqtts://" : "mqtt://") + (ipv6 ? "[" : "") + host +
         (ipv6 ? "]" : "") + ":" + std::to_string(options_.broker.port);
}

void MosquittoClient::Start() {
  if (started_) {
    if (const std::string why = NewHandle(); !why.empty()) return Lost("cannot connect: " + why);
  }
  started_ = true;
  ++attempt_;
  next_attempt_.reset();
  tls_error_.clear();
  const int rc = Mosq().mosquitto_connect_async(mosq_, options_.broker.host.c_str(), options_.broker.port,
                                         options_.keepalive_seconds);
  if (rc != MOSQ_ERR_SUCCESS) Lost("cannot connect: " + Explain(rc));
}

int MosquittoClient::Socket() const {
  return next_attempt_ ? -1 : Mosq().mosquitto_socket(mosq_);
}

bool MosquittoClient::WantWrite() const {
  return Socket() >= 0 && Mosq().mosquitto_want_write(mosq_);
}

void MosquittoClient::Check(int rc, const char* what) {
  if (rc == MOSQ_ERR_SUCCESS || closing_ || next_attempt_) return;
  Lost(std::string(what) + ": " + Explain(rc));
}

std::string MosquittoClient::Explain(int rc) const {
  if (rc != MOSQ_ERR_TLS) return ErrorText(rc);
  std::string text = "the TLS handshake failed";
  if (!tls_error_.empty()) text += " (" + tls_error_ + ")";
  return text +
         (options_.ca_file.empty()
              ? ". Name the CA that signed the broker's certificate in MQTTCAFile"
              : ". Check that MQTTCAFile \"" + options_.ca_file +
                    "\" holds the CA that signed the broker's certificate") +
         ", and that the certificate is made out to " + options_.broker.host;
}

void MosquittoClient::LoopRead() {
  handed_ = 0;
  while (!backlog_.empty() && handed_ < kMessagesPerPass) {
    Received message = std::move(backlog_.front());
    backlog_.pop_front();
    Receive(std::move(message));
  }
  // libmosquitto reads as many packets in one call as it has messages of its
  // own awaiting an answer: the ones beyond this pass's share wait.
  if (backlog_.empty() && Socket() >= 0) Check(Mosq().mosquitto_loop_read(mosq_, 1), "connection lost");
}

void MosquittoClient::Receive(Received message) {
  if (handed_ >= kMessagesPerPass) {
    backlog_.push_back(std::move(message));
    return;
  }
  ++handed_;
  if (events_.message) events_.message(message.topic, message.payload, message.retained);
}

void MosquittoClient::LoopWrite() {
  // libmosquitto moves a TLS handshake on only in its read call: while one
  // may be under way (before the broker's answer), a writable socket is its
  // turn too, else a handshake that had to wait for the TCP connection would
  // never go on.
  if (options_.broker.tls && !connected_ && Socket() >= 0)
    Check(Mosq().mosquitto_loop_read(mosq_, 1), "connection lost");
  if (Socket() >= 0) Check(Mosq().mosquitto_loop_write(mosq_, 1), "connection lost");
}

void MosquittoClient::LoopMisc() {
  if (next_attempt_) {
    if (clock_.MonotonicNow() < *next_attempt_) return;
    next_attempt_.reset();
    Start();
    return;
  }
  if (started_ && !closing_) Check(Mosq().mosquitto_loop_misc(mosq_), "connection lost");
}

void MosquittoClient::Lost(std::string why) {
  const auto now = clock_.MonotonicNow();
  const auto wait = std::chrono::duration_cast<std::chrono::seconds>(backoff_.OnLost(now));
  connected_ = false;
  next_attempt_ = now + wait;
  if (!why.empty() && why.back() == '.') why.pop_back();
  if (events_.disconnected)
    events_.disconnected(MqttDisconnectedText(Describe(), why, wait.count()));
}

std::string MosquittoClient::Publish(const std::string& topic, const std::string& payload,
                                     bool retain) {
  if (!connected_) return "not connected to the MQTT broker " + Describe();
  const int rc = Mosq().mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                                   payload.data(), 1, retain);
  if (rc != MOSQ_ERR_SUCCESS) return ErrorText(rc);
  ++unacknowledged_;
  return {};
}

std::string MosquittoClient::Subscribe(const std::string& filter) {
  if (!connected_) return "not connected to the MQTT broker " + Describe();
  const int rc = Mosq().mosquitto_subscribe(mosq_, nullptr, filter.c_str(), 1);
  return rc == MOSQ_ERR_SUCCESS ? std::string() : ErrorText(rc);
}

void MosquittoClient::Close(const std::string& final_payload, std::chrono::milliseconds wait) {
  if (!connected_) return;
  if (!options_.will_topic.empty()) Publish(options_.will_topic, final_payload, true);
  closing_ = true;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  const auto run_until = [&](const auto& done) {
    while (!done() && Mosq().mosquitto_socket(mosq_) >= 0 && std::chrono::steady_clock::now() < deadline)
      if (Mosq().mosquitto_loop(mosq_, 50, 1) != MOSQ_ERR_SUCCESS) break;
  };
  // Every message acknowledged before DISCONNECT: closing the socket with
  // acknowledgements still unread resets the connection, and the broker then
  // drops whatever it had not read yet (the last states, the final payload).
  run_until([this] { return unacknowledged_ == 0; });
  Mosq().mosquitto_disconnect(mosq_);
  // The library closes the socket once DISCONNECT is written.
  run_until([] { return false; });
  connected_ = false;
}

void MosquittoClient::OnConnect(mosquitto*, void* self, int rc) {
  auto* client = static_cast<MosquittoClient*>(self);
  if (rc != 0) {
    client->Lost(std::string("refused the connection: ") + Mosq().mosquitto_connack_string(rc) +
                 (rc == 4 || rc == 5 ? " (check MQTTUsername and MQTTPassword)" : ""));
    return;
  }
  client->connected_ = true;
  client->backoff_.OnUp(client->clock_.MonotonicNow());
  if (client->events_.connected) client->events_.connected();
}

void MosquittoClient::OnDisconnect(mosquitto*, void* self, int rc) {
  auto* client = static_cast<MosquittoClient*>(self);
  if (client->closing_ || client->next_attempt_) return;
  if (rc == 0) {
    client->connected_ = false;
    return;
  }
  client->Lost("connection lost: " + client->Explain(rc));
}

void MosquittoClient::OnPublished(mosquitto*, void* self, int) {
  auto* client = static_cast<MosquittoClient*>(self);
  if (client->unacknowledged_ > 0) --client->unacknowledged_;
}

void MosquittoClient::OnLog(mosquitto*, void* self, int level, const char* text) {
  // OpenSSL's reason for a failed handshake, e.g. "OpenSSL Error[0]:
  // error:0A000086:SSL routines::certificate verify failed".
  constexpr std::string_view kOpenSsl = "OpenSSL Error";
  if (level != MOSQ_LOG_ERR || !text ||
      std::string_view(text).substr(0, kOpenSsl.size()) != kOpenSsl)
    return;
  auto* client = static_cast<MosquittoClient*>(self);
  const std::string_view line(text);
  const std::size_t colon = line.rfind(':');
  const std::string reason(colon == std::string_view::npos ? line : line.substr(colon + 1));
  if (client->tls_error_.find(reason) == std::string::npos)
    client->tls_error_ += (client->tls_error_.empty() ? "" : "; ") + reason;
}

void MosquittoClient::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
  auto* client = static_cast<MosquittoClient*>(self);
  // Nothing switches the outputs any more once the close has begun.
  if (client->closing_ || !message->topic) return;
  std::string payload(static_cast<const char*>(message->payload),
                      message->payload ? static_cast<std::size_t>(message->payloadlen) : 0);
  client->Receive({message->topic, std::move(payload), message->retain});
}

}  // namespace zelvo::mqtt
