// Structured entries for the systemd journal, and whether this process runs
// as a systemd service at all.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace zelvo {

class Journal {
 public:
  virtual ~Journal() = default;
  // Sends one entry of "NAME=value" fields (MESSAGE=, PRIORITY=, ...).
  // Returns "" or why it was not sent.
  virtual std::string Send(const std::vector<std::string>& fields) = 0;
};

// Through sd_journal_sendv(3).
class SystemdJournal final : public Journal {
 public:
  std::string Send(const std::vector<std::string>& fields) override;
};

// True when the service manager started this process as a service: it sets
// INVOCATION_ID for every unit, NOTIFY_SOCKET for notify-type services and
// JOURNAL_STREAM where the output goes to the journal.
bool RunsAsSystemdService();

// A SystemdJournal when RunsAsSystemdService, else none.
std::unique_ptr<Journal> ServiceJournal();

}  // namespace zelvo
