// Real IRC servers for the end-to-end tests, each started on free loopback
// ports with a configuration written into its own temporary directory and
// stopped by its destructor:
//   - InspIRCd 3 with a plain and a TLS client port and a server port,
//   - Anope 2.0 services linked to it (NickServ, SASL),
//   - ngircd with a plain port and, when asked, a TLS one,
//   - ZNC with one password-protected user whose network is an ngircd,
//   - mosquitto.
// The TLS ports carry a certificate for "localhost" and 127.0.0.1 issued by
// a test CA made with openssl; a second, unrelated CA serves as a wrong one.
//
// Started as root, every server runs as "nobody" (Anope sleeps and ZNC waits
// 30 s before listening when they run as root; InspIRCd and ngircd refuse
// root), so the directories are handed over to that user.
// ZELVO_START_OR_SKIP starts one in a test, which it skips when the program
// is not installed.
//
// LineClient is a plain blocking IRC client (no Qt) for the tests' other
// users: it answers PINGs and keeps every line.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "support/loopback_port.h"
#include "support/temp_dir.h"

namespace zelvo::servers {

using std::chrono::milliseconds;

using testing::PickFreePort;
using testing::PortListening;

// A directory for one server, readable and writable by the user it runs as.
class ServerDir {
 public:
  ServerDir();
  const std::string& path() const { return dir_.path(); }
  std::string File(const std::string& name) const { return dir_.File(name); }
  void Write(const std::string& name, const std::string& text) const;
  std::string Read(const std::string& name) const;  // "" when missing
  // Gives everything in it to the user the servers run as.
  void HandOver() const;

 private:
  testing::TempDir dir_;
};

// One server process, its output in a file; SIGTERM (then SIGKILL) on Stop.
class ServerProcess {
 public:
  ServerProcess() = default;
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;
  ~ServerProcess() { Stop(); }

  bool Start(const std::vector<std::string>& argv, const std::string& output_file,
             const std::vector<std::string>& environment = {});
  void Stop();
  bool Running();

 private:
  pid_t pid_ = 0;
};

// The test CA, the server certificate it signed and a CA that signed nothing.
struct TestCertificates {
  std::string ca_file;        // PEM
  std::string wrong_ca_file;  // PEM of another CA
  std::string cert_file;      // the server's certificate, PEM
  std::string key_file;       // its key, PEM
  std::string dh_file;        // ffdhe2048 parameters
  std::string fingerprint;    // SHA-256 of the server certificate, "AB:CD:..."

  // Makes them in `dir` with openssl; "" or what failed.
  std::string Make(const ServerDir& dir);
};

// Whether the program is in one of the usual directories.
bool Installed(const std::string& name);

// One server on free loopback ports: its directory, its process (output in
// "<program>.out") and the wait until it is ready. Each server below only
// writes its configuration and says when it is ready.
class TestServer {
 public:
  TestServer() = default;
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;
  virtual ~TestServer() = default;

  void Stop() { process_.Stop(); }
  // Stops and starts again on the same ports.
  bool Restart();

  int Port() const { return ports_.empty() ? 0 : ports_[0]; }
  const ServerDir& Dir() const { return dir_; }
  const TestCertificates& Certificates() const { return certificates_; }
  // The process's output, then the further log files.
  std::string Log() const;
  const std::string& Error() const { return error_; }
  milliseconds StartupTime() const { return startup_; }

 protected:
  struct Setup {
    std::string program;
    int ports = 1;
    bool certificates = false;
    std::vector<std::string> logs;  // further log files in the directory
    milliseconds limit{10000};      // to be ready in
  };
  // Makes the certificates, picks the ports and launches; picks other ports
  // and tries again (three times in all) when the process ends at once.
  bool Start(Setup setup);
  // Writes the configuration; the arguments after the program, or none with
  // Fail called.
  virtual std::vector<std::string> Configure() = 0;
  virtual std::vector<std::string> Environment() const { return {}; }
  // Ready once every port listens.
  virtual bool Ready();
  int PortAt(std::size_t index) const { return index < ports_.size() ? ports_[index] : 0; }
  bool Fail(std::string error);

 private:
  bool Launch();

