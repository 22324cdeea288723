// The cost of one WriteLog entry as the log grows, beside the way of reading,
// re-indenting and saving the whole file for every entry.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "log/event_log.h"
#include "log/log_xml.h"

namespace zelvo {
namespace {

class FixedClock final : public Clock {
 public:
  OleDate LocalNow() const override { return ToOleDate({2026, 12, 7, 20, 4, 55}); }
  std::chrono::steady_clock::time_point MonotonicNow() const override { return {}; }
  std::chrono::system_clock::time_point UtcNow() const override { return {}; }
};

// Skips the flush to the disk: shows the cost of the file work alone.
class NoSyncOps final : public LogFileOps {
 public:
  int FSync(int) override { return 0; }
};

const char kDescription[] = "Socket-connection changed to: Connected";

// A program directory holding a log of `entries` entries, removed afterwards.
class LogDir {
 public:
  // `trailer` follows the closing tags (a comment someone added, say).
  explicit LogDir(std::int64_t entries, const std::string& trailer = "") {
    std::string pattern = (std::filesystem::temp_directory_path() / "zelvo-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
    std::string bytes(kLogHeader);
    for (std::int64_t i = 1; i <= entries; ++i) {
      bytes +=
          LogEntryXml({static_cast<std::int32_t>(i % 36), 4, kDescription, "12/07/26 20:04:55"});
    }
    bytes += kLogTail;
    bytes += trailer;
    std::ofstream(LogPath(), std::ios::binary) << bytes;
    // Settle the file system (this file, the last run's deleted one) before
    // timing, so that the flushes measured carry only their own entry.
    const int fd = ::open(LogPath().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      ::syncfs(fd);
      ::close(fd);
    }
  }
  ~LogDir() { std::filesystem::remove_all(path_); }
  const std::string& Path() const { return path_; }
  std::string LogPath() const { return path_ + "/Log.xml"; }

 private:
  std::string path_;
};

void WriteOne(benchmark::State& state, LogFileOps* ops) {
  LogDir dir(state.range(0));
  FixedClock clock;
  EventLog log(dir.Path(), clock, ops);
  const OleDate now = clock.LocalNow();
  // The first write of a run reads the file whole once; the loop measures the
  // entries after it.
  if (!log.WriteLog(nullptr, 32, 4, kDescription, now).empty()) state.SkipWithError("write");
  for (auto _ : state) {
    if (!log.WriteLog(nullptr, 32, 4, kDescription, now).empty()) state.SkipWithError("write");
  }
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(dir.LogPath())) / 1e6;
}

void BM_WriteLog(benchmark::State& state) {
  WriteOne(state, nullptr);
}

void BM_WriteLogNoSync(benchmark::State& state) {
  NoSyncOps ops;
  WriteOne(state, &ops);
}

// The first entry a new run writes: the file is read and checked whole.
void BM_FirstWriteOfARun(benchmark::State& state) {
  LogDir dir(state.range(0));
  FixedClock clock;
  NoSyncOps ops;
  for (auto _ : state) {
    EventLog log(dir.Path(), clock, &ops);
    if (!log.WriteLog(nullptr, 1, 4, kDescription, clock.LocalNow()).empty()) {
      state.SkipWithError("write");
    }
  }
}

// Reference: load the whole file, append the entry, re-serialise it indented
// and save it whole, once per entry.
void BM_WholeFileRewrite(benchmark::State& state) {
  LogDir dir(state.range(0));
  const std::string path = dir.LogPath();
  for (auto _ : state) {
    xmlDoc* doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NOBLANKS | XML_PARSE_NONET);
    xmlNode* logs = xmlFirstElementChild(xmlDocGetRootElement(doc));
    xmlNode* log = xmlNewChild(logs, nullptr, BAD_CAST "Log", nullptr);
    xmlNewTextChild(log, nullptr, BAD_CAST "ID", BAD_CAST "32");
    xmlNewTextChild(log, nullptr, BAD_CAST "Type", BAD_CAST "INFORMATION");
    xmlNewTextChild(log, nullptr, BAD_CAST "Description", BAD_CAST kDescription);
    xmlNewTextChild(log, nullptr, BAD_CAST "DateTime", BAD_CAST "12/07/26 20:04:55");
    xmlTreeIndentString = "\t";
    xmlChar* bytes = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc, &bytes, &size, "UTF-8", 1);
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes), size);
    xmlFree(bytes);
    xmlFreeDoc(doc);
  }
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}

// A log that does not end as this program leaves it (a comment after the
// root): the first entry rewrites it whole once, the next ones go in place.
// Each repetition starts from a new file; `first_ms` is the first entry's
// time, `peak_MB` the process's peak resident memory so far (run one size per
// process to read it per size).
void BM_TrailingComment(benchmark::State& state) {
  LogDir dir(state.range(0), "<!-- added by hand -->\n");
  FixedClock clock;
  EventLog log(dir.Path(), clock);
  const OleDate now = clock.LocalNow();
  bool first = true;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (!log.WriteLog(nullptr, 32, 4, kDescription, now).empty()) state.SkipWithError("write");
    if (std::exchange(first, false)) {
      state.counters["first_ms"] =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count();
    }
  }
  state.SetItemsProcessed(state.iterations());
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(dir.LogPath())) / 1e6;
}

// Few iterations per repetition, so that the file stays near its starting
// size; every repetition starts from a new file.
void Sizes(benchmark::internal::Benchmark* b, int iterations, int repetitions) {
  b->Arg(100)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
  b->Iterations(iterations)->Repetitions(repetitions)->ReportAggregatesOnly(true);
}

BENCHMARK(BM_WriteLog)->Apply([](auto* b) { Sizes(b, 50, 20); });
BENCHMARK(BM_WriteLogNoSync)->Apply([](auto* b) { Sizes(b, 50, 10); });
BENCHMARK(BM_FirstWriteOfARun)->Apply([](auto* b) { Sizes(b, 10, 3); });
BENCHMARK(BM_WholeFileRewrite)->Apply([](auto* b) { Sizes(b, 5, 3); });
// About 6 MB and 30 MB.
BENCHMARK(BM_TrailingComment)
    ->Arg(35000)
    ->Arg(175000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Repetitions(3);

}  // namespace
}  // namespace zelvo
