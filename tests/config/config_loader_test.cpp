#include "config/config_loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "config/config_files.h"
#include "config/config_test_support.h"
#include "files/file_helpers.h"
#include "model/date_time.h"
#include "model/flags.h"
#include "model/raised_error.h"
#include "outputs/memory_port.h"
#include "support/example_config.h"
#include "support/fake_clock.h"
#include "support/sasl_server.h"
#include "support/temp_dir.h"

namespace zelvo {
namespace {

using testing::EditedExample;
using testing::Entries;
using testing::Entry;
using testing::ExampleConfigText;
using testing::FakeClock;
using testing::Ids;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const Entry kCreating{13, 4, std::string(log_msg::kCreatingParser.text)};
const Entry kReadingSchema{14, 4, std::string(log_msg::kReadingSchema.text)};
const Entry kLoading{15, 4, std::string(log_msg::kLoadingConfig.text)};
const Entry kValidating{16, 4, std::string(log_msg::kValidatingConfig.text)};
const Entry kLoaded{17, 4, std::string(log_msg::kConfigLoaded.text)};
const Entry kFaulty{22, 2, std::string(log_msg::kConfigFaulty.text)};
const Entry kExampleWritten{23, 4, std::string(log_msg::kExampleCreated.text)};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return lines;
    start = end + 2;
  }
}

// The 1-based line of `text` on which `needle` first stands, and that line.
std::pair<int, std::string> LineOf(const std::string& text, const std::string& needle) {
  const std::vector<std::string> lines = Lines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find(needle) != std::string::npos) return {static_cast<int>(i) + 1, lines[i]};
  }
  throw std::runtime_error("no line holds " + needle);
}

// Byte offset of the start of 1-based line `line`.
std::size_t LineStart(const std::string& text, int line) {
  std::size_t start = 0;
  for (int i = 1; i < line; ++i) start = text.find('\n', start) + 1;
  return start;
}

// The value after "Label: " on the report line that begins with it.
std::string Field(const std::vector<std::string>& report, const std::string& label) {
  for (const std::string& line : report) {
    if (line.starts_with(label + ": ")) return line.substr(label.size() + 2);
  }
  throw std::runtime_error("no report line " + label);
}

class ConfigLoaderTest : public ::testing::Test {
 protected:
  static constexpr OleDate kNow = 46082.75;  // 1 March 2026, 18:00

  // Writes the files as a first start would, then replaces config.xml.
  void Prepare(const std::string& config_text) {
    PreLog setup(clock_);
    EnsureConfigFiles(dir_.path(), setup);
    WriteFile(dir_.File("config.xml"), config_text);
  }

  void Load() { LoadConfigDocument(dir_.path(), prelog_, document_); }

  // Loads and expects the load to fail; returns the raised description.
  std::string LoadFailure() {
    try {
      Load();
    } catch (const RaisedError& error) {
      EXPECT_EQ(error.Number(), -1);
      return error.Description();
    }
    ADD_FAILURE() << "the load succeeded";
    return {};
  }

  TempDir dir_;
  FakeClock clock_{kNow};
  PreLog prelog_{clock_};
  ConfigDocument document_;
};

// --- Loading and validation --------------------------------------------------

TEST_F(ConfigLoaderTest, ExampleLoadsWithEntriesThirteenToSeventeen) {
  Prepare(ExampleConfigText());
  EXPECT_FALSE(document_.IsLoaded());
  Load();
  EXPECT_EQ(Entries(prelog_),
            (std::vector<Entry>{kCreating, kReadingSchema, kLoading, kValidating, kLoaded}));
  EXPECT_TRUE(document_.IsLoaded());
  EXPECT_FALSE(FileExists(dir_.File("config.example.xml")));
}

TEST_F(ConfigLoaderTest, MalformedConfigGivesTheLoadReport) {
  const std::string broken = EditedExample("<IRCPort>6667</IRCPort>", "<IRCPort>6667</IRCPrt>");
  Prepare(broken);
  ::testing::internal::CaptureStderr();
  const std::string description = LoadFailure();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

  EXPECT_EQ(Entries(prelog_),
            (std::vector<Entry>{kCreating, kReadingSchema, kLoading, kFaulty, kExampleWritten}));
  const std::vector<std::string> report = Lines(description);
  ASSERT_EQ(report.size(), 8U) << description;
  EXPECT_EQ(report[0], "Couldn't load \"config.xml\" into moXMLConfig.");
  EXPECT_EQ(report[1].substr(0, 12), "Error-Code: ");
  EXPECT_NE(Field(report, "Error-Code"), "0");
  EXPECT_NE(Field(report, "Error-Reason").find("IRCPort"), std::string::npos) << description;
  EXPECT_EQ(report[3].substr(0, 10), "File-Pos: ");

  const auto [line, source] = LineOf(broken, "</IRCPrt>");
  EXPECT_EQ(Field(report, "Line"), std::to_string(line));
  EXPECT_EQ(Field(report, "Source-Text"), source);
  EXPECT_EQ(Field(report, "URL"), dir_.File("config.xml"));
  // The column points into the offending end tag; the file position is the same place.
  const int column = std::stoi(Field(report, "Line-Pos"));
  EXPECT_GT(column, static_cast<int>(source.find("</IRCPrt>")));
  EXPECT_LE(column, static_cast<int>(source.size()) + 1);
  EXPECT_EQ(std::stoul(Field(report, "File-Pos")), LineStart(broken, line) + column - 1);

  EXPECT_EQ(ReadFile(dir_.File("config.example.xml")), ExampleConfigText());
  EXPECT_EQ(ReadFile(dir_.File("config.xml")), broken);
  EXPECT_FALSE(document_.IsLoaded());
}

TEST_F(ConfigLoaderTest, UnclosedDocumentReportsItsLastLine) {
  const std::string cut = ExampleConfigText().substr(0, ExampleConfigText().find("\t<Log>"));
  Prepare(cut);
  const std::vector<std::string> report = Lines(LoadFailure());
  ASSERT_EQ(report.size(), 8U);
  EXPECT_EQ(report[0], "Couldn't load \"config.xml\" into moXMLConfig.");
  EXPECT_EQ(Field(report, "Line"), std::to_string(Lines(cut).size()));
}

// libxml2 words some reasons over two lines ("... indicate encoding !\nBytes:
// 0xE4 ..."): the report keeps its eight lines and no bare line feed.
TEST_F(ConfigLoaderTest, AMultiLineReasonStaysOnOneLineOfTheReport) {
  Prepare(testing::ReplacedOnce(EditedExample("encoding=\"ISO-8859-1\"", "encoding=\"UTF-8\""),
                                "<IRCNickname>Zelvo", "<IRCNickname>Zelv\xE4"));
  const std::string description = LoadFailure();
  const std::vector<std::string> report = Lines(description);
  ASSERT_EQ(report.size(), 8U) << description;
  for (const std::string& line : report) {
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
  }
  EXPECT_NE(Field(report, "Error-Reason").find("Bytes: 0xE4"), std::string::npos) << description;
}

