#include "irc/qt_socket.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTimer>

#include "log/messages.h"

namespace zelvo {

std::int16_t SocketErrorNumber(QAbstractSocket::SocketError error) {
  switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
      return socket_error::kConnectionRefused;
    case QAbstractSocket::RemoteHostClosedError:
      return socket_error::kConnectionReset;
    case QAbstractSocket::HostNotFoundError:
      return socket_error::kHostNotFound;
    case QAbstractSocket::SocketAccessError:
      return socket_error::kAccess;
    case QAbstractSocket::SocketResourceError:
      return socket_error::kNoBuffers;
    case QAbstractSocket::SocketTimeoutError:
      return socket_error::kTimedOut;
    case QAbstractSocket::NetworkError:
      return socket_error::kNetworkDown;
    case QAbstractSocket::AddressInUseError:
      return socket_error::kAddressInUse;
    case QAbstractSocket::SocketAddressNotAvailableError:
      return socket_error::kAddressNotAvailable;
    case QAbstractSocket::UnsupportedSocketOperationError:
      return socket_error::kOperationNotSupported;
    default:
      return socket_error::kConnectionAborted;
  }
}

std::string CertificateFingerprint(const QSslCertificate& certificate) {
  if (certificate.isNull()) return "";
  return certificate.digest(QCryptographicHash::Sha256).toHex().toStdString();
}

QtSocket::QtSocket() {
  handshake_timer_.setSingleShot(true);
  handshake_timer_.setInterval(kHandshakeTimeout);
  QObject::connect(&handshake_timer_, &QTimer::timeout, [this] {
    if (Encrypting() && !tls_failed_) {
      FailTls(TlsNoAnswerText(kHandshakeTimeout.count()), /*plain_server=*/true);
    }
  });
  Renew();
}

void QtSocket::Renew() {
  // Without TLS a plain QTcpSocket: the TLS library is loaded only for a
  // connection that uses it.
  if (tls_.enabled)
    socket_ = std::make_unique<QSslSocket>();
  else
    socket_ = std::make_unique<QTcpSocket>();
  data_event_due_ = false;  // a posted data event went with the old one
  QTcpSocket* s = socket_.get();
  s->setReadBufferSize(kReadBufferBytes);
  QObject::connect(s, &QTcpSocket::connected, [this] {
    // Every write is a complete line: send it at once instead of waiting for
    // the acknowledgement of the one before.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (TlsSocket()) {
      handshake_timer_.start();
      return;  // connected once the handshake is done
    }
    if (handler_) handler_->sckIRC_Connect();
  });
  if (QSslSocket* tls = TlsSocket()) {
    QObject::connect(tls, &QSslSocket::encrypted, [this] {
      handshake_timer_.stop();
      OnEncrypted();
    });
    QObject::connect(tls, &QSslSocket::sslErrors, [this](const QList<QSslError>& errors) {
      if (!tls_.fingerprint.empty() || !tls_.verify) {
        // Pinned (checked once encrypted) or verification off.
        TlsSocket()->ignoreSslErrors();
        return;
      }
      tls_errors_.clear();
      for (const QSslError& error : errors) {
        tls_errors_ += (tls_errors_.empty() ? "" : "; ") + error.errorString().toStdString();
      }
      tls_errors_ += ".";
    });
  }
  QObject::connect(s, &QTcpSocket::readyRead, [this] { RaiseDataArrival(); });
  QObject::connect(s, &QTcpSocket::errorOccurred,
                   [this](QAbstractSocket::SocketError error) { OnError(error); });
  QObject::connect(s, &QTcpSocket::disconnected, [this] {
    // A refused handshake was reported as such already.
    if (handler_ && !tls_failed_) handler_->sckIRC_Close();
  });
  QObject::connect(s, &QTcpSocket::bytesWritten, [this](qint64) {
    if (handler_) handler_->sckIRC_SendComplete();
  });
}

QSslSocket* QtSocket::TlsSocket() const {
  return qobject_cast<QSslSocket*>(socket_.get());
}

std::string QtSocket::PeerFingerprint() const {
  const QSslSocket* tls = TlsSocket();
  return tls ? CertificateFingerprint(tls->peerCertificate()) : std::string();
}

QtSocket::~QtSocket() {
  handler_ = nullptr;
  socket_->abort();
}

