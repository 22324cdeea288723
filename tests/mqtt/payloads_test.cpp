#include "mqtt/payloads.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace zelvo::mqtt {
namespace {

TEST(JsonString, EscapesAndKeepsTheTextValidUtf8) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", R"("")"},
      {"Disco On", R"("Disco On")"},
      {"a\"b\\c/", R"("a\"b\\c/")"},
      {"\r\n\t\b\f", R"("\r\n\t\b\f")"},
      {std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\x7f\""},
      {std::string("nul\0x", 5), R"("nul\u0000x")"},
      {"K\xC3\xA4se \xE2\x82\xAC \xF0\x9F\x92\xA1",
       "\"K\xC3\xA4se \xE2\x82\xAC \xF0\x9F\x92\xA1\""},
      // Not UTF-8: each byte is an ISO-8859-1 character.
      {"K\xE4se", "\"K\xC3\xA4se\""},
      {"\xC3", "\"\xC3\x83\""},
      {"\xC0\xAF", "\"\xC3\x80\xC2\xAF\""},              // overlong "/"
      {"\xED\xA0\x80", "\"\xC3\xAD\xC2\xA0\xC2\x80\""},  // a surrogate
  };
  for (const auto& [text, json] : cases) EXPECT_EQ(JsonString(text), json) << text;
}

TEST(IsoTime, CarriesTheOffset) {
  const CivilDateTime t{2024, 5, 1, 14, 3, 9};
  EXPECT_EQ(IsoTime(t, 120), "2024-05-01T14:03:09+02:00");
  EXPECT_EQ(IsoTime(t, 0), "2024-05-01T14:03:09+00:00");
  EXPECT_EQ(IsoTime(t, -570), "2024-05-01T14:03:09-09:30");
  EXPECT_EQ(IsoTime(t, 345), "2024-05-01T14:03:09+05:45");
}

TEST(IsoTime, LocalTimeUsesTheZoneInForceThen) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  ::setenv("TZ", "Europe/Berlin", 1);
  ::tzset();
  EXPECT_EQ(LocalIsoTime(1704067200), "2024-01-01T01:00:00+01:00");  // 2024-01-01 00:00 UTC
  EXPECT_EQ(LocalIsoTime(1719792000), "2024-07-01T02:00:00+02:00");  // summer time
  if (old)
    ::setenv("TZ", saved.c_str(), 1);
  else
    ::unsetenv("TZ");
  ::tzset();
}

TEST(EventJson, HoldsEveryFieldInOrder) {
  RuleEvent event{"Disco \"On\"",
                  "al\\ice",
                  "~alice",
                  "host.example",
                  std::nullopt,
                  "#zelvo",
                  "2024-05-01T14:03:09+02:00",
                  3};
  EXPECT_EQ(EventJson(event),
            R"({"rule":"Disco \"On\"","nick":"al\\ice","user":"~alice","host":"host.example",)"
            R"("account":null,"channel":"#zelvo","time":"2024-05-01T14:03:09+02:00","outputs":3})");
  event.account = "alice";
  event.outputs = 255;
  const std::string json = EventJson(event);
  EXPECT_NE(json.find(R"("account":"alice")"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("outputs":255})"), std::string::npos) << json;
}

TEST(Discovery, NodeTopicAndPayload) {
  const std::vector<std::pair<std::string, std::string>> nodes = {{"zelvo-Zelvo", "zelvo-Zelvo"},
                                                                  {"zelvo-[bot]|x", "zelvo-botx"},
                                                                  {"a.b c_d", "abc_d"},
                                                                  {"[]|", "zelvo"},
                                                                  {"", "zelvo"}};
  for (const auto& [id, node] : nodes) EXPECT_EQ(DiscoveryNode(id), node) << id;

  EXPECT_EQ(DiscoveryTopic("zelvo-bot", 2), "homeassistant/switch/zelvo-bot/output2/config");
  const Topics topics("home/zelvo");
  EXPECT_EQ(
      DiscoveryPayload(topics, "zelvo-bot", 2, "Disco \"ball\"", "Zelvo (bot)", "0.1.0"),
      R"({"name":"Disco \"ball\"","unique_id":"zelvo-bot_output2","object_id":"zelvo-bot_output2",)"
      R"("command_topic":"home/zelvo/output/2/set","state_topic":"home/zelvo/output/2",)"
      R"("availability_topic":"home/zelvo/status","payload_available":"online",)"
      R"("payload_not_available":"offline","payload_on":"ON","payload_off":"OFF","qos":1,)"
      R"j("device":{"identifiers":["zelvo-bot"],"name":"Zelvo (bot)","model":"Zelvo",)j"
      R"("sw_version":"0.1.0"}})");
  EXPECT_NE(DiscoveryPayload(topics, "n", 7, "", "Zelvo", "1").find(R"("name":"Output 7")"),
            std::string::npos);
}

}  // namespace
}  // namespace zelvo::mqtt
