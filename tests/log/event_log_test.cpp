#include "log/event_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <sys/stat.h>

#include <filesystem>

#include "log/log_test_support.h"
#include "support/fake_clock.h"
#include "support/log_reader.h"
#include "support/temp_dir.h"

namespace zelvo {
namespace {

using ::testing::ElementsAre;
using testing::FakeClock;
using testing::FakeLogSettings;
using testing::Ids;
using ::testing::IsEmpty;
using testing::ReadEntry;
using testing::ReadFile;
using testing::ReadLogEntries;
using testing::TempDir;
using testing::WriteFile;

const OleDate kTime = ToOleDate({2026, 12, 7, 20, 4, 55});

class EventLogTest : public ::testing::Test {
 protected:
  std::string LogPath() const { return dir_.File("Log.xml"); }
  std::vector<ReadEntry> Entries(const std::string& path) const {
    const auto entries = ReadLogEntries(path);
    EXPECT_TRUE(entries.has_value()) << ReadFile(path);
    return entries.value_or(std::vector<ReadEntry>{});
  }

  TempDir dir_;
  FakeClock clock_{ToOleDate({2026, 12, 7, 20, 4, 55})};
  FakeLogSettings settings_;
  EventLog log_{dir_.path(), clock_};
};

// --- Which types are written --------------------------------------------------

struct SwitchCase {
  std::string errors, warnings, information;
  std::int32_t type;
  bool written;
  std::int32_t id = 7;  // 94: the audit entries, which have a switch of their own
};

class LogSwitchTest : public EventLogTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(LogSwitchTest, WritesATypeOnlyWhenItsSwitchIsExactlyTrue) {
  const SwitchCase& c = GetParam();
  settings_.settings = LogSettings{c.errors, c.information, c.warnings, "Log.xml"};
  EXPECT_EQ(log_.WriteLog(&settings_, c.id, c.type, "text", kTime), "");
  if (!c.written) {
    EXPECT_THAT(dir_.Names(), IsEmpty()) << "a skipped entry must not even create the file";
    return;
  }
  const std::vector<ReadEntry> entries = Entries(LogPath());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].id, std::to_string(c.id));
}

INSTANTIATE_TEST_SUITE_P(Switches, LogSwitchTest,
                         ::testing::Values(SwitchCase{"true", "false", "false", 1, true},
                                           SwitchCase{"true", "false", "false", 2, false},
                                           SwitchCase{"true", "false", "false", 4, false},
                                           SwitchCase{"True", "true", "true", 1, false},
                                           SwitchCase{"1", "true", "true", 1, false},
                                           SwitchCase{" true", "true", "true", 1, false},
                                           SwitchCase{"false", "true", "false", 2, true},
                                           SwitchCase{"true", "TRUE", "true", 2, false},
                                           SwitchCase{"false", "false", "true", 4, true},
                                           SwitchCase{"true", "true", "1", 4, false},
                                           SwitchCase{"true", "true", "True", 4, false},
                                           SwitchCase{"true", "true", "true", 3, false},
                                           SwitchCase{"true", "true", "true", 0, false},
                                           SwitchCase{"true", "true", "true", 8, false},
                                           SwitchCase{"false", "false", "false", 4, true, 94},
                                           SwitchCase{"true", "true", "false", 4, false, 93}));

TEST_F(EventLogTest, WithNothingLoadedEveryTypeGoesToTheDefaultFile) {
  settings_.loaded = false;
  settings_.settings = LogSettings{"false", "false", "false", "elsewhere.xml"};
  EXPECT_EQ(log_.WriteLog(nullptr, 1, 1, "a", kTime), "");
  EXPECT_EQ(log_.WriteLog(&settings_, 2, 2, "b", kTime), "");
  EXPECT_EQ(log_.WriteLog(&settings_, 3, 4, "c", kTime), "");
  EXPECT_EQ(log_.WriteLog(&settings_, 4, 3, "d", kTime), "");
  EXPECT_EQ(settings_.reads, 0);
  EXPECT_THAT(dir_.Names(), ElementsAre("Log.xml"));
  const std::vector<ReadEntry> entries = Entries(LogPath());
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].type, "ERROR");
  EXPECT_EQ(entries[1].type, "WARNING");
  EXPECT_EQ(entries[2].type, "INFORMATION");
  EXPECT_EQ(entries[3].type, "") << "a type without a name has an empty Type";
}

