#include "log/log_file.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>

#include "log/event_log.h"
#include "log/log_backlog.h"
#include "log/log_xml.h"
#include "support/fake_clock.h"
#include "support/log_reader.h"
#include "support/temp_dir.h"

namespace zelvo {
namespace {

using ::testing::ElementsAre;
using testing::FakeClock;
using testing::Ids;
using ::testing::IsEmpty;
using testing::ReadEntry;
using testing::ReadFile;
using testing::ReadLogEntries;
using testing::TempDir;
using testing::WriteFile;

const OleDate kTime = ToOleDate({2026, 12, 7, 20, 4, 55});
// A log of this program whose damage reaches back too far to be cut off.
const std::string kDamagedTooFarBack =
    "<Zelvo><Logs><Log>&x;</Log><Log></Log><Log></Log><Log></Log>junk";

// The log's system calls, recorded; a disk that holds only `spare` more
// bytes, and an fsync or a rename that fails once.
class FakeOps final : public LogFileOps {
 public:
  bool sync_to_disk = true;  // off where a test writes many files and no crash comes
  std::optional<off_t> spare;
  int fsync_error = 0;
  int rename_error = 0;
  int create_error = 0;  // for every new file (a folder that takes none)
  std::vector<std::string> calls;

  ssize_t PWrite(int fd, const char* data, std::size_t size, off_t offset) override {
    calls.push_back("pwrite " + NameOf(fd));
    if (!spare) return LogFileOps::PWrite(fd, data, size, offset);
    struct stat info {};
    if (::fstat(fd, &info) != 0) return -1;
    const off_t limit = std::max(info.st_size, offset) + *spare;
    if (offset >= limit) {
      errno = ENOSPC;
      return -1;
    }
    const auto allowed = std::min<std::size_t>(size, static_cast<std::size_t>(limit - offset));
    const ssize_t written = LogFileOps::PWrite(fd, data, allowed, offset);
    if (written > 0) *spare -= std::max<off_t>(0, offset + written - info.st_size);
    return written;
  }
  int FSync(int fd) override {
    calls.push_back("fsync " + NameOf(fd));
    if (fsync_error == 0) return sync_to_disk ? LogFileOps::FSync(fd) : 0;
    errno = std::exchange(fsync_error, 0);
    return -1;
  }
  std::chrono::milliseconds paused{0};
  std::function<void()> on_pause;
  void Pause(std::chrono::milliseconds duration) override {
    paused += duration;
    if (on_pause) on_pause();
  }
  int CreateNew(const std::string& path, mode_t mode) override {
    if (create_error == 0) return LogFileOps::CreateNew(path, mode);
    errno = create_error;
    return -1;
  }
  int Rename(const std::string& from, const std::string& to, bool replace) override {
    calls.push_back("rename " + Short(from) + " " + Short(to) + (replace ? " replace" : ""));
    if (rename_error == 0) return LogFileOps::Rename(from, to, replace);
    errno = std::exchange(rename_error, 0);
    return -1;
  }

 private:
  static std::string Short(const std::string& path) {
    if (std::filesystem::is_directory(path)) return "dir";
    const std::string name = std::filesystem::path(path).filename().string();
    return name.find(".tmp-") != std::string::npos ? "temp" : name;
  }
  static std::string NameOf(int fd) {
    std::error_code ignored;
    return Short(std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ignored));
  }
};

class LogFileTest : public ::testing::Test {
 protected:
  std::string LogPath() const { return dir_.File("Log.xml"); }
  std::string Write(EventLog& log, std::int32_t id) {
    return log.WriteLog(nullptr, id, 1, "entry number " + std::to_string(id) + "\r\nsecond line",
                        kTime);
  }
  std::vector<std::string> LoggedIds() const {
    const auto entries = ReadLogEntries(LogPath());
    EXPECT_TRUE(entries.has_value()) << ReadFile(LogPath());
    return entries ? Ids(*entries) : std::vector<std::string>{};
  }

