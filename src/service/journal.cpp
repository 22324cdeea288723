#include "service/journal.h"

#include <sys/uio.h>
#include <systemd/sd-journal.h>

#include <cstdlib>
#include <cstring>

namespace zelvo {

std::string SystemdJournal::Send(const std::vector<std::string>& fields) {
  std::vector<iovec> parts;
  parts.reserve(fields.size());
  for (const std::string& field : fields)
    parts.push_back(iovec{const_cast<char*>(field.data()), field.size()});
  const int result = sd_journal_sendv(parts.data(), static_cast<int>(parts.size()));
  return result < 0 ? std::strerror(-result) : "";
}

bool RunsAsSystemdService() {
  for (const char* name : {"INVOCATION_ID", "NOTIFY_SOCKET", "JOURNAL_STREAM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

std::unique_ptr<Journal> ServiceJournal() {
  if (!RunsAsSystemdService()) return nullptr;
  return std::make_unique<SystemdJournal>();
}

}  // namespace zelvo
