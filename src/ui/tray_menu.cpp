#include "ui/tray_menu.h"

#include "front/qt_text.h"

namespace zelvo {

TrayMenu::TrayMenu(TrayMenuActions actions, QWidget* parent)
    : QMenu(parent), actions_(std::move(actions)) {
  setObjectName(QStringLiteral("TrayMenu"));
  show_hide_ = addAction(QStringLiteral("Show"), this, [this] {
    if (actions_.show_hide) actions_.show_hide();
  });
  addSeparator();
  for (int n = 1; n <= kOutputCount; ++n) {
    QAction* output = addAction(QStringLiteral("O%1").arg(n), this, [this, n] {
      if (actions_.toggle_output) actions_.toggle_output(n);
      // The check follows the outputs as published, not the click.
      SetOutputs(byte_);
    });
    output->setCheckable(true);
    outputs_[static_cast<std::size_t>(n - 1)] = output;
  }
  addSeparator();
  reload_ = addAction(QStringLiteral("Reload configuration"), this, [this] {
    if (actions_.reload) actions_.reload();
  });
  quit_ = addAction(QStringLiteral("Quit"), this, [this] {
    if (actions_.quit) actions_.quit();
  });
}

void TrayMenu::SetWindowShown(bool shown) {
  show_hide_->setText(shown ? QStringLiteral("Hide") : QStringLiteral("Show"));
}

void TrayMenu::SetNames(const std::array<std::string, kOutputCount>& names) {
  for (int n = 1; n <= kOutputCount; ++n) {
    const std::string& name = names[static_cast<std::size_t>(n - 1)];
    // "&" would mark a shortcut letter; doubled it shows as itself.
    QString text = QStringLiteral("O%1").arg(n);
    if (!name.empty()) text += QStringLiteral("  ") + TextToQString(name).replace('&', "&&");
    Output(n).setText(text);
  }
}

void TrayMenu::SetOutputs(std::uint8_t byte) {
  byte_ = byte;
  for (int n = 1; n <= kOutputCount; ++n) Output(n).setChecked(((byte >> (n - 1)) & 1) != 0);
}

}  // namespace zelvo