  TempDir dir_;
  FakeClock clock_{kTime};
  FakeOps ops_;
  EventLog log_{dir_.path(), clock_, &ops_};
};

// --- A damaged end ------------------------------------------------------------

enum class Damage { kTruncate, kTruncateAndZeroFill, kZeroByte, kAmpersand };

struct DamageCase {
  Damage damage;
  bool same_writer;  // the writer that wrote the file goes on (else: a new run)
};

class DamagedEndTest : public LogFileTest, public ::testing::WithParamInterface<DamageCase> {
 protected:
  // Everything beside the log: what a repair kept aside.
  std::string KeptAside() const {
    std::string all;
    for (const std::string& name : dir_.Names()) {
      if (name != "Log.xml") all += ReadFile(dir_.File(name));
    }
    return all;
  }
  void RemoveAllButTheLog() const {
    for (const std::string& name : dir_.Names()) {
      if (name != "Log.xml") std::filesystem::remove(dir_.File(name));
    }
  }
};

// Damage at every byte of the last three entries: every complete entry is
// still in the log or its bytes are in a file beside it.
TEST_P(DamagedEndTest, NoCompleteEntryIsLost) {
  ops_.sync_to_disk = false;
  constexpr int kEntries = 6;
  for (int id = 1; id <= kEntries; ++id) ASSERT_EQ(Write(log_, id), "");
  const std::string after = ReadFile(LogPath());
  std::vector<std::pair<std::size_t, std::size_t>> ranges;  // [begin, end) of each entry
  for (std::size_t at = after.find("\t\t<Log>"); at != std::string::npos;
       at = after.find("\t\t<Log>", at + 1)) {
    ranges.emplace_back(at, after.find("</Log>\n", at) + 7);
  }
  ASSERT_EQ(ranges.size(), static_cast<std::size_t>(kEntries));

  for (std::size_t offset = ranges[kEntries - 3].first; offset < after.size(); ++offset) {
    std::string damaged = after;
    switch (GetParam().damage) {
      case Damage::kTruncate:
        damaged.resize(offset);
        break;
      case Damage::kTruncateAndZeroFill:
        std::fill(damaged.begin() + offset, damaged.end(), '\0');
        break;
      case Damage::kZeroByte:
        damaged[offset] = '\0';
        break;
      case Damage::kAmpersand:
        damaged[offset] = '&';
        break;
    }
    RemoveAllButTheLog();
    WriteFile(LogPath(), damaged);
    EventLog fresh(dir_.path(), clock_, &ops_);
    EventLog& writer = GetParam().same_writer ? log_ : fresh;
    ASSERT_EQ(Write(writer, 7), "") << "offset " << offset;

    const std::vector<std::string> ids = LoggedIds();
    ASSERT_FALSE(ids.empty()) << "offset " << offset;
    EXPECT_EQ(ids.back(), "7") << "offset " << offset;
    const std::string aside = KeptAside();
    const bool truncated =
        GetParam().damage == Damage::kTruncate || GetParam().damage == Damage::kTruncateAndZeroFill;
    for (int id = 1; id <= kEntries; ++id) {
      const auto [begin, end] = ranges[id - 1];
      if (truncated && end > offset) break;  // not complete any more
      const bool in_log = std::find(ids.begin(), ids.end(), std::to_string(id)) != ids.end();
      EXPECT_TRUE(in_log || aside.find(damaged.substr(begin, end - begin)) != std::string::npos)
          << "entry " << id << " lost, damage at offset " << offset;
    }
    for (const std::string& name : dir_.Names()) {
      EXPECT_TRUE(name == "Log.xml" || name.starts_with("Log.xml.corrupt-")) << name;
    }
    // The file is in its own layout again: the next append goes in place.
    const std::string repaired = ReadFile(LogPath());
    ASSERT_TRUE(repaired.ends_with(kLogTail)) << "offset " << offset;
    ASSERT_EQ(Write(writer, 8), "");
    EXPECT_EQ(ReadFile(LogPath()).substr(0, repaired.size() - kLogTail.size()),
              repaired.substr(0, repaired.size() - kLogTail.size()));
  }
}

std::string CaseName(const ::testing::TestParamInfo<DamageCase>& info) {
  static const char* const kNames[] = {"Truncated", "TruncatedAndZeroFilled", "ZeroByte",
                                       "Ampersand"};
  return std::string(kNames[static_cast<int>(info.param.damage)]) +
         (info.param.same_writer ? "_SameWriter" : "_NextRun");
}

// A change that keeps the size is only seen by a writer that did not write
// the file last, so the same writer is tested with truncation.
INSTANTIATE_TEST_SUITE_P(Damages, DamagedEndTest,
                         ::testing::Values(DamageCase{Damage::kTruncate, false},
                                           DamageCase{Damage::kTruncateAndZeroFill, false},
                                           DamageCase{Damage::kZeroByte, false},
                                           DamageCase{Damage::kAmpersand, false},
                                           DamageCase{Damage::kTruncate, true}),
                         CaseName);

TEST_F(LogFileTest, AHandBrokenEndIsCutBackToTheLastEntryAndKeptAside) {
  WriteFile(LogPath(),
            "<Zelvo><Logs><Log><ID>1</ID></Log><Log><ID>2</ID></Log></Logs></Zelvo><x/>");
  ASSERT_EQ(Write(log_, 3), "");
  EXPECT_THAT(LoggedIds(), ElementsAre("1", "2", "3"));
  EXPECT_THAT(dir_.Names(), ElementsAre("Log.xml", "Log.xml.corrupt-20261207-200455"));
  EXPECT_EQ(ReadFile(dir_.File("Log.xml.corrupt-20261207-200455")), "</Logs></Zelvo><x/>");
}

TEST_F(LogFileTest, AnInterruptedAppendLeavesNothingBesideTheLog) {
  ASSERT_EQ(Write(log_, 1), "");
  const std::string before = ReadFile(LogPath());
  // Only the closing tags were lost, or zero bytes stand where they were.
  for (const std::string& end : {std::string(), std::string(5, '\0'), std::string("\t</Lo")}) {
    WriteFile(LogPath(), before.substr(0, before.size() - kLogTail.size()) + end);
    EventLog fresh(dir_.path(), clock_, &ops_);
    ASSERT_EQ(Write(fresh, 2), "");
    EXPECT_THAT(LoggedIds(), ElementsAre("1", "2"));
    EXPECT_THAT(dir_.Names(), ElementsAre("Log.xml"));
    WriteFile(LogPath(), before);
  }
}

// --- Links, leftovers and locks ------------------------------------------------

TEST_F(LogFileTest, ALeftoverTemporaryFileOfAnEarlierRunDoesNotStopTheLog) {
  // A container's bot has the same process id on every start.
  WriteFile(LogPath() + ".tmp-" + std::to_string(::getpid()) + "-0", "left over");
  ASSERT_EQ(Write(log_, 1), "");
  EXPECT_THAT(LoggedIds(), ElementsAre("1"));
}

TEST_F(LogFileTest, ADanglingLinkGetsItsFileCreated) {
  std::filesystem::create_symlink(dir_.File("real.xml"), LogPath());
  ASSERT_EQ(Write(log_, 1), "");
  EXPECT_TRUE(std::filesystem::is_symlink(LogPath()));
  EXPECT_THAT(Ids(*ReadLogEntries(dir_.File("real.xml"))), ElementsAre("1"));
}

TEST_F(LogFileTest, ALinkIntoAMissingFolderIsNamedInTheError) {
  std::filesystem::create_symlink(dir_.File("gone/real.xml"), LogPath());
  EXPECT_EQ(Write(log_, 1),
            "Couldn't write PreLog. Error-number: 2 Error-Descripton: The symbolic link \"" +
                LogPath() + "\" points to \"" + dir_.File("gone/real.xml") +
                "\", whose folder doesn't exist: No such file or directory");
}

// Another program holding the lock delays a write by about 100 ms at most;
// then the entry is reported as not written and the file is left alone.
TEST_F(LogFileTest, ALockHeldElsewhereFailsTheEntryAfterABoundedWait) {
  ASSERT_EQ(Write(log_, 1), "");
  const std::string before = ReadFile(LogPath());
  const int holder = ::open(LogPath().c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);

  EXPECT_EQ(Write(log_, 2),
            "Couldn't write PreLog. Error-number: 11 Error-Descripton: Another program holds the "
            "lock of the log file \"" +
                LogPath() + "\": Resource temporarily unavailable");
  EXPECT_GT(ops_.paused, std::chrono::milliseconds(0));
  EXPECT_LE(ops_.paused, std::chrono::milliseconds(100));
  EXPECT_EQ(ReadFile(LogPath()), before);

  // Released during the wait: the entry is written.
  ops_.paused = {};
  ops_.on_pause = [&] { ::flock(holder, LOCK_UN); };
  EXPECT_EQ(Write(log_, 3), "");
  EXPECT_THAT(LoggedIds(), ElementsAre("1", "3"));
  ::close(holder);
}

// --- A full disk --------------------------------------------------------------

TEST_F(LogFileTest, AFullDiskLeavesTheFileAsItWas) {
  ASSERT_EQ(Write(log_, 1), "");
  ASSERT_EQ(Write(log_, 2), "");
  const std::string before = ReadFile(LogPath());
  const std::size_t growth =
      LogEntryXml({3, 1, "entry number 3\r\nsecond line", FormatGeneralDateTime(kTime)}).size();
  for (off_t spare = 0; spare < static_cast<off_t>(growth); ++spare) {
    ops_.spare = spare;
    EXPECT_EQ(Write(log_, 3),
              "Couldn't write PreLog. Error-number: 28 Error-Descripton: "
              "Couldn't append to the log file \"" +
                  LogPath() + "\": No space left on device")
        << "spare " << spare;
    ASSERT_EQ(ReadFile(LogPath()), before) << "spare " << spare;
  }
  ops_.spare = static_cast<off_t>(growth);
  EXPECT_EQ(Write(log_, 3), "") << "exactly enough room";
  EXPECT_THAT(LoggedIds(), ElementsAre("1", "2", "3"));
  EXPECT_THAT(dir_.Names(), ElementsAre("Log.xml"));
}

TEST_F(LogFileTest, AFailedFlushToDiskLeavesTheFileAsItWas) {
  ASSERT_EQ(Write(log_, 1), "");
  const std::string before = ReadFile(LogPath());
  ops_.fsync_error = EIO;
  EXPECT_EQ(Write(log_, 2),
            "Couldn't write PreLog. Error-number: 5 Error-Descripton: Couldn't "
            "append to the log file \"" +
                LogPath() + "\": Input/output error");
  EXPECT_EQ(ReadFile(LogPath()), before);
  EXPECT_EQ(Write(log_, 3), "");
  EXPECT_THAT(LoggedIds(), ElementsAre("1", "3"));
}

TEST_F(LogFileTest, AFullDiskLeavesNoHalfNewFile) {
  ops_.spare = 10;
  EXPECT_EQ(Write(log_, 1),
            "Couldn't write PreLog. Error-number: 28 Error-Descripton: "
            "Couldn't write \"" +
                LogPath() + "\": No space left on device");
  EXPECT_THAT(dir_.Names(), IsEmpty());
}

TEST_F(LogFileTest, AFullDiskLeavesAForeignFileUntouched) {
  const std::string foreign = "<Zelvo>\n  <Logs>\n    <Log><ID>9</ID></Log>\n  </Logs>\n</Zelvo>";
  WriteFile(LogPath(), foreign);
  ops_.spare = 0;
  EXPECT_THAT(Write(log_, 1), ::testing::HasSubstr("Error-number: 28 "));
  EXPECT_EQ(ReadFile(LogPath()), foreign);
  EXPECT_THAT(dir_.Names(), ElementsAre("Log.xml"));
}

TEST_F(LogFileTest, AFailedRenameAsideLeavesTheFileUntouched) {
  WriteFile(LogPath(), kDamagedTooFarBack);
  ops_.rename_error = EACCES;
  EXPECT_EQ(Write(log_, 1),
            "Couldn't write PreLog. Error-number: 13 Error-Descripton: "
            "Couldn't rename the unreadable log file aside \"" +
                LogPath() + "\": Permission denied");
  EXPECT_EQ(ReadFile(LogPath()), kDamagedTooFarBack);
  EXPECT_THAT(dir_.Names(), ElementsAre("Log.xml"));
}

TEST_F(LogFileTest, AnUnopenableLogFailsTheFlushWithItsOwnText) {
  std::filesystem::create_directory(LogPath());
  PreLog prelog(clock_);
  prelog.WritePreLog(1, 4, "one");
  EXPECT_EQ(log_.FlushPreLog(nullptr, prelog),
            "Couldn't write PreLog. Error-number: -1 Error-Descripton: Couldn't write PreLog. "
            "Error-number: 21 Error-Descripton: Couldn't open the log file \"" +
                LogPath() + "\": Is a directory");
}

// --- How the file is changed ---------------------------------------------------

TEST_F(LogFileTest, WholeFilesAreFlushedBesideTheLogAndRenamedOverIt) {
  ASSERT_EQ(Write(log_, 1), "");
  EXPECT_THAT(ops_.calls,
              ElementsAre("pwrite temp", "fsync temp", "rename temp Log.xml", "fsync dir"));

  ops_.calls.clear();
  ASSERT_EQ(Write(log_, 2), "");
  EXPECT_THAT(ops_.calls, ElementsAre("pwrite Log.xml", "fsync Log.xml")) << "appended in place";

  ops_.calls.clear();
  WriteFile(LogPath(), "<Zelvo>\n  <Logs/>\n</Zelvo>\n");
  ASSERT_EQ(Write(log_, 3), "");
  EXPECT_THAT(ops_.calls,
              ElementsAre("pwrite temp", "fsync temp", "rename temp Log.xml replace", "fsync dir"));

  ops_.calls.clear();
  WriteFile(LogPath(), kDamagedTooFarBack);
  ASSERT_EQ(Write(log_, 4), "");
  EXPECT_THAT(ops_.calls,
              ElementsAre("rename Log.xml Log.xml.corrupt-20261207-200455", "fsync dir",
                          "pwrite temp", "fsync temp", "rename temp Log.xml", "fsync dir"));
}

// A usable log that does not end as this program leaves it is rewritten once
// with everything it held; the entries after that go in place.
TEST_F(LogFileTest, AForeignEndIsRewrittenOnceThenEntriesGoInPlace) {
  const std::string logs = "<Zelvo>\n<Logs><Log><ID>1</ID></Log></Logs>";
  for (const auto& [content, kept] : std::vector<std::pair<std::string, std::string>>{
           {logs + "</Zelvo>\n<!-- after the root -->\n", "<!-- after the root -->"},
           {logs + "</Zelvo><?after root?>", "<?after root?>"},
           {logs + "<X>after Logs</X></Zelvo>", "<X>after Logs</X>"},
           {logs + "<!--c--><Y/></Zelvo><!--d-->", "<Y/>"},
       }) {
    WriteFile(LogPath(), content);
    ASSERT_EQ(Write(log_, 2), "") << content;
    ops_.calls.clear();
    ASSERT_EQ(Write(log_, 3), "") << content;
    EXPECT_THAT(ops_.calls, ElementsAre("pwrite Log.xml", "fsync Log.xml")) << content;
    EXPECT_THAT(LoggedIds(), ElementsAre("1", "2", "3")) << content;
    EXPECT_THAT(ReadFile(LogPath()), ::testing::HasSubstr(kept));
  }
}

// A folder that takes no new file: the log is rewritten in place, which is
// not atomic; one warning per file says so.
TEST_F(LogFileTest, ARewriteInPlaceIsWarnedOncePerFile) {
  ops_.create_error = EACCES;
  WriteFile(LogPath(), "<Zelvo><Logs/></Zelvo>");
  ASSERT_EQ(Write(log_, 1), "");
  EXPECT_THAT(LoggedIds(), ElementsAre("1", "43"));
  WriteFile(LogPath(), "<Zelvo><Logs/></Zelvo>");
  ASSERT_EQ(Write(log_, 2), "");
  EXPECT_THAT(LoggedIds(), ElementsAre("2"));
}

TEST_F(LogFileTest, NoticesAFileReplacedOrShortenedByAnotherProgram) {
  ASSERT_EQ(Write(log_, 1), "");
  const std::string other = dir_.File("other.xml");
  WriteFile(other, "<Zelvo><Logs><Log><ID>7</ID></Log></Logs></Zelvo>");
  std::filesystem::rename(other, LogPath());
  ASSERT_EQ(Write(log_, 2), "");
  EXPECT_THAT(LoggedIds(), ElementsAre("7", "2"));

  const std::string full = ReadFile(LogPath());
  WriteFile(LogPath(), "<Zelvo><Logs/></Zelvo>");
  ASSERT_EQ(Write(log_, 3), "");
  EXPECT_THAT(LoggedIds(), ElementsAre("3"));
}

// Held entries reach the file as one group, one write and one fsync: 100 ms
// after the first of them, before any other entry, at Flush.
TEST_F(LogFileTest, HeldEntriesAreWrittenAsOneGroup) {
  LogBacklog backlog(
      clock_, [this](std::span<const LogEntry> group) { return log_.WriteLog(nullptr, group); },
      nullptr);
  const auto hold = [&](int times) {
    for (int i = 0; i < times; ++i) backlog.Hold(94, 4, "switched", kTime);
  };
  const std::vector<std::string> one_group = {"pwrite Log.xml", "fsync Log.xml"};
  backlog.Write(1, 4, "first", kTime);
  ops_.calls.clear();
  hold(3);
  clock_.Advance(std::chrono::milliseconds(99));
  EXPECT_EQ(backlog.WriteHeldWhenDue(), std::chrono::milliseconds(1));
  EXPECT_THAT(ops_.calls, IsEmpty());
  clock_.Advance(std::chrono::milliseconds(1));
  EXPECT_EQ(backlog.WriteHeldWhenDue(), std::chrono::milliseconds(0));
  EXPECT_EQ(ops_.calls, one_group);
  hold(2);
  backlog.Write(34, 4, "closing", kTime);
  hold(1);
  ops_.calls.clear();
  EXPECT_TRUE(backlog.Flush());
  EXPECT_EQ(ops_.calls, one_group);
  EXPECT_THAT(LoggedIds(), ElementsAre("1", "94", "94", "94", "94", "94", "34", "94"));
}

TEST_F(LogFileTest, ALogBehindASymbolicLinkStaysBehindIt) {
  TempDir elsewhere;
  WriteFile(elsewhere.File("real.xml"), "<Zelvo><Logs><Log><ID>1</ID></Log></Logs></Zelvo>");
  std::filesystem::create_symlink(elsewhere.File("real.xml"), LogPath());
  ASSERT_EQ(Write(log_, 2), "");  // rewritten whole
  ASSERT_EQ(Write(log_, 3), "");  // appended in place
  EXPECT_TRUE(std::filesystem::is_symlink(LogPath()));
  EXPECT_THAT(Ids(*ReadLogEntries(elsewhere.File("real.xml"))), ElementsAre("1", "2", "3"));
  EXPECT_THAT(elsewhere.Names(), ElementsAre("real.xml"));
}

// --- What a read of a whole file decides ----------------------------------------

struct ShapeCase {
  std::string name;
  std::string content;
  bool usable;
  bool in_place;
};

class ScanLogTest : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(ScanLogTest, DecidesWhetherTheFileIsALogAndWhetherItTakesEntriesInPlace) {
  const LogShape shape = ScanLog(GetParam().content);
  EXPECT_EQ(shape.usable, GetParam().usable);
  EXPECT_EQ(shape.appendable_in_place, GetParam().in_place);
}

const std::string kOurs =
    std::string(kLogHeader) + LogEntryXml({1, 1, "a", "b"}) + std::string(kLogTail);

INSTANTIATE_TEST_SUITE_P(
    Files, ScanLogTest,
    ::testing::Values(
        ShapeCase{"Ours", kOurs, true, true},
        ShapeCase{"EmptyLogs", "<Zelvo>\n\t<Logs>\n\t</Logs>\n</Zelvo>\n", true, true},
        ShapeCase{"Compact", "<Zelvo><Logs/></Zelvo>", true, false},
        ShapeCase{"Latin1",
                  "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Zelvo>\n"
                  "\t<Logs>\n\t</Logs>\n</Zelvo>\n",
                  true, false},
        ShapeCase{"ElementAfterLogs", "<Zelvo><Logs/><X/></Zelvo>", true, false},
        ShapeCase{"Unclosed", "<Zelvo><Logs/><X>\t</Logs>\n</Zelvo>\n", false, false},
        ShapeCase{"TwoLogs", "<Zelvo><Logs/>\n\t<Logs>\n\t</Logs>\n</Zelvo>\n", true, false},
        ShapeCase{"DeclaredEntity",
                  "<!DOCTYPE Zelvo [<!ENTITY e \"x\">]><Zelvo>\n\t<Logs>&e;\n\t</Logs>\n"
                  "</Zelvo>\n",
                  true, true},
        ShapeCase{"UndeclaredEntity", "<Zelvo>\n\t<Logs>&e;\n\t</Logs>\n</Zelvo>\n", false, false},
        ShapeCase{"GarbageBeforeTail", "garbage" + std::string(kLogTail), false, false},
        ShapeCase{"ContentAfterRoot", kOurs + "<x/>", false, false},
        ShapeCase{"LogsTooDeep", "<Zelvo><X><Logs/></X></Zelvo>", false, false},
        ShapeCase{"OtherRoot", "<Other>\n\t<Logs>\n\t</Logs>\n</Other>\n", false, false},
        ShapeCase{"Empty", "", false, false}),
    [](const ::testing::TestParamInfo<ShapeCase>& info) { return info.param.name; });

// Appending in place and rewriting a parsed file give the same bytes.
TEST_F(LogFileTest, RewritingAParsedLogKeepsItsLayout) {
  for (const std::string description :
       {"plain", "", "line\r\nbreak", "<tag> & \"q\" 'a'", "caf\xC3\xA9", "  spaced  ", "\t"}) {
    ASSERT_EQ(log_.WriteLog(nullptr, 1, 2, description, kTime), "");
  }
  const std::string content = ReadFile(LogPath());
  const LogRecord record{8, 3, "new\r\n<entry>", "12/07/26"};
  ASSERT_TRUE(ScanLog(content).appendable_in_place);
  LogDocument doc(content);
  ASSERT_TRUE(doc.Usable());
  EXPECT_EQ(doc.AppendAndSerialise(record), content.substr(0, content.size() - kLogTail.size()) +
                                                LogEntryXml(record) + std::string(kLogTail));
}

}  // namespace
}  // namespace zelvo