TEST_F(ConfigLoaderTest, ConfigWithoutLogGivesTheValidationReport) {
  std::string text = ExampleConfigText();
  const std::size_t from = text.find("\t<Log>");
  const std::size_t to = text.find("</Log>\r\n") + 8;
  text.erase(from, to - from);
  Prepare(text);
  ::testing::internal::CaptureStderr();
  const std::string description = LoadFailure();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

  EXPECT_EQ(Entries(prelog_), (std::vector<Entry>{kCreating, kReadingSchema, kLoading, kValidating,
                                                  kFaulty, kExampleWritten}));
  const std::vector<std::string> report = Lines(description);
  ASSERT_EQ(report.size(), 8U) << description;
  EXPECT_EQ(report[0], "Invalid \"config.xml\" based on \"config.xsd\".");
  EXPECT_NE(Field(report, "Error-Code"), "0");
  EXPECT_NE(Field(report, "Error-Reason").find("Log"), std::string::npos) << description;
  const auto [line, source] = LineOf(text, "<Zelvo>");
  EXPECT_EQ(Field(report, "Line"), std::to_string(line));
  EXPECT_EQ(Field(report, "Source-Text"), source);
  EXPECT_EQ(Field(report, "URL"), dir_.File("config.xml"));
  EXPECT_EQ(ReadFile(dir_.File("config.example.xml")), ExampleConfigText());
  EXPECT_EQ(ReadFile(dir_.File("config.xml")), text);

  // The invalid document stays loaded; its Log section is missing.
  EXPECT_TRUE(document_.IsLoaded());
  std::string error;
  EXPECT_FALSE(document_.ReadLogSettings(error).has_value());
  EXPECT_EQ(error, "The element \"Zelvo/Log\" is missing in \"config.xml\".");
}

TEST_F(ConfigLoaderTest, ValueOfTheWrongTypeIsReportedOnItsLine) {
  const std::string text = EditedExample("<WindowX>50</WindowX>", "<WindowX>fifty</WindowX>");
  Prepare(text);
  const std::vector<std::string> report = Lines(LoadFailure());
  ASSERT_EQ(report.size(), 8U);
  EXPECT_EQ(report[0], "Invalid \"config.xml\" based on \"config.xsd\".");
  const auto [line, source] = LineOf(text, "<WindowX>");
  EXPECT_EQ(Field(report, "Line"), std::to_string(line));
  EXPECT_EQ(Field(report, "Source-Text"), source);
  EXPECT_NE(Field(report, "Error-Reason").find("fifty"), std::string::npos);
}

TEST_F(ConfigLoaderTest, ExampleThatCannotBeWrittenRaisesTheSaveError) {
  Prepare("<Zelvo>");
  ASSERT_EQ(::mkdir(dir_.File("config.example.xml").c_str(), 0755), 0);
  const std::string description = LoadFailure();
  EXPECT_TRUE(description.starts_with("The file couldn't be saved:\r\n")) << description;
  EXPECT_EQ(Ids(prelog_), (std::vector<std::int32_t>{13, 14, 15, 22}));
}

TEST_F(ConfigLoaderTest, SchemaThatDoesNotCompileRaisesTheLibraryError) {
  Prepare(ExampleConfigText());
  WriteFile(dir_.File("config.xsd"),
            "<xsd:schema xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">\r\n"
            "\t<xsd:element name=\"Zelvo\" type=\"NoSuchType\"/>\r\n</xsd:schema>\r\n");
  try {
    Load();
    FAIL() << "the load succeeded";
  } catch (const RaisedError& error) {
    EXPECT_GT(error.Number(), 0);
    EXPECT_TRUE(error.Description().starts_with("Couldn't read \"config.xsd\": "))
        << error.Description();
    EXPECT_NE(error.Description().find("NoSuchType"), std::string::npos);
  }
  EXPECT_EQ(Ids(prelog_), (std::vector<std::int32_t>{13, 14}));
  EXPECT_FALSE(document_.IsLoaded());
}

// An external entity is never read: the load fails where it is referenced.
class ExternalEntityTest : public ConfigLoaderTest,
                           public ::testing::WithParamInterface<const char*> {};

TEST_P(ExternalEntityTest, IsRefusedAndNeverRead) {
  WriteFile(dir_.File("secret.txt"), "TOPSECRET");
  WriteFile(dir_.File("secret.dtd"), "<!ENTITY leak \"TOPSECRET\">");
  std::string doctype = GetParam();
  doctype.replace(doctype.find("$DIR"), 4, dir_.path());
  std::string text = EditedExample("<Zelvo>", doctype + "<Zelvo>");
  text = text.replace(text.find("irc.libera.chat"), 15, "&leak;");
  Prepare(text);
  const std::string description = LoadFailure();
  EXPECT_TRUE(description.starts_with("Couldn't load \"config.xml\" into moXMLConfig.\r\n"))
      << description;
  EXPECT_NE(description.find("External resource refused: file://" + dir_.path()), std::string::npos)
      << description;
  EXPECT_EQ(description.find("TOPSECRET"), std::string::npos);
  EXPECT_FALSE(document_.IsLoaded());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ExternalEntityTest,
    ::testing::Values(
        "<!DOCTYPE Zelvo [\r\n<!ENTITY leak SYSTEM \"file://$DIR/secret.txt\">\r\n]>\r\n",
        "<!DOCTYPE Zelvo [\r\n<!ENTITY % outside SYSTEM \"file://$DIR/secret.dtd\">"
        "\r\n%outside;\r\n]>\r\n"));

TEST_F(ConfigLoaderTest, InternalEntitiesGiveTheirText) {
  std::string text = EditedExample(
      "<Zelvo>", "<!DOCTYPE Zelvo [\r\n<!ENTITY host \"irc.example.org\">\r\n]>\r\n<Zelvo>");
  text = text.replace(text.find("irc.libera.chat"), 15, "&host;");
  Prepare(text);
  Load();
  EXPECT_EQ(ReadSettings(document_).gsIRCDomain, "irc.example.org");
}

// --- Reading the example -------------------------------------------------------

// The settings after Output8, none of which the example sets.
auto OptionalSettings(const Settings& s) {
  return std::tie(s.OutputDevices, s.OutputDevice, s.IRCPassword, s.IRCChannelKey,
                  s.IRCAltNickname, s.IRCTLS, s.IRCTLSVerify, s.IRCTLSCAFile, s.IRCTLSFingerprint,
                  s.IRCClientCertificate, s.IRCSASLMechanism, s.IRCSASLUsername, s.IRCSASLPassword,
                  s.IRCSASLRequired, s.IRCRejoinDelay, s.IRCPingTimeout, s.IRCReconnect,
                  s.MQTTBroker, s.MQTTTopic, s.MQTTUsername, s.MQTTPassword, s.MQTTCAFile,
                  s.MQTTClientId, s.MQTTDiscovery, s.OutputsOnExit, s.OutputsOnDisconnect,
                  s.LogSwitches, s.IgnoreReplayedLines, s.SenderRateLimit, s.OutputMinInterval,
                  s.OutputsOnStart, s.MQTTIgnoreRetainedCommands, s.IRCServers, s.IRCBindAddress,
                  s.IRCSASLKeyFile, s.IRCSASLKey, s.IRCSTS, s.IRCOwners);
}

