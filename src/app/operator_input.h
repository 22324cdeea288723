// The operator's lines from standard input when the bot runs without a
// window: each line read is handled as a line typed into the window's input
// line. A terminal in canonical mode edits the line before it is sent
// (erase, word erase, kill); a pipe delivers lines as they are written. The
// end of input only ends the reading, not the bot.
#pragma once
#include <QSocketNotifier>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zelvo {

// Splits bytes into lines at LF, dropping a CR before it. A line longer than
// kMaxLineBytes is cut to that length; the rest of it, up to its LF, is
// dropped.
class InputLines {
 public:
  static constexpr std::size_t kMaxLineBytes = 4096;
  std::vector<std::string> Feed(std::string_view bytes);
  // At the end of input: the unfinished last line, if any.
  std::vector<std::string> Finish();

 private:
  std::string partial_;
  bool overlong_ = false;
};

// Whether `fd` is a terminal or a pipe (or socket), the inputs an operator
// types or writes into; not /dev/null or a file, as a service has.
bool IsOperatorInput(int fd);

// Reads `fd` on the event loop whenever it has data, handing each whole line
// to `on_line`; stops at the end of input or a read error.
class OperatorInputReader {
 public:
  OperatorInputReader(int fd, std::function<void(const std::string& line)> on_line);
  ~OperatorInputReader();
  bool Reading() const { return notifier_ && notifier_->isEnabled(); }

 private:
  void ReadReady();
  int fd_;
  std::function<void(const std::string&)> on_line_;
  InputLines lines_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace zelvo
