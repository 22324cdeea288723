#include "log/event_log.h"

namespace zelvo {
namespace {

std::string DumpHeader() {
  return "Zelvo - Error-Log:\r\n" + std::string(27, '=') + "\r\n\r\n";
}

void AppendEntry(std::string& text, const LogEntry& entry) {
  text += "LogID: " + std::to_string(entry.LogID) + "\r\n";
  text += "LogType: " + std::to_string(entry.LogType) + "\r\n";
  text += "LogDescription: " + entry.LogDescription + "\r\n";
  text += "LogDateTime: " + FormatGeneralDateTime(entry.LogDateTime) + "\r\n";
  text += "\r\n";
}

}  // namespace

std::string ErrorLogDumpText(const PreLog& prelog) {
  std::string text = DumpHeader();
  for (std::size_t index = 1; index <= prelog.UpperBound(); ++index) {
    AppendEntry(text, prelog.Entry(index));
  }
  return text;
}

std::string ErrorLogDumpText(const std::vector<LogEntry>& entries) {
  std::string text = DumpHeader();
  for (const LogEntry& entry : entries) AppendEntry(text, entry);
  return text;
}

}  // namespace zelvo