TEST_F(ConfigLoaderTest, ExampleSettings) {
  Prepare(ExampleConfigText());
  Load();
  const Settings settings = ReadSettings(document_);
  EXPECT_EQ(settings.gsIRCDomain, "irc.libera.chat");
  EXPECT_EQ(settings.giIRCPort, 6667);
  EXPECT_EQ(settings.gsIRCChannel, "#zelvo");
  EXPECT_EQ(settings.gsIRCUser, "Zelvo");
  EXPECT_EQ(settings.gsIRCNickname, "Zelvo");
  EXPECT_EQ(settings.giWindowState, 0);
  EXPECT_FALSE(settings.gbWindowShow);
  EXPECT_EQ(settings.giWindowX, 50);
  EXPECT_EQ(settings.giWindowY, 20);
  EXPECT_EQ(settings.giWindowWidth, 900);
  EXPECT_EQ(settings.giWindowHeight, 700);
  EXPECT_EQ(settings.OutputDevice, "auto");
  // It sets none of the optional settings: they keep their defaults.
  EXPECT_EQ(OptionalSettings(settings), OptionalSettings(Settings{}));

  std::string error;
  const std::optional<LogSettings> log = document_.ReadLogSettings(error);
  ASSERT_TRUE(log.has_value()) << error;
  EXPECT_EQ(log->LogToFileErrors, "true");
  EXPECT_EQ(log->LogToFileInformation, "false");
  EXPECT_EQ(log->LogToFileWarnings, "false");
  EXPECT_EQ(log->LogFile, "Log.xml");
}

TEST_F(ConfigLoaderTest, ExampleRules) {
  Prepare(ExampleConfigText());
  Load();
  IOCommands commands;
  ReadIOCommands(document_, clock_, commands);

  struct Expected {
    std::string name;
    std::string trigger;
    std::int32_t auto_return;
    std::int32_t execute_limit;
    std::int32_t flags;
  };
  const std::vector<Expected> expected = {
      {"Saftblandare", "*PRIVMSG*!Saft*", 15, 20, 33}, {"Buzzer", "*PRIVMSG*!Saft*", 2, 20, 2064},
      {"Buzz", "*PRIVMSG*!Buzz*", 0, 0, 8208},         {"Disco-Kula On", "*Disco On*", 0, 0, 296},
      {"Disco-Kula Off", "*Disco Off*", 0, 0, 584},
  };
  ASSERT_EQ(commands.Count(), 5);
  for (std::int32_t i = 1; i <= commands.Count(); ++i) {
    const auto command = commands.Item(i);
    const Expected& want = expected[static_cast<std::size_t>(i - 1)];
    SCOPED_TRACE(want.name);
    EXPECT_EQ(command->IOName(), want.name);
    EXPECT_EQ(command->IRCTrigger(), want.trigger);
    EXPECT_EQ(command->AutoReturn(), want.auto_return);
    EXPECT_EQ(command->ExecuteLimit(), want.execute_limit);
    EXPECT_EQ(command->ExtraFlags(), want.flags);
    EXPECT_EQ(command->LastUsed(), OneYearEarlier(kNow));
    EXPECT_TRUE(command->AutoReturnComplete());
    ASSERT_EQ(command->Count(), 1);
    EXPECT_EQ(command->Item(1)->Username(), "*");
    EXPECT_EQ(command->Item(1)->Nickname(), "*");
  }
}

TEST_F(ConfigLoaderTest, ExampleOutputNamesWithoutTouchingThePort) {
  Prepare(ExampleConfigText());
  Load();
  MemoryPort port;
  Outputs outputs(port);
  ReadOutputNames(document_, outputs);
  const std::vector<std::string> names = {"Saftblandare", "Disco-Kula", "Buzzer", "N/C",
                                          "N/C",          "N/C",        "N/C",    "N/C"};
  for (int n = 1; n <= kOutputCount; ++n) EXPECT_EQ(outputs.OutputName(n), names[n - 1]);
  EXPECT_TRUE(port.Written().empty());
}

// --- Variations ------------------------------------------------------------------

TEST_F(ConfigLoaderTest, OutputDeviceOnlyAfterOutput8) {
  Prepare(EditedExample("\t\t<Output1>", "\t\t<OutputDevice>auto</OutputDevice>\r\n\t\t<Output1>"));
  EXPECT_TRUE(LoadFailure().starts_with("Invalid \"config.xml\" based on \"config.xsd\"."));
}

TEST_F(ConfigLoaderTest, MissingExecuteLimitValidatesButCannotBeRead) {
  Prepare(EditedExample(" ExecuteLimit=\"0\"", ""));
  Load();
  EXPECT_EQ(Ids(prelog_).back(), 17);
  IOCommands commands;
  commands.Add(std::make_shared<IOCommand>(kNow));
  try {
    ReadIOCommands(document_, clock_, commands);
    FAIL() << "expected an error";
  } catch (const RaisedError& error) {
    EXPECT_EQ(error.Number(), -1);
    EXPECT_EQ(error.Description(),
              "The attribute \"ExecuteLimit\" is missing in IOCommand 3 of \"config.xml\".");
  }
  EXPECT_EQ(commands.Count(), 1);  // left as it was
}

TEST_F(ConfigLoaderTest, MissingUserAttributeIsNamed) {
  Prepare(EditedExample("<User Username=\"*\" Nickname=\"*\" />", "<User Username=\"*\" />"));
  Load();
  IOCommands commands;
  try {
    ReadIOCommands(document_, clock_, commands);
    FAIL() << "expected an error";
  } catch (const RaisedError& error) {
    EXPECT_EQ(error.Description(),
              "The attribute \"Nickname\" is missing in a User of IOCommand 1 of \"config.xml\".");
  }
}

TEST_F(ConfigLoaderTest, WindowShowOneIsTrue) {
  Prepare(EditedExample("<WindowShow>false</WindowShow>", "<WindowShow>1</WindowShow>"));
  Load();
  EXPECT_TRUE(ReadSettings(document_).gbWindowShow);
}

TEST_F(ConfigLoaderTest, UsersAndFlagsInDocumentOrderCommentsIgnored) {
  const std::string rule =
      "\t<IOCommands>\r\n"
      "\t\t<!-- switched by the kitchen -->\r\n"
      "\t\t<?zelvo note?>\r\n"
      "\t\t<IOCommand IOName=\"Lamp\" IRCTrigger=\"*lamp*\" AutoReturn=\" 2 \" "
      "ExecuteLimit=\"+4\">\r\n"
      "\t\t\t<AllowedUsers>\r\n"
      "\t\t\t\t<User Username=\"~anna\" Nickname=\"Anna\" />\r\n"
      "\t\t\t\t<!-- <User Username=\"*\" Nickname=\"*\" /> -->\r\n"
      "\t\t\t\t<User Username=\"~bo\" Nickname=\"Bo*\" />\r\n"
      "\t\t\t</AllowedUsers>\r\n"
      "\t\t\t<Flags>\r\n"
      "\t\t\t\t<Flag>SetOutput4On</Flag>\r\n"
      "\t\t\t\t<!--<Flag>SetOutput2On</Flag>-->\r\n"
      "\t\t\t\t<Flag>setoutput8toggle</Flag>\r\n"
      "\t\t\t\t<Flag> PulseQuickly</Flag>\r\n"
      "\t\t\t</Flags>\r\n"
      "\t\t</IOCommand>\r\n"
      "\t\t<!-- end -->\r\n"
      "\t</IOCommands>\r\n";
  std::string text = ExampleConfigText();
  const std::size_t from = text.find("\t<IOCommands>");
  const std::size_t to = text.find("</IOCommands>\r\n") + 15;
  Prepare(text.replace(from, to - from, rule));
  Load();
  IOCommands commands;
  ReadIOCommands(document_, clock_, commands);
  ASSERT_EQ(commands.Count(), 1);
  const auto command = commands.Item(1);
  EXPECT_EQ(command->IOName(), "Lamp");
  EXPECT_EQ(command->AutoReturn(), 2);
  EXPECT_EQ(command->ExecuteLimit(), 4);
  // " PulseQuickly" with its blank is no flag name; the comment is no flag.
  EXPECT_EQ(command->ExtraFlags(), OnBit(4) | ToggleBit(8));
  ASSERT_EQ(command->Count(), 2);
  EXPECT_EQ(command->Item(1)->Username(), "~anna");
  EXPECT_EQ(command->Item(1)->Nickname(), "Anna");
  EXPECT_EQ(command->Item(2)->Username(), "~bo");
  EXPECT_EQ(command->Item(2)->Nickname(), "Bo*");
}