void QtSocket::OnError(QAbstractSocket::SocketError error) {
  handshake_timer_.stop();
  if (in_connect_) {
    RaiseErrorLater(SocketErrorNumber(error), socket_->errorString().toStdString());
    return;
  }
  if (TlsSocket() && (error == QAbstractSocket::SslHandshakeFailedError ||
                      error == QAbstractSocket::SslInternalError ||
                      error == QAbstractSocket::SslInvalidUserDataError)) {
    const std::string reason =
        !tls_errors_.empty() ? tls_errors_ : socket_->errorString().toStdString() + ".";
    failed_ = true;
    tls_failed_ = true;
    if (handler_) {
      handler_->sckIRC_TlsError(
          {reason, PeerFingerprint(), tls_errors_.empty() && SaysPlainTextAnswer(reason)});
    }
    return;
  }
  // The peer closing the connection is no error: the closed event follows
  // (during a TLS handshake, none does: the attempt failed).
  if (error == QAbstractSocket::RemoteHostClosedError && !Encrypting()) return;
  RaiseError(SocketErrorNumber(error), socket_->errorString().toStdString());
}

void QtSocket::OnEncrypted() {
  const std::string fingerprint = PeerFingerprint();
  if (!tls_.fingerprint.empty() && fingerprint != tls_.fingerprint) {
    FailTls("The certificate does not have the pinned fingerprint " + tls_.fingerprint + ".");
    return;
  }
  if (handler_) handler_->sckIRC_Connect();
}

void QtSocket::FailTls(std::string reason, bool plain_server) {
  failed_ = true;
  tls_failed_ = true;
  const std::string fingerprint = PeerFingerprint();
  // Out of the socket's own signal handling, and without a closed event.
  QTimer::singleShot(0, socket_.get(),
                     [this, reason = std::move(reason), fingerprint, plain_server] {
                       SocketEvents* handler = handler_;
                       handler_ = nullptr;
                       socket_->abort();
                       handler_ = handler;
                       if (handler_) handler_->sckIRC_TlsError({reason, fingerprint, plain_server});
                     });
}

std::string QtSocket::ConfigureTls() {
  QSslConfiguration config = QSslConfiguration::defaultConfiguration();
  if (!tls_.ca_file.empty()) {
    const QList<QSslCertificate> cas =
        QSslCertificate::fromPath(QString::fromStdString(tls_.ca_file), QSsl::Pem);
    if (cas.isEmpty())
      return "No certificate could be read from IRCTLSCAFile " + tls_.ca_file + ".";
    config.addCaCertificates(cas);
  }
  if (!tls_.client_certificate.empty()) {
    QFile file(QString::fromStdString(tls_.client_certificate));
    if (!file.open(QIODevice::ReadOnly)) {
      return "The client certificate " + tls_.client_certificate + " cannot be read.";
    }
    const QByteArray pem = file.readAll();
    const QList<QSslCertificate> certs = QSslCertificate::fromData(pem, QSsl::Pem);
    QSslKey key;
    for (QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
      key = QSslKey(pem, algorithm, QSsl::Pem);
      if (!key.isNull()) break;
    }
    if (certs.isEmpty() || key.isNull()) {
      return "The client certificate " + tls_.client_certificate +
             " does not hold a PEM certificate and key.";
    }
    config.setLocalCertificate(certs.front());
    config.setPrivateKey(key);
  }
  config.setPeerVerifyMode(tls_.fingerprint.empty() && tls_.verify ? QSslSocket::VerifyPeer
                                                                   : QSslSocket::QueryPeer);
  TlsSocket()->setSslConfiguration(config);
  return "";
}

void QtSocket::RaiseErrorLater(std::int16_t number, std::string description) {
  failed_ = true;
  QTimer::singleShot(0, socket_.get(), [this, number, description = std::move(description)] {
    RaiseError(number, description);
  });
}

void QtSocket::RaiseError(std::int16_t number, const std::string& description) {
  failed_ = true;
  if (!handler_) return;
  SocketError e;
  e.Number = number;
  e.Description = description;
  e.Scode = static_cast<std::int32_t>(0x800A0000u | static_cast<std::uint16_t>(number));
  e.Source = "sckIRC";
  handler_->sckIRC_Error(e);
}

