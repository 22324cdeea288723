// The real servers of the end-to-end tests come up, link and do what the
// tests need of them, driven by plain clients (not the bot).
#include "irc/servers.h"

#include <gtest/gtest.h>

#include <iostream>

#include "irc/cap_negotiation.h"
#include "irc/irc_message.h"

namespace zelvo::servers {
namespace {

using std::chrono::seconds;

void Report(const std::string& what, milliseconds time) {
  std::cout << what << " up in " << time.count() << " ms\n";
  ::testing::Test::RecordProperty(what + "_startup_ms", static_cast<int>(time.count()));
}

// Whether openssl completes a verified TLS handshake with the port.
bool TlsHandshakeVerifies(int port, const std::string& ca_file) {
  const std::string command =
      "echo | timeout 10 openssl s_client -connect 127.0.0.1:" + std::to_string(port) +
      " -CAfile " + ca_file + " -verify_return_error -verify_hostname localhost >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

// Registers with SASL PLAIN by hand; returns the client's lines.
std::string SaslPlainLogin(int port, const std::string& nick, const std::string& account,
                           const std::string& password) {
  LineClient client;
  if (!client.Connect(port)) return "no connection";
  client.Send("CAP LS 302");
  client.Send("NICK " + nick);
  client.Send("USER " + nick + " 0 * :Zelvo test user");
  client.Send("CAP REQ :sasl");
  if (client.WaitForContaining(" ACK :sasl", seconds(5)) < 0) return client.Transcript();
  client.Send("AUTHENTICATE PLAIN");
  if (client.WaitFor([](const std::string& l) { return l.rfind("AUTHENTICATE", 0) == 0; },
                     seconds(5)) < 0) {
    return client.Transcript();
  }
  client.Send("AUTHENTICATE " + Base64Encode(account + '\0' + account + '\0' + password));
  client.WaitFor(
      [](const std::string& l) {
        return l.find(" 903 ") != std::string::npos || l.find(" 904 ") != std::string::npos;
      },
      seconds(10));
  client.Send("CAP END");
  client.WaitForContaining(" 001 ", seconds(5));
  return client.Transcript();
}

class ServicesNetworkTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    network_ = new ServicesNetwork;
    if (!network_->Start()) {
      error_ = network_->Error();
      return;
    }
    Report("inspircd", network_->ircd.StartupTime());
    Report("anope", network_->services.StartupTime());
    error_ = network_->RegisterAccount("alice", "secret1");
  }
  static void TearDownTestSuite() {
    delete network_;
    network_ = nullptr;
  }
  void SetUp() override {
    if (error_.find("not installed") != std::string::npos) GTEST_SKIP() << error_;
    ASSERT_EQ(error_, "");
  }

