// The notification-area icon the main window keeps, an interface so that the
// window runs against a fake in tests.
#pragma once

#include <QIcon>
#include <QString>
#include <functional>

namespace zelvo {

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
