// The Qt socket against loopback: state numbers, events and error numbers.
#include "irc/qt_socket.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTcpServer>

#include "irc/e2e_harness.h"
#include "irc/servers.h"

namespace zelvo {
namespace {

using std::chrono::seconds;
using ::testing::ElementsAre;

// Records the events in order, with the state the socket had at each.
class RecordingHandler final : public SocketEvents {
 public:
  explicit RecordingHandler(Socket& socket) : socket_(socket) {}
  void sckIRC_Connect() override { Note("connect"); }
  void sckIRC_DataArrival(std::int32_t) override {
    std::string data;
    socket_.GetData(data);
    received += data;
    largest_read = std::max(largest_read, data.size());
    Note("data");
    if (on_data) on_data();
  }
  void sckIRC_Error(const SocketError& error) override {
    errors.push_back(error);
    Note("error");
  }
  void sckIRC_ConnectionRequest(std::int32_t) override { Note("request"); }
  void sckIRC_SendComplete() override { Note("sent"); }
  void sckIRC_Close() override { Note("close"); }
  void sckIRC_TlsError(const TlsFailure& failure) override {
    tls_failures.push_back(failure);
    Note("tls-error");
  }

  bool Saw(const std::string& event) const {
    return std::find(events.begin(), events.end(), event) != events.end();
  }

  std::vector<std::string> events;
  std::vector<std::int16_t> states;
  std::vector<SocketError> errors;
  std::vector<TlsFailure> tls_failures;
  std::string received;
  std::size_t largest_read = 0;
  std::function<void()> on_data;  // called after each data event

 private:
  void Note(const std::string& event) {
    events.push_back(event);
    states.push_back(socket_.State());
  }
  Socket& socket_;
};

class QtSocketTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { e2e::EnsureQtApplication(); }
  QtSocketTest() { socket_.SetHandler(&handler_); }

  // Connects the socket to `server` on loopback; the server's end, or null.
  QTcpSocket* ConnectTo(QTcpServer& server) {
    if (!server.listen(QHostAddress::LocalHost)) return nullptr;
    socket_.SetRemoteHost("127.0.0.1");
    socket_.SetRemotePort(server.serverPort());
    socket_.Connect();
    if (!e2e::SpinUntil([&] { return server.hasPendingConnections(); }, seconds(5))) return nullptr;
    return server.nextPendingConnection();
  }

  QtSocket socket_;
  RecordingHandler handler_{socket_};
};

TEST_F(QtSocketTest, ConnectsSendsReceivesAndSeesThePeerClose) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  EXPECT_EQ(socket_.State(), socket_state::kClosed);
  socket_.SetRemoteHost("127.0.0.1");
  socket_.SetRemotePort(server.serverPort());
  socket_.Connect();
  EXPECT_EQ(socket_.State(), socket_state::kConnecting);
  ASSERT_TRUE(e2e::SpinUntil([&] { return handler_.Saw("connect"); }, seconds(5)));
  EXPECT_EQ(socket_.State(), socket_state::kConnected);
  EXPECT_EQ(socket_.LocalIP(), "127.0.0.1");
  EXPECT_GT(socket_.LocalPort(), 0);
  EXPECT_FALSE(socket_.LocalHostName().empty());

  ASSERT_TRUE(e2e::SpinUntil([&] { return server.hasPendingConnections(); }, seconds(5)));
  QTcpSocket* peer = server.nextPendingConnection();
  EXPECT_EQ(socket_.SendData("NICK relay\r\n"), "");
  ASSERT_TRUE(e2e::SpinUntil([&] { return peer->bytesAvailable() >= 12; }, seconds(5)));
  EXPECT_EQ(peer->readAll().toStdString(), "NICK relay\r\n");
  EXPECT_TRUE(handler_.Saw("sent"));

  peer->write("PING :1\r\n");
  ASSERT_TRUE(e2e::SpinUntil([&] { return handler_.received == "PING :1\r\n"; }, seconds(5)));

  peer->disconnectFromHost();
  ASSERT_TRUE(e2e::SpinUntil([&] { return handler_.Saw("close"); }, seconds(5)));
  EXPECT_EQ(socket_.State(), socket_state::kClosed);
  EXPECT_TRUE(handler_.errors.empty());  // a peer closing is no error
  EXPECT_NE(socket_.SendData("x"), "");
}

TEST_F(QtSocketTest, HoldsAtMostTheReadBufferAtOnceAndReadsOnUntilAllHasCome) {
  QTcpServer server;
  QTcpSocket* peer = ConnectTo(server);
  ASSERT_NE(peer, nullptr);
  ASSERT_TRUE(e2e::SpinUntil([&] { return handler_.Saw("connect"); }, seconds(5)));

  // 4 MB in one write, faster than the handler takes it.
  std::string sent;
  for (int i = 0; sent.size() < 4 * 1024 * 1024; ++i) sent += "line " + std::to_string(i) + "\r\n";
  peer->write(sent.data(), static_cast<qint64>(sent.size()));
  ASSERT_TRUE(e2e::SpinUntil([&] { return handler_.received.size() >= sent.size(); }, seconds(30)));
  EXPECT_TRUE(handler_.received == sent);
  EXPECT_LE(handler_.largest_read, static_cast<std::size_t>(QtSocket::kReadBufferBytes));
}

