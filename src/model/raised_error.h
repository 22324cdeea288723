// An error raised during start-up: a number and a description. The program's
// own errors carry the number -1 and the failing operation's error text.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zelvo {

class RaisedError : public std::runtime_error {
 public:
  RaisedError(std::int32_t number, std::string description)
      : std::runtime_error(description), number_(number), description_(std::move(description)) {}
  // An error of the program itself: number -1.
  explicit RaisedError(std::string description) : RaisedError(-1, std::move(description)) {}

  std::int32_t Number() const { return number_; }
  const std::string& Description() const { return description_; }

 private:
  std::int32_t number_;
  std::string description_;
};

}  // namespace zelvo