TEST_F(ConfigLoaderTest, TextsAreUtf8WhateverTheFileEncoding) {
  const std::string utf8_name = "Saftbland\xC3\xA4re";
  Prepare(EditedExample("<Output1>Saftblandare</Output1>", "<Output1>Saftbland\xE4re</Output1>"));
  Load();
  MemoryPort port;
  Outputs outputs(port);
  ReadOutputNames(document_, outputs);
  EXPECT_EQ(outputs.OutputName(1), utf8_name);

  std::string utf8 = EditedExample("encoding=\"ISO-8859-1\"", "encoding=\"UTF-8\"");
  utf8.replace(utf8.find("Saftblandare</Output1>"), 12, "Saftbland\xC3\xA4re \xE2\x82\xAC");
  WriteFile(dir_.File("config.xml"), utf8);
  PreLog prelog(clock_);
  LoadConfigDocument(dir_.path(), prelog, document_);
  ReadOutputNames(document_, outputs);
  EXPECT_EQ(outputs.OutputName(1), utf8_name + " \xE2\x82\xAC");
}

TEST_F(ConfigLoaderTest, NothingLoadedAnswersNoSettings) {
  std::string error;
  EXPECT_FALSE(document_.IsLoaded());
  EXPECT_FALSE(document_.ReadLogSettings(error).has_value());
  EXPECT_FALSE(error.empty());
  EXPECT_THROW(ReadSettings(document_), RaisedError);
}

// --- Optional settings ---------------------------------------------------------

// One element of Settings as it stands in the file.
std::string Element(const std::string& name, const std::string& text) {
  return "\t\t<" + name + ">" + text + "</" + name + ">\r\n";
}

// The example with `elements` after Output8.
std::string WithSettings(const std::string& elements) {
  return EditedExample("</Output8>\r\n", "</Output8>\r\n" + elements);
}

std::string Text(const std::string& value) {
  return value;
}
std::string Text(bool value) {
  return value ? "true" : "false";
}
std::string Text(std::int32_t value) {
  return std::to_string(value);
}
std::string Text(const Settings::RateLimit& limit) {
  return std::to_string(limit.count) + "/" + std::to_string(limit.seconds);
}
std::string Text(const std::vector<ServerAddress>& servers) {
  std::string joined;
  for (const ServerAddress& server : servers) joined += "[" + HostPortText(server) + "]";
  return joined;
}
std::string Text(const std::vector<std::string>& values) {
  std::string joined;
  for (const std::string& value : values) joined += "[" + value + "]";
  return joined;
}

#define ZELVO_FIELD(member) #member, [](const Settings& s) { return Text(s.member); }

struct SettingCase {
  std::string elements;  // after Output8
  std::string field;
  std::string (*read)(const Settings&);
  std::string expected;
};

class SettingValueTest : public ConfigLoaderTest,
                         public ::testing::WithParamInterface<SettingCase> {};

TEST_P(SettingValueTest, IsRead) {
  const SettingCase& c = GetParam();
  Prepare(WithSettings(c.elements));
  Load();
  EXPECT_EQ(c.read(ReadSettings(document_)), c.expected) << c.field << " from " << c.elements;
}

const std::string kPlainLogin = Element("IRCSASLMechanism", "PLAIN") +
                                Element("IRCSASLUsername", "u") + Element("IRCSASLPassword", "p");
const std::string kFingerprint = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
const std::string kFingerprintWithColons =
    "01:23:45:67:89:AB:CD:EF:01:23:45:67:89:ab:cd:ef:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:ab:cd:"
    "ef";

