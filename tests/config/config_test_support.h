// The entries of a pre-log as plain values, for the configuration tests.
#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "log/log_types.h"

namespace zelvo::testing {

using Entry = std::tuple<std::int32_t, std::int32_t, std::string>;

inline std::vector<Entry> Entries(const PreLog& prelog) {
  std::vector<Entry> entries;
  for (std::size_t i = 1; i <= prelog.UpperBound(); ++i) {
    const LogEntry& entry = prelog.Entry(i);
    entries.emplace_back(entry.LogID, entry.LogType, entry.LogDescription);
  }
  return entries;
}

inline std::vector<std::int32_t> Ids(const PreLog& prelog) {
  std::vector<std::int32_t> ids;
  for (std::size_t i = 1; i <= prelog.UpperBound(); ++i) ids.push_back(prelog.Entry(i).LogID);
  return ids;
}

}  // namespace zelvo::testing
