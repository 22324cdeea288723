// A broker connection for tests: records what is published and subscribed.
#pragma once

#include <string>
#include <vector>

#include "mqtt/publisher.h"

namespace zelvo::mqtt {

class FakeTransport final : public Transport {
 public:
  std::string Publish(const std::string& topic, const std::string& payload, bool retain) override {
    if (!failure.empty()) return failure;
    published.push_back(topic + (retain ? " [r] " : " ") + payload);
    return {};
  }
  std::string Subscribe(const std::string& filter) override {
    subscribed.push_back(filter);
    return failure;
  }
  std::vector<std::string> Take() { return std::exchange(published, {}); }

  std::vector<std::string> published;
  std::vector<std::string> subscribed;
  std::string failure;  // when set, every call fails with it
};

}  // namespace zelvo::mqtt
