#include "irc/scram.h"

#include <gtest/gtest.h>

#include "log/messages.h"

namespace zelvo {
namespace {

// RFC 7677, section 3.
constexpr char kNonce[] = "rOprNGfwEbeRWgbNEkqO";
const std::string kNonces = "r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0";
const std::string kSalt = ",s=W22ZaJ0SNY7soEsUEjb6gQ==";
const std::string kServerFirst = kNonces + kSalt + ",i=4096";

TEST(ScramTest, Rfc7677Sha256Exchange) {
  ScramClient client(ScramHash::kSha256, "user", "pencil", kNonce);
  EXPECT_EQ(client.ClientFirst(), "n,,n=user,r=rOprNGfwEbeRWgbNEkqO");
  EXPECT_EQ(client.OnServerFirst(kServerFirst).message,
            "c=biws," + kNonces + ",p=dHzbZapWIk4jUhN+Ute9ytag9zjfMHgsqmmiz7AndVQ=");
  EXPECT_EQ(ScramClient(ScramHash::kSha256, "a=b,c", "", "n").ClientFirst(), "n,,n=a=3Db=2Cc,r=n");
}

// Server messages at both steps and the failure they give ("" for none).
struct Fault {
  std::string name, server_first, server_final, error;
  bool interception = false;
};

class ScramFaultTest : public ::testing::TestWithParam<Fault> {};

TEST_P(ScramFaultTest, Refuses) {
  const Fault& f = GetParam();
  ScramClient client(ScramHash::kSha256, "user", "pencil", kNonce);
  ScramStep step = client.OnServerFirst(f.server_first);
  if (step.ok()) step = client.OnServerFinal(f.server_final);
  EXPECT_EQ(step.error, f.error);
  EXPECT_EQ(step.interception, f.interception);
  EXPECT_EQ(client.Verified(), f.error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ScramFaultTest,
    ::testing::Values(
        Fault{"Verified", kServerFirst, "v=6rriTRBi23WpRR/wtup+mMhUZUn/dB5nLTJRsjl95G4=", ""},
        Fault{"WrongSignature", kServerFirst,
              "v=7rriTRBi23WpRR/wtup+mMhUZUn/dB5nLTJRsjl95G4=", ScramSignatureText(), true},
        Fault{"Error", kServerFirst, "e=other-error", ScramServerErrorText("other-error"), true},
        Fault{"NonceNotOurs", "r=rOprNGfwEbeRWgbNEkqX%" + kSalt + ",i=4096", "", ScramNonceText()},
        Fault{"TooFewIterations", kNonces + kSalt + ",i=4095", "",
              ScramIterationsText(4095, 4096, 10'000'000)},
        Fault{"SaltNotBase64", kNonces + ",s=W22=aJ0,i=4096", "", ScramMalformedText("salt (s=)")},
        Fault{"NoNonce", kSalt.substr(1) + ",i=4096", "", ScramMalformedText("nonce (r=)")}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace zelvo
