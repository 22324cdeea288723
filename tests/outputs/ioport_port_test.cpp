#include "outputs/ioport_port.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "fake_ports.h"

namespace zelvo {
namespace {

struct AddressCase {
  const char* text;
  std::optional<std::uint16_t> expected;
};

class IoPortAddresses : public testing::TestWithParam<AddressCase> {};

TEST_P(IoPortAddresses, ParseDecimalOrHexadecimal) {
  EXPECT_EQ(ParseIoPortAddress(GetParam().text), GetParam().expected)
      << "for \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(Valid, IoPortAddresses,
                         testing::Values(AddressCase{"", 888}, AddressCase{"888", 888},
                                         AddressCase{"0x378", 888}, AddressCase{"0X378", 888},
                                         AddressCase{"0x3bc", 956}, AddressCase{"0x3BC", 956},
                                         AddressCase{"632", 632}, AddressCase{"0", 0},
                                         AddressCase{"65535", 65535},
                                         AddressCase{"0xffff", 65535}));

INSTANTIATE_TEST_SUITE_P(
    Invalid, IoPortAddresses,
    testing::Values(AddressCase{"65536", std::nullopt}, AddressCase{"0x10000", std::nullopt},
                    AddressCase{"-1", std::nullopt}, AddressCase{"+888", std::nullopt},
                    AddressCase{" 888", std::nullopt}, AddressCase{"888 ", std::nullopt},
                    AddressCase{"0x", std::nullopt}, AddressCase{"x378", std::nullopt},
                    AddressCase{"378h", std::nullopt}, AddressCase{"abc", std::nullopt},
                    AddressCase{"99999999999999999999", std::nullopt}));

TEST(IoPort, GainsAccessWritesAndGivesAccessBack) {
  FakePortIo io;
  {
    PortWriterChoice choice = IoPort::Open(888, &io);
    ASSERT_NE(choice.writer, nullptr) << choice.error;
    EXPECT_EQ(choice.writer->Write(129), "");
    EXPECT_EQ(choice.writer->Describe(), "I/O port 888 (0x378)");
  }
  EXPECT_EQ(io.calls, (std::vector<std::string>{"permit 888", "out 888 129", "revoke 888"}));
}

TEST(IoPort, WithoutPermissionTheErrorNamesTheAddressAndTheAlternatives) {
  FakePortIo io;
  io.permit_error = EPERM;
  const PortWriterChoice choice = IoPort::Open(0x3BC, &io);
  EXPECT_EQ(choice.writer, nullptr);
  EXPECT_EQ(io.calls, std::vector<std::string>{"permit 956"});
  for (const char* part :
       {"956 (0x3BC)", "Operation not permitted", "root", "CAP_SYS_RAWIO", "parport:"})
    EXPECT_NE(choice.error.find(part), std::string::npos)
        << "missing \"" << part << "\" in: " << choice.error;
}

TEST(IoPort, WithoutPortInstructionsTheErrorPointsToPpdev) {
  const PortWriterChoice choice = IoPort::Open(888, nullptr);
  EXPECT_EQ(choice.writer, nullptr);
  EXPECT_NE(choice.error.find("x86"), std::string::npos) << choice.error;
  EXPECT_NE(choice.error.find("parport:/dev/parport0"), std::string::npos) << choice.error;
}

}  // namespace
}  // namespace zelvo
