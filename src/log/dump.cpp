#include "log/event_log.h"

namespace zelvo {

std::string ErrorLogDumpText(const PreLog& prelog) {
  std::string text = "Zelvo - Error-Log:\r\n";
  text += std::string(27, '=') + "\r\n\r\n";
  for (std::size_t index = 1; index <= prelog.UpperBound(); ++index) {
    const LogEntry& entry = prelog.Entry(index);
    text += "LogID: " + std::to_string(entry.LogID) + "\r\n";
    text += "LogType: " + std::to_string(entry.LogType) + "\r\n";
    text += "LogDescription: " + entry.LogDescription + "\r\n";
    text += "LogDateTime: " + FormatGeneralDateTime(entry.LogDateTime) + "\r\n";
    text += "\r\n";
  }
  return text;
}

}  // namespace zelvo
