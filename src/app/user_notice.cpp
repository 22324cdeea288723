#include "app/user_notice.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "log/event_log.h"
#include "model/visible_text.h"

namespace zelvo {

void StreamMessageBox::ShowCritical(const std::string& text, const std::string& details) {
  out_ << text << '\n';
  if (!details.empty()) out_ << details << '\n';
  out_ << std::flush;
}

void StreamConsole::Append(std::string_view received) {
  const std::string text = VisibleControlText(received);
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  // A write that failed once (a full disk, a closed pipe that came back)
  // must not silence the console for good: every line tries again.
  if (!out_.good()) out_.clear();
  out_ << out << std::flush;
}

std::string CopyErrorLogToClipboard(const PreLog& prelog, Clipboard& clipboard) {
  const std::optional<ClipboardFailure> failure = clipboard.SetText(ErrorLogDumpText(prelog));
  if (!failure) return "";
  return "Couldn't copy Log to clipboard. Error-number: " + std::to_string(failure->number) +
         " Error-Descripton: " + failure->description;
}

namespace {

// Writes all of `text` to `fd` and closes it; "" or the reason.
std::string WriteAndClose(int fd, const std::string& text) {
  std::size_t done = 0;
  std::string error;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = std::strerror(n < 0 ? errno : EIO);
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0 && error.empty()) error = std::strerror(errno);
  return error;
}

}  // namespace

SavedErrorLog SaveErrorLogDump(const std::string& text, const std::string& program_dir,
                               const std::string& temp_dir) {
  SavedErrorLog saved;
  const std::string beside = program_dir + "/" + kErrorLogFileName;
  const int fd =
      ::open(beside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  std::string error = fd < 0 ? std::strerror(errno) : WriteAndClose(fd, text);
  if (error.empty()) {
    saved.path = beside;
    return saved;
  }
  saved.error = beside + ": " + error;

  // A new file of its own in the temporary directory, never one put there.
  std::string name = temp_dir + "/Zelvo-error-log-XXXXXX.txt";
  std::vector<char> path(name.begin(), name.end());
  path.push_back('\0');
  const int temp_fd = ::mkostemps(path.data(), 4, O_CLOEXEC);
  error = temp_fd < 0 ? std::strerror(errno) : WriteAndClose(temp_fd, text);
  if (temp_fd >= 0 && error.empty()) {
    saved.path = path.data();
    saved.error.clear();
    return saved;
  }
  if (temp_fd >= 0) ::unlink(path.data());
  saved.error += "; " + std::string(path.data()) + ": " + error;
  return saved;
}

}  // namespace zelvo
