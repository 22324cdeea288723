#include "irc/ecdsa_challenge.h"

#include <gtest/gtest.h>

#include "support/sasl_server.h"

namespace zelvo {
namespace {

// Signed challenges pass libcrypto's verifier holding only the public key, as
// signatures of these bytes and no others; those that cannot be signed give
// nothing. The key file's faults are rows of the configuration reader's test.
TEST(EcdsaChallengeTest, SignsTheChallengeAsTheDigest) {
  const std::string pem = testing::NewPrivateKeyPem("EC", "P-256");
  const EcdsaKey::Loaded loaded = EcdsaKey::FromPem(pem);
  ASSERT_EQ(loaded.fault, EcdsaKey::Fault::kNone);
  for (std::string challenge : {std::string(32, '\x5a'), std::string("\0\x01\xff", 3),
                                std::string(EcdsaKey::kMaxChallengeBytes, 'c')}) {
    const std::optional<std::string> signature = loaded.key->Sign(challenge);
    ASSERT_TRUE(signature) << challenge.size();
    EXPECT_TRUE(testing::VerifiesChallenge(pem, challenge, *signature));
    challenge.front() ^= 1;
    EXPECT_FALSE(testing::VerifiesChallenge(pem, challenge, *signature));
  }
  EXPECT_FALSE(loaded.key->Sign(""));
  EXPECT_FALSE(loaded.key->Sign(std::string(EcdsaKey::kMaxChallengeBytes + 1, 'c')));
}

}  // namespace
}  // namespace zelvo