  Setup setup_;
  ServerDir dir_;
  ServerProcess process_;
  TestCertificates certificates_;
  std::vector<int> ports_;
  std::string error_;
  milliseconds startup_{0};
  bool ended_ = false;  // the last launch ended before it was ready
};

// InspIRCd with a plain and a TLS client port and a server port, and a
// strict transport security policy when asked.
class InspircdServer : public TestServer {
 public:
  struct Options {
    bool tls = true;
    std::string link_password = "linkpass";  // the services' link
    int ping_frequency = 120;                // seconds between the server's PINGs
    // ircv3_sts: a policy for "localhost" (the TLS certificate's name, which
    // a TLS client must send) on the TLS port, for 5 minutes.
    bool sts = false;
    // chghost (the CHGHOST command and capability), userhost-in-names,
    // MONITOR and cap-notify.
    bool identity = false;
  };
  static constexpr const char* kName = "irc.zelvo.test";
  static constexpr const char* kServicesName = "services.zelvo.test";

  bool Start(Options options);
  bool Start() { return Start(Options{}); }
  int TlsPort() const { return PortAt(1); }
  int LinkPort() const { return PortAt(2); }
  const Options& options() const { return options_; }

 private:
  std::vector<std::string> Configure() override;
  bool Ready() override;
  Options options_;
};

// Anope linked to an InspIRCd; ready once the server offers SASL.
class AnopeServices : public TestServer {
 public:
  bool Start(const InspircdServer& ircd);

 private:
  std::vector<std::string> Configure() override;
  bool Ready() override;
  const InspircdServer* ircd_ = nullptr;
};

// InspIRCd with Anope: the whole network for the SASL and account tests.
class ServicesNetwork {
 public:
  bool Start(InspircdServer::Options options = {});
  int Port() const { return ircd.Port(); }
  std::string Error() const { return ircd.Error() + services.Error(); }
  std::string Logs() const { return ircd.Log() + "\n---- services ----\n" + services.Log(); }
  // Registers `account` with NickServ from a client of that nick; "" or why not.
  std::string RegisterAccount(const std::string& account, const std::string& password);

  InspircdServer ircd;
  AnopeServices services;
};

// ngircd, with a TLS port too when asked.
class NgircdServer : public TestServer {
 public:
  struct Options {
    bool tls = false;
    int ping_timeout = 0;   // seconds; 0 keeps ngircd's 120 (its minimum is 5)
    bool penalties = true;  // without, it reads every client's lines as fast as they come
    std::string channel_types = "#&+";  // AllowedChannelTypes
    bool ipv6 = false;                  // listens on ::1 too
  };
  static constexpr const char* kName = "irc.zelvo.test";

  bool Start(Options options);
  bool Start() { return Start(Options{}); }
  int TlsPort() const { return PortAt(1); }

 private:
  std::vector<std::string> Configure() override;
  Options options_;
};

// ZNC with user `user` and password `password`, its network the given server.
// A client logs in with "PASS <user>:<password>".
class ZncBouncer : public TestServer {
 public:
  bool Start(int upstream_port, const std::string& user, const std::string& password);

 private:
  std::vector<std::string> Configure() override;
  std::vector<std::string> Environment() const override;
  int upstream_port_ = 0;
  std::string user_, password_;
};

// mosquitto without persistence (a restart forgets the retained messages);
// `listener_config` follows its listener line.
class MosquittoBroker : public TestServer {
 public:
  bool Start(std::string listener_config = "allow_anonymous true\n");

 private:
  std::vector<std::string> Configure() override;
  std::string listener_config_;
};

#define ZELVO_START_OR_SKIP(server, ...)                                             \
  do {                                                                               \
    if (!(server).Start(__VA_ARGS__)) {                                              \
      if ((server).Error().find("not installed") != std::string::npos) GTEST_SKIP(); \
      FAIL() << (server).Error();                                                    \
    }                                                                                \
  } while (false)

// A blocking IRC client on loopback for the tests' other users.
class LineClient {
 public:
  LineClient() = default;
  LineClient(const LineClient&) = delete;
  LineClient& operator=(const LineClient&) = delete;
  ~LineClient() { Close(); }

  bool Connect(int port);
  void Close();
  // Sends the line with CR LF appended.
  void Send(const std::string& line);
  // Reads until a line (received from `from` on) satisfies `match` or `limit`
  // has passed; returns its index or -1. PINGs are answered meanwhile.
  int WaitFor(const std::function<bool(const std::string&)>& match, milliseconds limit,
              std::size_t from = 0);
  int WaitForContaining(const std::string& part, milliseconds limit, std::size_t from = 0);
  // Sends NICK and USER and waits for 001; false when it does not come.
  bool Register(const std::string& nick, milliseconds limit = milliseconds(10000));

  const std::vector<std::string>& Lines() const { return lines_; }
  std::string Transcript(std::size_t from = 0) const;

 private:
  bool ReadSome(milliseconds limit);

  int fd_ = -1;
  std::string buffer_;
  std::vector<std::string> lines_;  // without line ends
};

}  // namespace zelvo::servers
