// The fixture the IRC session's tests share: an IrcSession on the fake
// socket and clock, whose hooks record the lines handed to the rules (see
// Described), the log entries and the captions, with helpers that take it
// through connecting, registering and joining.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "irc/irc_fakes.h"
#include "irc/irc_session.h"

namespace zelvo::testing {

// The USER line the fixture's settings and socket give, without CR LF.
inline const std::string kUser = "USER relay pc7 PC7:1042/0 :Winsock Client";

// A line handed to the rules: a received one with its tags, or "<nick> text" typed.
inline std::string Described(const LineEvent& event) {
  if (const auto* line = std::get_if<ServerLine>(&event)) {
    std::string tags;
    for (const auto& [k, v] : line->message.tags) tags += (tags.empty() ? "@" : ";") + k + "=" + v;
    return tags.empty() ? line->message.classic : tags + " " + line->message.classic;
  }
  const auto& [nick, text] = std::get<OperatorLine>(event);
  return "<" + std::string(nick) + "> " + std::string(text);
}

class SessionTest : public ::testing::Test {
 protected:
  SessionTest() {
    settings_.gsIRCDomain = "irc.example.net";
    settings_.giIRCPort = 6667;
    settings_.gsIRCChannel = "#lab";
    settings_.gsIRCUser = "relay";
    settings_.gsIRCNickname = "relay";
  }

  // Made on first use, so that a test can change the settings before.
  IrcSession& Session() {
    if (!session_) {
      IrcHooks hooks{[this](const LineEvent& e) { matched_.push_back(Described(e)); },
                     [this](std::int32_t id, std::int32_t type, const std::string& text) {
                       log_.push_back({id, type, text});
                     },
                     [this](const std::string& c) { captions_.push_back(c); },
                     ""};  // policies in memory only
      session_ =
          std::make_unique<IrcSession>(settings_, socket_, clock_, console_, std::move(hooks),
                                       SendQueue::Limits{}, [this] { return random_value_; });
    }
    return *session_;
  }

  void Receive(std::string_view data) { socket_.Receive(Session(), data); }
  // The socket stands (as the Qt socket says once it is connected).
  void SocketConnects() {
    socket_.state = socket_state::kConnected;
    Session().sckIRC_Connect();
  }
  // The session starts to connect and the socket stands.
  void Connected() {
    Session().ConnectToServer();
    SocketConnects();
  }
  // The server drops the connection.
  void ServerCloses() {
    socket_.state = socket_state::kClosed;
    Session().sckIRC_Close();
  }
  // Connects, registers as `nick` (a server without CAP) and joins; forgets
  // what that sent, showed and logged.
  void Online(const std::string& nick = "relay") {
    Connected();
    Receive(":srv 001 " + nick + " :Welcome\r\n:" + nick + "!~relay@h JOIN :#lab\r\n");
    Forget();
  }
  // Online, and also waits until the burst allowance is back.
  void OnlineAndRested() {
    Online();
    Tick(std::chrono::seconds(10));
    Forget();
  }
  void Forget() {
    socket_.sent.clear();
    log_.clear();
    captions_.clear();
    console_.lines.clear();
    matched_.clear();
  }

  // `time` passes, then the tick runs once.
  void Tick(std::chrono::steady_clock::duration time) {
    clock_.Advance(time);
    Session().tmrSendQueue_Timer();
  }
  // Runs the tick every 100 ms for `time`.
  void Pass(std::chrono::milliseconds time) {
    using std::chrono::milliseconds;
    for (auto t = milliseconds(0); t < time; t += milliseconds(100)) Tick(milliseconds(100));
  }

  std::vector<LogLine> LogWithId(std::int32_t id) const {
    std::vector<LogLine> out;
    for (const auto& r : log_) {
      if (r.id == id) out.push_back(r);
    }
    return out;
  }
  std::vector<std::string> LogTexts(std::int32_t id) const {
    std::vector<std::string> out;
    for (const auto& r : LogWithId(id)) out.push_back(r.text);
    return out;
  }

  Settings settings_;
  FakeSocket socket_;
  FakeClock clock_;
  RecordingConsole console_;
  std::vector<std::string> matched_;
  std::vector<LogLine> log_;
  std::vector<std::string> captions_;
  // The middle of the jitter range: every wait is its nominal length.
  std::uint32_t random_value_ = 0x7FFFFFFF;
  std::unique_ptr<IrcSession> session_;
};

}  // namespace zelvo::testing
