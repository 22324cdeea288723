#include "irc/server_rotation.h"

namespace zelvo {

std::vector<ServerAddress> ServersToTry(const Settings& settings) {
  std::vector<ServerAddress> servers{{settings.gsIRCDomain, settings.giIRCPort}};
  servers.insert(servers.end(), settings.IRCServers.begin(), settings.IRCServers.end());
  return servers;
}

void ServerRotation::Use(std::vector<ServerAddress> servers) {
  if (servers.empty()) servers.emplace_back();
  if (servers == servers_) return;
  servers_ = std::move(servers);
  current_ = 0;
  round_start_ = 0;
  registered_ = false;
}

void ServerRotation::OnRegistered(TimePoint now) {
  registered_ = true;
  registered_at_ = now;
}

bool ServerRotation::OnLost(TimePoint now) {
  const std::size_t next = (current_ + 1) % servers_.size();
  if (registered_) {
    registered_ = false;
    if (now - registered_at_ < stable_) current_ = next;
    round_start_ = current_;
    return true;
  }
  current_ = next;
  return current_ == round_start_;
}

}  // namespace zelvo