INSTANTIATE_TEST_SUITE_P(
    Values, SettingValueTest,
    ::testing::Values(
        SettingCase{Element("OutputDevice", "file:/tmp/port.log"), ZELVO_FIELD(OutputDevices),
                    "[file:/tmp/port.log]"},
        SettingCase{Element("OutputDevice", " file:/tmp/a ") +
                        Element("OutputDevice", "gpio:gpiochip0:17,18,-,-,-,-,-,!27"),
                    ZELVO_FIELD(OutputDevices),
                    "[file:/tmp/a][gpio:gpiochip0:17,18,-,-,-,-,-,!27]"},
        SettingCase{Element("OutputDevice", "file:/tmp/a") + Element("OutputDevice", "mqtt:x"),
                    ZELVO_FIELD(OutputDevice), "file:/tmp/a"},
        SettingCase{Element("OutputDevice", " ") + Element("OutputDevice", "file:/tmp/b"),
                    ZELVO_FIELD(OutputDevices), "[auto][file:/tmp/b]"},
        SettingCase{Element("IRCPassword", " pass word "), ZELVO_FIELD(IRCPassword), " pass word "},
        SettingCase{Element("IRCChannelKey", "k3y"), ZELVO_FIELD(IRCChannelKey), "k3y"},
        SettingCase{Element("IRCAltNickname", "Zelvo2"), ZELVO_FIELD(IRCAltNickname), "Zelvo2"},
        SettingCase{Element("IRCTLS", "true"), ZELVO_FIELD(IRCTLS), "true"},
        SettingCase{Element("IRCTLSVerify", "false"), ZELVO_FIELD(IRCTLSVerify), "false"},
        SettingCase{Element("IRCTLSCAFile", "/etc/zelvo/ca.pem"), ZELVO_FIELD(IRCTLSCAFile),
                    "/etc/zelvo/ca.pem"},
        SettingCase{Element("IRCTLSFingerprint", kFingerprintWithColons),
                    ZELVO_FIELD(IRCTLSFingerprint), kFingerprint},
        SettingCase{Element("IRCTLSFingerprint",
                            " 0123456789ABCDEF0123456789abcdef"
                            "0123456789ABCDEF0123456789abcdef "),
                    ZELVO_FIELD(IRCTLSFingerprint), kFingerprint},
        SettingCase{Element("IRCClientCertificate", "/etc/zelvo/bot.pem"),
                    ZELVO_FIELD(IRCClientCertificate), "/etc/zelvo/bot.pem"},
        SettingCase{kPlainLogin, ZELVO_FIELD(IRCSASLMechanism), "PLAIN"},
        SettingCase{Element("IRCSASLMechanism", " external "), ZELVO_FIELD(IRCSASLMechanism),
                    "EXTERNAL"},
        SettingCase{Element("IRCSASLUsername", "zelvo"), ZELVO_FIELD(IRCSASLUsername), "zelvo"},
        SettingCase{Element("IRCSASLPassword", "s3cret"), ZELVO_FIELD(IRCSASLPassword), "s3cret"},
        // Required by default only when a mechanism is set.
        SettingCase{kPlainLogin, ZELVO_FIELD(IRCSASLRequired), "true"},
        SettingCase{kPlainLogin + Element("IRCSASLRequired", "false"), ZELVO_FIELD(IRCSASLRequired),
                    "false"},
        SettingCase{Element("IRCRejoinDelay", "0"), ZELVO_FIELD(IRCRejoinDelay), "0"},
        SettingCase{Element("IRCRejoinDelay", "86400"), ZELVO_FIELD(IRCRejoinDelay), "86400"},
        SettingCase{Element("IRCPingTimeout", " 45 "), ZELVO_FIELD(IRCPingTimeout), "45"},
        SettingCase{Element("IRCReconnect", "false"), ZELVO_FIELD(IRCReconnect), "false"},
        SettingCase{Element("MQTTBroker", "mqtts://broker.lan:8884"), ZELVO_FIELD(MQTTBroker),
                    "mqtts://broker.lan:8884"},
        SettingCase{Element("MQTTTopic", "home/lab"), ZELVO_FIELD(MQTTTopic), "home/lab"},
        SettingCase{Element("MQTTTopic", ""), ZELVO_FIELD(MQTTTopic), "zelvo"},
        SettingCase{Element("MQTTUsername", "bot"), ZELVO_FIELD(MQTTUsername), "bot"},
        SettingCase{Element("MQTTPassword", "mq"), ZELVO_FIELD(MQTTPassword), "mq"},
        SettingCase{Element("MQTTCAFile", "/etc/ca.pem"), ZELVO_FIELD(MQTTCAFile), "/etc/ca.pem"},
        SettingCase{Element("MQTTClientId", "lab-bot"), ZELVO_FIELD(MQTTClientId), "lab-bot"},
        SettingCase{Element("MQTTDiscovery", "false"), ZELVO_FIELD(MQTTDiscovery), "false"},
        SettingCase{Element("OutputsOnExit", " 0 "), ZELVO_FIELD(OutputsOnExit), "0"},
        SettingCase{Element("OutputsOnExit", "Keep"), ZELVO_FIELD(OutputsOnExit), "keep"},
        SettingCase{Element("OutputsOnDisconnect", "0001"), ZELVO_FIELD(OutputsOnDisconnect), "1"},
        SettingCase{Element("OutputsOnDisconnect", "255"), ZELVO_FIELD(OutputsOnDisconnect),
                    "255"},
        SettingCase{"", ZELVO_FIELD(LogSwitches), "true"},
        SettingCase{Element("LogSwitches", "false"), ZELVO_FIELD(LogSwitches), "false"},
        SettingCase{Element("IgnoreReplayedLines", "0"), ZELVO_FIELD(IgnoreReplayedLines), "false"},
        SettingCase{"", ZELVO_FIELD(SenderRateLimit), "0/0"},
        SettingCase{Element("SenderRateLimit", " 10/60 "), ZELVO_FIELD(SenderRateLimit), "10/60"},
        SettingCase{Element("SenderRateLimit", "0"), ZELVO_FIELD(SenderRateLimit), "0/0"},
        SettingCase{Element("OutputMinInterval", "2"), ZELVO_FIELD(OutputMinInterval), "2"},
        SettingCase{"", ZELVO_FIELD(OutputsOnStart), "off"},
        SettingCase{Element("OutputsOnStart", "Last"), ZELVO_FIELD(OutputsOnStart), "last"},
        SettingCase{Element("OutputsOnStart", "007"), ZELVO_FIELD(OutputsOnStart), "7"},
        SettingCase{Element("MQTTIgnoreRetainedCommands", "false"),
                    ZELVO_FIELD(MQTTIgnoreRetainedCommands), "false"},
        SettingCase{"", ZELVO_FIELD(IRCServers), ""},
        SettingCase{Element("IRCServers", " b.example.net:7000 [::1] "), ZELVO_FIELD(IRCServers),
                    "[b.example.net:7000][[::1]:6667]"},
        SettingCase{"", ZELVO_FIELD(IRCBindAddress), ""},
        SettingCase{Element("IRCBindAddress", " 2001:db8::10 "), ZELVO_FIELD(IRCBindAddress),
                    "2001:db8::10"},
        SettingCase{Element("IRCSASLKeyFile", " /etc/zelvo/zelvo.key "),
                    ZELVO_FIELD(IRCSASLKeyFile), "/etc/zelvo/zelvo.key"},
        SettingCase{Element("IRCSTS", "0"), ZELVO_FIELD(IRCSTS), "false"},
        SettingCase{Element("IRCOwners", "alice\tBob_[2]  \r\n d0ra-x "), ZELVO_FIELD(IRCOwners),
                    "[alice][Bob_[2]][d0ra-x]"}));

#undef ZELVO_FIELD

TEST_F(ConfigLoaderTest, MQTTClientIdFollowsTheNickname) {
  Prepare(EditedExample("<IRCNickname>Zelvo</IRCNickname>", "<IRCNickname>lab</IRCNickname>"));
  Load();
  EXPECT_EQ(MqttClientId(ReadSettings(document_)), "zelvo-lab");
}

// Every optional setting at once, in the schema's order, validates.
TEST_F(ConfigLoaderTest, AllOptionalSettingsTogether) {
  Prepare(WithSettings(
      Element("OutputDevice", "file:/tmp/a") + Element("OutputDevice", "file:/tmp/b") +
      Element("IRCPassword", "p") + Element("IRCChannelKey", "k") + Element("IRCAltNickname", "a") +
      Element("IRCTLS", "true") + Element("IRCTLSVerify", "true") + Element("IRCTLSCAFile", "c") +
      Element("IRCTLSFingerprint", kFingerprint) + Element("IRCClientCertificate", "x") +
      Element("IRCSASLMechanism", "EXTERNAL") + Element("IRCSASLUsername", "u") +
      Element("IRCSASLPassword", "s") + Element("IRCSASLRequired", "true") +
      Element("IRCRejoinDelay", "5") + Element("IRCPingTimeout", "60") +
      Element("IRCReconnect", "true") + Element("MQTTBroker", "mqtt://b") +
      Element("MQTTTopic", "t") + Element("MQTTUsername", "mu") + Element("MQTTPassword", "mp") +
      Element("MQTTCAFile", "mc") + Element("MQTTClientId", "id") +
      Element("MQTTDiscovery", "true") + Element("OutputsOnExit", "0") +
      Element("OutputsOnDisconnect", "3") + Element("LogSwitches", "true") +
      Element("IgnoreReplayedLines", "true") + Element("SenderRateLimit", "5/60") +
      Element("OutputMinInterval", "1") + Element("OutputsOnStart", "last") +
      Element("MQTTIgnoreRetainedCommands", "true") + Element("IRCServers", "b:1") +
      Element("IRCBindAddress", "127.0.0.1") + Element("IRCSASLKeyFile", "k") +
      Element("IRCSTS", "false") + Element("IRCOwners", "alice")));
  Load();
  const Settings settings = ReadSettings(document_);
  EXPECT_EQ(settings.OutputDevices, (std::vector<std::string>{"file:/tmp/a", "file:/tmp/b"}));
  EXPECT_EQ(settings.OutputsOnDisconnect, "3");
}

TEST_F(ConfigLoaderTest, OptionalSettingsOutOfOrderAreInvalid) {
  Prepare(WithSettings(Element("IRCReconnect", "true") + Element("IRCPassword", "p")));
  EXPECT_TRUE(LoadFailure().starts_with("Invalid \"config.xml\" based on \"config.xsd\"."));
}

struct InvalidCase {
  std::string element;
  std::string text;
  std::string description;
};

class InvalidSettingTest : public ConfigLoaderTest,
                           public ::testing::WithParamInterface<InvalidCase> {};

TEST_P(InvalidSettingTest, EndsTheStartNamingElementAndValue) {
  const InvalidCase& c = GetParam();
  const std::string element = c.element == "IRCPort" ? std::string() : Element(c.element, c.text);
  std::string config = WithSettings(element);
  if (c.element == "IRCPort") {
    config = testing::ReplacedOnce(config, "<IRCPort>6667", "<IRCPort>" + c.text);
  }
  Prepare(config);
  Load();
  try {
    ReadSettings(document_);
    FAIL() << c.element << " \"" << c.text << "\" was accepted";
  } catch (const RaisedError& error) {
    EXPECT_EQ(error.Number(), -1);
    EXPECT_EQ(error.Description(),
              "Invalid value of \"Zelvo/Settings/" + c.element + "\": " + c.description);
  }
}

