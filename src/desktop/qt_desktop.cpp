#include "desktop/qt_desktop.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>

#include "front/qt_text.h"
#include "ui/main_window.h"
#include "ui/window_icon.h"

namespace zelvo {

std::optional<ClipboardFailure> QtClipboard::SetText(const std::string& text) {
  auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  QClipboard* clipboard = application ? QGuiApplication::clipboard() : nullptr;
  if (!clipboard) return ClipboardFailure{-1, "No clipboard is available."};
  const QString value = TextToQString(text);
  clipboard->clear(QClipboard::Clipboard);
  clipboard->setText(value, QClipboard::Clipboard);
  if (clipboard->text(QClipboard::Clipboard) != value)
    return ClipboardFailure{-1, "The clipboard did not take the text."};
  return std::nullopt;
}

bool QtClipboard::KeepsTextAfterExit() const {
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("windows") || platform == QLatin1String("cocoa");
}

void QtMessageBox::ShowCritical(const std::string& text, const std::string& details) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Zelvo"), TextToQString(text),
                  QMessageBox::Ok);
  if (!details.empty()) box.setInformativeText(TextToQString(details));
  box.setWindowIcon(ZelvoWindowIcon());
  box.exec();
}

std::unique_ptr<Clipboard> QtDesktop::MakeClipboard() {
  return std::make_unique<QtClipboard>();
}

std::unique_ptr<MessageBox> QtDesktop::MakeMessageBox() {
  return std::make_unique<QtMessageBox>();
}

std::unique_ptr<FrontEnd> QtDesktop::MakeWindow(const WindowServices& services) {
  return std::make_unique<frmMain>(MainWindowServices{services, tray_, nullptr});
}

WindowSupport QtWindowSupport(std::string headless_program_dir) {
  WindowSupport support;
  support.make_application = [](int& argc, char** argv) -> std::unique_ptr<QCoreApplication> {
    auto application = std::make_unique<QApplication>(argc, argv);
    application->setQuitOnLastWindowClosed(false);
    return application;
  };
  support.on_x11 = [] { return QGuiApplication::platformName() == QLatin1String("xcb"); };
  support.make_desktop = [] { return std::make_unique<QtDesktop>(); };
  support.headless_program_dir = std::move(headless_program_dir);
  return support;
}

}  // namespace zelvo
