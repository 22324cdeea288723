// The front end of the bot: the window, or the terminal when the bot runs
// without one. It shows the console and what it subscribes to in the bot's
// state, and reports only what the operator does; the application runs the
// bot, its timers, its log and its connection.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "model/console.h"

namespace zelvo {

// What became of a line the operator typed.
enum class LineOutcome {
  kSent,
  kNotConnected,
  kFailed,  // the failure is already logged and shown
};

// What the operator does; the application acts on it. Members may be empty.
struct OperatorActions {
  // A lamp was clicked: toggle output `output` (1..8).
  std::function<void(int output)> toggle_output;
  // A line typed into the input line, for the channel.
  std::function<LineOutcome(std::string_view line)> send_line;
  // The window was closed, or Quit chosen: end the bot.
  std::function<void()> close;
  // Read config.xml again, as SIGHUP does.
  std::function<void()> reload;
};

class FrontEnd {
 public:
  virtual ~FrontEnd() = default;

  // Where the IRC traffic and the bot's own lines are shown.
  virtual Console& console() = 0;
  // Sets itself up (the window: its settings and the tray icon), between the
  // application's load entries 29 and 31. A failure here fails the start.
  virtual void Load() = 0;
  // The start has finished: the window shows itself (or stays hidden as its
  // settings say); the terminal has nothing to show.
  virtual void Show() = 0;
  // Undoes Load (the tray icon) as the bot closes; later calls do nothing.
  virtual void Unload() = 0;
  // After Show, on the first start, when the example configuration was just
  // written to `config_path`: tells the user where the bot runs and where its
  // configuration is (the window only while it is hidden in the tray).
  virtual void FirstStart(const std::string& config_path) = 0;
};

}  // namespace zelvo
