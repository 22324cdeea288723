// The Qt socket against loopback: state numbers, events and error numbers.
#include "irc/qt_socket.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTcpServer>

#include "irc/e2e_harness.h"

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
  }
  void sckIRC_Error(const SocketError& error) override {
    errors.push_back(error);
    Note("error");
  }
  void sckIRC_ConnectionRequest(std::int32_t) override { Note("request"); }
  void sckIRC_SendComplete() override { Note("sent"); }
  void sckIRC_Close() override { Note("close"); }

  bool Saw(const std::string& event) const {
    return std::find(events.begin(), events.end(), event) != events.end();
  }

  std::vector<std::string> events;
  std::vector<std::int16_t> states;
  std::vector<SocketError> errors;
  std::string received;
  std::size_t largest_read = 0;

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
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  socket_.SetRemoteHost("127.0.0.1");
  socket_.SetRemotePort(server.serverPort());
  socket_.Connect();
  ASSERT_TRUE(e2e::SpinUntil([&] { return server.hasPendingConnections(); }, seconds(5)));
  QTcpSocket* peer = server.nextPendingConnection();
  ASSERT_TRUE(e2e::SpinUntil([&] { return handler_.Saw("connect"); }, seconds(5)));

  // 4 MB in one write, faster than the handler takes it.
  std::string sent;
  for (int i = 0; sent.size() < 4 * 1024 * 1024; ++i) sent += "line " + std::to_string(i) + "\r\n";
  peer->write(sent.data(), static_cast<qint64>(sent.size()));
  ASSERT_TRUE(e2e::SpinUntil([&] { return handler_.received.size() >= sent.size(); }, seconds(30)));
  EXPECT_TRUE(handler_.received == sent);
  EXPECT_LE(handler_.largest_read, static_cast<std::size_t>(QtSocket::kReadBufferBytes));
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
