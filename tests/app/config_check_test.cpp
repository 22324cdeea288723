#include "app/config_check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <optional>

#include "app/rule_explain_command.h"
#include "config/resources.h"
#include "support/example_config.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace zelvo {
namespace {

using testing::EditedExample;
using testing::ExampleConfigText;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using testing::TempDir;
using testing::WriteFile;

// The example with `extra` settings after Output8, where the optional ones stand.
std::string WithSettings(const std::string& extra) {
  return EditedExample("<Output8>N/C</Output8>", "<Output8>N/C</Output8>" + extra);
}

const std::string kExampleOutputs =
    "outputs \"Saftblandare\", \"Disco-Kula\", \"Buzzer\", \"N/C\", \"N/C\", \"N/C\", \"N/C\", "
    "\"N/C\"";

struct Case {
  const char* name;
  std::optional<std::string> config;  // nothing: no config.xml
  std::optional<std::string> schema;  // a config.xsd on disk
  bool valid;
  std::string text;  // "{file}" stands for the path of config.xml
  std::string warning = "";
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

// Every entry of the directory with its size and modification time.
std::map<std::string, std::pair<off_t, long long>> Snapshot(const TempDir& dir) {
  std::map<std::string, std::pair<off_t, long long>> entries;
  for (const std::string& name : dir.Names()) {
    struct stat status {};
    ::stat(dir.File(name).c_str(), &status);
    entries[name] = {status.st_size, static_cast<long long>(status.st_mtim.tv_sec) * 1000000000 +
                                         status.st_mtim.tv_nsec};
  }
  return entries;
}

std::string Expanded(std::string text, const std::string& file) {
  for (std::size_t at; (at = text.find("{file}")) != std::string::npos;) text.replace(at, 6, file);
  return text;
}

class ConfigCheckTest : public ::testing::TestWithParam<Case> {};

TEST_P(ConfigCheckTest, AnswersAsTheStartWouldAndWritesNothing) {
  TempDir dir;
  if (GetParam().config) WriteFile(dir.File("config.xml"), *GetParam().config);
  if (GetParam().schema) WriteFile(dir.File("config.xsd"), *GetParam().schema);
  const auto before = Snapshot(dir);

  const ConfigCheck check = CheckConfiguration(dir.path());

  EXPECT_EQ(check.valid, GetParam().valid);
  const std::string expected = Expanded(GetParam().text, dir.File("config.xml"));
  if (GetParam().valid)
    EXPECT_EQ(check.text, expected);
  else
    EXPECT_THAT(check.text, StartsWith(expected));
  EXPECT_EQ(check.text.back(), '\n');
  EXPECT_EQ(check.text.find('\r'), std::string::npos);
  EXPECT_EQ(check.warning, GetParam().warning);
  EXPECT_EQ(Snapshot(dir), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ConfigCheckTest,
    ::testing::Values(
        Case{"Example", ExampleConfigText(), std::nullopt, true,
             "{file} is valid: 5 rules; " + kExampleOutputs +
                 "; output device auto; server irc.libera.chat:6667, TLS no\n"},
        // The program's own schema counts, not the one on disk.
        Case{"EditedSchemaOnDisk", ExampleConfigText(), std::string("<broken"), true,
             "{file} is valid: 5 rules; " + kExampleOutputs +
                 "; output device auto; server irc.libera.chat:6667, TLS no\n"},
        Case{"Ipv6Server",
             EditedExample("<IRCDomain>irc.libera.chat</IRCDomain>", "<IRCDomain>::1</IRCDomain>"),
             std::nullopt, true,
             "{file} is valid: 5 rules; " + kExampleOutputs +
                 "; output device auto; server [::1]:6667, TLS no\n"},
        Case{"DevicesAndTls",
             WithSettings("<OutputDevice>memory</OutputDevice><OutputDevice>ioport:0x378"
                          "</OutputDevice><OutputDevice>gpio:gpiochip0:17,27,22,!23,-,-,-,-"
                          "</OutputDevice><OutputDevice>mqtt:cmnd/relay%N/POWER</OutputDevice>"
                          "<IRCTLS>true</IRCTLS><MQTTBroker>mqtt://127.0.0.1</MQTTBroker>"),
             std::nullopt, true,
             "{file} is valid: 5 rules; " + kExampleOutputs +
                 "; output devices memory + ioport:0x378 + gpio:gpiochip0:17,27,22,!23,-,-,-,- + "
                 "mqtt:cmnd/relay%N/POWER; server irc.libera.chat:6667, TLS yes\n"},
        Case{"RuleRefused", EditedExample("<Flag>SetOutput3On", "<Flag>SetOutput9On"), std::nullopt,
             false,
             "zelvo: {file} is not valid:\nrule 2 \"Buzzer\": flag \"SetOutput9On\" names "
             "output 9, but the outputs are 1 to 8; use one of them.\n"},
        Case{"RuleAndEncodingWarned",
             EditedExample("*PRIVMSG*!Saft*\"", "*PRIVMSG*!Saft\xC3\xBC\""), std::nullopt, true,
             "{file} is valid: 5 rules; " + kExampleOutputs +
                 "; output device auto; server irc.libera.chat:6667, TLS no\n",
             "zelvo: warning: rule 1 \"Saftblandare\": the trigger "
             "\"*PRIVMSG*!Saft\xC3\x83\xC2\xBC\" "
             "can never match a received line, which ends with CR LF; end the trigger with "
             "\"*\".\nzelvo: warning: config.xml declares encoding=\"ISO-8859-1\" but line 27 "
             "holds UTF-8 characters, which read as other characters (\"T\xC3\xBCr\" as "
             "\"T\xC3\x83\xC2\xBCr\"); save the file as ISO-8859-1 or change its declaration "
             "to encoding=\"UTF-8\".\n"},
        Case{"Missing", std::nullopt, std::nullopt, false, "zelvo: there is no config.xml in "},
        Case{"BrokenXml", EditedExample("</Settings>", "</Setings>"), std::nullopt, false,
             "zelvo: {file} is not valid:\nCouldn't load \"config.xml\" into moXMLConfig.\n"
             "Error-Code: "},
        Case{"SchemaInvalid", EditedExample("<WindowX>50</WindowX>", "<WindowX>left</WindowX>"),
             std::nullopt, false,
             "zelvo: {file} is not valid:\nInvalid \"config.xml\" based on \"config.xsd\".\n"
             "Error-Code: "},
        Case{"PortOutOfRange", EditedExample("<IRCPort>6667</IRCPort>", "<IRCPort>70000</IRCPort>"),
             std::nullopt, false,
             "zelvo: {file} is not valid:\nInvalid value of \"Zelvo/Settings/IRCPort\": Couldn't "
             "convert \"70000\" to a port number (1 to 65535): out of range.\n"},
        Case{"UnknownDevice", WithSettings("<OutputDevice>serial:/dev/ttyS0</OutputDevice>"),
             std::nullopt, false,
             "zelvo: {file} is not valid:\nUnknown OutputDevice \"serial:/dev/ttyS0\". Accepted "
             "forms: auto, memory, parport[:DEVICE] (default /dev/parport0), ioport[:ADDRESS] "
             "(default 888, decimal or 0x hex), file:PATH, gpio:CHIP:L1,L2,L3,L4,L5,L6,L7,L8, "
             "mqtt:TOPIC[:ON:OFF].\n"},
        Case{"BadSecondDevice",
             WithSettings("<OutputDevice>memory</OutputDevice><OutputDevice>ioport:0x10000"
                          "</OutputDevice>"),
             std::nullopt, false,
             "zelvo: {file} is not valid:\nInvalid I/O port address \"0x10000\" in OutputDevice"},
        Case{"GpioWithSevenLines",
             WithSettings("<OutputDevice>gpio:gpiochip0:1,2,3,4,5,6,7</OutputDevice>"),
             std::nullopt, false,
             "zelvo: {file} is not valid:\nInvalid GPIO device \"gpio:gpiochip0:1,2,3,4,5,6,7\""},
        Case{"RelaysWithoutBroker", WithSettings("<OutputDevice>mqtt:relay%N</OutputDevice>"),
             std::nullopt, false,
             "zelvo: {file} is not valid:\nOutputDevice \"mqtt:relay%N\" sends the outputs "
             "through the MQTT broker, but no broker is set"},
        Case{"BadBroker", WithSettings("<MQTTBroker>http://broker</MQTTBroker>"), std::nullopt,
             false, "zelvo: {file} is not valid:\nInvalid MQTTBroker \"http://broker\""},
        Case{"BadSafeState", WithSettings("<OutputsOnExit>256</OutputsOnExit>"), std::nullopt,
             false,
             "zelvo: {file} is not valid:\nInvalid value of \"Zelvo/Settings/OutputsOnExit\""},
        Case{"RuleWithoutLimit", EditedExample(" ExecuteLimit=\"20\"", ""), std::nullopt, false,
             "zelvo: {file} is not valid:\nThe attribute \"ExecuteLimit\" is missing in IOCommand "
             "1"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

struct ExplainCase {
  const char* name;
  std::optional<std::string> config;
  std::string text;
  int exit_code;
  std::string shown;  // in standard output, or in standard error when it is not valid
};

void PrintTo(const ExplainCase& c, std::ostream* out) {
  *out << c.name;
}

class ExplainCommandTest : public ::testing::TestWithParam<ExplainCase> {};

TEST_P(ExplainCommandTest, ExplainsAgainstTheCheckedConfigurationAndWritesNothing) {
  TempDir dir;
  if (GetParam().config) WriteFile(dir.File("config.xml"), *GetParam().config);
  const auto before = Snapshot(dir);
  ExplainRequest request;
  request.text = GetParam().text;
  const testing::FakeClock clock(CivilDateTime{2024, 5, 15, 12, 0, 0});

  const ExplainOutcome outcome = ExplainCommand(dir.path(), request, clock);

  EXPECT_EQ(outcome.exit_code, GetParam().exit_code);
  const std::string& shown = outcome.exit_code == kExitExplainBadConfig ? outcome.err : outcome.out;
  EXPECT_THAT(shown, HasSubstr(Expanded(GetParam().shown, dir.File("config.xml"))));
  EXPECT_EQ(Snapshot(dir), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ExplainCommandTest,
    ::testing::Values(
        ExplainCase{"Fires", ExampleConfigText(), "Disco On", 0, "1 of 5 rules fires."},
        ExplainCase{"NoneFires", ExampleConfigText(), "Disco", kExitNoRuleFires, "No rule fires."},
        ExplainCase{"Missing", std::nullopt, "Disco On", kExitExplainBadConfig,
                    "zelvo: there is no config.xml in "},
        ExplainCase{"BrokenXml", EditedExample("</Settings>", "</Setings>"), "Disco On",
                    kExitExplainBadConfig, "zelvo: {file} is not valid:\n"}),
    [](const ::testing::TestParamInfo<ExplainCase>& info) { return std::string(info.param.name); });

TEST(ConfigCheckWarningTest, AReadablePasswordIsValidWithAWarning) {
  TempDir dir;
  WriteFile(dir.File("config.xml"), WithSettings("<IRCPassword>secret</IRCPassword>"));
  ::chmod(dir.File("config.xml").c_str(), 0644);
  const ConfigCheck check = CheckConfiguration(dir.path());
  EXPECT_TRUE(check.valid);
  EXPECT_THAT(check.warning, HasSubstr("chmod o-r " + dir.File("config.xml")));
  ::chmod(dir.File("config.xml").c_str(), 0600);
  EXPECT_EQ(CheckConfiguration(dir.path()).warning, "");
}

}  // namespace
}  // namespace zelvo
