// Sending messages to the broker, as the parts that publish see it.
#pragma once

#include <string>

namespace zelvo::mqtt {

class Publisher {
 public:
  virtual ~Publisher() = default;
  // Publishes with QoS 1. Returns "" when the message was handed to the
  // connection, else why not (for example: not connected).
  virtual std::string Publish(const std::string& topic, const std::string& payload,
                              bool retain) = 0;
};

// A connection that also subscribes.
class Transport : public Publisher {
 public:
  // Subscribes with QoS 1; "" or why not.
  virtual std::string Subscribe(const std::string& filter) = 0;
};

}  // namespace zelvo::mqtt
