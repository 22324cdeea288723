// A fake of the libgpiod calls behind the GPIO back-end; records every call.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "outputs/gpio_port.h"

namespace zelvo {

class FakeGpio final : public GpioSystem {
 public:
  int OpenChip(const std::string& chip) override {
    calls.push_back("open " + chip);
    return Fail("open", 3);
  }
  int LineCount(int chip) override {
    calls.push_back("count " + std::to_string(chip));
    return line_count;
  }
  std::optional<std::string> LineConsumer(int, unsigned offset) override {
    const auto it = consumers.find(offset);
    if (it == consumers.end()) return std::nullopt;
    return it->second;
  }
  int RequestOutputs(int chip, const std::vector<unsigned>& offsets,
                     const std::vector<int>& initial, const std::string& consumer) override {
    calls.push_back("request " + std::to_string(chip) + " " + Join(offsets) + " = " +
                    Join(initial) + " " + consumer);
    return Fail("request", 0);
  }
  int SetValues(int chip, const std::vector<int>& values) override {
    calls.push_back("set " + std::to_string(chip) + " " + Join(values));
    return Fail("set", 0);
  }
  void Close(int chip) override { calls.push_back("close " + std::to_string(chip)); }

  std::vector<std::string> calls;
  std::map<std::string, int> errors;  // call name -> errno value
  std::map<unsigned, std::string> consumers;
  int line_count = 54;

 private:
  template <typename T>
  static std::string Join(const std::vector<T>& values) {
    std::string text;
    for (const T& value : values) text += (text.empty() ? "" : ",") + std::to_string(value);
    return text;
  }
  int Fail(const std::string& call, int success) {
    const auto it = errors.find(call);
    return it == errors.end() ? success : -it->second;
  }
};

}  // namespace zelvo