TEST_F(EventLogTest, ReadsTheSettingsAgainOnEveryCall) {
  settings_.settings = LogSettings{"true", "false", "false", "first.xml"};
  EXPECT_EQ(log_.WriteLog(&settings_, 1, 1, "a", kTime), "");
  settings_.settings->LogFile = "second.xml";
  EXPECT_EQ(log_.WriteLog(&settings_, 2, 1, "b", kTime), "");
  settings_.settings->LogToFileErrors = "false";
  EXPECT_EQ(log_.WriteLog(&settings_, 3, 1, "c", kTime), "");
  EXPECT_EQ(settings_.reads, 3);
  EXPECT_THAT(Ids(Entries(dir_.File("first.xml"))), ElementsAre("1"));
  EXPECT_THAT(Ids(Entries(dir_.File("second.xml"))), ElementsAre("2"));
}

TEST_F(EventLogTest, AMissingLogElementIsAnErrorAndWritesNothing) {
  settings_.settings.reset();
  EXPECT_EQ(log_.WriteLog(&settings_, 1, 1, "a", kTime),
            "Couldn't write PreLog. Error-number: -1 Error-Descripton: The element "
            "\"Zelvo/Log/LogFile\" is missing.");
  EXPECT_THAT(dir_.Names(), IsEmpty());
}

// --- Where the file goes ------------------------------------------------------

TEST_F(EventLogTest, ResolvesTheLogFileSetting) {
  std::filesystem::create_directory(dir_.File("logs"));
  TempDir elsewhere;
  const std::string olmu = dir_.File("OlmuLog.xml");
  EXPECT_EQ(log_.ResolveLogPath(""), dir_.File("Log.xml"));
  EXPECT_EQ(log_.ResolveLogPath("app.xml"), dir_.File("app.xml"));
  EXPECT_EQ(log_.ResolveLogPath("logs/app.xml"), dir_.File("logs/app.xml"));
  EXPECT_EQ(log_.ResolveLogPath("./logs/../app.xml"), dir_.File("app.xml"));
  EXPECT_EQ(log_.ResolveLogPath("missing/app.xml"), olmu);
  EXPECT_EQ(log_.ResolveLogPath(elsewhere.File("abs.xml")), elsewhere.File("abs.xml"));
  EXPECT_EQ(log_.ResolveLogPath(elsewhere.File("no/abs.xml")), olmu);
  EXPECT_EQ(log_.ResolveLogPath("D:\\x\\y.xml"), olmu);
  EXPECT_EQ(log_.ResolveLogPath("D:/x/y.xml"), olmu);
}

TEST_F(EventLogTest, WritesToTheResolvedFile) {
  TempDir elsewhere;
  settings_.settings->LogFile = elsewhere.File("abs.xml");
  EXPECT_EQ(log_.WriteLog(&settings_, 1, 1, "absolute", kTime), "");
  settings_.settings->LogFile = "missing/app.xml";
  EXPECT_EQ(log_.WriteLog(&settings_, 2, 1, "fallback", kTime), "");
  EXPECT_THAT(Ids(Entries(elsewhere.File("abs.xml"))), ElementsAre("1"));
  EXPECT_THAT(Ids(Entries(dir_.File("OlmuLog.xml"))), ElementsAre("2"));
  EXPECT_THAT(dir_.Names(), ElementsAre("OlmuLog.xml"));
}

// The log never overwrites the configuration, its schema or its example,
// however the setting names them: the default file takes the log, with one
// warning per setting.
class ProgramFileSettingTest : public EventLogTest,
                               public ::testing::WithParamInterface<std::string> {};

