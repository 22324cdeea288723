// Where the fatal-error path reports: the clipboard (for the error-log dump)
// and a message box, each with a Qt form and a form for standard error when
// the bot runs without a window. Also the console on standard output.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "dispatch/interfaces.h"
#include "log/log_types.h"

namespace zelvo {

struct ClipboardFailure {
  std::int32_t number = -1;
  std::string description;
};

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Replaces the clipboard's content with `text`; the failure, if any.
  virtual std::optional<ClipboardFailure> SetText(const std::string& text) = 0;
};

// The system clipboard through QClipboard (needs a QGuiApplication).
class QtClipboard final : public Clipboard {
 public:
  std::optional<ClipboardFailure> SetText(const std::string& text) override;
};

// Writes the text to a stream (standard error without a window).
class StreamClipboard final : public Clipboard {
 public:
  explicit StreamClipboard(std::ostream& out) : out_(out) {}
  std::optional<ClipboardFailure> SetText(const std::string& text) override;

 private:
  std::ostream& out_;
};

class MessageBox {
 public:
  virtual ~MessageBox() = default;
  // Shows `text` with the critical icon, one OK button and the title "Zelvo";
  // returns when the user has closed it.
  virtual void ShowCritical(const std::string& text) = 0;
};

class QtMessageBox final : public MessageBox {
 public:
  void ShowCritical(const std::string& text) override;
};

// Writes the text and a line end to a stream (standard error without a window).
class StreamMessageBox final : public MessageBox {
 public:
  explicit StreamMessageBox(std::ostream& out) : out_(out) {}
  void ShowCritical(const std::string& text) override;

 private:
  std::ostream& out_;
};

// The console without a window: every text goes to the stream at once, with
// CR LF line ends written as LF.
class StreamConsole final : public Console {
 public:
  explicit StreamConsole(std::ostream& out) : out_(out) {}
  void Append(std::string_view text) override;

 private:
  std::ostream& out_;
};

// Puts the dump of the whole pre-log on the clipboard. Returns "" or
// "Couldn't copy Log to clipboard. Error-number: N Error-Descripton: D".
std::string CopyErrorLogToClipboard(const PreLog& prelog, Clipboard& clipboard);

}  // namespace zelvo
