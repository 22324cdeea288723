// The socket over QTcpSocket, on the thread's event loop. Maps the Qt socket
// states to the state numbers and delivers the connected, data, error,
// closed and send-complete events to one SocketEvents handler.
#pragma once

#include <QTcpSocket>
#include <memory>

#include "irc/socket.h"

namespace zelvo {

class QtSocket final : public Socket {
 public:
  // The most received bytes held at once: reading from the system pauses
  // when this much waits and resumes once the data event has taken it.
  static constexpr qint64 kReadBufferBytes = 64 * 1024;

  // Needs a Qt application object on this thread.
  QtSocket();
  ~QtSocket() override;

  // Where the events go; may be null (events are then ignored).
  void SetHandler(SocketEvents* handler) { handler_ = handler; }

  void SetRemoteHost(std::string vData) override { remote_host_ = std::move(vData); }
  std::string RemoteHost() const override { return remote_host_; }
  void SetRemotePort(std::int32_t vData) override { remote_port_ = vData; }
  std::int32_t RemotePort() const override { return remote_port_; }

  void Connect() override;
  std::int16_t State() const override;

  std::string LocalHostName() const override;
  std::int32_t LocalPort() const override;
  std::string LocalIP() const override;

  std::string SendData(std::string_view data) override;
  void GetData(std::string& data) override;
  void Close() override;
  // A client socket accepts nothing; the request is ignored.
  void Accept(std::int32_t request_id) override;

 private:
  void OnError(QAbstractSocket::SocketError error);
  void RaiseError(std::int16_t number, const std::string& description);

  std::unique_ptr<QTcpSocket> socket_;
  SocketEvents* handler_ = nullptr;
  std::string remote_host_;
  std::int32_t remote_port_ = 0;
  bool failed_ = false;  // an error ended the last connection attempt
};

// The socket error number for a Qt socket error.
std::int16_t SocketErrorNumber(QAbstractSocket::SocketError error);

}  // namespace zelvo
