// Where the fatal-error path reports: the clipboard and a file (for the
// error-log dump) and a message box (the desktop's, or standard error when
// the bot runs without a window). Also the console on standard
// output.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "log/log_types.h"
#include "model/console.h"

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
  // Whether the text stays on the clipboard after this process has ended (on
  // X11 and Wayland the owner of the clipboard serves it while it runs).
  virtual bool KeepsTextAfterExit() const { return false; }
};

class MessageBox {
 public:
  virtual ~MessageBox() = default;
  // Shows `text` with the critical icon, one OK button and the title "Zelvo",
  // and `details` ("" for none; lines joined by "\n") below it; returns when
  // the user has closed it.
  virtual void ShowCritical(const std::string& text, const std::string& details) = 0;
};

// Writes the text, then the details, each with a line end, to a stream
// (standard error without a window).
class StreamMessageBox final : public MessageBox {
 public:
  explicit StreamMessageBox(std::ostream& out) : out_(out) {}
  void ShowCritical(const std::string& text, const std::string& details) override;

 private:
  std::ostream& out_;
};

// The console without a window: every text goes to the stream at once, with
// CR LF line ends written as LF and other control characters made visible.
// A failed write loses that text only: the next one is tried again.
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

// Name of the error-log file in the program directory.
inline constexpr const char* kErrorLogFileName = "Zelvo-error-log.txt";

struct SavedErrorLog {
  std::string path;   // where the text now is; empty when it could not be saved
  std::string error;  // why not, for each place tried
};

// Saves the error-log dump as <program_dir>/Zelvo-error-log.txt, or when that
// fails as a new file Zelvo-error-log-XXXXXX.txt in `temp_dir`. An existing
// file of that name is replaced; a symbolic link in its place is refused.
SavedErrorLog SaveErrorLogDump(const std::string& text, const std::string& program_dir,
                               const std::string& temp_dir);

}  // namespace zelvo
