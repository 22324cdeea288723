// The IRC client's session: connects once, registers and joins, reports the
// socket state in the caption and the log, frames received data into lines
// (answering PINGs, showing each line and matching it against the rules),
// and sends every outgoing line through a flood-protected queue.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "dispatch/interfaces.h"
#include "irc/irc_connection.h"
#include "irc/line_framer.h"
#include "irc/send_queue.h"
#include "irc/socket.h"
#include "model/clock.h"
#include "model/settings.h"

namespace zelvo {

// Log ids of the IRC client.
namespace irc_log {
inline constexpr std::int32_t kStateChanged = 32;    // information
inline constexpr std::int32_t kSocketError = 35;     // error
inline constexpr std::int32_t kLineTooLong = 38;     // warning
inline constexpr std::int32_t kRepliesDropped = 39;  // warning
}  // namespace irc_log

inline constexpr std::string_view kNotConnectedText = "Not connected";

struct IrcHooks {
  // Holds one line (received with its line end, or an echo without one)
  // against the rules.
  std::function<void(std::string_view)> match;
  // Writes one entry to the event log: id, type, text.
  std::function<void(std::int32_t id, std::int32_t type, const std::string& text)> log;
  // Sets the main window's caption.
  std::function<void(const std::string&)> caption;
};

class IrcSession final : public IrcConnection, public IrcSender, public SocketEvents {
 public:
  // Everything passed in must outlive the session. Hooks may be empty.
  IrcSession(const Settings& settings, Socket& socket, const Clock& clock, Console& console,
             IrcHooks hooks, SendQueue::Limits limits = {});

  // Sets the matcher later (the matcher usually needs this session first).
  void SetMatcher(std::function<void(std::string_view)> match) { hooks_.match = std::move(match); }

  // IrcConnection
  void ConnectToServer() override;
  // Sends "PRIVMSG <channel> :<typed>" and echoes and matches it as the
  // server would relay it; false, doing nothing, unless connected.
  bool SendOperatorLine(std::string_view typed) override;
  // Closes the socket; later socket events are ignored.
  void Close() override;

  // IrcSender: queues a reply line (CR, LF and NUL inside it are removed and
  // one CR LF ends it); "" or kNotConnectedText.
  std::string SendLine(std::string_view line) override;
  std::string LocalIP() const override;

  // SocketEvents
  void sckIRC_Connect() override;
  void sckIRC_DataArrival(std::int32_t bytes_total) override;
  void sckIRC_Error(const SocketError& error) override;
  void sckIRC_ConnectionRequest(std::int32_t request_id) override;
  void sckIRC_SendComplete() override;
  void sckIRC_Close() override;

  // The send-queue tick: sends what the flood limit allows now and reports
  // dropped replies. The event loop calls it about ten times a second.
  void tmrSendQueue_Timer();

  // Reads the socket state; on a change shows it in the caption and logs it.
  void ReportConnectionState();

  const std::string& SocketStateText() const { return msSocketState; }
  const std::string& IrcStateText() const { return msIRCState; }
  std::size_t QueuedLines() const { return queue_.Size(); }

 private:
  // Answers, shows and matches one received line (with its line end).
  void HandleLine(const std::string& raw);
  void AnswerPing(std::string_view raw);
  void Enqueue(std::string_view text, SendQueue::Kind kind);
  void Drain();
  void Log(std::int32_t id, std::int32_t type, const std::string& text);

  const Settings& settings_;
  Socket& socket_;
  const Clock& clock_;
  Console& console_;
  IrcHooks hooks_;
  LineFramer framer_;
  SendQueue queue_;
  bool closed_ = false;

  std::string msSocketState;
  std::string msLastSocketState;
  std::string msIRCState;
};

}  // namespace zelvo
