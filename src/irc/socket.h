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

class Socket {
 public:
  virtual ~Socket() = default;

  virtual void SetRemoteHost(std::string vData) = 0;
  virtual std::string RemoteHost() const = 0;
  virtual void SetRemotePort(std::int32_t vData) = 0;
  virtual std::int32_t RemotePort() const = 0;

  // Starts connecting to RemoteHost:RemotePort; the outcome arrives as the
  // connected or the error event.
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
};

// The text of a state number; "The connection is unknown" outside 0..9.
std::string SocketStateText(std::int16_t state);

}  // namespace zelvo
