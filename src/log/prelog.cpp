#include <cmath>

#include "log/log_types.h"

namespace zelvo {

void PreLog::WritePreLog(std::int32_t id, std::int32_t type, std::string description) {
  // Entries keep the time to the whole second.
  const OleDate now = ToOleDate(FromOleDate(clock_.LocalNow()));
  gaPreLog.push_back(LogEntry{id, type, std::move(description), now});
}

}  // namespace zelvo
