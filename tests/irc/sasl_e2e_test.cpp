// SCRAM-SHA-256 and ECDSA-NIST256P-CHALLENGE logins of the real client (Qt
// socket, session) against a scripted loopback server that does the server's
// side with libcrypto: RFC 5802's proof check and signature, or the check of
// the ECDSA signature with the account's public key.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <iostream>

#include "irc/e2e_harness.h"
#include "irc/ecdsa_challenge.h"
#include "irc/secret_mask.h"
#include "log/messages.h"
#include "support/sasl_server.h"

namespace zelvo {
namespace {

std::string Hmac(const std::string& key, const std::string& data) {
  unsigned char out[32];
  unsigned int size = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
       reinterpret_cast<const unsigned char*>(data.data()), data.size(), out, &size);
  return std::string(reinterpret_cast<char*>(out), size);
}
std::string Sha256(const std::string& data) {
  unsigned char out[32];
  EVP_Digest(data.data(), data.size(), out, nullptr, EVP_sha256(), nullptr);
  return std::string(reinterpret_cast<char*>(out), 32);
}
std::string ToBase64(const std::string& bytes) {
  return QByteArray::fromStdString(bytes).toBase64().toStdString();
}
std::string FromBase64(const std::string& text) {
  return QByteArray::fromBase64(QByteArray::fromStdString(text)).toStdString();
}

enum class Fault { kNone, kWrongServerSignature, kOtherKeyRegistered };

// Just enough IRC for a SASL login as "alice" (password "pencil", or the key
// in `account_pem`); keeps the conversation, "C: " the client's, "S: " its own.
class SaslServer {
 public:
  SaslServer(std::string mechanism, Fault fault, std::string account_pem)
      : mechanism_(std::move(mechanism)), fault_(fault), pem_(std::move(account_pem)) {
    if (fault_ == Fault::kOtherKeyRegistered) pem_ = testing::NewPrivateKeyPem("EC", "P-256");
    server_.listen(QHostAddress::LocalHost);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      client_ = server_.nextPendingConnection();
      QObject::connect(client_, &QTcpSocket::readyRead, [this] {
        while (client_->canReadLine()) {
          const std::string line = client_->readLine().trimmed().toStdString();
          wire.push_back("C: " + line);
          OnLine(line, line.substr(line.find(' ') + 1));
        }
      });
    });
  }

  int Port() const { return server_.serverPort(); }
  bool Saw(const std::string& prefix) const {
    return std::any_of(wire.begin(), wire.end(), [&](auto& l) { return l.starts_with(prefix); });
  }
  std::vector<std::string> wire;

 private:
  void Send(const std::string& line) {
    wire.push_back("S: " + line);
    client_->write((line + "\r\n").c_str());
  }
  void Answer(bool ok) {
    Send(ok ? ":fake 900 relay relay!relay@127.0.0.1 alice :You are now logged in as alice"
            : ":fake 904 relay :SASL authentication failed");
    if (ok) Send(":fake 903 relay :SASL authentication successful");
  }

  void OnLine(const std::string& line, const std::string& payload) {
    if (line == "CAP LS 302") Send(":fake CAP * LS :sasl=PLAIN," + mechanism_);
    if (line == "CAP REQ :sasl") Send(":fake CAP relay ACK :sasl");
    if (line == "CAP END") Send(":fake 001 relay :Welcome to the fake network relay");
    if (line == "AUTHENTICATE " + mechanism_) return Send("AUTHENTICATE +");
    if (!line.starts_with("AUTHENTICATE ") || payload == "*") return;
    const std::string message = payload == "+" ? "" : FromBase64(payload);
    ++step_;
    if (mechanism_ == "SCRAM-SHA-256") return OnScram(message);
    if (step_ == 1 && message != "alice") return Answer(false);
    if (step_ == 1) return Send("AUTHENTICATE " + ToBase64(challenge_));
    Answer(testing::VerifiesChallenge(pem_, challenge_, message));
  }

  // RFC 5802, section 3, as the server computes it.
  void OnScram(const std::string& message) {
    if (step_ == 1) {
      first_bare_ = message.substr(3);
      server_first_ =
          "r=" + message.substr(message.find(",r=") + 3) + "%srv,s=" + ToBase64("salt") + ",i=4096";
      return Send("AUTHENTICATE " + ToBase64(server_first_));
    }
    if (step_ == 3) return Answer(true);  // "+" after the server's proof
    std::string salted(32, '\0');
    PKCS5_PBKDF2_HMAC("pencil", 6, reinterpret_cast<const unsigned char*>("salt"), 4, 4096,
                      EVP_sha256(), 32, reinterpret_cast<unsigned char*>(salted.data()));
    const std::size_t proof_at = message.rfind(",p=");
    const std::string auth = first_bare_ + "," + server_first_ + "," + message.substr(0, proof_at);
    const std::string client_key = Hmac(salted, "Client Key");
    std::string key = FromBase64(message.substr(proof_at + 3));
    const std::string client_signature = Hmac(Sha256(client_key), auth);
    for (std::size_t i = 0; i < key.size() && i < 32; ++i) key[i] ^= client_signature[i];
    if (Sha256(key) != Sha256(client_key)) return Answer(false);
    std::string signature = Hmac(Hmac(salted, "Server Key"), auth);
    if (fault_ == Fault::kWrongServerSignature) signature.back() ^= 1;
    Send("AUTHENTICATE " + ToBase64("v=" + ToBase64(signature)));
  }

  std::string mechanism_;
  Fault fault_;
  std::string pem_;  // the key registered for the account
  const std::string challenge_ = "thirty-two bytes of a challenge.";
  std::string first_bare_, server_first_;
  QTcpServer server_;
  QTcpSocket* client_ = nullptr;
  int step_ = 0;
};

