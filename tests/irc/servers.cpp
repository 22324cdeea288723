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
#include <random>
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

// ---- InspircdServer ----

bool InspircdServer::Fail(std::string error) {
  error_ = std::move(error);
  return false;
}

std::string InspircdServer::Log() const {
  return dir_ ? dir_->Read("inspircd.out") + dir_->Read("inspircd.log") : "";
}

bool InspircdServer::Start(Options options) {
  options_ = std::move(options);
  if (FindBinary("inspircd").empty()) return Fail("inspircd is not installed");
  dir_ = std::make_unique<ServerDir>();
  if (options_.tls) {
    if (std::string error = certificates_.Make(*dir_); !error.empty()) return Fail(error);
  }
  port_ = PickFreePort();
  tls_port_ = PickFreePort();
  link_port_ = PickFreePort();
  return Launch();
}

bool InspircdServer::Restart() {
  process_.Stop();
  return Launch();
}

bool InspircdServer::Launch() {
  const std::string& d = dir_->path();
  std::ostringstream conf;
  conf << "<config format=\"xml\">\n"
       << "<server name=\"" << kName
       << "\" description=\"Zelvo test server\" network=\"ZelvoTest\">\n"
       << "<admin name=\"Zelvo tests\" nick=\"admin\" email=\"root@localhost\">\n"
       << "<bind address=\"127.0.0.1\" port=\"" << port_ << "\" type=\"clients\">\n"
       << "<bind address=\"127.0.0.1\" port=\"" << link_port_ << "\" type=\"servers\">\n"
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
         << certificates_.cert_file << "\" keyfile=\"" << certificates_.key_file << "\" dhfile=\""
         << certificates_.dh_file << "\" hash=\"sha256\" requestclientcert=\"yes\">\n"
         << "<bind address=\"127.0.0.1\" port=\"" << tls_port_
         << "\" type=\"clients\" sslprofile=\"Clients\">\n";
  }
  for (const char* module : {"spanningtree", "services_account", "sasl", "cap", "ircv3",
                             "ircv3_accounttag", "hidechans", "namesx", "botmode"}) {
    conf << "<module name=\"" << module << "\">\n";
  }
  conf << "<link name=\"" << kServicesName << "\" ipaddr=\"127.0.0.1\" port=\"" << link_port_
       << "\" allowmask=\"127.0.0.0/8\" sendpass=\"" << options_.link_password << "\" recvpass=\""
       << options_.link_password << "\">\n"
       << "<uline server=\"" << kServicesName << "\" silent=\"yes\">\n"
       << "<sasl target=\"" << kServicesName << "\" requiressl=\"no\">\n";
  dir_->Write("inspircd.conf", conf.str());
  dir_->HandOver();

  const auto start = Clock::now();
  if (!process_.Start(
          {FindBinary("inspircd"), "--nofork", "--config=" + dir_->File("inspircd.conf")},
          dir_->File("inspircd.out"))) {
    return Fail("fork failed");
  }
  const bool up = WaitUntil(
      [this] { return PortListening(port_) && (!options_.tls || PortListening(tls_port_)); },
      process_, milliseconds(10000));
  startup_ = Since(start);
  if (!up) {
    process_.Stop();
    return Fail("inspircd did not open its ports:\n" + Log());
  }
  return true;
}

// ---- AnopeServices ----

bool AnopeServices::Fail(std::string error) {
  error_ = std::move(error);
  return false;
}

std::string AnopeServices::Log() const {
  return dir_ ? dir_->Read("anope.out") : "";
}

bool AnopeServices::Start(const InspircdServer& ircd) {
  const std::string binary = FindBinary("anope");
  if (binary.empty()) return Fail("anope is not installed");
  if (!std::filesystem::exists("/etc/anope/services.conf")) {
    return Fail("/etc/anope/services.conf is missing");
  }
  dir_ = std::make_unique<ServerDir>();
  std::filesystem::create_directories(dir_->File("conf"));
  std::filesystem::create_directories(dir_->File("data"));
  std::filesystem::create_directories(dir_->File("logs"));
  for (const auto& entry : std::filesystem::directory_iterator("/etc/anope")) {
    std::filesystem::copy_file(entry.path(),
                               dir_->File("conf/" + entry.path().filename().string()));
  }
  // Debian's shipped configuration, pointed at the test network.
  std::string missing;
  std::string services = dir_->Read("conf/services.conf");
  const std::pair<std::string, std::string> edits[] = {
      {"value = \"services.example.com\"",
       "value = \"" + std::string(InspircdServer::kServicesName) + "\""},
      {"name = \"services.example.com\"",
       "name = \"" + std::string(InspircdServer::kServicesName) + "\""},
      {"port = 7000", "port = " + std::to_string(ircd.LinkPort())},
      {"password = \"mypassword\"", "password = \"" + ircd.options().link_password + "\""},
      {"pid = \"/var/run/anope/anope.pid\"", "pid = \"" + dir_->File("anope.pid") + "\""},
      {"motd = \"/etc/anope/services.motd\"",
       "motd = \"" + dir_->File("conf/services.motd") + "\""},
      {"casemap = \"ascii\"", "casemap = \"rfc1459\""},
      {"usemail = yes", "usemail = no"},
  };
  for (const auto& [from, to] : edits) services = ReplaceOnce(services, from, to, missing);
  dir_->Write("conf/services.conf", services);
  dir_->Write("conf/nickserv.conf", ReplaceOnce(dir_->Read("conf/nickserv.conf"), "regdelay = 30s",
                                                "regdelay = 0s", missing));
  if (!missing.empty()) return Fail("Anope's configuration has changed; not found:" + missing);
  dir_->HandOver();

  const auto start = Clock::now();
  if (!process_.Start(
          {binary, "--nofork", "--confdir=" + dir_->File("conf"), "--dbdir=" + dir_->File("data"),
           "--logdir=" + dir_->File("logs"), "--modulesdir=/usr/lib/anope"},
          dir_->File("anope.out"))) {
    return Fail("fork failed");
  }
  // Linked once the server offers SASL (it does so only while its target is there).
  const bool linked = WaitUntil(
      [&] {
        if (Log().find("is done syncing") == std::string::npos) return false;
        LineClient probe;
        if (!probe.Connect(ircd.Port())) return false;
        probe.Send("CAP LS 302");
        const int ls = probe.WaitForContaining(" CAP * LS ", milliseconds(2000));
        return ls >= 0 &&
               probe.Lines()[static_cast<std::size_t>(ls)].find("sasl") != std::string::npos;
      },
      process_, milliseconds(15000));
  startup_ = Since(start);
  if (!linked) {
    process_.Stop();
    return Fail("anope did not link:\n" + Log() + "\n---- ircd ----\n" + ircd.Log());
  }
  return true;
}