// A data event asked for again comes back from the event loop, once however
// often asked, and a descriptor that became ready meanwhile (the signal
// descriptor) is handled before the next pass at the latest.
TEST_F(QtSocketTest, ADataEventAskedForLaterLetsReadyDescriptorsIn) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  QSocketNotifier notifier(fds[0], QSocketNotifier::Read);
  std::vector<std::string> order;
  QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
    char c;
    EXPECT_EQ(::read(fds[0], &c, 1), 1);
    order.push_back("fd");
  });
  handler_.on_data = [&] {
    order.push_back("data");
    if (order.size() == 1) {
      EXPECT_EQ(::write(fds[1], "x", 1), 1);
    }
    const auto passes = std::count(order.begin(), order.end(), "data");
    for (int twice = 0; twice < 2 && passes < 3; ++twice) socket_.DataEventLater();
  };
  QTcpServer server;
  QTcpSocket* peer = ConnectTo(server);
  ASSERT_NE(peer, nullptr);
  peer->write("PING :1\r\n");
  e2e::SpinUntil([] { return false; }, std::chrono::milliseconds(500));
  EXPECT_THAT(order, ::testing::AnyOf(ElementsAre("data", "fd", "data", "data"),
                                      ElementsAre("data", "data", "fd", "data")));
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST_F(QtSocketTest, ARefusedConnectionIsAnErrorAndLeavesStateError) {
  QTcpServer probe;
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
  const quint16 port = probe.serverPort();
  probe.close();  // nobody listens there now
  socket_.SetRemoteHost("127.0.0.1");
  socket_.SetRemotePort(port);
  socket_.Connect();
  ASSERT_TRUE(e2e::SpinUntil([&] { return handler_.Saw("error"); }, seconds(5)));
  ASSERT_EQ(handler_.errors.size(), 1u);
  EXPECT_EQ(handler_.errors[0].Number, 10061);
  EXPECT_EQ(handler_.errors[0].Scode, static_cast<std::int32_t>(0x800A274Du));
  EXPECT_EQ(handler_.errors[0].Source, "sckIRC");
  EXPECT_FALSE(handler_.errors[0].Description.empty());
  EXPECT_EQ(socket_.State(), socket_state::kError);
  socket_.Close();
  EXPECT_EQ(socket_.State(), socket_state::kClosed);
}

TEST_F(QtSocketTest, APortOutsideTheRangeIsReportedAsAnErrorEvent) {
  socket_.SetRemoteHost("127.0.0.1");
  socket_.SetRemotePort(-1);
  socket_.Connect();
  EXPECT_TRUE(handler_.events.empty());  // from the event loop, not from inside Connect
  ASSERT_TRUE(e2e::SpinUntil([&] { return handler_.Saw("error"); }, seconds(5)));
  EXPECT_EQ(handler_.errors[0].Number, 10049);
  EXPECT_EQ(handler_.errors[0].Description, "Invalid port -1.");
  EXPECT_THAT(handler_.states, ElementsAre(socket_state::kError));
}

// A bound address the attempt cannot go from fails it with the error event
// (connecting from a bound address is in the network end-to-end test).
TEST_F(QtSocketTest, ABindAddressTheAttemptCannotUseFailsIt) {
  const std::tuple<std::string, std::string, std::int16_t, std::string> rows[] = {
      {"192.0.2.1", "127.0.0.1", socket_error::kAddressNotAvailable,
       "cannot bind the local end to 192.0.2.1 (IRCBindAddress): "},
      // The host has no address of the bound family (an address, or a name looked up before).
      {"::1", "127.0.0.1", socket_error::kHostNotFound, "Host not found"},
      {"::1", "localhost", socket_error::kHostNotFound, "Host not found"}};
  for (const auto& [bind, host, error, description] : rows) {
    handler_.events.clear();
    handler_.errors.clear();
    socket_.SetBindAddress(bind);
    socket_.SetRemoteHost(host);
    socket_.SetRemotePort(6667);
    socket_.Connect();
    EXPECT_TRUE(handler_.events.empty()) << bind;  // from the event loop, not inside Connect
    ASSERT_TRUE(e2e::SpinUntil([&] { return !handler_.events.empty(); }, seconds(5)));
    ASSERT_THAT(handler_.events, ElementsAre("error")) << bind << " " << host;
    EXPECT_EQ(handler_.errors[0].Number, error) << handler_.errors[0].Description;
    EXPECT_EQ(handler_.errors[0].Description.substr(0, description.size()), description);
    EXPECT_EQ(socket_.State(), socket_state::kError);
  }
}

// --- TLS against ngircd with a certificate of the test's own CA ---

