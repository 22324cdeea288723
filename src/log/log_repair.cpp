#include "log/log_repair.h"

#include <vector>

#include "log/log_xml.h"

namespace zelvo {
namespace {

// How many places where an entry ends are tried. One append writes one entry,
// so an interrupted append reaches back over at most one such place.
constexpr std::size_t kRepairCandidates = 3;

// The latest places, last first, just after a complete "</Log>" or the
// opening "<Logs>".
std::vector<std::size_t> CutPoints(std::string_view content) {
  std::vector<std::size_t> cuts;
  std::size_t from = content.size();
  while (cuts.size() < kRepairCandidates && from > 0) {
    const std::size_t end_log = content.rfind("</Log>", from - 1);
    const std::size_t open_logs = content.rfind("<Logs>", from - 1);
    std::size_t at = end_log;
    if (at == std::string_view::npos || (open_logs != std::string_view::npos && open_logs > at)) {
      at = open_logs;
    }
    if (at == std::string_view::npos) break;
    cuts.push_back(at + 6);  // both markers are six characters long
    from = at;
  }
  return cuts;
}

}  // namespace

std::optional<LogRepair> PlanRepair(std::string_view content) {
  for (const std::size_t cut : CutPoints(content)) {
    std::string kept(content.substr(0, cut));
    kept += '\n';
    if (!ScanLog(kept + std::string(kLogTail)).appendable_in_place) continue;
    return LogRepair{std::move(kept), std::string(content.substr(cut))};
  }
  return std::nullopt;
}

bool WorthKeeping(std::string_view cut_off) {
  std::string rest;
  for (const char c : cut_off) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\0') rest += c;
  }
  constexpr std::string_view kClosingTags = "</Logs></Zelvo>";
  return !kClosingTags.starts_with(rest);
}

}  // namespace zelvo
