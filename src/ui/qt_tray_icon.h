// The notification-area icon through QSystemTrayIcon.
#pragma once

#include <QSystemTrayIcon>
#include <memory>

#include "ui/tray_icon.h"

namespace zelvo {

class QtTrayIcon final : public TrayIcon {
 public:
  QtTrayIcon();
  ~QtTrayIcon() override;

  bool IsAvailable() const override;
  void Add(const QIcon& icon, const QString& tip,
           std::function<void(Activation)> on_activate) override;
  void Remove() override;
  void Update(const QIcon& icon, const QString& tip) override;
  void SetMenu(QMenu* menu) override;
  void Notify(const QString& title, const QString& text) override;

  static Activation FromReason(QSystemTrayIcon::ActivationReason reason);

 private:
  std::unique_ptr<QSystemTrayIcon> icon_;
  QMenu* menu_ = nullptr;
};

}  // namespace zelvo
