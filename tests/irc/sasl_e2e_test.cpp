// SCRAM-SHA-256 and ECDSA-NIST256P-CHALLENGE logins of the real client (Qt
// socket, session) against a scripted loopback server that does the server's
// side apart from the bot's code: RFC 5802's proof check and signature with
// Qt's hashes, or the check of the ECDSA signature with the account's key.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QPasswordDigestor>
#include <QTcpServer>

#include "irc/e2e_harness.h"
#include "irc/ecdsa_challenge.h"
#include "irc/secret_mask.h"
#include "log/messages.h"
#include "support/sasl_server.h"

namespace zelvo {
namespace {

constexpr auto kSha256 = QCryptographicHash::Sha256;

enum class Fault { kNone, kWrongServerSignature, kOtherKeyRegistered };

// Just enough IRC for a SASL login as "alice" (password "pencil", or the key
// in `pem`); keeps the client's lines, each after a "\n".
class SaslServer {
 public:
  SaslServer(QByteArray mechanism, Fault fault, std::string pem)
      : mechanism_(mechanism), fault_(fault), pem_(std::move(pem)) {
    server_.listen(QHostAddress::LocalHost);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      client_ = server_.nextPendingConnection();
      QObject::connect(client_, &QTcpSocket::readyRead, [this] {
        while (client_->canReadLine()) OnLine(client_->readLine().trimmed());
      });
    });
  }

  int Port() const { return server_.serverPort(); }
  bool Saw(const QByteArray& line_start) const { return from_client.contains("\n" + line_start); }
  QByteArray from_client;

 private:
  void Send(const QByteArray& line) { client_->write(line + "\r\n"); }
  void Answer(bool ok) {
    Send(ok ? ":fake 900 relay relay!relay@127.0.0.1 alice :You are now logged in as alice\r\n"
              ":fake 903 relay :SASL authentication successful"
            : ":fake 904 relay :SASL authentication failed");
  }

  void OnLine(const QByteArray& line) {
    from_client += "\n" + line;
    if (line == "CAP LS 302") Send(":fake CAP * LS :sasl=PLAIN," + mechanism_);
    if (line == "CAP REQ :sasl") Send(":fake CAP relay ACK :sasl");
    if (line == "CAP END") Send(":fake 001 relay :Welcome to the fake network relay");
    if (line == "AUTHENTICATE " + mechanism_) return Send("AUTHENTICATE +");
    if (!line.startsWith("AUTHENTICATE ") || line == "AUTHENTICATE *") return;
    const QByteArray message = QByteArray::fromBase64(line.mid(13));
    ++step_;
    if (mechanism_ == "SCRAM-SHA-256") return OnScram(message);
    if (step_ == 1 && message != "alice") return Answer(false);
    if (step_ == 1) return Send("AUTHENTICATE " + challenge_.toBase64());
    Answer(testing::VerifiesChallenge(pem_, challenge_.toStdString(), message.toStdString()));
  }

  // RFC 5802, section 3, as the server computes it.
  void OnScram(const QByteArray& message) {
    if (step_ == 1) {
      first_bare_ = message.mid(3);
      server_first_ =
          "r=" + message.mid(message.indexOf(",r=") + 3) + "%srv,s=c2FsdA==,i=4096";  // "salt"
      return Send("AUTHENTICATE " + server_first_.toBase64());
    }
    if (step_ == 3) return Answer(true);  // "+" after the server's proof
    const auto hmac = [](const QByteArray& key, const QByteArray& data) {
      return QMessageAuthenticationCode::hash(data, key, kSha256);
    };
    const QByteArray salted =
        QPasswordDigestor::deriveKeyPbkdf2(kSha256, "pencil", "salt", 4096, 32);
    const qsizetype proof_at = message.lastIndexOf(",p=");
    const QByteArray auth = first_bare_ + "," + server_first_ + "," + message.left(proof_at);
    const QByteArray client_key = hmac(salted, "Client Key");
    const QByteArray client_signature = hmac(QCryptographicHash::hash(client_key, kSha256), auth);
    QByteArray key = QByteArray::fromBase64(message.mid(proof_at + 3));
    for (qsizetype i = 0; i < key.size() && i < 32; ++i) key[i] ^= client_signature[i];
    if (key != client_key) return Answer(false);
    QByteArray signature = hmac(hmac(salted, "Server Key"), auth);
    if (fault_ == Fault::kWrongServerSignature) signature.back() ^= 1;
    Send("AUTHENTICATE " + ("v=" + signature.toBase64()).toBase64());
  }

  QByteArray mechanism_;
  Fault fault_;
  std::string pem_;  // the key registered for the account
  const QByteArray challenge_ = "thirty-two bytes of a challenge.";
  QByteArray first_bare_, server_first_;
  QTcpServer server_;
  QTcpSocket* client_ = nullptr;
  int step_ = 0;
};

TEST(SaslE2eTest, EachMechanismLogsInOrQuitsWithTheReason) {
  e2e::EnsureQtApplication();
  const struct {
    const char* mechanism;
    Fault fault;
    std::int32_t log_id;  // the log entry that tells how it went
  } logins[] = {{"SCRAM-SHA-256", Fault::kNone, log_msg::kSaslSucceeded.id},
                {"ECDSA-NIST256P-CHALLENGE", Fault::kNone, log_msg::kSaslSucceeded.id},
                {"SCRAM-SHA-256", Fault::kWrongServerSignature, log_msg::kSaslInterception.id},
                {"ECDSA-NIST256P-CHALLENGE", Fault::kOtherKeyRegistered, log_msg::kSaslFailed.id}};
  for (const auto& login : logins) {
    SCOPED_TRACE(std::string(login.mechanism) + " " +
                 std::to_string(static_cast<int>(login.fault)));
    const std::string pem = testing::NewPrivateKeyPem("EC", "P-256");
    const bool other_key = login.fault == Fault::kOtherKeyRegistered;
    SaslServer server(login.mechanism, login.fault,
                      other_key ? testing::NewPrivateKeyPem("EC", "P-256") : pem);
    e2e::Bot bot(server.Port());
    Settings& settings = bot.Configure();
    settings.IRCSASLMechanism = login.mechanism;
    settings.IRCSASLUsername = "alice";
    settings.IRCSASLPassword = "pencil";
    settings.IRCSASLKey = EcdsaKey::FromPem(pem).key;
    settings.IRCSASLRequired = true;
    bot.Connect();

    const char* end = login.fault == Fault::kNone ? "JOIN #lab" : "QUIT :SASL login failed: ";
    ASSERT_TRUE(e2e::SpinUntil([&] { return server.Saw(end); }, std::chrono::seconds(10)))
        << bot.LogText();
    EXPECT_EQ(bot.CountLog(login.log_id), 1u) << bot.LogText();
    EXPECT_EQ(server.Saw("AUTHENTICATE *"), login.fault == Fault::kWrongServerSignature);
    // The server's SASL messages reach the console masked.
    for (const std::string& line : bot.console.lines) {
      if (line.find("AUTHENTICATE ") == std::string::npos) continue;
      EXPECT_TRUE(line.find("AUTHENTICATE +") != std::string::npos ||
                  line.find(kSecretMask) != std::string::npos)
          << line;
    }
  }
}

}  // namespace
}  // namespace zelvo