  inline static ServicesNetwork* network_ = nullptr;
  inline static std::string error_;
};

TEST_F(ServicesNetworkTest, LogsInWithSaslPlainAndRefusesAWrongPassword) {
  const std::string good = SaslPlainLogin(network_->Port(), "bob", "alice", "secret1");
  EXPECT_NE(good.find(" 900 bob bob!bob@127.0.0.1 alice :"), std::string::npos) << good;
  EXPECT_NE(good.find(" 903 bob :"), std::string::npos) << good;

  const std::string bad = SaslPlainLogin(network_->Port(), "carol", "alice", "wrong");
  EXPECT_NE(bad.find(" 904 carol :"), std::string::npos) << bad;
  EXPECT_EQ(bad.find(" 900 "), std::string::npos) << bad;
}

// The negotiation module against the real server: what it asks for, gets
// and how it logs in.
TEST_F(ServicesNetworkTest, CapNegotiationRegistersWithSasl) {
  CapConfig config;
  config.nick_line = "NICK dave";
  config.user_line = "USER dave 0 * :Zelvo test user";
  config.mechanism = SaslMechanism::kPlain;
  config.sasl_username = "alice";
  config.sasl_password = "secret1";
  CapNegotiation cap;
  LineClient client;
  ASSERT_TRUE(client.Connect(network_->Port()));
  std::vector<CapEvent> events;
  auto apply = [&](const CapOutput& out) {
    for (const std::string& line : out.lines) client.Send(line);
    events.insert(events.end(), out.events.begin(), out.events.end());
  };
  apply(cap.Start(config, std::chrono::steady_clock::now()));
  std::size_t seen = 0;
  const int welcome = client.WaitFor(
      [&](const std::string& line) {
        apply(cap.OnMessage(ParseIrcMessage(line + "\r\n"), std::chrono::steady_clock::now()));
        ++seen;
        return line.find(" 001 dave ") != std::string::npos;
      },
      seconds(10));
  ASSERT_GE(welcome, 0) << client.Transcript();
  EXPECT_EQ(events, (std::vector<CapEvent>{{CapEvent::Kind::kSaslSucceeded, "alice"},
                                           {CapEvent::Kind::kNegotiationDone, ""}}))
      << client.Transcript();
  // In effect: what the table asks for of what this server lists.
  const std::string listed = client.Transcript().substr(0, client.Transcript().find('\n')) + " ";
  for (const Capability& want : Capabilities()) {
    const bool offered = listed.find(" " + std::string(want.name)) != std::string::npos ||
                         listed.find(":" + std::string(want.name)) != std::string::npos;
    EXPECT_EQ(cap.Has(want.name), want.requested(config) && offered)
        << want.name << "\n" << client.Transcript();
  }
  EXPECT_FALSE(cap.Has("echo-message"));
}

TEST(NgircdServerTest, ServesTlsWithTheTestCertificateAndZncInFront) {
  NgircdServer ngircd;
  ZELVO_START_OR_SKIP(ngircd, {.tls = true});
  Report("ngircd_tls", ngircd.StartupTime());
  EXPECT_TRUE(TlsHandshakeVerifies(ngircd.TlsPort(), ngircd.Certificates().ca_file));
  EXPECT_FALSE(TlsHandshakeVerifies(ngircd.TlsPort(), ngircd.Certificates().wrong_ca_file));
  EXPECT_EQ(ngircd.Certificates().fingerprint.size(), 95u) << ngircd.Certificates().fingerprint;

  ZncBouncer znc;
  ZELVO_START_OR_SKIP(znc, ngircd.Port(), "relay", "bouncerpw");
  Report("znc", znc.StartupTime());
  LineClient refused;
  ASSERT_TRUE(refused.Connect(znc.Port()));
  refused.Send("PASS relay:wrong");
  refused.Send("NICK relay");
  refused.Send("USER relay 0 * :Zelvo test user");
  EXPECT_GE(refused.WaitForContaining(" 464 ", seconds(10)), 0) << refused.Transcript();
  EXPECT_LT(refused.WaitForContaining(" 001 ", seconds(1)), 0) << refused.Transcript();
  LineClient through;
  ASSERT_TRUE(through.Connect(znc.Port()));
  through.Send("PASS relay:bouncerpw");
  ASSERT_TRUE(through.Register("relay", seconds(10))) << through.Transcript() << znc.Log();
  EXPECT_GE(through.WaitForContaining(":irc.zelvo.test 001 relay ", seconds(10)), 0)
      << through.Transcript();
}

TEST(InspircdServerTest, ServesTlsAndComesBackOnTheSamePorts) {
  InspircdServer ircd;
  const auto start = std::chrono::steady_clock::now();
  ZELVO_START_OR_SKIP(ircd);
  Report("inspircd_with_certificates",
         std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start));
  EXPECT_TRUE(TlsHandshakeVerifies(ircd.TlsPort(), ircd.Certificates().ca_file));
  EXPECT_FALSE(TlsHandshakeVerifies(ircd.TlsPort(), ircd.Certificates().wrong_ca_file));
  const int port = ircd.Port();
  ircd.Stop();
  EXPECT_FALSE(PortListening(port));
  ASSERT_TRUE(ircd.Restart()) << ircd.Error();
  Report("inspircd_restart", ircd.StartupTime());
  LineClient client;
  ASSERT_TRUE(client.Connect(port));
  EXPECT_TRUE(client.Register("erin")) << client.Transcript();
}

}  // namespace
}  // namespace zelvo::servers
