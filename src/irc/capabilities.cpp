#include "irc/capabilities.h"

#include "irc/cap_negotiation.h"
#include "irc/channel_roster.h"

namespace zelvo {

namespace {

bool Always(const CapConfig&) {
  return true;
}

bool Never(const CapConfig&) {
  return false;
}

bool IgnoringReplayed(const CapConfig& config) {
  return config.ignore_replayed;
}

// Once a capability that kept the accounts current is gone, they are asked
// for again; without account-notify the ones known may go stale, so they are
// forgotten first (unknown until the answer).
void AccountsLost(CapConsumers& consumers, bool on) {
  if (!on && consumers.refresh_accounts) consumers.refresh_accounts();
}

// The channel roster reads NAMES with every status symbol (multi-prefix) and
// with full masks (userhost-in-names), the account in JOIN (extended-join)
// and ACCOUNT lines (account-notify), and CHGHOST whenever they come; only
// the meaning of a missing account tag depends on the capability. Without
// chghost the server shows a changed host as a QUIT and a JOIN.
constexpr Capability kCapabilities[] = {
    // SASL login, run by the negotiation itself (at registration only).
    {"sasl", [](const CapConfig& c) { return c.mechanism != SaslMechanism::kNone; }, nullptr},
    {"multi-prefix", Always, nullptr},
    {"account-tag", Always,
     [](CapConsumers& c, bool on) {
       c.roster.SetAccountTag(on);
       AccountsLost(c, on);
     }},
    {"extended-join", Always, AccountsLost},
    {"account-notify", Always,
     [](CapConsumers& c, bool on) {
       if (!on) c.roster.ForgetAccounts();
       AccountsLost(c, on);
     }},
    {"chghost", Always, nullptr},
    {"userhost-in-names", Always, nullptr},
    // CAP NEW and CAP DEL (implied by CAP LS 302, asked for all the same).
    {"cap-notify", Always, nullptr},
    // What tells lines played back from before the join (the time a line was
    // first sent, the batches of history and of a bouncer's buffer), asked
    // for only while such lines are to be ignored.
    {"server-time", IgnoringReplayed, nullptr},
    {"znc.in/server-time-iso", IgnoringReplayed, nullptr},
    {"batch", IgnoringReplayed, nullptr},
    {"znc.in/playback", IgnoringReplayed, nullptr},
    // Listed, never requested: the strict transport security policy, which
    // the session reads from the list (IrcSession, sts_policy.h).
    {"sts", Never, nullptr},
};

}  // namespace

std::span<const Capability> Capabilities() {
  return kCapabilities;
}

const Capability* FindCapability(std::string_view name) {
  for (const Capability& capability : kCapabilities) {
    if (capability.name == name) return &capability;
  }
  return nullptr;
}

CapListener TellConsumers(CapConsumers& consumers) {
  return [&consumers](const Capability& capability, bool on) {
    if (capability.tell != nullptr) capability.tell(consumers, on);
  };
}

}  // namespace zelvo
