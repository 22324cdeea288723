// Memory of the real zelvo program run headless (as the service runs it),
// idle in its channel on a local ngircd: resident memory (VmRSS), the part
// of it that is the program's alone (Private_Clean + Private_Dirty from
// smaps_rollup), its share by proportion (Pss), how many GUI libraries it has
// mapped and whether Qt's TLS back-end is loaded. With TLS off and on (to the
// server's TLS port).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/spawned_bot.h"
#include "app/test_support.h"
#include "irc/e2e_harness.h"
#include "irc/servers.h"

namespace zelvo {
namespace {

// The program under test: $ZELVO_BENCH_BINARY (to compare builds), else the
// one built beside this benchmark.
std::string ZelvoBinary() {
  const char* chosen = std::getenv("ZELVO_BENCH_BINARY");
  return chosen && *chosen ? chosen : ZELVO_BINARY;
}

// A "Name: value kB" field of a /proc file, in MiB; -1 when missing.
double FieldMiB(const std::string& path, const std::string& name) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(name + ":", 0) != 0) continue;
    std::istringstream fields(line.substr(name.size() + 1));
    double kib = 0;
    fields >> kib;
    return kib / 1024.0;
  }
  return -1;
}

// How many distinct mapped files have a name containing one of `parts`.
int MappedLibraries(pid_t pid, const std::vector<std::string>& parts) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/maps");
  std::string line, last;
  int count = 0;
  while (std::getline(in, line)) {
    const std::size_t slash = line.find('/');
    if (slash == std::string::npos) continue;
    const std::string file = line.substr(slash);
    if (file == last) continue;
    last = file;
    for (const std::string& part : parts) {
      if (file.find(part) != std::string::npos) {
        ++count;
        break;
      }
    }
  }
  return count;
}

// state.range(0): 1 connects with TLS, 0 without.
void BM_HeadlessIdleInChannel(benchmark::State& state) {
  const bool tls = state.range(0) == 1;
  e2e::EnsureQtApplication();
  servers::NgircdServer server;
  if (!server.Start({.tls = tls})) return state.SkipWithError(server.Error().c_str());
  testing::TempDir dir;
  testing::ConfigOptions options;
  options.irc_port = tls ? server.TlsPort() : server.Port();
  if (tls) options.extra_settings = "<IRCTLS>true</IRCTLS><IRCTLSVerify>false</IRCTLSVerify>";
  testing::WriteFile(dir.File("config.xml"), testing::TestConfig(options));

  e2e::RawIrcClient alice;
  if (!alice.Connect(server.Port(), "alice") || !alice.Join("#zelvo"))
    return state.SkipWithError("second client could not join");
  // Standard input on /dev/null, as under the service manager.
  const pid_t bot =
      testing::Spawn({ZelvoBinary(), "--headless", "--dir", dir.path()}, dir.File("out.txt"));
  const bool joined = alice.WaitForJoin(":Zelvo!", "#zelvo", std::chrono::seconds(15));
  // Idle in the channel for a while, as a service spends most of its life.
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const std::string proc = "/proc/" + std::to_string(bot);
  const double rss = FieldMiB(proc + "/status", "VmRSS");
  const double private_mib = FieldMiB(proc + "/smaps_rollup", "Private_Clean") +
                             FieldMiB(proc + "/smaps_rollup", "Private_Dirty");
  const double pss = FieldMiB(proc + "/smaps_rollup", "Pss");
  const int gui = MappedLibraries(bot, {"libQt6Gui", "libQt6Widgets", "libGL", "libX11",
                                        "libfontconfig", "libfreetype", "libharfbuzz"});
  const int tls_backend = MappedLibraries(bot, {"qopensslbackend"});
  kill(bot, SIGTERM);
  waitpid(bot, nullptr, 0);
  if (!joined) return state.SkipWithError("the bot did not join its channel");
  for (auto _ : state) {
  }
  state.counters["rss_MiB"] = rss;
  state.counters["private_MiB"] = private_mib;
  state.counters["pss_MiB"] = pss;
  state.counters["gui_libraries"] = gui;
  state.counters["tls_backend"] = tls_backend;
}
BENCHMARK(BM_HeadlessIdleInChannel)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zelvo