const std::string kNotFingerprint =
    "\" is not a SHA-256 fingerprint: write 64 hexadecimal digits, in pairs separated by colons "
    "or without separators.";
const std::string kNotSafeState =
    " is neither \"keep\" (leave the outputs as they are) nor a port byte from 0 to 255.";

const std::string kNotStartState =
    " is neither \"off\", \"last\" (the outputs as they were at the last stop) nor a port byte "
    "from 0 to 255.";
const std::string kNotAccount =
    "\" is not a services account name: write the owners' account names separated by blanks, "
    "without control characters, \"!\", \"@\", \",\", \"*\" or \"?\".";
const std::string kNotRateLimit =
    "\" is not a limit: write COUNT/SECONDS, for example 10/60 (at most 10 rule runs per sender "
    "in 60 seconds), or 0 for none.";

INSTANTIATE_TEST_SUITE_P(
    Values, InvalidSettingTest,
    ::testing::Values(
        InvalidCase{"IRCPort", "70000",
                    "Couldn't convert \"70000\" to a port number (1 to 65535): out of range."},
        InvalidCase{"IRCPort", "abc",
                    "Couldn't convert \"abc\" to a port number (1 to 65535): not a number."},
        InvalidCase{"IRCPort", "0",
                    "Couldn't convert \"0\" to a port number (1 to 65535): out of range."},
        InvalidCase{"IRCPort", "65535.5",
                    "Couldn't convert \"65535.5\" to a port number (1 to 65535): out of range."},
        InvalidCase{"IRCSASLMechanism", "SCRAM-SHA-1",
                    "\"SCRAM-SHA-1\" is not a SASL mechanism: write PLAIN, EXTERNAL, "
                    "SCRAM-SHA-256 or ECDSA-NIST256P-CHALLENGE."},
        InvalidCase{"IRCTLSFingerprint", kFingerprint.substr(1),
                    "\"" + kFingerprint.substr(1) + kNotFingerprint},
        InvalidCase{"IRCTLSFingerprint", kFingerprint.substr(2) + "xy",
                    "\"" + kFingerprint.substr(2) + "xy" + kNotFingerprint},
        InvalidCase{"IRCTLSFingerprint", kFingerprintWithColons + ":",
                    "\"" + kFingerprintWithColons + ":" + kNotFingerprint},
        InvalidCase{"IRCTLSFingerprint", "0" + kFingerprintWithColons.substr(0, 94),
                    "\"0" + kFingerprintWithColons.substr(0, 94) + kNotFingerprint},
        InvalidCase{"IRCRejoinDelay", "-1", "\"-1\" is not a number of seconds from 0 to 86400."},
        InvalidCase{"IRCRejoinDelay", "86401",
                    "\"86401\" is not a number of seconds from 0 to 86400."},
        InvalidCase{"IRCRejoinDelay", "soon",
                    "Couldn't convert \"soon\" to a 32-bit integer: not a number."},
        InvalidCase{"IRCPingTimeout", "0", "\"0\" is not a number of seconds from 1 to 86400."},
        InvalidCase{"IRCPingTimeout", "-30", "\"-30\" is not a number of seconds from 1 to 86400."},
        InvalidCase{"OutputsOnExit", "256", "\"256\"" + kNotSafeState},
        InvalidCase{"OutputsOnExit", "-1", "\"-1\"" + kNotSafeState},
        InvalidCase{"OutputsOnExit", "0x0F", "\"0x0F\"" + kNotSafeState},
        InvalidCase{"OutputsOnDisconnect", "off", "\"off\"" + kNotSafeState},
        InvalidCase{"OutputsOnDisconnect", "1 0", "\"1 0\"" + kNotSafeState},
        InvalidCase{"OutputsOnStart", "on", "\"on\"" + kNotStartState},
        InvalidCase{"OutputsOnStart", "256", "\"256\"" + kNotStartState},
        InvalidCase{"OutputsOnStart", "keep", "\"keep\"" + kNotStartState},
        InvalidCase{"SenderRateLimit", "10", "\"10" + kNotRateLimit},
        InvalidCase{"SenderRateLimit", "10/0", "\"10/0" + kNotRateLimit},
        InvalidCase{"SenderRateLimit", "0/60", "\"0/60" + kNotRateLimit},
        InvalidCase{"SenderRateLimit", "/60", "\"/60" + kNotRateLimit},
        InvalidCase{"SenderRateLimit", "5/86401", "\"5/86401" + kNotRateLimit},
        InvalidCase{"OutputMinInterval", "-1",
                    "\"-1\" is not a number of seconds from 0 to 86400."},
        InvalidCase{"IRCServers", "b:70000",
                    "\"b:70000\" has no valid port: write a port from 1 to 65535 after the "
                    "colon, or leave the colon out for IRCPort."},
        InvalidCase{"IRCBindAddress", "lo",
                    "\"lo\" is not an IP address: write one of this machine's IPv4 or IPv6 "
                    "addresses (for example 192.0.2.10 or 2001:db8::10), or leave it empty for "
                    "any."},
        InvalidCase{"IRCOwners", "alice bob!b@host", "\"bob!b@host" + kNotAccount},
        InvalidCase{"IRCOwners", "alice,bob", "\"alice,bob" + kNotAccount},
        InvalidCase{"IRCOwners", "ali*", "\"ali*" + kNotAccount}));

// A change to the example ("" before: settings after Output8), and the words
// of its refusal ("": it loads).
struct Refusal {
  std::string from, to, words;
};

class RefusedSettingTest : public ConfigLoaderTest,
                           public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusedSettingTest, NamesTheSettingAndTheFix) {
  const Refusal& c = GetParam();
  Prepare(c.from.empty() ? WithSettings(c.to) : EditedExample(c.from, c.to));
  std::string refusal;
  try {
    Load();
    ReadSettings(document_);
  } catch (const RaisedError& error) {
    EXPECT_EQ(error.Number(), -1);
    refusal = error.Description();
  }
  EXPECT_EQ(refusal.empty(), c.words.empty()) << refusal;
  EXPECT_NE(refusal.find(c.words), std::string::npos) << refusal;
}

const std::string kChannelCharacters =
    "\": channel names cannot hold blanks, commas or control characters. Remove them; the bot "
    "joins one channel, and its key goes in IRCChannelKey.";
const std::string kNickStart = "\": nicknames cannot begin with a digit or \"-\"; begin it with";
const std::string kSasl =
    "Zelvo/Settings/IRCSASLMechanism\" is PLAIN, which logs in with "
    "IRCSASLUsername and IRCSASLPassword, but IRCSASL";
const std::string kOrder =
    "\r\nOrder: the elements of Settings follow a fixed order (the table "
    "under \"Configuration\" in README.md); here the schema expects ";
const std::string kNick = "<IRCNickname>Zelvo<";
const std::string kEcdsaLogin =
    Element("IRCSASLMechanism", "ECDSA-NIST256P-CHALLENGE") + Element("IRCSASLUsername", "alice");
const std::string kMakeKey =
    " Make one with: openssl ecparam -name prime256v1 -genkey -noout -out zelvo.key";

