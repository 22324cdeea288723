// What the main window needs from the application around it, injected so that
// the window runs against fakes in tests.
#pragma once

#include <QIcon>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "dispatch/interfaces.h"

namespace zelvo {

// Writes one log entry now (id, type, text); the result is not looked at.
using LogWriter = std::function<void(std::int32_t id, std::int32_t type, const std::string& text)>;

// Log ids reported by the window and the event handlers.
namespace window_log {
inline constexpr std::int32_t kMainformLoaded = 28;
inline constexpr std::int32_t kMainwindowSetup = 29;
inline constexpr std::int32_t kAddingTrayIcon = 30;
inline constexpr std::int32_t kStartingMainform = 31;
inline constexpr std::int32_t kClosing = 34;
inline constexpr std::int32_t kHandlerError = 36;
inline constexpr std::int32_t kNoSystemTray = 37;
}  // namespace window_log

inline constexpr const char* kNoSystemTrayText =
    "No system tray available: the window stays on the task bar when minimised.";

// A byte text for display: UTF-8 when it is well-formed, else ISO-8859-1.
QString TextToQString(std::string_view text);

// The text logged and shown when an event handler fails.
std::string HandlerErrorText(const std::string& error);

// Logs a failure inside an event handler as an error and shows it in the
// console; the program keeps running.
void ReportHandlerError(const LogWriter& log, Console& console, const std::string& error);

// The notification-area icon.
class TrayIcon {
 public:
  // How the icon was activated.
  enum class Activation { kPrimaryPress, kDoubleClick, kContextMenu, kMiddleClick, kOther };

  virtual ~TrayIcon() = default;
  // False when the desktop offers no notification area.
  virtual bool IsAvailable() const = 0;
  // Shows the one icon with `tip`; every activation is passed to `on_activate`.
  virtual void Add(const QIcon& icon, const QString& tip,
                   std::function<void(Activation)> on_activate) = 0;
  // Takes the icon away; nothing is reported after this.
  virtual void Remove() = 0;
};

}  // namespace zelvo
