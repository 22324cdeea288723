// Shared pieces of the configuration tests: a temporary program directory, a
// fixed clock and the entries of a pre-log as plain values.
#pragma once

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "config/file_helpers.h"
#include "log/log_types.h"
#include "model/clock.h"

namespace zelvo::testing {

// A fresh directory under /tmp, removed with everything in it afterwards.
class TempDir {
 public:
  TempDir() {
    std::string pattern = "/tmp/zelvo-config-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() { RemoveTree(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

  // Names in the directory, "." and ".." left out.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(path_.c_str())) {
      while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      ::closedir(dir);
    }
    return names;
  }

 private:
  static void RemoveTree(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return;
    if (S_ISDIR(info.st_mode)) {
      if (DIR* dir = ::opendir(path.c_str())) {
        std::vector<std::string> children;
        while (const dirent* entry = ::readdir(dir)) {
          const std::string name = entry->d_name;
          if (name != "." && name != "..") children.push_back(path + "/" + name);
        }
        ::closedir(dir);
        for (const std::string& child : children) RemoveTree(child);
      }
      ::rmdir(path.c_str());
    } else {
      ::unlink(path.c_str());
    }
  }

  std::string path_;
};

// A clock that stands still at a chosen moment.
class FixedClock final : public Clock {
 public:
  explicit FixedClock(OleDate now) : now_(now) {}
  OleDate LocalNow() const override { return now_; }
  std::chrono::steady_clock::time_point MonotonicNow() const override { return {}; }

 private:
  OleDate now_;
};

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

inline std::string Read(const std::string& path) {
  std::string text;
  const std::string error = ReadFileText(path, text);
  if (!error.empty()) throw std::runtime_error(error);
  return text;
}

inline void Write(const std::string& path, const std::string& text) {
  const std::string error = SaveFileText(path, text);
  if (!error.empty()) throw std::runtime_error(error);
}

}  // namespace zelvo::testing
