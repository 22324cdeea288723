#include "irc/scram.h"

#include <gtest/gtest.h>

#include "log/messages.h"

namespace zelvo {
namespace {

// RFC 7677, section 3.
constexpr char kNonce[] = "rOprNGfwEbeRWgbNEkqO";
constexpr char kServerFirst[] =
    "r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0,s=W22ZaJ0SNY7soEsUEjb6gQ==,i=4096";
constexpr char kServerFinal[] = "v=6rriTRBi23WpRR/wtup+mMhUZUn/dB5nLTJRsjl95G4=";

TEST(ScramTest, Rfc7677Sha256Exchange) {
  ScramClient client(ScramHash::kSha256, "user", "pencil", kNonce);
  EXPECT_EQ(client.ClientFirst(), "n,,n=user,r=rOprNGfwEbeRWgbNEkqO");
  const ScramStep final = client.OnServerFirst(kServerFirst);
  EXPECT_EQ(final.message,
            "c=biws,r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0,"
            "p=dHzbZapWIk4jUhN+Ute9ytag9zjfMHgsqmmiz7AndVQ=");
  EXPECT_FALSE(client.Verified());
  EXPECT_TRUE(client.OnServerFinal(kServerFinal).ok());
  EXPECT_TRUE(client.Verified());
  EXPECT_EQ(ScramClient(ScramHash::kSha256, "a=b,c", "", "n").ClientFirst(), "n,,n=a=3Db=2Cc,r=n");
}

// A server message at either step and the failure it must give ("" for none).
struct Fault {
  std::string name;
  std::string server_first;
  std::string server_final;
  std::string error;
  bool interception;
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

const std::string kSalt = ",s=W22ZaJ0SNY7soEsUEjb6gQ==";
const std::string kOurs = "r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0";

INSTANTIATE_TEST_SUITE_P(
    Faults, ScramFaultTest,
    ::testing::Values(
        Fault{"Verified", kServerFirst, kServerFinal, "", false},
        Fault{"WrongSignature", kServerFirst,
              "v=7rriTRBi23WpRR/wtup+mMhUZUn/dB5nLTJRsjl95G4=", ScramSignatureText(), true},
        Fault{"NoSignature", kServerFirst, "x=1", ScramSignatureText(), true},
        Fault{"ErrorAtTheEnd", kServerFirst, "e=invalid-proof",
              ScramServerErrorText("invalid-proof"), true},
        Fault{"NonceNotOurs", "r=rOprNGfwEbeRWgbNEkqX%hv" + kSalt + ",i=4096", "", ScramNonceText(),
              false},
        Fault{"NonceOnlyOurs", std::string("r=") + kNonce + kSalt + ",i=4096", "", ScramNonceText(),
              false},
        Fault{"TooFewIterations", kOurs + kSalt + ",i=4095", "",
              ScramIterationsText(4095, 4096, 10'000'000), false},
        Fault{"NoIterations", kOurs + kSalt, "", ScramMalformedText("iteration count (i=)"), false},
        Fault{"NoSalt", kOurs + ",i=4096", "", ScramMalformedText("salt (s=)"), false},
        Fault{"NoNonce", kSalt.substr(1) + ",i=4096", "", ScramMalformedText("nonce (r=)"), false},
        Fault{"ErrorAtTheStart", "e=unknown-user", "", ScramServerErrorText("unknown-user"), true}),
    [](const auto& info) { return info.param.name; });

TEST(ScramTest, Base64DecodeRefusesWhatIsNotBase64) {
  EXPECT_EQ(Base64Decode("cGVuY2lsAA=="), std::string("pencil\0", 7));
  for (const char* bad : {"cGVu=2ls", "cGVuY2l", "cGV*", "c==="}) EXPECT_FALSE(Base64Decode(bad));
}

}  // namespace
}  // namespace zelvo
