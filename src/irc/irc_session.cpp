#include "irc/irc_session.h"

#include <cctype>

#include "irc/text_encoding.h"

namespace zelvo {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kPongPrefix = "PONG ";
// The longest line a server must take, CR LF included.
constexpr std::size_t kMaxLineBytes = 512;
constexpr std::int32_t kError = 1;
constexpr std::int32_t kWarning = 2;
constexpr std::int32_t kInformation = 4;

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string_view WithoutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

}  // namespace

std::string SocketStateText(std::int16_t state) {
  switch (state) {
    case 0:
      return "Closed";
    case 1:
      return "Open";
    case 2:
      return "Listening";
    case 3:
      return "Connecting pending";
    case 4:
      return "Resolveing host";
    case 5:
      return "Host resolved";
    case 6:
      return "Connecting";
    case 7:
      return "Connected";
    case 8:
      return "Closing";
    case 9:
      return "Error";
    default:
      return "The connection is unknown";
  }
}

IrcSession::IrcSession(const Settings& settings, Socket& socket, const Clock& clock,
                       Console& console, IrcHooks hooks, SendQueue::Limits limits)
    : settings_(settings),
      socket_(socket),
      clock_(clock),
      console_(console),
      hooks_(std::move(hooks)),
      queue_(limits) {
  queue_.Reset(clock_.MonotonicNow());
}

void IrcSession::Log(std::int32_t id, std::int32_t type, const std::string& text) {
  if (hooks_.log) hooks_.log(id, type, text);
}

void IrcSession::ReportConnectionState() {
  msSocketState = zelvo::SocketStateText(socket_.State());
  if (msSocketState != msLastSocketState) {
    if (hooks_.caption) hooks_.caption("Zelvo - " + msIRCState + " (" + msSocketState + ")");
    Log(irc_log::kStateChanged, kInformation, "Socket-connection changed to: " + msSocketState);
  }
  msLastSocketState = msSocketState;
}

void IrcSession::ConnectToServer() {
  closed_ = false;
  ReportConnectionState();
  socket_.SetRemoteHost(settings_.gsIRCDomain);
  socket_.SetRemotePort(static_cast<std::int32_t>(settings_.giIRCPort));
  socket_.Connect();
  ReportConnectionState();
}

void IrcSession::sckIRC_Connect() {
  if (closed_) return;
  ReportConnectionState();
  framer_.Reset();
  queue_.Reset(clock_.MonotonicNow());
  const std::string host = socket_.LocalHostName();
  const std::string port = std::to_string(socket_.LocalPort());
  Enqueue("NICK " + settings_.gsIRCNickname, SendQueue::Kind::kFirst);
  Enqueue("USER " + settings_.gsIRCUser + " " + host + " " + UpperCase(host + ":" + port + "/0") +
              " :Winsock Client",
          SendQueue::Kind::kFirst);
  Enqueue("JOIN " + settings_.gsIRCChannel, SendQueue::Kind::kFirst);
}

void IrcSession::sckIRC_DataArrival(std::int32_t /*bytes_total*/) {
  // Taken even when closed: the socket reads on only once its data is taken.
  std::string data;
  socket_.GetData(data);
  if (closed_) return;
  const std::vector<std::string> lines = framer_.Feed(data);
  for (std::size_t n = framer_.TakeDroppedCount(); n > 0; --n) {
    Log(irc_log::kLineTooLong, kWarning,
        "Dropped an incoming line longer than " + std::to_string(LineFramer::kMaxLineBytes) +
            " bytes.");
  }
  for (const std::string& raw : lines) HandleLine(raw);
  if (lines.empty()) ReportConnectionState();
}

void IrcSession::HandleLine(const std::string& raw) {
  AnswerPing(raw);
  const std::string line = ReceivedLineToUtf8(raw);
  console_.Append(line);
  ReportConnectionState();
  if (hooks_.match) hooks_.match(line);
}

