#include "irc/servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace zelvo::servers {

namespace {

using Clock = std::chrono::steady_clock;

const passwd* ServerUser() {
  return geteuid() == 0 ? getpwnam("nobody") : nullptr;
}

std::string FindBinary(const std::string& name) {
  for (const char* dir : {"/usr/sbin/", "/usr/bin/", "/usr/local/sbin/", "/usr/local/bin/"}) {
    const std::string path = dir + name;
    if (access(path.c_str(), X_OK) == 0) return path;
  }
  return "";
}

milliseconds Since(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

// Runs a shell command; its output, or nullopt-like "" with ok=false.
bool Run(const std::string& command, std::string* output = nullptr) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return false;
  std::string text;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
  const int status = pclose(pipe);
  if (output != nullptr) *output = text;
  return status == 0;
}

// Polls `ready` every 20 ms until it holds, the process ends or `limit` passes.
bool WaitUntil(const std::function<bool()>& ready, ServerProcess& process, milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    if (ready()) return true;
    if (!process.Running()) return false;
    std::this_thread::sleep_for(milliseconds(20));
  }
  return ready();
}

std::string ReplaceOnce(std::string text, const std::string& from, const std::string& to,
                        std::string& missing) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) {
    missing += " [" + from + "]";
    return text;
  }
  return text.replace(at, from.size(), to);
}

}  // namespace

// ---- ServerDir ----

ServerDir::ServerDir() {
  chmod(dir_.path().c_str(), 0755);
}

void ServerDir::Write(const std::string& name, const std::string& text) const {
  std::filesystem::create_directories(std::filesystem::path(File(name)).parent_path());
  testing::WriteFile(File(name), text);
}

std::string ServerDir::Read(const std::string& name) const {
  std::ifstream in(File(name), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void ServerDir::HandOver() const {
  const passwd* user = ServerUser();
  if (user == nullptr) return;
  std::error_code ignored;
  chown(path().c_str(), user->pw_uid, user->pw_gid);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path(), ignored)) {
    chown(entry.path().c_str(), user->pw_uid, user->pw_gid);
  }
}

// ---- ServerProcess ----

bool ServerProcess::Start(const std::vector<std::string>& argv, const std::string& output_file,
                          const std::vector<std::string>& environment) {
  Stop();
  const passwd* user = ServerUser();
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    setpgid(0, 0);
    const int fd = open(output_file.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
    }
    const int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, 0);
    if (user != nullptr &&
        (setgroups(0, nullptr) != 0 || setgid(user->pw_gid) != 0 || setuid(user->pw_uid) != 0)) {
      _exit(126);
    }
    for (const std::string& variable : environment) putenv(const_cast<char*>(variable.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  pid_ = pid;
  return true;
}

bool ServerProcess::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = 0;
    return false;
  }
  return true;
}

void ServerProcess::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  for (int i = 0; i < 250; ++i) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = 0;
      return;
    }
    std::this_thread::sleep_for(milliseconds(20));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, &status, 0);
  pid_ = 0;
}

// ---- TestCertificates ----

std::string TestCertificates::Make(const ServerDir& dir) {
  const std::string openssl = FindBinary("openssl");
  if (openssl.empty()) return "openssl is not installed";
  ca_file = dir.File("ca.pem");
  wrong_ca_file = dir.File("wrong-ca.pem");
  cert_file = dir.File("server.pem");
  key_file = dir.File("server.key");
  dh_file = dir.File("dh.pem");
  dir.Write("server.ext", "subjectAltName=DNS:localhost,IP:127.0.0.1\n");
  const std::string d = dir.path() + "/";
  const std::vector<std::string> commands = {
      openssl +
          " req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj "
          "'/CN=Zelvo Test CA' -keyout " +
          d + "ca.key -out " + ca_file,
      openssl +
          " req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj "
          "'/CN=Zelvo Wrong CA' -keyout " +
          d + "wrong-ca.key -out " + wrong_ca_file,
      openssl +
          " req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj '/CN=localhost' "
          "-keyout " +
          key_file + " -out " + d + "server.csr",
      openssl + " x509 -req -in " + d + "server.csr -CA " + ca_file + " -CAkey " + d +
          "ca.key -CAcreateserial -days 2 -extfile " + d + "server.ext -out " + cert_file,
      openssl + " genpkey -genparam -algorithm DH -pkeyopt group:ffdhe2048 -out " + dh_file,
  };
  std::string output;
  for (const std::string& command : commands) {
    if (!Run(command, &output)) return "failed: " + command + "\n" + output;
  }
  if (!Run(openssl + " x509 -in " + cert_file + " -noout -fingerprint -sha256", &output)) {
    return "no fingerprint: " + output;
  }
  const std::size_t equals = output.find('=');
  fingerprint = equals == std::string::npos ? "" : output.substr(equals + 1);
  while (!fingerprint.empty() && (fingerprint.back() == '\n' || fingerprint.back() == '\r')) {
    fingerprint.pop_back();
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    chmod(entry.path().c_str(), 0644);
  }
  return "";
}

