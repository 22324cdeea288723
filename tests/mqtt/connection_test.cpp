// The broker setting and the waits between attempts to reach it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mqtt/backoff.h"
#include "mqtt/broker_url.h"

namespace zelvo::mqtt {
namespace {

struct Url {
  std::string text;
  std::optional<BrokerUrl> expected;
  std::string mention = {};
};

class BrokerUrls : public ::testing::TestWithParam<Url> {};

TEST_P(BrokerUrls, AreParsedWithDefaultPorts) {
  std::string error;
  const auto url = ParseBrokerUrl(GetParam().text, &error);
  EXPECT_EQ(url, GetParam().expected) << error;
  if (!GetParam().expected) {
    EXPECT_NE(error.find(GetParam().mention), std::string::npos) << error;
    EXPECT_NE(error.find("mqtts://HOST[:PORT]"), std::string::npos) << error;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, BrokerUrls,
    ::testing::Values(Url{"mqtt://broker.lan", BrokerUrl{false, "broker.lan", 1883}},
                      Url{"mqtts://broker.lan", BrokerUrl{true, "broker.lan", 8883}},
                      Url{"MQTT://127.0.0.1:1884/", BrokerUrl{false, "127.0.0.1", 1884}},
                      Url{"mqtts://[::1]:9", BrokerUrl{true, "::1", 9}},
                      Url{"mqtt://[fe80::1]", BrokerUrl{false, "fe80::1", 1883}},
                      Url{"broker.lan", std::nullopt, "scheme is missing"},
                      Url{"http://broker.lan", std::nullopt, "\"http\""},
                      Url{"mqtt://", std::nullopt, "host is missing"},
                      Url{"mqtt://:1883", std::nullopt, "host is missing"},
                      Url{"mqtt://host:", std::nullopt, "port is empty"},
                      Url{"mqtt://host:0", std::nullopt, "\"0\""},
                      Url{"mqtt://host:65536", std::nullopt, "\"65536\""},
                      Url{"mqtt://host:12x", std::nullopt, "\"12x\""},
                      Url{"mqtt://user@host", std::nullopt, "not a host"},
                      Url{"mqtt://[::1", std::nullopt, "\"]\""}));

TEST(ReconnectBackoff, DoublesFromFiveSecondsToFiveMinutesAndResets) {
  ReconnectBackoff backoff;
  std::vector<long> waits;
  for (int i = 0; i < 9; ++i) waits.push_back(backoff.Next().count());
  EXPECT_EQ(waits, (std::vector<long>{5, 10, 20, 40, 80, 160, 300, 300, 300}));
  backoff.Reset();
  EXPECT_EQ(backoff.Next().count(), 5);
}

}  // namespace
}  // namespace zelvo::mqtt