TEST_P(ProgramFileSettingTest, FallsBackToTheDefaultLogWithAWarning) {
  for (const char* name : {"config.xml", "config.xsd", "config.example.xml"}) {
    WriteFile(dir_.File(name), std::string("<kept>") + name + "</kept>");
  }
  std::filesystem::create_symlink(dir_.File("config.xml"), dir_.File("link.xml"));
  std::string setting = GetParam();
  if (setting.starts_with("@")) setting = dir_.File(setting.substr(1));  // absolute
  settings_.settings->LogFile = setting;

  EXPECT_EQ(log_.WriteLog(&settings_, 1, 1, "first", kTime), "");
  EXPECT_EQ(log_.WriteLog(&settings_, 2, 1, "second", kTime), "");
  for (const char* name : {"config.xml", "config.xsd", "config.example.xml"}) {
    EXPECT_EQ(ReadFile(dir_.File(name)), std::string("<kept>") + name + "</kept>");
  }
  const std::vector<ReadEntry> entries = Entries(LogPath());
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].id, "41");
  EXPECT_EQ(entries[0].type, "WARNING");
  EXPECT_EQ(entries[0].description, LogPathRefusedText(setting, LogPath()));
  EXPECT_THAT((std::vector<std::string>{entries[1].id, entries[2].id}), ElementsAre("1", "2"));
}

INSTANTIATE_TEST_SUITE_P(Settings, ProgramFileSettingTest,
                         ::testing::Values("config.xml", "config.xsd", "config.example.xml",
                                           "./config.xml", "@config.xml", "link.xml"));

// --- The file ---------------------------------------------------------------

TEST_F(EventLogTest, FileLayoutIsIndentedOneTabPerLevel) {
  EXPECT_EQ(log_.WriteLog(nullptr, 1, 4, "A description.", kTime), "");
  EXPECT_EQ(log_.WriteLog(nullptr, 11, 1, "", ToOleDate({2026, 12, 8, 0, 0, 0})), "");
  EXPECT_EQ(ReadFile(LogPath()),
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
            "<Zelvo>\n"
            "\t<Logs>\n"
            "\t\t<Log>\n"
            "\t\t\t<ID>1</ID>\n"
            "\t\t\t<Type>INFORMATION</Type>\n"
            "\t\t\t<Description>A description.</Description>\n"
            "\t\t\t<DateTime>12/07/26 20:04:55</DateTime>\n"
            "\t\t</Log>\n"
            "\t\t<Log>\n"
            "\t\t\t<ID>11</ID>\n"
            "\t\t\t<Type>ERROR</Type>\n"
            "\t\t\t<Description/>\n"
            "\t\t\t<DateTime>12/08/26</DateTime>\n"
            "\t\t</Log>\n"
            "\t</Logs>\n"
            "</Zelvo>\n");
}

TEST_F(EventLogTest, FileReadsBackAsTheSameElementTree) {
  const std::string description = SocketErrorText(10061, "<&> \"q\"", 0, "", "", 0);
  EXPECT_EQ(log_.WriteLog(nullptr, 35, 1, description, kTime), "");
  EXPECT_EQ(log_.WriteLog(nullptr, 21, 4, std::string(log_msg::kLogWritten.text), kTime), "");

  const std::string bytes = ReadFile(LogPath());
  xmlDoc* doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                              XML_PARSE_NOBLANKS);
  ASSERT_NE(doc, nullptr);
  EXPECT_STREQ(reinterpret_cast<const char*>(doc->version), "1.0");
  EXPECT_STREQ(reinterpret_cast<const char*>(doc->encoding), "UTF-8");
  EXPECT_EQ(doc->standalone, 1);
  const xmlNode* root = xmlDocGetRootElement(doc);
  ASSERT_NE(root, nullptr);
  EXPECT_STREQ(reinterpret_cast<const char*>(root->name), "Zelvo");
  ASSERT_EQ(xmlChildElementCount(const_cast<xmlNode*>(root)), 1u);
  const xmlNode* logs = xmlFirstElementChild(const_cast<xmlNode*>(root));
  EXPECT_STREQ(reinterpret_cast<const char*>(logs->name), "Logs");
  std::vector<std::vector<std::string>> tree;
  for (xmlNode* log = logs->children; log != nullptr; log = log->next) {
    EXPECT_STREQ(reinterpret_cast<const char*>(log->name), "Log");
    EXPECT_EQ(log->properties, nullptr);
    std::vector<std::string> fields;
    for (xmlNode* field = log->children; field != nullptr; field = field->next) {
      xmlChar* text = xmlNodeGetContent(field);
      fields.push_back(std::string(reinterpret_cast<const char*>(field->name)) + "=" +
                       reinterpret_cast<const char*>(text));
      xmlFree(text);
    }
    tree.push_back(fields);
  }
  xmlFreeDoc(doc);
  EXPECT_THAT(tree, ElementsAre(ElementsAre("ID=35", "Type=ERROR", "Description=" + description,
                                            "DateTime=12/07/26 20:04:55"),
                                ElementsAre("ID=21", "Type=INFORMATION", "Description=Log written!",
                                            "DateTime=12/07/26 20:04:55")));
}