// ---- TestServer ----

bool Installed(const std::string& name) {
  return !FindBinary(name).empty();
}

bool TestServer::Fail(std::string error) {
  error_ = std::move(error);
  return false;
}

std::string TestServer::Log() const {
  std::string log = dir_.Read(setup_.program + ".out");
  for (const std::string& file : setup_.logs) log += dir_.Read(file);
  return log;
}

bool TestServer::Ready() {
  for (int port : ports_) {
    if (!PortListening(port)) return false;
  }
  return true;
}

bool TestServer::Start(Setup setup) {
  setup_ = std::move(setup);
  if (!Installed(setup_.program)) return Fail(setup_.program + " is not installed");
  if (setup_.certificates) {
    if (std::string error = certificates_.Make(dir_); !error.empty()) return Fail(error);
  }
  for (int attempt = 0; attempt < 3; ++attempt) {
    ports_.clear();
    for (int i = 0; i < setup_.ports; ++i) ports_.push_back(PickFreePort());
    if (Launch()) return true;
    if (!ended_) return false;  // up but never ready: other ports would not help
  }
  return false;
}

bool TestServer::Restart() {
  process_.Stop();
  return Launch();
}

bool TestServer::Launch() {
  ended_ = false;
  std::vector<std::string> argv = Configure();
  if (argv.empty()) return false;
  argv.insert(argv.begin(), FindBinary(setup_.program));
  dir_.HandOver();
  const auto start = Clock::now();
  if (!process_.Start(argv, dir_.File(setup_.program + ".out"), Environment())) {
    return Fail("fork failed");
  }
  const bool ready = WaitUntil([this] { return Ready(); }, process_, setup_.limit);
  startup_ = Since(start);
  if (ready) return true;
  ended_ = !process_.Running();
  process_.Stop();
  return Fail(setup_.program + (ended_ ? " ended at start:\n" : " was not ready:\n") + Log());
}

// ---- InspircdServer ----

bool InspircdServer::Start(Options options) {
  options_ = std::move(options);
  return TestServer::Start({"inspircd", 3, options_.tls, {"inspircd.log"}, milliseconds(10000)});
}

bool InspircdServer::Ready() {
  return PortListening(Port()) && (!options_.tls || PortListening(TlsPort()));
}

