// The IRC capabilities the bot asks for, one row each (kCapabilities in
// capabilities.cpp): the name, whether it is requested on a connection (some
// only with certain settings; some never, only their listed value counts),
// and who is told when the server acknowledges it and when it is gone again
// (CAP DEL, or the next connection). The bot requests them in the order of
// the rows; it never asks for a capability without a row.
#pragma once

#include <functional>
#include <span>
#include <string_view>

namespace zelvo {

class ChannelRoster;
struct CapConfig;

// The parts of the client that change what they do by a capability.
struct CapConsumers {
  ChannelRoster& roster;
  // Asks the server for every member's account again (WHOX), where it can:
  // called when a capability that kept the accounts current goes away.
  std::function<void()> refresh_accounts;
};

struct Capability {
  std::string_view name;
  // Whether the bot asks for it, when offered, on a connection with `config`.
  bool (*requested)(const CapConfig& config);
  // Tells its consumer that it is in effect now (`on`) or no longer; null
  // when nothing but the negotiation depends on it.
  void (*tell)(CapConsumers& consumers, bool on);
};

// Every capability the bot may request, in the order it requests them.
std::span<const Capability> Capabilities();
// The row of `name`; null for a name the bot never requests.
const Capability* FindCapability(std::string_view name);

// Called by the negotiation when a capability comes into effect or leaves it.
using CapListener = std::function<void(const Capability& capability, bool on)>;

// A listener that tells each row's consumer among `consumers`, which must
// outlive it.
CapListener TellConsumers(CapConsumers& consumers);

}  // namespace zelvo