TEST_F(EventLogTest, DescriptionsAreWrittenAsUtf8) {
  EXPECT_EQ(log_.WriteLog(nullptr, 1, 1, "caf\xC3\xA9 \xE2\x82\xAC", kTime), "");  // UTF-8
  EXPECT_EQ(log_.WriteLog(nullptr, 2, 1, "caf\xE9", kTime), "");                   // ISO-8859-1
  EXPECT_EQ(log_.WriteLog(nullptr, 3, 1, "bell\x07 nul", kTime), "");
  const std::vector<ReadEntry> entries = Entries(LogPath());
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].description, "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(entries[1].description, "caf\xC3\xA9");
  EXPECT_EQ(entries[2].description, "bell\xEF\xBF\xBD nul");
}

TEST_F(EventLogTest, ALaterRunAppendsToTheFileOfAnEarlierOne) {
  EXPECT_EQ(log_.WriteLog(nullptr, 1, 4, "first run", kTime), "");
  EventLog later(dir_.path(), clock_);
  EXPECT_EQ(later.WriteLog(nullptr, 2, 4, "second run", kTime), "");
  EXPECT_EQ(log_.WriteLog(nullptr, 3, 4, "first run again", kTime), "");
  EXPECT_THAT(Ids(Entries(LogPath())), ElementsAre("1", "2", "3"));
}

