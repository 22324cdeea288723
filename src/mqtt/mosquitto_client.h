// A connection to the MQTT broker through libmosquitto, driven by the
// caller's event loop: watch Socket() for reading (and for writing while
// WantWrite()), call LoopRead/LoopWrite when it is ready, and LoopMisc about
// once a second for keep-alive, retries and reconnecting. No thread of its
// own. A lost or refused connection is tried again after 5 s, doubling to
// 300 s. One LoopRead hands at most kMessagesPerPass messages on; the rest of
// what it read waits for the next (see HasBacklog), so that a flood of
// messages cannot hold the event loop.
//
// Each attempt looks the broker's host name up inside libmosquitto with
// getaddrinfo, which blocks the loop until the resolver answers; an IP
// address in MQTTBroker, or a name in /etc/hosts, needs no DNS query. The
// name is not resolved beforehand and replaced by an address, because with
// mqtts:// libmosquitto sends the name it connects to as SNI and checks the
// certificate against it.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "model/clock.h"
#include "model/reconnect_backoff.h"
#include "mqtt/broker_url.h"
#include "mqtt/publisher.h"

struct mosquitto;
struct mosquitto_message;

namespace zelvo::mqtt {

struct ClientOptions {
  BrokerUrl broker;
  std::string client_id;
  std::string username;    // empty: none
  std::string password;    // never logged or shown
  std::string ca_file;     // mqtts: empty uses the system's certificates
  std::string will_topic;  // retained Last Will with QoS 1; empty: none
  std::string will_payload = "offline";
  int keepalive_seconds = 30;
};

class MosquittoClient final : public Transport {
 public:
  struct Events {
    std::function<void()> connected;  // the broker accepted the connection
    // The connection was refused or lost; `why` never holds the password.
    std::function<void(const std::string& why)> disconnected;
    // `retained`: the message carries the retain flag, i.e. the broker kept
    // it and hands it over because of a new subscription.
    std::function<void(const std::string& topic, const std::string& payload, bool retained)>
        message;
  };

  // Sets the client up without connecting. On failure returns null and
  // sets `error`.
  static std::unique_ptr<MosquittoClient> Create(const ClientOptions& options, const Clock& clock,
                                                 Events events, std::string* error);
  ~MosquittoClient() override;
  MosquittoClient(const MosquittoClient&) = delete;
  MosquittoClient& operator=(const MosquittoClient&) = delete;

  static constexpr int kMessagesPerPass = 32;

  // Starts the first connection attempt without waiting for it.
  void Start();

  // The socket to watch, -1 while there is none. It changes on reconnects.
  int Socket() const;
  bool WantWrite() const;
  // Hands on what earlier calls kept back; only once that is all handed on,
  // reads from the socket.
  void LoopRead();
  // Messages read but not handed on yet: call LoopRead on the next pass of
  // the event loop, whether or not the socket is readable.
  bool HasBacklog() const { return !backlog_.empty(); }
  void LoopWrite();
  void LoopMisc();

  bool IsConnected() const { return connected_; }
  // Counts the connection attempts; the socket of each may be new.
  int Attempt() const { return attempt_; }
  // When the next attempt to connect is due, while waiting for one.
  std::optional<std::chrono::steady_clock::time_point> NextAttempt() const { return next_attempt_; }

  std::string Publish(const std::string& topic, const std::string& payload, bool retain) override;
  // Subscribes with QoS 1; "" or why not.
  std::string Subscribe(const std::string& filter) override;

  // Orderly close: publishes `final_payload` retained on the will topic,
  // waits until the broker has acknowledged every message published on this
  // connection, then disconnects; all within `wait` at most. Messages that
  // arrive meanwhile are not handed on.
  void Close(const std::string& final_payload,
             std::chrono::milliseconds wait = std::chrono::milliseconds(1000));

  // "host:port" with "mqtts://" or "mqtt://" in front.
  std::string Describe() const;

 private:
  struct Received {
    std::string topic;
    std::string payload;
    bool retained = false;
  };

  MosquittoClient(const ClientOptions& options, const Clock& clock, Events events);
  // Makes and sets up the libmosquitto handle; "" or why not.
  std::string NewHandle();
  void Lost(std::string why);
  // Hands a message on, or keeps it back once this pass has had its share.
  void Receive(Received message);
  void Check(int rc, const char* what);
  // The library's error text; for TLS errors OpenSSL's reason and the fix.
  std::string Explain(int rc) const;

  static void OnConnect(mosquitto*, void* self, int rc);
  static void OnDisconnect(mosquitto*, void* self, int rc);
  static void OnMessage(mosquitto*, void* self, const ::mosquitto_message* message);
  static void OnPublished(mosquitto*, void* self, int mid);
  static void OnLog(mosquitto*, void* self, int level, const char* text);

  ClientOptions options_;
  const Clock& clock_;
  Events events_;
  mosquitto* mosq_ = nullptr;
  bool started_ = false;
  bool connected_ = false;
  bool closing_ = false;
  int attempt_ = 0;
  int unacknowledged_ = 0;  // published on the current handle, not yet acknowledged
  ReconnectBackoff backoff_;
  std::optional<std::chrono::steady_clock::time_point> next_attempt_;
  std::string tls_error_;  // OpenSSL's reasons during the current attempt
  int handed_ = 0;         // messages handed on in the current LoopRead
  std::deque<Received> backlog_;
};

}  // namespace zelvo::mqtt