std::vector<std::string> InspircdServer::Configure() {
  const std::string& d = Dir().path();
  std::ostringstream conf;
  conf << "<config format=\"xml\">\n"
       << "<server name=\"" << kName
       << "\" description=\"Zelvo test server\" network=\"ZelvoTest\">\n"
       << "<admin name=\"Zelvo tests\" nick=\"admin\" email=\"root@localhost\">\n"
       << "<bind address=\"127.0.0.1\" port=\"" << Port() << "\" type=\"clients\">\n"
       << "<bind address=\"127.0.0.1\" port=\"" << LinkPort() << "\" type=\"servers\">\n"
       << "<connect name=\"main\" allow=\"*\" timeout=\"20\" pingfreq=\"" << options_.ping_frequency
       << "\" hardsendq=\"1M\" softsendq=\"65536\" recvq=\"65536\" threshold=\"1000\""
       << " commandrate=\"100000\" fakelag=\"off\" localmax=\"1000\" globalmax=\"1000\""
       << " maxchans=\"20\" limit=\"5000\" resolvehostnames=\"no\" useident=\"no\">\n"
       << "<class name=\"All\" commands=\"*\" privs=\"*\" usermodes=\"*\" chanmodes=\"*\""
       << " snomasks=\"*\">\n"
       << "<type name=\"NetAdmin\" classes=\"All\">\n"
       << "<oper name=\"op\" password=\"oppass\" host=\"*@*\" type=\"NetAdmin\">\n"
       << "<dns timeout=\"1\">\n"
       << "<pid file=\"" << d << "/inspircd.pid\">\n"
       << "<log method=\"file\" type=\"* -USERINPUT -USEROUTPUT\" level=\"default\" target=\"" << d
       << "/inspircd.log\">\n"
       << "<options allowhalfop=\"yes\">\n"
       << "<performance clonesonconnect=\"no\" quietbursts=\"yes\">\n"
       << "<security hideulines=\"no\">\n";
  if (options_.tls) {
    conf << "<module name=\"ssl_gnutls\">\n"
         << "<sslprofile name=\"Clients\" provider=\"gnutls\" certfile=\""
         << Certificates().cert_file << "\" keyfile=\"" << Certificates().key_file
         << "\" dhfile=\"" << Certificates().dh_file
         << "\" hash=\"sha256\" requestclientcert=\"yes\">\n"
         << "<bind address=\"127.0.0.1\" port=\"" << TlsPort()
         << "\" type=\"clients\" sslprofile=\"Clients\">\n";
  }
  if (options_.sts) {
    conf << "<module name=\"ircv3_sts\">\n"
         << "<sts host=\"localhost\" port=\"" << TlsPort() << "\" duration=\"5m\">\n";
  }
  for (const char* module :
       {"spanningtree", "services_account", "sasl", "cap", "ircv3", "ircv3_accounttag",
        "ircv3_servertime", "ircv3_batch", "hidechans", "namesx", "botmode"}) {
    conf << "<module name=\"" << module << "\">\n";
  }
  if (options_.identity) {
    for (const char* module :
         {"chghost", "ircv3_chghost", "uhnames", "monitor", "ircv3_capnotify"}) {
      conf << "<module name=\"" << module << "\">\n";
    }
  }
  conf << "<link name=\"" << kServicesName << "\" ipaddr=\"127.0.0.1\" port=\"" << LinkPort()
       << "\" allowmask=\"127.0.0.0/8\" sendpass=\"" << options_.link_password << "\" recvpass=\""
       << options_.link_password << "\">\n"
       << "<uline server=\"" << kServicesName << "\" silent=\"yes\">\n"
       << "<sasl target=\"" << kServicesName << "\" requiressl=\"no\">\n";
  Dir().Write("inspircd.conf", conf.str());
  return {"--nofork", "--config=" + Dir().File("inspircd.conf")};
}

// ---- AnopeServices ----

bool AnopeServices::Start(const InspircdServer& ircd) {
  ircd_ = &ircd;
  return TestServer::Start({"anope", 0, false, {}, milliseconds(15000)});
}

std::vector<std::string> AnopeServices::Configure() {
  if (!std::filesystem::exists("/etc/anope/services.conf")) {
    Fail("/etc/anope/services.conf is missing");
    return {};
  }
  const ServerDir& dir = Dir();
  for (const char* sub : {"conf", "data", "logs"}) std::filesystem::create_directories(dir.File(sub));
  for (const auto& entry : std::filesystem::directory_iterator("/etc/anope")) {
    std::filesystem::copy_file(entry.path(), dir.File("conf/" + entry.path().filename().string()),
                               std::filesystem::copy_options::overwrite_existing);
  }
  // Debian's shipped configuration, pointed at the test network.
  std::string missing;
  std::string services = dir.Read("conf/services.conf");
  const std::pair<std::string, std::string> edits[] = {
      {"value = \"services.example.com\"",
       "value = \"" + std::string(InspircdServer::kServicesName) + "\""},
      {"name = \"services.example.com\"",
       "name = \"" + std::string(InspircdServer::kServicesName) + "\""},
      {"port = 7000", "port = " + std::to_string(ircd_->LinkPort())},
      {"password = \"mypassword\"", "password = \"" + ircd_->options().link_password + "\""},
      {"pid = \"/var/run/anope/anope.pid\"", "pid = \"" + dir.File("anope.pid") + "\""},
      {"motd = \"/etc/anope/services.motd\"", "motd = \"" + dir.File("conf/services.motd") + "\""},
      {"casemap = \"ascii\"", "casemap = \"rfc1459\""},
      {"usemail = yes", "usemail = no"},
  };
  for (const auto& [from, to] : edits) services = ReplaceOnce(services, from, to, missing);
  dir.Write("conf/services.conf", services);
  dir.Write("conf/nickserv.conf", ReplaceOnce(dir.Read("conf/nickserv.conf"), "regdelay = 30s",
                                              "regdelay = 0s", missing));
  if (!missing.empty()) {
    Fail("Anope's configuration has changed; not found:" + missing);
    return {};
  }
  return {"--nofork", "--confdir=" + dir.File("conf"), "--dbdir=" + dir.File("data"),
          "--logdir=" + dir.File("logs"), "--modulesdir=/usr/lib/anope"};
}

