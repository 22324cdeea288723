// Fakes of the dispatcher's surroundings and a fixture holding the example
// configuration's rules.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dispatch/dispatcher.h"
#include "model/flags.h"
#include "outputs/memory_port.h"
#include "support/fake_clock.h"
#include "support/recording_console.h"

namespace zelvo::testing {

class FakeSender final : public IrcSender {
 public:
  std::string SendLine(std::string_view line) override {
    attempts.emplace_back(line);
    if (!failure.empty()) return failure;
    sent.emplace_back(line);
    return "";
  }
  std::string LocalIP() const override { return "10.0.0.5"; }

  std::vector<std::string> sent;
  std::vector<std::string> attempts;
  std::string failure;  // when set, every send fails with this text
};

class FakeChatClient final : public ChatClientWindow {
 public:
  bool IsChatClientActive() override { return active; }
  void BringChatClientForward() override { ++brought_forward; }
  bool active = false;
  int brought_forward = 0;
};

// Wednesday, 15 May 2024, 12:00:00.
inline const OleDate kWednesdayNoon = ToOleDate({2024, 5, 15, 12, 0, 0});
inline const OleDate kSaturdayNoon = ToOleDate({2024, 5, 18, 12, 0, 0});

inline constexpr std::int32_t kSaftFlags = 32 | flag::kSetFocusOnVesko;
inline constexpr std::int32_t kBuzzerFlags = 2048 | flag::kPulseQuickly;
inline constexpr std::int32_t kBuzzFlags = 8192 | flag::kPulseQuickly;
inline constexpr std::int32_t kDiscoOnFlags = 32 | 256 | flag::kResponseWithIOCommandName;
inline constexpr std::int32_t kDiscoOffFlags = 64 | 512 | flag::kResponseWithIOCommandName;

class DispatchTest : public ::testing::Test {
 protected:
  DispatchTest() {
    settings.gsIRCChannel = "#lab";
    settings.gsIRCNickname = "Zelvo";
    settings.gsIRCUser = "zelvo";
  }

  // A rule created now, accepting every sender unless users are given.
  std::shared_ptr<IOCommand> AddRule(const std::string& name, const std::string& trigger,
                                     std::int32_t auto_return, std::int32_t execute_limit,
                                     std::int32_t flags,
                                     std::vector<std::pair<std::string, std::string>> users = {
                                         {"*", "*"}}) {
    auto rule = std::make_shared<IOCommand>(clock.LocalNow());
    rule->SetIOName(name);
    rule->SetIRCTrigger(trigger);
    rule->SetAutoReturn(auto_return);
    rule->SetExecuteLimit(execute_limit);
    rule->SetExtraFlags(flags);
    for (const auto& [nickname, username] : users) {
      auto user = std::make_shared<User>();
      user->SetNickname(nickname);
      user->SetUsername(username);
      rule->Add(user);
    }
    commands.Add(rule);
    return rule;
  }

  // The example configuration's five rules, in its order.
  void AddExampleRules() {
    saft = AddRule("Saftblandare", "*PRIVMSG*!saft*", 15, 20, kSaftFlags);
    buzzer = AddRule("Buzzer", "*PRIVMSG*!saft*", 2, 20, kBuzzerFlags);
    buzz = AddRule("Buzz", "*PRIVMSG*!Buzz*", 0, 0, kBuzzFlags);
    disco_on = AddRule("Disco-Kula On", "*Disco On*", 0, 0, kDiscoOnFlags);
    disco_off = AddRule("Disco-Kula Off", "*Disco Off*", 0, 0, kDiscoOffFlags);
  }

  // Hands a line to the rules as the session does: one ending in LF as received
  // (parsed once; Follow sees it first), any other as typed from NickInUse.
  void Feed(std::string_view line) {
    if (!line.ends_with('\n')) return dispatcher.Match(OperatorLine{NickInUse(), line});
    const IrcMessage message = ParseIrcMessage(line);
    Follow(message);
    dispatcher.Match(ServerLine{message});
  }
  // The connection: the bot's nickname, and what it learns from a received line.
  virtual std::string_view NickInUse() const { return settings.gsIRCNickname; }
  virtual void Follow(const IrcMessage&) {}

  // A channel message as the server relays it.
  static std::string Said(const std::string& message,
                          const std::string& prefix = "alice!~al@host") {
    return ":" + prefix + " PRIVMSG #lab :" + message + "\r\n";
  }

  Settings settings;
  IOCommands commands;
  MemoryPort port;
  Outputs outputs{port};
  FakeClock clock{kWednesdayNoon};
  FakeSender sender;
  RecordingConsole console;
  FakeChatClient chat_client;
  std::vector<std::string> errors;
  Dispatcher dispatcher{
      settings, commands, outputs,     clock,
      sender,   console,  chat_client, [this](const std::string& e) { errors.push_back(e); }};

  std::shared_ptr<IOCommand> saft, buzzer, buzz, disco_on, disco_off;
};

inline const std::string kRefusalLine =
    "PRIVMSG #lab :Don't be hasty, the procedure will be available soon...";

}  // namespace zelvo::testing