void QtSocket::Connect() {
  if (socket_->state() != QAbstractSocket::UnconnectedState) {
    // A connection that still stands (or closes) is dropped without events.
    SocketEvents* handler = handler_;
    handler_ = nullptr;
    socket_->abort();
    handler_ = handler;
  }
  handshake_timer_.stop();
  // A socket of the kind this attempt needs, plain or TLS.
  if (tls_.enabled != (TlsSocket() != nullptr)) Renew();
  failed_ = false;
  tls_failed_ = false;
  tls_errors_.clear();
  if (remote_port_ < 1 || remote_port_ > 65535) {
    RaiseErrorLater(socket_error::kAddressNotAvailable,
                    "Invalid port " + std::to_string(remote_port_) + ".");
    return;
  }
  QAbstractSocket::NetworkLayerProtocol protocol = QAbstractSocket::AnyIPProtocol;
  if (std::string error = Bind(protocol); !error.empty()) {
    RaiseErrorLater(socket_error::kAddressNotAvailable, error);
    return;
  }
  const QString host = QString::fromStdString(remote_host_);
  const auto port = static_cast<quint16>(remote_port_);
  // Qt reports a host without an address of the protocol at once when the
  // host is an address or its lookup is cached: OnError defers that.
  in_connect_ = true;
  if (!tls_.enabled) {
    socket_->connectToHost(host, port, QIODevice::ReadWrite, protocol);
  } else if (std::string error = ConfigureTls(); !error.empty()) {
    FailTls(std::move(error));
  } else {
    TlsSocket()->connectToHostEncrypted(host, port, QIODevice::ReadWrite, protocol);
  }
  in_connect_ = false;
}

std::string QtSocket::Bind(QAbstractSocket::NetworkLayerProtocol& protocol) {
  if (bind_address_.empty()) return "";
  const QHostAddress address(QString::fromStdString(bind_address_));
  if (address.isNull()) return BindFailedCause(bind_address_, "not an IP address");
  // Qt keeps the system socket of a failed bind or connect, bound or of the
  // other family: each bound attempt starts with a new one.
  Renew();
  // Its failure is reported once, from the event loop, as the attempt's.
  SocketEvents* handler = handler_;
  handler_ = nullptr;
  const bool bound = socket_->bind(address);
  handler_ = handler;
  if (!bound) return BindFailedCause(bind_address_, socket_->errorString().toStdString());
  protocol = address.protocol();
  return "";
}

std::int16_t QtSocket::State() const {
  switch (socket_->state()) {
    case QAbstractSocket::UnconnectedState:
      return failed_ ? socket_state::kError : socket_state::kClosed;
    case QAbstractSocket::HostLookupState:
      return socket_state::kResolvingHost;
    case QAbstractSocket::ConnectingState:
      return socket_state::kConnecting;
    case QAbstractSocket::ConnectedState:
      if (failed_) return socket_state::kError;
      return Encrypting() ? socket_state::kConnecting : socket_state::kConnected;
    case QAbstractSocket::BoundState:
      return socket_state::kOpen;
    case QAbstractSocket::ListeningState:
      return socket_state::kListening;
    case QAbstractSocket::ClosingState:
      return socket_state::kClosing;
  }
  return socket_state::kError;
}

std::string QtSocket::LocalHostName() const {
  return QHostInfo::localHostName().toStdString();
}

std::int32_t QtSocket::LocalPort() const {
  return socket_->localPort();
}

std::string QtSocket::LocalIP() const {
  const QHostAddress local = socket_->localAddress();
  if (!local.isNull()) return local.toString().toStdString();
  // Not connected: this machine's first non-loopback IPv4 address.
  for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
    if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback()) {
      return address.toString().toStdString();
    }
  }
  return "127.0.0.1";
}

std::string QtSocket::SendData(std::string_view data) {
  if (State() != socket_state::kConnected) return "Socket is not connected.";
  const qint64 written = socket_->write(data.data(), static_cast<qint64>(data.size()));
  if (written != static_cast<qint64>(data.size())) return socket_->errorString().toStdString();
  return "";
}

void QtSocket::GetData(std::string& data) {
  const QByteArray bytes = socket_->readAll();
  data.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void QtSocket::RaiseDataArrival() {
  if (handler_ && !Encrypting() && !failed_) {
    handler_->sckIRC_DataArrival(static_cast<std::int32_t>(socket_->bytesAvailable()));
  } else {
    // Nobody takes the data: drop it, or a full read buffer would stop
    // reading for good.
    socket_->readAll();
  }
}

void QtSocket::DataEventLater() {
  if (data_event_due_) return;
  data_event_due_ = true;
  // A posted call: the event loop polls its descriptors (the signal
  // descriptor among them) before or beside it.
  QTimer::singleShot(0, socket_.get(), [this] {
    data_event_due_ = false;
    RaiseDataArrival();
  });
}

void QtSocket::Close() {
  handshake_timer_.stop();
  failed_ = false;
  // Sends what is still buffered, then closes.
  socket_->disconnectFromHost();
}

void QtSocket::Accept(std::int32_t /*request_id*/) {}

}  // namespace zelvo