// Linked once the server offers SASL (it does so only while its target is there).
bool AnopeServices::Ready() {
  if (Log().find("is done syncing") == std::string::npos) return false;
  LineClient probe;
  if (!probe.Connect(ircd_->Port())) return false;
  probe.Send("CAP LS 302");
  const int ls = probe.WaitForContaining(" CAP * LS ", milliseconds(2000));
  return ls >= 0 && probe.Lines()[static_cast<std::size_t>(ls)].find("sasl") != std::string::npos;
}

// ---- ServicesNetwork ----

bool ServicesNetwork::Start(InspircdServer::Options options) {
  return ircd.Start(std::move(options)) && services.Start(ircd);
}

std::string ServicesNetwork::RegisterAccount(const std::string& account,
                                             const std::string& password) {
  LineClient client;
  if (!client.Connect(Port())) return "cannot connect";
  if (!client.Register(account)) return "not registered:\n" + client.Transcript();
  client.Send("PRIVMSG NickServ :REGISTER " + password + " " + account + "@zelvo.test");
  const int answer = client.WaitFor(
      [](const std::string& line) { return line.find(":NickServ!") == 0; }, milliseconds(10000));
  if (answer < 0 ||
      client.Lines()[static_cast<std::size_t>(answer)].find("registered") == std::string::npos) {
    return "NickServ did not register " + account + ":\n" + client.Transcript();
  }
  client.Send("QUIT :registered");
  return "";
}

// ---- NgircdServer ----

bool NgircdServer::Start(Options options) {
  options_ = options;
  return TestServer::Start({"ngircd", options_.tls ? 2 : 1, options_.tls, {}, milliseconds(10000)});
}

// ngircd takes the message of the day from MotdPhrase instead of a file, and
// writes no PID file (-n keeps it in the foreground).
std::vector<std::string> NgircdServer::Configure() {
  std::ostringstream conf;
  conf << "[Global]\nName = " << kName << "\nInfo = Zelvo test server\n"
       << "AdminInfo1 = Zelvo tests\nAdminInfo2 = loopback\nAdminEMail = root@localhost\n"
       << "Listen = 127.0.0.1" << (options_.ipv6 ? ",::1" : "") << "\nPorts = " << Port()
       << "\nMotdPhrase = Zelvo test server\n";
  if (const passwd* user = ServerUser()) {
    conf << "ServerUID = " << user->pw_uid << "\nServerGID = " << user->pw_gid << "\n";
  }
  conf << "[Limits]\nMaxConnectionsIP = 0\n";
  if (!options_.penalties) conf << "MaxPenaltyTime = 0\n";
  if (options_.ping_timeout > 0) {
    conf << "PingTimeout = " << options_.ping_timeout << "\nPongTimeout = " << options_.ping_timeout
         << "\n";
  }
  conf << "[Options]\nDNS = no\nIdent = no\nPAM = no\nAllowedChannelTypes = " << options_.channel_types
       << "\n";
  if (options_.tls) {
    conf << "[SSL]\nCertFile = " << Certificates().cert_file
         << "\nKeyFile = " << Certificates().key_file << "\nDHFile = " << Certificates().dh_file
         << "\nPorts = " << TlsPort() << "\n";
  }
  Dir().Write("ngircd.conf", conf.str());
  return {"-n", "-f", Dir().File("ngircd.conf")};
}