// The fingerprint as the configuration holds it: lower-case hex, no colons.
std::string PlainFingerprint(std::string text) {
  std::string out;
  for (char c : text) {
    if (c != ':') out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

struct TlsCase {
  std::string name;
  std::string host;
  bool verify;
  bool own_ca;  // trust the server's CA (else the wrong one)
  int pin;      // 0 none, 1 the server's fingerprint, 2 another one
  bool connects;
};

void PrintTo(const TlsCase& c, std::ostream* os) {
  *os << c.name;
}

class QtSocketTlsTest : public QtSocketTest, public ::testing::WithParamInterface<TlsCase> {
 protected:
  static void SetUpTestSuite() {
    e2e::EnsureQtApplication();
    server_ = new servers::NgircdServer();
    if (!server_->Start({.tls = true})) {
      error_ = server_->Error();
      delete server_;
      server_ = nullptr;
    }
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    if (server_ == nullptr) {
      if (error_.find("not installed") != std::string::npos) GTEST_SKIP() << error_;
      FAIL() << error_;
    }
  }

  inline static servers::NgircdServer* server_ = nullptr;
  inline static std::string error_;
};

TEST_P(QtSocketTlsTest, ConnectsOnlyToACertificateItMayTrust) {
  const TlsCase& c = GetParam();
  const servers::TestCertificates& certs = server_->Certificates();
  TlsOptions tls;
  tls.enabled = true;
  tls.verify = c.verify;
  tls.ca_file = c.own_ca ? certs.ca_file : certs.wrong_ca_file;
  if (c.pin == 1) tls.fingerprint = PlainFingerprint(certs.fingerprint);
  if (c.pin == 2) tls.fingerprint = std::string(64, '0');
  socket_.SetTls(tls);
  socket_.SetRemoteHost(c.host);
  socket_.SetRemotePort(server_->TlsPort());
  socket_.Connect();
  ASSERT_TRUE(e2e::SpinUntil(
      [&] { return handler_.Saw("connect") || handler_.Saw("tls-error") || handler_.Saw("error"); },
      seconds(10)));
  if (c.connects) {
    ASSERT_THAT(handler_.events, ElementsAre("connect")) << server_->Log();
    EXPECT_EQ(socket_.State(), socket_state::kConnected);
    static int cases = 0;
    const std::string nick = "tls" + std::to_string(++cases);  // each case its own nickname
    EXPECT_EQ(socket_.SendData("NICK " + nick + "\r\nUSER tls 0 * :t\r\n"), "");
    ASSERT_TRUE(e2e::SpinUntil(
        [&] { return handler_.received.find(" 001 " + nick + " ") != std::string::npos; },
        seconds(10)))
        << handler_.received;
  } else {
    ASSERT_THAT(handler_.events, ElementsAre("tls-error"));
    EXPECT_EQ(handler_.tls_failures[0].fingerprint, PlainFingerprint(certs.fingerprint));
    EXPECT_FALSE(handler_.tls_failures[0].reason.empty());
    EXPECT_TRUE(handler_.received.empty());
    // No closed event follows, and the next attempt starts clean.
    e2e::SpinFor(std::chrono::milliseconds(200));
    EXPECT_THAT(handler_.events, ElementsAre("tls-error"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, QtSocketTlsTest,
    ::testing::Values(TlsCase{"TrustedCaFile", "localhost", true, true, 0, true},
                      TlsCase{"TrustedCaFileByAddress", "127.0.0.1", true, true, 0, true},
                      TlsCase{"WrongCaRefused", "localhost", true, false, 0, false},
                      TlsCase{"PinnedFingerprintInsteadOfCa", "localhost", true, false, 1, true},
                      TlsCase{"WrongPinRefusedEvenWithTheRightCa", "localhost", true, true, 2,
                              false},
                      TlsCase{"VerificationOff", "localhost", false, false, 0, true}),
    [](const auto& info) { return info.param.name; });

struct ErrorNumberCase {
  QAbstractSocket::SocketError error;
  std::int16_t number;
};

class SocketErrorNumberTest : public ::testing::TestWithParam<ErrorNumberCase> {};

TEST_P(SocketErrorNumberTest, MapsQtErrorsToSocketErrorNumbers) {
  EXPECT_EQ(SocketErrorNumber(GetParam().error), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SocketErrorNumberTest,
    ::testing::Values(ErrorNumberCase{QAbstractSocket::ConnectionRefusedError, 10061},
                      ErrorNumberCase{QAbstractSocket::HostNotFoundError, 11001},
                      ErrorNumberCase{QAbstractSocket::SocketTimeoutError, 10060},
                      ErrorNumberCase{QAbstractSocket::NetworkError, 10050},
                      ErrorNumberCase{QAbstractSocket::RemoteHostClosedError, 10054},
                      ErrorNumberCase{QAbstractSocket::SocketAccessError, 10013},
                      ErrorNumberCase{QAbstractSocket::AddressInUseError, 10048},
                      ErrorNumberCase{QAbstractSocket::UnknownSocketError, 10053}));

}  // namespace
}  // namespace zelvo
