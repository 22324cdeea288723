// Fakes of the platform calls behind the port back-ends; they record every call.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "outputs/ioport_port.h"
#include "outputs/parport_port.h"

namespace zelvo {

// Records every call; each call fails with the errno value set for it.
class FakeParport final : public ParportSystem {
 public:
  int Open(const std::string& path) override {
    calls.push_back("open " + path);
    return Fail("open", 7);
  }
  int Claim(int fd) override {
    calls.push_back("claim " + std::to_string(fd));
    return Fail("claim", 0);
  }
  int WriteData(int fd, std::uint8_t byte) override {
    calls.push_back("data " + std::to_string(fd) + " " + std::to_string(byte));
    return Fail("data", 0);
  }
  int Release(int fd) override {
    calls.push_back("release " + std::to_string(fd));
    return Fail("release", 0);
  }
  int Close(int fd) override {
    calls.push_back("close " + std::to_string(fd));
    return Fail("close", 0);
  }

  std::vector<std::string> calls;
  std::map<std::string, int> errors;  // call name -> errno value

 private:
  int Fail(const std::string& call, int success) {
    const auto it = errors.find(call);
    return it == errors.end() ? success : -it->second;
  }
};

class FakePortIo final : public IoPortSystem {
 public:
  int Permit(std::uint16_t address, bool enable) override {
    calls.push_back((enable ? "permit " : "revoke ") + std::to_string(address));
    return enable ? permit_error : 0;
  }
  void Out(std::uint16_t address, std::uint8_t byte) override {
    calls.push_back("out " + std::to_string(address) + " " + std::to_string(byte));
  }
  std::vector<std::string> calls;
  int permit_error = 0;
};

}  // namespace zelvo
