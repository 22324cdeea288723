// What the application gives the main window; the window adds its tray icon.
#pragma once

#include "front/bot_state.h"
#include "front/front_end.h"
#include "log/messages.h"
#include "model/clock.h"
#include "model/settings.h"

namespace zelvo {

// Everything referenced outlives the window.
struct WindowServices {
  Settings& settings;  // gbWindowShow and giWindowState are updated here
  BotState& state;     // what the window shows
  OperatorActions actions;
  LogWriter log;  // the window's own entries (the tray icon)
  // Counts down the reconnect and dates the lamps' activity; null: the
  // system clock.
  const Clock* clock = nullptr;
};

}  // namespace zelvo