void IrcSession::AnswerPing(std::string_view raw) {
  // A server PING is answered with the rest of its line, byte for byte as it
  // came; a PING without one gets no answer.
  const std::string_view content = WithoutLineEnd(raw);
  const std::size_t blank = content.find(' ');
  if (blank == std::string_view::npos || content.substr(0, blank) != "PING") return;
  std::string_view token = content.substr(blank + 1);
  if (token.empty()) return;
  token = token.substr(0, kMaxLineBytes - kPongPrefix.size() - kCrLf.size());
  Enqueue(std::string(kPongPrefix) + std::string(token), SendQueue::Kind::kPong);
}

void IrcSession::sckIRC_Error(const SocketError& error) {
  if (closed_) return;
  Log(irc_log::kSocketError, kError,
      "Socket connection error!\r\nError number: " + std::to_string(error.Number) +
          "\r\n Description: " + error.Description + "\r\n Scode: " + std::to_string(error.Scode) +
          "\r\n Source: " + error.Source + "\r\n HelpFile: " + error.HelpFile +
          "\r\n HelpContext: " + std::to_string(error.HelpContext));
  if (socket_.State() != socket_state::kConnected) {
    framer_.Reset();
    queue_.Reset(clock_.MonotonicNow());
  }
  ReportConnectionState();
}

void IrcSession::sckIRC_ConnectionRequest(std::int32_t request_id) {
  if (closed_) return;
  if (socket_.State() != socket_state::kClosed) {
    socket_.Close();
    socket_.Accept(request_id);
  }
  ReportConnectionState();
}

void IrcSession::sckIRC_SendComplete() {
  if (closed_) return;
  ReportConnectionState();
}

void IrcSession::sckIRC_Close() {
  if (closed_) return;
  framer_.Reset();
  queue_.Reset(clock_.MonotonicNow());
  ReportConnectionState();
}

void IrcSession::Close() {
  closed_ = true;
  queue_.Reset(clock_.MonotonicNow());
  framer_.Reset();
  socket_.Close();
}

std::string IrcSession::SendLine(std::string_view line) {
  if (closed_ || socket_.State() != socket_state::kConnected) return std::string(kNotConnectedText);
  Enqueue(line, SendQueue::Kind::kReply);
  return "";
}

std::string IrcSession::LocalIP() const {
  return socket_.LocalIP();
}

bool IrcSession::SendOperatorLine(std::string_view typed) {
  if (closed_ || socket_.State() != socket_state::kConnected) return false;
  const std::string text = RemoveLineBreaks(typed);
  Enqueue("PRIVMSG " + settings_.gsIRCChannel + " :" + text, SendQueue::Kind::kLine);
  const std::string echo = ":" + settings_.gsIRCNickname + "!~" + settings_.gsIRCUser + "@" +
                           socket_.LocalIP() + " PRIVMSG " + settings_.gsIRCChannel + " :" + text;
  console_.Append(echo + std::string(kCrLf));
  if (hooks_.match) hooks_.match(echo);
  return true;
}

void IrcSession::Enqueue(std::string_view text, SendQueue::Kind kind) {
  queue_.Push(RemoveLineBreaks(text) + std::string(kCrLf), kind, clock_.MonotonicNow());
  Drain();
}

void IrcSession::Drain() {
  if (socket_.State() != socket_state::kConnected) return;
  for (const std::string& line : queue_.TakeDue(clock_.MonotonicNow())) socket_.SendData(line);
}

void IrcSession::tmrSendQueue_Timer() {
  if (closed_) return;
  Drain();
  const std::size_t dropped = queue_.TakeDropReport(clock_.MonotonicNow());
  if (dropped > 0) {
    Log(irc_log::kRepliesDropped, kWarning,
        "Dropped " + std::to_string(dropped) + (dropped == 1 ? " reply" : " replies") +
            " to keep the bot from flooding the server.");
  }
}

}  // namespace zelvo
