#include "app/operator_input.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zelvo {

std::vector<std::string> InputLines::Feed(std::string_view bytes) {
  std::vector<std::string> lines;
  for (const char c : bytes) {
    if (c == '\n') {
      if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
      lines.push_back(std::move(partial_));
      partial_.clear();
      overlong_ = false;
    } else if (partial_.size() < kMaxLineBytes) {
      partial_.push_back(c);
    } else {
      overlong_ = true;
    }
  }
  return lines;
}

std::vector<std::string> InputLines::Finish() {
  if (partial_.empty()) return {};
  return Feed("\n");
}

bool IsOperatorInput(int fd) {
  if (isatty(fd)) return true;
  struct stat info {};
  if (fstat(fd, &info) != 0) return false;
  return S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode);
}

OperatorInputReader::OperatorInputReader(int fd,
                                         std::function<void(const std::string& line)> on_line)
    : fd_(fd),
      on_line_(std::move(on_line)),
      notifier_(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read)) {
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { ReadReady(); });
}

OperatorInputReader::~OperatorInputReader() = default;

void OperatorInputReader::ReadReady() {
  // The descriptor is readable: one read returns what is there without waiting.
  char buffer[4096];
  const ssize_t got = ::read(fd_, buffer, sizeof buffer);
  if (got < 0 && (errno == EINTR || errno == EAGAIN)) return;
  std::vector<std::string> lines =
      got > 0 ? lines_.Feed(std::string_view(buffer, static_cast<std::size_t>(got)))
              : lines_.Finish();
  if (got <= 0) notifier_->setEnabled(false);
  for (const std::string& line : lines) on_line_(line);
}

}  // namespace zelvo
