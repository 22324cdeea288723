// Drives a MosquittoClient from the Qt event loop: its socket is watched by
// QSocketNotifiers and its housekeeping runs on a one-second timer. While the
// client keeps messages back, the socket is not read and the next share is
// handed on in the next pass of the loop.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

#include "mqtt/mosquitto_client.h"

namespace zelvo::mqtt {

class QtDriver final : public QObject {
 public:
  // `client` must outlive the driver. Starts the first connection attempt.
  explicit QtDriver(MosquittoClient& client, QObject* parent = nullptr);

  // Looks at the socket again: call after publishing from outside the
  // client's callbacks, so that queued messages are written at once.
  void Sync();

  // The orderly close of the client (see MosquittoClient::Close); the
  // socket is no longer watched afterwards.
  void Close(const std::string& final_payload);

 private:
  void Read();
  void Write();

  MosquittoClient& client_;
  int socket_ = -1;
  int attempt_ = 0;
  std::unique_ptr<QSocketNotifier> read_;
  std::unique_ptr<QSocketNotifier> write_;
  QTimer misc_;
  QTimer backlog_;
};

}  // namespace zelvo::mqtt