// ---- ServicesNetwork ----

bool ServicesNetwork::Start() {
  return ircd.Start() && services.Start(ircd);
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

// ---- TlsNgircdServer ----

bool TlsNgircdServer::Fail(std::string error) {
  error_ = std::move(error);
  return false;
}

std::string TlsNgircdServer::Log() const {
  return dir_ ? dir_->Read("ngircd.log") : "";
}

bool TlsNgircdServer::Start() {
  const std::string binary = FindBinary("ngircd");
  if (binary.empty()) return Fail("ngircd is not installed");
  dir_ = std::make_unique<ServerDir>();
  if (std::string error = certificates_.Make(*dir_); !error.empty()) return Fail(error);
  port_ = PickFreePort();
  tls_port_ = PickFreePort();
  std::ostringstream conf;
  conf << "[Global]\nName = irc.ngircd.test\nInfo = Zelvo test server\n"
       << "AdminInfo1 = Zelvo tests\nAdminInfo2 = loopback\nAdminEMail = root@localhost\n"
       << "Listen = 127.0.0.1\nPorts = " << port_ << "\nMotdPhrase = Zelvo test server\n";
  if (const passwd* user = ServerUser()) {
    conf << "ServerUID = " << user->pw_uid << "\nServerGID = " << user->pw_gid << "\n";
  }
  conf << "[Limits]\nMaxConnectionsIP = 0\n"
       << "[Options]\nDNS = no\nIdent = no\nPAM = no\n"
       << "[SSL]\nCertFile = " << certificates_.cert_file
       << "\nKeyFile = " << certificates_.key_file << "\nDHFile = " << certificates_.dh_file
       << "\nPorts = " << tls_port_ << "\n";
  dir_->Write("ngircd.conf", conf.str());
  // ngircd reads its configuration as root and switches user itself.
  const auto start = Clock::now();
  if (!process_.Start({binary, "-n", "-f", dir_->File("ngircd.conf")}, dir_->File("ngircd.log"))) {
    return Fail("fork failed");
  }
  const bool up = WaitUntil([this] { return PortListening(port_) && PortListening(tls_port_); },
                            process_, milliseconds(10000));
  startup_ = Since(start);
  if (!up) {
    process_.Stop();
    return Fail("ngircd did not open its ports:\n" + Log());
  }
  return true;
}

// ---- ZncBouncer ----

bool ZncBouncer::Fail(std::string error) {
  error_ = std::move(error);
  return false;
}

std::string ZncBouncer::Log() const {
  return dir_ ? dir_->Read("znc.out") : "";
}

bool ZncBouncer::Start(int upstream_port, const std::string& user, const std::string& password) {
  const std::string binary = FindBinary("znc");
  if (binary.empty()) return Fail("znc is not installed");
  dir_ = std::make_unique<ServerDir>();
  port_ = PickFreePort();
  std::ostringstream conf;
  conf << "Version = 1.8.2\n"
       << "<Listener listener0>\n\tHost = 127.0.0.1\n\tIPv4 = true\n\tIPv6 = false\n\tPort = "
       << port_ << "\n\tSSL = false\n</Listener>\n"
       << "<User " << user << ">\n\t<Pass password>\n\t\tMethod = plain\n\t\tHash = " << password
       << "\n\t</Pass>\n\tAdmin = true\n\tNick = " << user << "\n\tAltNick = " << user
       << "_\n\tIdent = " << user << "\n\tRealName = Zelvo test bouncer user\n"
       << "\t<Network local>\n\t\tServer = 127.0.0.1 " << upstream_port
       << "\n\t</Network>\n</User>\n";
  dir_->Write("configs/znc.conf", conf.str());
  dir_->HandOver();
  const auto start = Clock::now();
  if (!process_.Start({binary, "--foreground", "--datadir=" + dir_->path()}, dir_->File("znc.out"),
                      {"HOME=" + dir_->path()})) {
    return Fail("fork failed");
  }
  const bool up = WaitUntil([this] { return PortListening(port_); }, process_, milliseconds(20000));
  startup_ = Since(start);
  if (!up) {
    process_.Stop();
    return Fail("znc did not open its port:\n" + Log());
  }
  return true;
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