INSTANTIATE_TEST_SUITE_P(
    Values, RefusedSettingTest,
    ::testing::Values(
        Refusal{">irc.libera.chat<", "> \t<", "IRCDomain\": no server is named: write the host"},
        Refusal{">#zelvo<", ">zelvo<",
                "IRCChannel\": \"zelvo\" does not begin with a channel prefix (# & + !): write "
                "\"#zelvo\"."},
        Refusal{">#zelvo<", "><", "prefix (# & + !): write the channel with its prefix"},
        Refusal{">#zelvo<", ">#my channel<", "IRCChannel\": \"#my channel" + kChannelCharacters},
        Refusal{">#zelvo<", ">#a,#b<", kChannelCharacters},
        Refusal{">#zelvo<", ">#ze\tlvo<", kChannelCharacters},
        Refusal{kNick, "<IRCNickname>Zel vo<",
                "IRCNickname\": \"Zel vo\": nicknames cannot hold blanks or control characters; "
                "write it without them."},
        Refusal{kNick, "<IRCNickname>1zelvo<", "IRCNickname\": \"1zelvo" + kNickStart},
        Refusal{kNick, "<IRCNickname>-zelvo<", "\"-zelvo" + kNickStart},
        Refusal{">900<", ">-900<",
                "WindowWidth\": \"-900\" is negative: write the window's width in pixels, 0 or "
                "more."},
        Refusal{">700<", ">-1<", "WindowHeight\": \"-1\" is negative: write the window's height"},
        Refusal{"", "<IRCSASLMechanism>PLAIN</IRCSASLMechanism>",
                kSasl + "Username and IRCSASLPassword are missing or empty: set them, or remove "
                        "IRCSASLMechanism."},
        Refusal{"",
                Element("IRCSASLMechanism", "plain") + Element("IRCSASLUsername", " ") +
                    Element("IRCSASLPassword", "p"),
                kSasl + "Username is missing or empty: set it, or remove IRCSASLMechanism."},
        Refusal{"", kPlainLogin.substr(0, kPlainLogin.rfind("\t\t<")), kSasl + "Password is"},
        Refusal{"", "<IRCSASLMechanism>SCRAM-SHA-256</IRCSASLMechanism>",
                "IRCSASLMechanism\" is SCRAM-SHA-256, which logs in with IRCSASLUsername and"},
        Refusal{"", "<MQTTTopic>home/#</MQTTTopic>",
                "MQTTTopic\": \"home/#\": the MQTT wildcards # and + cannot stand in the topics"},
        Refusal{"", "<MQTTTopic>home/+/lab</MQTTTopic>", "the MQTT wildcards # and + cannot"},
        Refusal{"<IRCDomain>", "<OutputDevice>memory</OutputDevice><IRCDomain>",
                kOrder + "IRCDomain; OutputDevice belongs after Output8 and before IRCPassword."},
        Refusal{"", "<OutputDevice>m</OutputDevice><IRCReconnect>1</IRCReconnect><IRCPassword/>",
                kOrder + "one of MQTTBroker, MQTTTopic, MQTTUsername, MQTTPassword, MQTTCAFile, "
                         "MQTTClientId, MQTTDiscovery, OutputsOnExit, OutputsOnDisconnect, "
                         "LogSwitches, IgnoreReplayedLines, SenderRateLimit, OutputMinInterval, "
                         "OutputsOnStart, MQTTIgnoreRetainedCommands, IRCServers, "
                         "IRCBindAddress, IRCSASLKeyFile, IRCSTS, IRCOwners or the end of "
                         "Settings; "
                         "IRCPassword belongs after OutputDevice and before "
                         "IRCChannelKey."},
        Refusal{
            "", kEcdsaLogin,
            "IRCSASLKeyFile is missing or empty: set it, or remove IRCSASLMechanism." + kMakeKey},
        Refusal{"",
                Element("IRCSASLMechanism", "ECDSA-NIST256P-CHALLENGE") +
                    Element("IRCSASLKeyFile", "k"),
                "but IRCSASLUsername is missing or empty"},
        // What must still load.
        Refusal{">#zelvo<", ">#lab<", ""}, Refusal{">#zelvo<", ">&amp;lab<", ""},
        Refusal{">#zelvo<", ">+lab<", ""}, Refusal{">#zelvo<", ">!lab<", ""},
        Refusal{">#zelvo<", ">#caf\xE9<", ""}, Refusal{kNick, "<IRCNickname>zel-vo<", ""},
        Refusal{kNick, "<IRCNickname>[zelvo]2<", ""}, Refusal{">50<", ">-1920<", ""},
        Refusal{">20<", ">-5<", ""}, Refusal{">900<", ">0<", ""}, Refusal{"", kPlainLogin, ""},
        Refusal{"", "<IRCSASLMechanism>EXTERNAL</IRCSASLMechanism>", ""},
        Refusal{"", "<MQTTTopic>home/lab</MQTTTopic>", ""}));