TEST_F(EventLogTest, AFileWrittenElsewhereKeepsItsEntriesAndContent) {
  const std::string foreign =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
      "<!-- kept by hand -->\r\n"
      "<Zelvo>\r\n"
      "  <Logs>\r\n"
      "    <Log><ID>1</ID><Type>ERROR</Type><Description>caf\xE9</Description>"
      "<DateTime>x</DateTime></Log>\r\n"
      "    <Log>\r\n"
      "      <ID>2</ID>\r\n"
      "      <Type>WARNING</Type>\r\n"
      "      <Description>two</Description>\r\n"
      "      <DateTime>y</DateTime>\r\n"
      "    </Log>\r\n"
      "  </Logs>\r\n"
      "  <Note>by hand</Note>\r\n"
      "</Zelvo>\r\n";
  WriteFile(LogPath(), foreign);
  ::chmod(LogPath().c_str(), 0640);
  EXPECT_EQ(log_.WriteLog(nullptr, 3, 4, "three", kTime), "");
  EXPECT_EQ(log_.WriteLog(nullptr, 4, 4, "four", kTime), "");

  const std::vector<ReadEntry> entries = Entries(LogPath());
  EXPECT_THAT(Ids(entries), ElementsAre("1", "2", "3", "4"));
  EXPECT_EQ(entries[0].description, "caf\xC3\xA9");
  EXPECT_EQ(entries[1], (ReadEntry{"2", "WARNING", "two", "y"}));
  const std::string bytes = ReadFile(LogPath());
  EXPECT_NE(bytes.find("<!-- kept by hand -->"), std::string::npos);
  EXPECT_NE(bytes.find("<Note>by hand</Note>"), std::string::npos);
  EXPECT_THAT(dir_.Names(), ElementsAre("Log.xml")) << "nothing renamed aside, no temporary left";
  struct stat info {};
  ASSERT_EQ(::stat(LogPath().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u) << "the rewritten file keeps its permissions";
}

TEST_F(EventLogTest, AFileInTheOldLayoutIsTakenOverIntoThisOne) {
  WriteFile(LogPath(),
            "<?xml version=\"1.0\"?><Zelvo><Logs><Log><ID>1</ID><Type>ERROR</Type>"
            "<Description>a</Description><DateTime>b</DateTime></Log></Logs></Zelvo>");
  EXPECT_EQ(log_.WriteLog(nullptr, 2, 1, "c", kTime), "");
  const std::string bytes = ReadFile(LogPath());
  EXPECT_TRUE(bytes.starts_with(
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<Zelvo>\n\t<Logs>\n"
      "\t\t<Log>\n\t\t\t<ID>1</ID>\n"))
      << bytes;
  EXPECT_TRUE(
      bytes.ends_with("\t\t\t<ID>2</ID>\n\t\t\t<Type>ERROR</Type>\n"
                      "\t\t\t<Description>c</Description>\n"
                      "\t\t\t<DateTime>12/07/26 20:04:55</DateTime>\n"
                      "\t\t</Log>\n\t</Logs>\n</Zelvo>\n"))
      << bytes;
}

// A file that does not begin as a log of this program is never changed or
// renamed, also behind a link: the next file in line takes the log, with one
// warning naming the file. An empty file is a new log.
class ForeignFileTest : public EventLogTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(ForeignFileTest, IsLeftAloneAndTheNextFileTakesTheLog) {
  const std::string olmu = dir_.File("OlmuLog.xml");
  WriteFile(dir_.File("hosts"), GetParam());
  std::filesystem::create_symlink(dir_.File("hosts"), dir_.File("other.xml"));
  settings_.settings->LogFile = "other.xml";
  EXPECT_EQ(log_.WriteLog(&settings_, 5, 4, "new", kTime), "");
  EXPECT_EQ(log_.WriteLog(&settings_, 6, 4, "next", kTime), "");
  EXPECT_THAT(Ids(Entries(LogPath())), ElementsAre("42", "5", "6"));
  EXPECT_EQ(Entries(LogPath())[0].description,
            LogFileNotALogText(dir_.File("other.xml"), LogPath()));

  std::filesystem::rename(LogPath(), dir_.File("earlier.xml"));
  std::filesystem::create_symlink(dir_.File("hosts"), LogPath());
  EXPECT_EQ(log_.WriteLog(&settings_, 7, 4, "last", kTime), "");
  EXPECT_THAT(Ids(Entries(olmu)), ElementsAre("42", "7"));
  EXPECT_EQ(ReadFile(dir_.File("hosts")), GetParam());
  EXPECT_THAT(dir_.Names(),
              ElementsAre("Log.xml", "OlmuLog.xml", "earlier.xml", "hosts", "other.xml"));

  WriteFile(olmu, GetParam());
  EXPECT_EQ(log_.WriteLog(&settings_, 8, 4, "nowhere", kTime),
            "Couldn't write PreLog. Error-number: 22 Error-Descripton: Not a log of Zelvo, left "
            "as it is: \"" +
                olmu + "\": Invalid argument");
  EXPECT_EQ(ReadFile(olmu), GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Files, ForeignFileTest,
    ::testing::Values(std::string("this is not XML"), std::string("127.0.0.1\tlocalhost\n"),
                      std::string("<?xml version=\"1.0\"?>\n<Other>\n\t<Logs/>\n</Other>\n"),
                      std::string("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Zelvo>\n"
                                  "\t<Settings/>\n\t<Logs/>\n</Zelvo>\n"),
                      std::string("\n"), std::string("\xFF\xFE<\0Z\0", 6)));

TEST_F(EventLogTest, AnEmptyFileIsANewLog) {
  WriteFile(LogPath(), "");
  EXPECT_EQ(log_.WriteLog(nullptr, 1, 4, "a", kTime), "");
  EXPECT_THAT(Ids(Entries(LogPath())), ElementsAre("1"));
}

// A log of this program damaged too far back to cut is renamed aside, never
// deleted.
TEST_F(EventLogTest, TwoUnreadableLogsInOneSecondGetDistinctNames) {
  const std::string damaged = "<Zelvo><Logs><Log>&x;</Log><Log></Log><Log></Log><Log></Log>";
  WriteFile(LogPath(), damaged + "first");
  EXPECT_EQ(log_.WriteLog(nullptr, 1, 4, "a", kTime), "");
  WriteFile(LogPath(), damaged + "second");
  EXPECT_EQ(log_.WriteLog(nullptr, 2, 4, "b", kTime), "");
  EXPECT_THAT(dir_.Names(), ElementsAre("Log.xml", "Log.xml.corrupt-20261207-200455",
                                        "Log.xml.corrupt-20261207-200455-2"));
  EXPECT_EQ(ReadFile(dir_.File("Log.xml.corrupt-20261207-200455")), damaged + "first");
  EXPECT_EQ(ReadFile(dir_.File("Log.xml.corrupt-20261207-200455-2")), damaged + "second");
  EXPECT_THAT(Ids(Entries(LogPath())), ElementsAre("2"));
}

// --- The pre-log --------------------------------------------------------------

TEST_F(EventLogTest, FlushWritesTheBufferInOrderWithItsOwnTimes) {
  PreLog prelog(clock_);
  clock_.SetLocal({2026, 12, 7, 8, 0, 1});
  prelog.WritePreLog(1, 4, std::string(log_msg::kStarted.text));
  clock_.SetLocal({2026, 12, 7, 8, 0, 2});
  prelog.WritePreLog(11, 1, "checksum");
  clock_.SetLocal({2026, 12, 7, 9, 30, 0});
  prelog.WritePreLog(18, 4, std::string(log_msg::kTryingToWriteLog.text));
  clock_.SetLocal({2026, 12, 8, 23, 59, 59});

  EXPECT_EQ(log_.FlushPreLog(&settings_, prelog), "");
  EXPECT_THAT(
      Entries(LogPath()),
      ElementsAre(
          ReadEntry{"1", "INFORMATION", std::string(log_msg::kStarted.text), "12/07/26 08:00:01"},
          ReadEntry{"11", "ERROR", "checksum", "12/07/26 08:00:02"},
          ReadEntry{"18", "INFORMATION", std::string(log_msg::kTryingToWriteLog.text),
                    "12/07/26 09:30:00"}));

  // The buffer is never emptied: a second flush writes everything again.
  EXPECT_EQ(log_.FlushPreLog(&settings_, prelog), "");
  EXPECT_THAT(Ids(Entries(LogPath())), ElementsAre("1", "11", "18", "1", "11", "18"));
}

TEST_F(EventLogTest, FlushOfAnEmptyBufferWritesNothing) {
  PreLog prelog(clock_);
  EXPECT_EQ(log_.FlushPreLog(&settings_, prelog), "");
  EXPECT_THAT(dir_.Names(), IsEmpty());
}

TEST_F(EventLogTest, FlushKeepsTheSwitches) {
  settings_.settings = LogSettings{"true", "false", "false", "Log.xml"};
  PreLog prelog(clock_);
  prelog.WritePreLog(1, 4, "info");
  prelog.WritePreLog(11, 1, "error");
  prelog.WritePreLog(4, 2, "warning");
  EXPECT_EQ(log_.FlushPreLog(&settings_, prelog), "");
  EXPECT_THAT(Ids(Entries(LogPath())), ElementsAre("11"));
}

// Fails every write after the first `allowed` Log settings reads.
class SettingsFailingAfter final : public LogSettingsSource {
 public:
  explicit SettingsFailingAfter(int allowed) : allowed_(allowed) {}
  bool IsLoaded() const override { return true; }
  std::optional<LogSettings> ReadLogSettings(std::string& error) const override {
    calls.push_back(static_cast<int>(calls.size()) + 1);
    if (static_cast<int>(calls.size()) > allowed_) {
      error = "Log section missing";
      return std::nullopt;
    }
    return LogSettings{"true", "true", "true", ""};
  }
  mutable std::vector<int> calls;

 private:
  int allowed_;
};

TEST_F(EventLogTest, FlushStopsAtItsFirstFailure) {
  PreLog prelog(clock_);
  prelog.WritePreLog(1, 4, "one");
  prelog.WritePreLog(3, 4, "three");
  prelog.WritePreLog(6, 4, "six");
  SettingsFailingAfter config(1);
  EXPECT_EQ(log_.FlushPreLog(&config, prelog),
            "Couldn't write PreLog. Error-number: -1 Error-Descripton: Couldn't write PreLog. "
            "Error-number: -1 Error-Descripton: Log section missing");
  EXPECT_THAT(config.calls, ElementsAre(1, 2)) << "the entry after the failure is not tried";
  EXPECT_THAT(Ids(Entries(LogPath())), ElementsAre("1"));
}

}  // namespace
}  // namespace zelvo