// ---- ZncBouncer ----

bool ZncBouncer::Start(int upstream_port, const std::string& user, const std::string& password) {
  upstream_port_ = upstream_port;
  user_ = user;
  password_ = password;
  return TestServer::Start({"znc", 1, false, {}, milliseconds(20000)});
}

std::vector<std::string> ZncBouncer::Environment() const {
  return {"HOME=" + Dir().path()};
}

std::vector<std::string> ZncBouncer::Configure() {
  std::ostringstream conf;
  conf << "Version = 1.8.2\n"
       << "<Listener listener0>\n\tHost = 127.0.0.1\n\tIPv4 = true\n\tIPv6 = false\n\tPort = "
       << Port() << "\n\tSSL = false\n</Listener>\n"
       << "<User " << user_ << ">\n\t<Pass password>\n\t\tMethod = plain\n\t\tHash = " << password_
       << "\n\t</Pass>\n\tAdmin = true\n\tNick = " << user_ << "\n\tAltNick = " << user_
       << "_\n\tIdent = " << user_ << "\n\tRealName = Zelvo test bouncer user\n"
       << "\tAutoClearChanBuffer = false\n"
       << "\t<Network local>\n\t\tServer = 127.0.0.1 " << upstream_port_
       << "\n\t</Network>\n</User>\n";
  Dir().Write("configs/znc.conf", conf.str());
  return {"--foreground", "--datadir=" + Dir().path()};
}

// ---- MosquittoBroker ----

bool MosquittoBroker::Start(std::string listener_config) {
  listener_config_ = std::move(listener_config);
  return TestServer::Start({"mosquitto", 1, false, {}, milliseconds(10000)});
}

std::vector<std::string> MosquittoBroker::Configure() {
  Dir().Write("mosquitto.conf", "listener " + std::to_string(Port()) +
                                    " 127.0.0.1\npersistence false\nlog_dest stderr\n" +
                                    listener_config_);
  return {"-c", Dir().File("mosquitto.conf")};
}

// ---- LineClient ----

bool LineClient::Connect(int port) {
  Close();
  fd_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  if (connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
    Close();
    return false;
  }
  return true;
}

void LineClient::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

void LineClient::Send(const std::string& line) {
  if (fd_ < 0) return;
  const std::string data = line + "\r\n";
  std::size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

bool LineClient::ReadSome(milliseconds limit) {
  if (fd_ < 0) return false;
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, static_cast<int>(limit.count())) <= 0) return false;
  char data[4096];
  const ssize_t n = recv(fd_, data, sizeof data, 0);
  if (n <= 0) {
    Close();
    return false;
  }
  buffer_.append(data, static_cast<std::size_t>(n));
  std::size_t end;
  while ((end = buffer_.find('\n')) != std::string::npos) {
    std::string line = buffer_.substr(0, end);
    buffer_.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("PING ", 0) == 0) Send("PONG " + line.substr(5));
    lines_.push_back(std::move(line));
  }
  return true;
}

int LineClient::WaitFor(const std::function<bool(const std::string&)>& match, milliseconds limit,
                        std::size_t from) {
  const auto end = Clock::now() + limit;
  std::size_t checked = from;
  while (true) {
    for (; checked < lines_.size(); ++checked) {
      if (match(lines_[checked])) return static_cast<int>(checked);
    }
    const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now());
    if (left.count() <= 0 || fd_ < 0) return -1;
    ReadSome(std::min(left, milliseconds(100)));
  }
}

int LineClient::WaitForContaining(const std::string& part, milliseconds limit, std::size_t from) {
  return WaitFor([&](const std::string& line) { return line.find(part) != std::string::npos; },
                 limit, from);
}

bool LineClient::Register(const std::string& nick, milliseconds limit) {
  Send("NICK " + nick);
  Send("USER " + nick + " 0 * :Zelvo test user");
  return WaitForContaining(" 001 " + nick + " ", limit) >= 0;
}

std::string LineClient::Transcript(std::size_t from) const {
  std::string text;
  for (std::size_t i = from; i < lines_.size(); ++i) text += lines_[i] + "\n";
  return text;
}

}  // namespace zelvo::servers
