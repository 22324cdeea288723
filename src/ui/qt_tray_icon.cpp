#include "ui/qt_tray_icon.h"

namespace zelvo {

QtTrayIcon::QtTrayIcon() = default;
QtTrayIcon::~QtTrayIcon() {
  Remove();
}

bool QtTrayIcon::IsAvailable() const {
  return QSystemTrayIcon::isSystemTrayAvailable();
}

TrayIcon::Activation QtTrayIcon::FromReason(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      return Activation::kPrimaryPress;
    case QSystemTrayIcon::DoubleClick:
      return Activation::kDoubleClick;
    case QSystemTrayIcon::Context:
      return Activation::kContextMenu;
    case QSystemTrayIcon::MiddleClick:
      return Activation::kMiddleClick;
    default:
      return Activation::kOther;
  }
}

void QtTrayIcon::Add(const QIcon& icon, const QString& tip,
                     std::function<void(Activation)> on_activate) {
  Remove();
  icon_ = std::make_unique<QSystemTrayIcon>(icon);
  icon_->setToolTip(tip);
  icon_->setContextMenu(menu_);
  QObject::connect(
      icon_.get(), &QSystemTrayIcon::activated,
      [on_activate = std::move(on_activate)](QSystemTrayIcon::ActivationReason reason) {
        if (on_activate) on_activate(FromReason(reason));
      });
  icon_->show();
}

void QtTrayIcon::Update(const QIcon& icon, const QString& tip) {
  if (!icon_) return;
  icon_->setIcon(icon);
  icon_->setToolTip(tip);
}

void QtTrayIcon::SetMenu(QMenu* menu) {
  menu_ = menu;
  if (icon_) icon_->setContextMenu(menu);
}

void QtTrayIcon::Notify(const QString& title, const QString& text) {
  if (icon_) icon_->showMessage(title, text, QSystemTrayIcon::Information);
}

void QtTrayIcon::Remove() {
  if (!icon_) return;
  icon_->hide();
  icon_.reset();
}

}  // namespace zelvo
