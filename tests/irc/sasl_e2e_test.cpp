// SCRAM-SHA-256 and ECDSA-NIST256P-CHALLENGE logins of the real client (Qt
// socket, session) against a scripted server on loopback that does the
// server's side with libcrypto: it checks the SCRAM proof and signs back, or
// checks the ECDSA signature with the account's public key.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <iostream>

#include "irc/e2e_harness.h"
#include "irc/ecdsa_challenge.h"
#include "irc/secret_mask.h"
#include "log/messages.h"
#include "support/sasl_server.h"

namespace zelvo {
namespace {

using std::chrono::seconds;

// What the server's side does wrong, if anything.
enum class Fault { kNone, kWrongServerSignature, kOtherKeyRegistered };

// A server that speaks just enough IRC for a SASL login and keeps the
// conversation, "C: " for the client's lines and "S: " for its own.
class SaslServer {
 public:
  SaslServer(std::string mechanism, Fault fault, std::string account_pem)
      : mechanism_(std::move(mechanism)), fault_(fault), account_pem_(std::move(account_pem)) {
    server_.listen(QHostAddress::LocalHost);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      client_ = server_.nextPendingConnection();
      QObject::connect(client_, &QTcpSocket::readyRead, [this] { OnData(); });
    });
  }

  int Port() const { return server_.serverPort(); }
  std::vector<std::string> wire;
  bool Saw(const std::string& prefix) const {
    for (const std::string& line : wire) {
      if (line.starts_with(prefix)) return true;
    }
    return false;
  }

 private:
  void OnData() {
    buffer_ += client_->readAll().toStdString();
    for (std::size_t end; (end = buffer_.find("\r\n")) != std::string::npos;) {
      const std::string line = buffer_.substr(0, end);
      buffer_.erase(0, end + 2);
      wire.push_back("C: " + line);
      OnLine(line);
    }
  }

  void Send(const std::string& line) {
    wire.push_back("S: " + line);
    client_->write((line + "\r\n").c_str());
  }

  void Fail() { Send(":fake 904 relay :SASL authentication failed"); }

  void Succeed() {
    Send(":fake 900 relay relay!relay@127.0.0.1 alice :You are now logged in as alice");
    Send(":fake 903 relay :SASL authentication successful");
  }

  void OnLine(const std::string& line) {
    const std::string payload = line.substr(line.find(' ') + 1);
    if (line == "CAP LS 302") {
      Send(":fake CAP * LS :sasl=PLAIN," + mechanism_);
    } else if (line == "CAP REQ :sasl") {
      Send(":fake CAP relay ACK :sasl");
    } else if (line == "AUTHENTICATE " + mechanism_) {
      Send("AUTHENTICATE +");
    } else if (line.starts_with("AUTHENTICATE ") && payload != "*") {
      const std::optional<std::string> message =
          payload == "+" ? std::string() : testing::FromBase64(payload);
      if (!message) return Fail();
      mechanism_ == "SCRAM-SHA-256" ? OnScram(*message) : OnEcdsa(*message);
    } else if (line == "CAP END") {
      Send(":fake 001 relay :Welcome to the fake network relay");
    }
  }

  void OnScram(const std::string& message) {
    ++step_;
    std::optional<std::string> answer;
    if (step_ == 1) answer = scram_.First(message);
    if (step_ == 2) answer = scram_.Final(message);
    if (step_ == 3) return Succeed();  // the client's "+" after the server's proof
    if (!answer) return Fail();
    if (step_ == 2 && fault_ == Fault::kWrongServerSignature) {
      std::string signature = testing::FromBase64(answer->substr(2)).value_or("");
      signature.back() ^= 1;
      answer = "v=" + testing::ToBase64(signature);
    }
    Send("AUTHENTICATE " + testing::ToBase64(*answer));
  }

  void OnEcdsa(const std::string& message) {
    if (++step_ == 1) {
      if (message != "alice") return Fail();
      Send("AUTHENTICATE " + testing::ToBase64(challenge_));
      return;
    }
    const std::string& registered =
        fault_ == Fault::kOtherKeyRegistered ? other_pem_ : account_pem_;
    testing::VerifiesChallenge(registered, challenge_, message) ? Succeed() : Fail();
  }

  std::string mechanism_;
  Fault fault_;
  std::string account_pem_;
  std::string other_pem_ = testing::NewPrivateKeyPem("EC", "P-256");
  std::string challenge_ = std::string("fake network challenge, 32 bytes", 32);
  testing::ScramSha256Server scram_{"pencil", "salt of the fake", 4096, "%server-nonce"};
  QTcpServer server_;
  QTcpSocket* client_ = nullptr;
  std::string buffer_;
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
  ASSERT_TRUE(e2e::SpinUntil([&] { return server.Saw(end); }, seconds(10))) << bot.LogText();
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
    std::string text;
    for (const std::string& line : server.wire) text += line + "\n";
    std::cout << "SCRAM login on the wire:\n" << text;
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