struct Login {
  std::string name, mechanism;
  Fault fault;
  std::int32_t log_id;  // the log entry that tells how it went
};

class SaslE2eTest : public ::testing::TestWithParam<Login> {
 protected:
  static void SetUpTestSuite() { e2e::EnsureQtApplication(); }
};

TEST_P(SaslE2eTest, LogsInOrQuitsWithTheReason) {
  const Login& login = GetParam();
  const std::string pem = testing::NewPrivateKeyPem("EC", "P-256");
  SaslServer server(login.mechanism, login.fault, pem);
  e2e::Bot bot(server.Port());
  Settings& settings = bot.Configure();
  settings.IRCSASLMechanism = login.mechanism;
  settings.IRCSASLUsername = "alice";
  settings.IRCSASLPassword = login.mechanism == "SCRAM-SHA-256" ? "pencil" : "";
  settings.IRCSASLKey = EcdsaKey::FromPem(pem).key;
  settings.IRCSASLRequired = true;
  bot.Connect();

  const bool succeeds = login.fault == Fault::kNone;
  const std::string end = succeeds ? "C: JOIN #lab" : "C: QUIT :SASL login failed: ";
  ASSERT_TRUE(e2e::SpinUntil([&] { return server.Saw(end); }, std::chrono::seconds(10)))
      << bot.LogText();
  EXPECT_EQ(bot.CountLog(login.log_id), 1u) << bot.LogText();
  EXPECT_EQ(server.Saw("C: AUTHENTICATE *"), login.fault == Fault::kWrongServerSignature);
  // The server's SASL messages reach the console masked.
  for (const std::string& line : bot.console.lines) {
    if (line.find("AUTHENTICATE ") == std::string::npos) continue;
    EXPECT_TRUE(line.find("AUTHENTICATE +") != std::string::npos ||
                line.find(kSecretMask) != std::string::npos)
        << line;
  }
  if (succeeds && login.mechanism == "SCRAM-SHA-256") {
    std::cout << "SCRAM login on the wire:\n";
    for (const std::string& line : server.wire) std::cout << line << "\n";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Logins, SaslE2eTest,
    ::testing::Values(Login{"Scram", "SCRAM-SHA-256", Fault::kNone, log_msg::kSaslSucceeded.id},
                      Login{"Ecdsa", "ECDSA-NIST256P-CHALLENGE", Fault::kNone,
                            log_msg::kSaslSucceeded.id},
                      Login{"ScramWrongServerSignature", "SCRAM-SHA-256",
                            Fault::kWrongServerSignature, log_msg::kSaslInterception.id},
                      Login{"EcdsaSignatureOfAnotherKey", "ECDSA-NIST256P-CHALLENGE",
                            Fault::kOtherKeyRegistered, log_msg::kSaslFailed.id}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace zelvo
