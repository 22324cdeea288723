// The TCP socket as the IRC client uses it: properties and methods of a
// socket control, and the events it raises on the one event-loop thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zelvo {

// Socket state numbers.
namespace socket_state {
inline constexpr std::int16_t kClosed = 0;
inline constexpr std::int16_t kOpen = 1;
inline constexpr std::int16_t kListening = 2;
inline constexpr std::int16_t kConnectionPending = 3;
inline constexpr std::int16_t kResolvingHost = 4;
inline constexpr std::int16_t kHostResolved = 5;
inline constexpr std::int16_t kConnecting = 6;
inline constexpr std::int16_t kConnected = 7;
inline constexpr std::int16_t kClosing = 8;
inline constexpr std::int16_t kError = 9;
}  // namespace socket_state

// Error numbers of the error event, as a Windows socket control reports them.
namespace socket_error {
inline constexpr std::int16_t kAccess = 10013;
inline constexpr std::int16_t kOperationNotSupported = 10045;
inline constexpr std::int16_t kAddressInUse = 10048;
inline constexpr std::int16_t kAddressNotAvailable = 10049;
inline constexpr std::int16_t kNetworkDown = 10050;
inline constexpr std::int16_t kConnectionAborted = 10053;
inline constexpr std::int16_t kConnectionReset = 10054;
inline constexpr std::int16_t kNoBuffers = 10055;
inline constexpr std::int16_t kTimedOut = 10060;
inline constexpr std::int16_t kConnectionRefused = 10061;
inline constexpr std::int16_t kHostNotFound = 11001;
}  // namespace socket_error

// How a connection is encrypted. With `enabled` false the connection is
// plain TCP and the rest is ignored.
struct TlsOptions {
  bool enabled = false;
  // Verify the server's certificate against the system's trust store (and
  // `ca_file`) and its name against the host; ignored when `fingerprint` is set.
  bool verify = true;
  std::string ca_file;             // PEM file of further trusted CAs
  std::string fingerprint;         // SHA-256 of the server's certificate, 64 lower-case hex digits
  std::string client_certificate;  // PEM file with the certificate and key to present
};

class Socket {
 public:
  virtual ~Socket() = default;

  virtual void SetRemoteHost(std::string vData) = 0;
  virtual std::string RemoteHost() const = 0;
  virtual void SetRemotePort(std::int32_t vData) = 0;
  virtual std::int32_t RemotePort() const = 0;
  // Applies from the next Connect on.
  virtual void SetTls(TlsOptions vData) = 0;
  // The local IPv4 or IPv6 address to bind before connecting, from the next
  // Connect on; "" binds none. With one, only the remote host's addresses of
  // its family are tried. A failed bind is a failed attempt (error event).
  virtual void SetBindAddress(std::string address) = 0;

  // Starts connecting to RemoteHost:RemotePort (dropping a connection that
  // still stands, without events); the outcome arrives as the connected
  // event (with TLS: once the server's certificate is accepted), the error
  // event or the TLS error event.
  virtual void Connect() = 0;
  // One of the numbers in socket_state.
  virtual std::int16_t State() const = 0;

  virtual std::string LocalHostName() const = 0;
  virtual std::int32_t LocalPort() const = 0;
  virtual std::string LocalIP() const = 0;

  // Queues the bytes for sending, unchanged; "" or an error text.
  virtual std::string SendData(std::string_view data) = 0;
  // Hands over everything received so far.
  virtual void GetData(std::string& data) = 0;
  // Raises the data event once more from a later pass of the event loop, so
  // that descriptors ready meanwhile (signals, other sockets) are polled and
  // handled in between; several calls before it comes raise it once.
  virtual void DataEventLater() = 0;
  virtual void Close() = 0;
  virtual void Accept(std::int32_t request_id) = 0;
};

// What the socket's error event carries.
struct SocketError {
  std::int16_t Number = 0;
  std::string Description;
  std::int32_t Scode = 0;
  std::string Source;
  std::string HelpFile;
  std::int32_t HelpContext = 0;
  bool CancelDisplay = false;
};

// A refused TLS handshake: why, and the certificate the server showed.
struct TlsFailure {
  std::string reason;
  std::string fingerprint;  // SHA-256, 64 lower-case hex digits; "" when none was shown
  // The server answered the handshake in plain text, or not at all: the port
  // does not speak TLS.
  bool plain_server = false;
};

// Whether a TLS library's handshake error says that the server's answer was
// no TLS record ("wrong version number", "packet length too long").
bool SaysPlainTextAnswer(std::string_view tls_error);
// Whether `received`, the first bytes of a plain connection, begin a TLS
// record (a handshake or an alert): the server expects TLS.
bool StartsTlsRecord(std::string_view received);

// The socket's events, delivered one after the other on the event-loop thread.
class SocketEvents {
 public:
  virtual ~SocketEvents() = default;
  virtual void sckIRC_Connect() = 0;
  virtual void sckIRC_DataArrival(std::int32_t bytes_total) = 0;
  virtual void sckIRC_Error(const SocketError& error) = 0;
  virtual void sckIRC_ConnectionRequest(std::int32_t request_id) = 0;
  virtual void sckIRC_SendComplete() = 0;
  // The peer closed the connection (or it was lost after an error).
  virtual void sckIRC_Close() = 0;
  // The TLS handshake failed or the certificate was refused; the connection
  // is dropped and no connected event follows.
  virtual void sckIRC_TlsError(const TlsFailure& failure) = 0;
};

// The text of a state number; "The connection is unknown" outside 0..9.
std::string SocketStateText(std::int16_t state);

}  // namespace zelvo
