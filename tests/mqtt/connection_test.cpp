// The broker setting.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace zelvo::mqtt
