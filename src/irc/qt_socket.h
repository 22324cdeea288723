// The socket over QTcpSocket, or QSslSocket with TLS, on the thread's event
// loop.
// Maps the Qt socket states to the state numbers and delivers the connected,
// data, error, closed, send-complete and TLS error events to one SocketEvents
// handler. With TLS the connection counts as connected (state and event)
// only once the handshake is done and the server's certificate accepted:
// verified against the system's CAs and the CA file and matched to the host
// name, or, with a fingerprint, matched to that alone. A server that
// answers the handshake in plain text, or not within kHandshakeTimeout, fails
// it as a plain server.
#pragma once

#include <QSslSocket>
#include <QTimer>
#include <chrono>
#include <memory>

#include "irc/socket.h"

namespace zelvo {

class QtSocket final : public Socket {
 public:
  // The most received bytes held at once: reading from the system pauses
  // when this much waits and resumes once the data event has taken it.
  static constexpr qint64 kReadBufferBytes = 64 * 1024;
  // The longest wait for the server's answer to the TLS handshake.
  static constexpr std::chrono::seconds kHandshakeTimeout{10};

  // Needs a Qt application object on this thread.
  QtSocket();
  ~QtSocket() override;

  // Where the events go; may be null (events are then ignored).
  void SetHandler(SocketEvents* handler) { handler_ = handler; }

  void SetRemoteHost(std::string vData) override { remote_host_ = std::move(vData); }
  std::string RemoteHost() const override { return remote_host_; }
  void SetRemotePort(std::int32_t vData) override { remote_port_ = vData; }
  std::int32_t RemotePort() const override { return remote_port_; }
  void SetTls(TlsOptions vData) override { tls_ = std::move(vData); }
  // Bound with QAbstractSocket::bind; the connect then asks for the bound
  // address's protocol, so Qt tries only the host's addresses of that family
  // (none: "host not found").
  void SetBindAddress(std::string address) override { bind_address_ = std::move(address); }

  void Connect() override;
  std::int16_t State() const override;

  std::string LocalHostName() const override;
  std::int32_t LocalPort() const override;
  std::string LocalIP() const override;

  std::string SendData(std::string_view data) override;
  void GetData(std::string& data) override;
  void DataEventLater() override;
  void Close() override;
  // A client socket accepts nothing; the request is ignored.
  void Accept(std::int32_t request_id) override;

 private:
  // A new socket of the kind tls_ asks for, with its signals connected.
  void Renew();
  // The socket when it is a TLS one; null for a plain connection.
  QSslSocket* TlsSocket() const;
  // The server certificate's fingerprint; "" without one.
  std::string PeerFingerprint() const;
  // The data event to the handler, or the data dropped when nobody takes it.
  void RaiseDataArrival();
  void OnError(QAbstractSocket::SocketError error);
  void RaiseError(std::int16_t number, const std::string& description);
  // The same from the event loop: a connection attempt that fails before it
  // starts is reported like any other, never from inside Connect.
  void RaiseErrorLater(std::int16_t number, std::string description);
  void OnEncrypted();
  // Drops the connection and reports the TLS failure from the event loop.
  void FailTls(std::string reason, bool plain_server = false);
  // Sets up the TLS configuration; "" or why it cannot be.
  std::string ConfigureTls();
  // Binds the local end to bind_address_; "" or why it cannot be.
  std::string Bind(QAbstractSocket::NetworkLayerProtocol& protocol);
  bool Encrypting() const { return TlsSocket() && !TlsSocket()->isEncrypted(); }

  std::unique_ptr<QTcpSocket> socket_;
  QTimer handshake_timer_;  // from the TCP connection to the end of the handshake
  TlsOptions tls_;
  std::string bind_address_;
  std::string tls_errors_;  // the verification errors of the handshake under way
  SocketEvents* handler_ = nullptr;
  std::string remote_host_;
  std::int32_t remote_port_ = 0;
  bool failed_ = false;      // an error ended the last connection attempt
  bool tls_failed_ = false;  // the last attempt's TLS handshake was refused
  bool data_event_due_ = false;
  bool in_connect_ = false;  // inside Qt's connectToHost
};

// The SHA-256 fingerprint of a certificate, 64 lower-case hex digits.
std::string CertificateFingerprint(const QSslCertificate& certificate);

// The socket error number for a Qt socket error.
std::int16_t SocketErrorNumber(QAbstractSocket::SocketError error);

}  // namespace zelvo
