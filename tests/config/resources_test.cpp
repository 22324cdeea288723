#include "config/resources.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "config/embedded_resources.h"
#include "support/temp_dir.h"

namespace zelvo {
namespace {

std::string SourceFile(const std::string& name) {
  return testing::ReadFile(std::string(ZELVO_RESOURCE_DIR) + "/" + name);
}

// Every line ends with CR LF and is indented with tabs only.
void ExpectCrLfAndTabs(std::string_view text) {
  ASSERT_TRUE(text.ends_with("\r\n"));
  std::size_t start = 0;
  int line = 1;
  while (start < text.size()) {
    const std::size_t newline = text.find('\n', start);
    ASSERT_NE(newline, std::string_view::npos);
    ASSERT_GT(newline, start) << "bare LF on line " << line;
    EXPECT_EQ(text[newline - 1], '\r') << "line " << line;
    const std::string_view content = text.substr(start, newline - 1 - start);
    EXPECT_EQ(content.find('\r'), std::string_view::npos) << "line " << line;
    const std::size_t indent_end = content.find_first_not_of('\t');
    if (indent_end != std::string_view::npos) {
      EXPECT_NE(content[indent_end], ' ') << "space indentation on line " << line;
    }
    start = newline + 1;
    ++line;
  }
}

TEST(EmbeddedResources, StoredWithTheDocumentedZeroPadding) {
  EXPECT_EQ(embedded::kConfigSchemaSize % 4, 0U);
  EXPECT_EQ(embedded::kConfigExampleSize % 4, 0U);
  EXPECT_EQ(embedded::kConfigSchemaPadding, 2U);
  EXPECT_EQ(embedded::kConfigExamplePadding, 1U);
  for (std::size_t i = 1; i <= embedded::kConfigSchemaPadding; ++i) {
    EXPECT_EQ(embedded::kConfigSchema[embedded::kConfigSchemaSize - i], 0);
  }
  EXPECT_EQ(embedded::kConfigExample[embedded::kConfigExampleSize - 1], 0);
}

TEST(GetResourceText, DropsExactlyTheFinalByte) {
  const std::string schema_file = SourceFile("config.xsd");
  const std::string example_file = SourceFile("config.example.xml");
  EXPECT_EQ(GetResourceText(kSchemaResource, "XML"), schema_file + std::string(1, '\0'));
  EXPECT_EQ(GetResourceText(kExampleConfigResource, "XML"), example_file);
  EXPECT_EQ(GetResourceText(kSchemaResource, "XML").size(), embedded::kConfigSchemaSize - 1);
  // Resource type names are not case-sensitive.
  EXPECT_EQ(GetResourceText(kExampleConfigResource, "xml"), example_file);
}

TEST(GetResourceText, UnknownIdOrTypeGivesTheFailureText) {
  const std::string failure =
      "Couldn't get resource-file. Error-number: 2 Error-Descripton: No such file or directory";
  EXPECT_EQ(GetResourceText(105, "XML"), failure);
  EXPECT_EQ(GetResourceText(kSchemaResource, "RCDATA"), failure);
  EXPECT_EQ(GetResourceText(kSchemaResource, ""), failure);
}

TEST(EmbeddedSchema, FormatOfTheFile) {
  const std::string schema = SourceFile("config.xsd");
  ExpectCrLfAndTabs(schema);
  EXPECT_TRUE(
      schema.starts_with("<xsd:schema xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
                         "elementFormDefault=\"qualified\">\r\n"));
  EXPECT_EQ(schema.find("<?xml"), std::string::npos);
  EXPECT_EQ(schema.find("targetNamespace"), std::string::npos);
  EXPECT_EQ(schema.find("use="), std::string::npos);
  // After Output8: OutputDevice, repeatable, then the optional settings in
  // this order, each on the next line.
  std::string expected =
      "\t\t\t<xsd:element name=\"Output8\" type=\"xsd:string\"/>\r\n"
      "\t\t\t<xsd:element name=\"OutputDevice\" type=\"xsd:string\" minOccurs=\"0\" "
      "maxOccurs=\"unbounded\"/>\r\n";
  const std::vector<std::pair<std::string, std::string>> optional = {
      {"IRCPassword", "string"},       {"IRCChannelKey", "string"},
      {"IRCAltNickname", "string"},    {"IRCTLS", "boolean"},
      {"IRCTLSVerify", "boolean"},     {"IRCTLSCAFile", "string"},
      {"IRCTLSFingerprint", "string"}, {"IRCClientCertificate", "string"},
      {"IRCSASLMechanism", "token"},   {"IRCSASLUsername", "string"},
      {"IRCSASLPassword", "string"},   {"IRCSASLRequired", "boolean"},
      {"IRCRejoinDelay", "string"},    {"IRCPingTimeout", "string"},
      {"IRCReconnect", "boolean"},     {"MQTTBroker", "string"},
      {"MQTTTopic", "string"},         {"MQTTUsername", "string"},
      {"MQTTPassword", "string"},      {"MQTTCAFile", "string"},
      {"MQTTClientId", "string"},      {"MQTTDiscovery", "boolean"},
      {"OutputsOnExit", "string"},     {"OutputsOnDisconnect", "string"},
      {"LogSwitches", "boolean"},      {"IgnoreReplayedLines", "boolean"},
      {"SenderRateLimit", "string"},   {"OutputMinInterval", "integer"},
      {"OutputsOnStart", "string"},    {"MQTTIgnoreRetainedCommands", "boolean"},
      {"IRCServers", "token"},         {"IRCBindAddress", "token"},
      {"IRCSASLKeyFile", "token"},     {"IRCSTS", "boolean"},
      {"IRCOwners", "string"}};
  for (const auto& [name, type] : optional) {
    expected +=
        "\t\t\t<xsd:element name=\"" + name + "\" type=\"xsd:" + type + "\" minOccurs=\"0\"/>\r\n";
  }
  expected += "\t\t</xsd:sequence>\r\n";
  EXPECT_NE(schema.find(expected), std::string::npos);
  EXPECT_NE(schema.find("\t\t<xsd:attribute name=\"Nickname\" type=\"xsd:string\"/>\r\n"
                        "\t\t<xsd:attribute name=\"Host\" type=\"xsd:string\"/>\r\n"
                        "\t\t<xsd:attribute name=\"Account\" type=\"xsd:string\"/>\r\n"
                        "\t\t<xsd:attribute name=\"Status\" type=\"ChannelStatus\"/>\r\n"),
            std::string::npos);
}

TEST(EmbeddedExample, FormatOfTheFile) {
  const std::string example = SourceFile("config.example.xml");
  ExpectCrLfAndTabs(example);
  EXPECT_TRUE(
      example.starts_with("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<Zelvo>\r\n"));
  EXPECT_TRUE(example.ends_with("</Zelvo>\r\n"));
  EXPECT_NE(example.find("</IRCNickname>\r\n\t\t\r\n\t\t<WindowState>"), std::string::npos);
  EXPECT_NE(example.find("</WindowHeight>\r\n\t\t\r\n\t\t<Output1>"), std::string::npos);
  EXPECT_EQ(example.find("OutputDevice"), std::string::npos);
}

}  // namespace
}  // namespace zelvo