class PortTest : public ConfigLoaderTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(PortTest, AnyTcpPortIsAccepted) {
  Prepare(EditedExample("<IRCPort>6667", std::string("<IRCPort>") + GetParam()));
  Load();
  EXPECT_EQ(ReadSettings(document_).giIRCPort, std::stoi(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Ports, PortTest, ::testing::Values("1", "32768", "40000", "65535"));

TEST_F(ConfigLoaderTest, UserConditions) {
  Prepare(EditedExample(
      "<User Username=\"*\" Nickname=\"*\" />",
      "<User Username=\"*\" Nickname=\"*\" Host=\"*.example.org\" Account=\"alice\" "
      "Status=\"op\" />\r\n\t\t\t\t<User Username=\"~b\" Nickname=\"b\" Status=\"voice\" />"
      "\r\n\t\t\t\t<User Username=\"~c\" Nickname=\"c\" Status=\"owner\" Account=\"*\" />"));
  Load();
  IOCommands commands;
  ReadIOCommands(document_, clock_, commands);
  const auto first = commands.Item(1);
  ASSERT_EQ(first->Count(), 3);
  struct Expected {
    std::string host, account;
    ChannelStatus status;
  };
  const std::vector<Expected> expected = {{"*.example.org", "alice", ChannelStatus::kOp},
                                          {"", "", ChannelStatus::kVoice},
                                          {"", "*", ChannelStatus::kOwner}};
  for (std::int32_t i = 1; i <= 3; ++i) {
    const Expected& want = expected[static_cast<std::size_t>(i - 1)];
    EXPECT_EQ(first->Item(i)->Host(), want.host) << i;
    EXPECT_EQ(first->Item(i)->Account(), want.account) << i;
    EXPECT_EQ(first->Item(i)->Status(), want.status) << i;
  }
  // Users without the attributes set no condition.
  const auto second = commands.Item(2);
  EXPECT_EQ(second->Item(1)->Host(), "");
  EXPECT_EQ(second->Item(1)->Account(), "");
  EXPECT_EQ(second->Item(1)->Status(), ChannelStatus::kNone);
}

TEST_F(ConfigLoaderTest, UnknownUserStatusIsInvalid) {
  Prepare(EditedExample("<User Username=\"*\" Nickname=\"*\" />",
                        "<User Username=\"*\" Nickname=\"*\" Status=\"Op\" />"));
  const std::string description = LoadFailure();
  EXPECT_TRUE(description.starts_with("Invalid \"config.xml\" based on \"config.xsd\"."))
      << description;
}

// --- Password file permissions ---------------------------------------------------

struct PermissionCase {
  std::string file;  // in the temporary directory; "" for a missing file
  mode_t mode;
  std::string Settings::*password;  // nullptr: no password set
  bool warned;
};

class PasswordFileWarningTest : public ::testing::TestWithParam<PermissionCase> {};

TEST_P(PasswordFileWarningTest, WarnsWhenOthersCanReadAPassword) {
  const PermissionCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.File(c.file.empty() ? "missing.xml" : c.file);
  if (!c.file.empty()) {
    WriteFile(path, "<Zelvo/>");
    ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
  }
  Settings settings;
  if (c.password != nullptr) settings.*c.password = "secret";
  const std::string warning = PasswordFileWarning(path, settings);
  if (!c.warned) {
    EXPECT_EQ(warning, "");
    return;
  }
  std::string shown = path;
  if (path.find(' ') != std::string::npos) shown = "'" + path + "'";
  EXPECT_EQ(warning,
            "config.xml holds a password and can be read by other users; run: chmod o-r " + shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PasswordFileWarningTest,
    ::testing::Values(PermissionCase{"config.xml", 0644, nullptr, false},
                      PermissionCase{"config.xml", 0644, &Settings::IRCPassword, true},
                      PermissionCase{"config.xml", 0604, &Settings::IRCSASLPassword, true},
                      PermissionCase{"config.xml", 0444, &Settings::MQTTPassword, true},
                      PermissionCase{"my config.xml", 0644, &Settings::IRCPassword, true},
                      PermissionCase{"config.xml", 0640, &Settings::IRCPassword, false},
                      PermissionCase{"config.xml", 0600, &Settings::MQTTPassword, false},
                      PermissionCase{"config.xml", 0644, &Settings::IRCSASLUsername, false},
                      PermissionCase{"", 0644, &Settings::IRCPassword, false}));

// --- The ECDSA key file ---------------------------------------------------------

// A key file's text ("" for none there) and mode, and the refusal's words ("":
// the key is taken, with the warning when the group can read it).
struct KeyFileCase {
  std::string pem;
  mode_t mode;
  std::string refusal;
};

class SaslKeyFileTest : public ConfigLoaderTest,
                        public ::testing::WithParamInterface<KeyFileCase> {};

TEST_P(SaslKeyFileTest, IsReadOrRefusedWithTheFix) {
  const KeyFileCase& c = GetParam();
  const std::string path = dir_.File("zelvo.key");
  if (!c.pem.empty()) {
    WriteFile(path, c.pem);
    ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
  }
  Prepare(WithSettings(kEcdsaLogin + Element("IRCSASLKeyFile", path)));
  Load();
  std::string refusal;
  Settings settings;
  try {
    settings = ReadSettings(document_);
  } catch (const RaisedError& error) {
    refusal = error.Description();
  }
  EXPECT_EQ(settings.IRCSASLKey != nullptr, c.refusal.empty()) << refusal;
  EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
  EXPECT_EQ(refusal.find("PRIVATE"), std::string::npos) << refusal;
  EXPECT_EQ(SaslKeyFileWarning(settings), c.mode == 0640 ? SaslKeyReadableText(path) : "");
}

const std::string kP256 = testing::NewPrivateKeyPem("EC", "P-256");

INSTANTIATE_TEST_SUITE_P(
    Cases, SaslKeyFileTest,
    ::testing::Values(KeyFileCase{kP256, 0600, ""}, KeyFileCase{kP256, 0640, ""},
                      KeyFileCase{"", 0600, "zelvo.key cannot be read: check the path"},
                      KeyFileCase{"not a key\n", 0600, "zelvo.key holds no PEM private key"},
                      KeyFileCase{testing::NewPrivateKeyPem("ED25519"), 0600,
                                  "is not an elliptic-curve (EC) key." + kMakeKey},
                      KeyFileCase{
                          testing::NewPrivateKeyPem("EC", "P-384"), 0600,
                          "holds an EC key on another curve than P-256 (prime256v1)." + kMakeKey}));

// --- Conversions -------------------------------------------------------------------

struct IntCase {
  std::string text;
  std::optional<std::int64_t> value;  // empty: the conversion fails
};

class ToInt16Test : public ::testing::TestWithParam<IntCase> {};

TEST_P(ToInt16Test, ConvertsOrRaises) {
  const IntCase& c = GetParam();
  if (c.value) {
    EXPECT_EQ(ToInt16(c.text), *c.value);
  } else {
    try {
      ToInt16(c.text);
      FAIL() << "converted \"" << c.text << "\"";
    } catch (const RaisedError& error) {
      EXPECT_EQ(error.Number(), -1);
      EXPECT_NE(error.Description().find("\"" + c.text + "\""), std::string::npos);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ToInt16Test,
    ::testing::Values(
        IntCase{"6667", 6667}, IntCase{" 42\t", 42}, IntCase{"+7", 7}, IntCase{"-12", -12},
        IntCase{"007", 7}, IntCase{"2.5", 2}, IntCase{"3.5", 4}, IntCase{"-0.5", 0},
        IntCase{"-1.5", -2}, IntCase{"0.5000001", 1}, IntCase{"2.4999", 2}, IntCase{".5", 0},
        IntCase{"5.", 5}, IntCase{"32767", 32767}, IntCase{"-32768", -32768},
        IntCase{"32767.4", 32767}, IntCase{"-32768.5", -32768}, IntCase{"32768", std::nullopt},
        IntCase{"32767.5", std::nullopt}, IntCase{"-32769", std::nullopt},
        IntCase{"70000", std::nullopt}, IntCase{"99999999999999999999999", std::nullopt},
        IntCase{"abc", std::nullopt}, IntCase{"", std::nullopt}, IntCase{"  ", std::nullopt},
        IntCase{"1e3", std::nullopt}, IntCase{"0x10", std::nullopt}, IntCase{"1 2", std::nullopt},
        IntCase{".", std::nullopt}, IntCase{"-", std::nullopt}, IntCase{"1,5", std::nullopt}));

class ToInt32Test : public ::testing::TestWithParam<IntCase> {};

TEST_P(ToInt32Test, ConvertsOrRaises) {
  const IntCase& c = GetParam();
  if (c.value) {
    EXPECT_EQ(ToInt32(c.text), *c.value);
  } else {
    EXPECT_THROW(ToInt32(c.text), RaisedError);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ToInt32Test,
    ::testing::Values(IntCase{"70000", 70000}, IntCase{"2147483647", 2147483647},
                      IntCase{"-2147483648", -2147483648LL}, IntCase{"2147483646.5", 2147483646},
                      IntCase{"2147483647.5", std::nullopt}, IntCase{"2147483648", std::nullopt},
                      IntCase{"-2147483649", std::nullopt}, IntCase{"15", 15},
                      IntCase{"x", std::nullopt}));

struct BoolCase {
  std::string text;
  std::optional<bool> value;
};

class ToBooleanTest : public ::testing::TestWithParam<BoolCase> {};

TEST_P(ToBooleanTest, ConvertsOrRaises) {
  if (GetParam().value) {
    EXPECT_EQ(ToBoolean(GetParam().text), *GetParam().value);
  } else {
    EXPECT_THROW(ToBoolean(GetParam().text), RaisedError);
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, ToBooleanTest,
                         ::testing::Values(BoolCase{"true", true}, BoolCase{"1", true},
                                           BoolCase{"false", false}, BoolCase{"0", false},
                                           BoolCase{" true ", true}, BoolCase{"yes", std::nullopt},
                                           BoolCase{"2", std::nullopt}, BoolCase{"", std::nullopt},
                                           BoolCase{"-1", std::nullopt}));

}  // namespace
}  // namespace zelvo
