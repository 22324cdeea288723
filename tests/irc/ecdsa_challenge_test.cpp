#include "irc/ecdsa_challenge.h"

#include <gtest/gtest.h>

#include "support/sasl_server.h"

namespace zelvo {
namespace {

// Each challenge is signed with one key and checked with libcrypto's verifier
// holding only the public key; those that cannot be signed give nothing. The
// key file's faults are rows of the configuration reader's test.
TEST(EcdsaChallengeTest, SignsTheChallengeAsTheDigest) {
  const std::string pem = testing::NewPrivateKeyPem("EC", "P-256");
  const EcdsaKey::Loaded loaded = EcdsaKey::FromPem(pem);
  ASSERT_EQ(loaded.fault, EcdsaKey::Fault::kNone);
  struct Row {
    std::string challenge;
    bool signed_;
  };
  for (const Row& row :
       std::vector<Row>{{std::string(32, '\x5a'), true},
                        {std::string("\0\x01\xff", 3), true},
                        {std::string(EcdsaKey::kMaxChallengeBytes, 'c'), true},
                        {"", false},
                        {std::string(EcdsaKey::kMaxChallengeBytes + 1, 'c'), false}}) {
    const std::optional<std::string> signature = loaded.key->Sign(row.challenge);
    ASSERT_EQ(signature.has_value(), row.signed_) << row.challenge.size();
    if (!signature) continue;
    EXPECT_TRUE(testing::VerifiesChallenge(pem, row.challenge, *signature));
    // A signature of these bytes, not of their hash or of other bytes.
    std::string other = row.challenge;
    other.front() ^= 1;
    EXPECT_FALSE(testing::VerifiesChallenge(pem, other, *signature));
    EXPECT_FALSE(testing::VerifiesChallenge(testing::NewPrivateKeyPem("EC", "P-256"), row.challenge,
                                            *signature));
  }
}

}  // namespace
}  // namespace zelvo
