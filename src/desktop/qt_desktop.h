// The desktop's side of the window's program: the QApplication, the main
// window with the system tray icon, QClipboard and QMessageBox.
#pragma once

#include <optional>
#include <string>

#include "app/desktop.h"
#include "app/program.h"
#include "ui/qt_tray_icon.h"

namespace zelvo {

// The system clipboard through QClipboard (needs a QGuiApplication).
class QtClipboard final : public Clipboard {
 public:
  std::optional<ClipboardFailure> SetText(const std::string& text) override;
  bool KeepsTextAfterExit() const override;
};

class QtMessageBox final : public MessageBox {
 public:
  void ShowCritical(const std::string& text, const std::string& details) override;
};

class QtDesktop final : public Desktop {
 public:
  std::unique_ptr<Clipboard> MakeClipboard() override;
  std::unique_ptr<MessageBox> MakeMessageBox() override;
  std::unique_ptr<FrontEnd> MakeWindow(const WindowServices& services) override;

 private:
  QtTrayIcon tray_;
};

// The window's program: a QApplication that stays up while the window hides
// in the tray, the Qt desktop, and the program without a window installed in
// `headless_program_dir` (relative to this program's directory).
WindowSupport QtWindowSupport(std::string headless_program_dir);

}  // namespace zelvo
