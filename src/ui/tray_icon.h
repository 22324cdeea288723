// The notification-area icon the main window keeps, an interface so that the
// window runs against a fake in tests.
#pragma once

#include <QIcon>
#include <QMenu>
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
  // While shown: a new picture and tooltip.
  virtual void Update(const QIcon& icon, const QString& tip) = 0;
  // The menu a context click opens; it must outlive the icon (null: none).
  virtual void SetMenu(QMenu* menu) = 0;
  // A passing message from the icon, where the desktop shows such messages.
  virtual void Notify(const QString& title, const QString& text) = 0;
};

}  // namespace zelvo
