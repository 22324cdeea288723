#include "irc/secret_mask.h"

#include <gtest/gtest.h>

namespace zelvo {
namespace {

TEST(SecretMaskTest, HidesPasswordsAndSaslPayloads) {
  struct Case {
    std::string line, shown;
    std::vector<std::string> secrets;
  };
  for (const Case& c : std::vector<Case>{
           {"PASS hunter2\r\n", "PASS ********\r\n", {}},
           {"pass :two words", "pass ********", {}},
           {"AUTHENTICATE YWxpY2UAYWxpY2UAczNjcmV0\r\n", "AUTHENTICATE ********\r\n", {}},
           {"AUTHENTICATE PLAIN\r\n", "AUTHENTICATE PLAIN\r\n", {}},
           {"AUTHENTICATE EXTERNAL", "AUTHENTICATE EXTERNAL", {}},
           {"AUTHENTICATE SCRAM-SHA-256", "AUTHENTICATE SCRAM-SHA-256", {}},
           {"AUTHENTICATE ECDSA-NIST256P-CHALLENGE", "AUTHENTICATE ECDSA-NIST256P-CHALLENGE", {}},
           {"AUTHENTICATE +\r\n", "AUTHENTICATE +\r\n", {}},
           {"AUTHENTICATE *\r\n", "AUTHENTICATE *\r\n", {}},
           {"PASSWORD x\r\n", "PASSWORD x\r\n", {}},
           {"NICK relay\r\n", "NICK relay\r\n", {"s3cret"}},
           {"PRIVMSG NickServ :IDENTIFY s3cret\r\n",
            "PRIVMSG NickServ :IDENTIFY ********\r\n",
            {"", "s3cret"}},
           {"PRIVMSG #lab :aa aa\r\n", "PRIVMSG #lab :******** ********\r\n", {"aa"}},
           {"PASS\r\n", "PASS\r\n", {}},
       }) {
    EXPECT_EQ(MaskSecrets(c.line, c.secrets), c.shown) << c.line;
  }
}

}  // namespace
}  // namespace zelvo
