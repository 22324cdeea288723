#include "mqtt/qt_driver.h"

namespace zelvo::mqtt {

QtDriver::QtDriver(MosquittoClient& client, QObject* parent) : QObject(parent), client_(client) {
  misc_.setInterval(1000);
  connect(&misc_, &QTimer::timeout, this, [this] {
    client_.LoopMisc();
    Sync();
  });
  misc_.start();
  backlog_.setSingleShot(true);
  backlog_.setInterval(0);
  connect(&backlog_, &QTimer::timeout, this, [this] { Read(); });
  client_.Start();
  Sync();
}

void QtDriver::Sync() {
  const int socket = client_.Socket();
  // A new connection may reuse the number of the old socket.
  if (socket != socket_ || client_.Attempt() != attempt_) {
    attempt_ = client_.Attempt();
    read_.reset();
    write_.reset();
    socket_ = socket;
    if (socket_ >= 0) {
      read_ = std::make_unique<QSocketNotifier>(socket_, QSocketNotifier::Read);
      connect(read_.get(), &QSocketNotifier::activated, this, [this] { Read(); });
      write_ = std::make_unique<QSocketNotifier>(socket_, QSocketNotifier::Write);
      connect(write_.get(), &QSocketNotifier::activated, this, [this] { Write(); });
    }
  }
  if (write_) write_->setEnabled(client_.WantWrite());
  const bool backlog = client_.HasBacklog();
  if (read_) read_->setEnabled(!backlog);
  if (backlog && !backlog_.isActive()) backlog_.start();
}

void QtDriver::Close(const std::string& final_payload) {
  read_.reset();
  write_.reset();
  socket_ = -1;
  client_.Close(final_payload);
  misc_.stop();
  backlog_.stop();
}

void QtDriver::Read() {
  client_.LoopRead();
  Sync();
}

void QtDriver::Write() {
  client_.LoopWrite();
  Sync();
}

}  // namespace zelvo::mqtt
