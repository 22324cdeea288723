#include "app/user_notice.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>

#include "log/event_log.h"
#include "ui/window_icon.h"
#include "ui/window_services.h"

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

std::optional<ClipboardFailure> StreamClipboard::SetText(const std::string& text) {
  out_ << text << std::flush;
  if (!out_) return ClipboardFailure{-1, "The text could not be written to the stream."};
  return std::nullopt;
}

void QtMessageBox::ShowCritical(const std::string& text) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Zelvo"), TextToQString(text),
                  QMessageBox::Ok);
  box.setWindowIcon(ZelvoWindowIcon());
  box.exec();
}

void StreamMessageBox::ShowCritical(const std::string& text) {
  out_ << text << '\n' << std::flush;
}

void StreamConsole::Append(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  out_ << out << std::flush;
}

std::string CopyErrorLogToClipboard(const PreLog& prelog, Clipboard& clipboard) {
  const std::optional<ClipboardFailure> failure = clipboard.SetText(ErrorLogDumpText(prelog));
  if (!failure) return "";
  return "Couldn't copy Log to clipboard. Error-number: " + std::to_string(failure->number) +
         " Error-Descripton: " + failure->description;
}

}  // namespace zelvo
