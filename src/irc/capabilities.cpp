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

// The channel roster reads NAMES with every status symbol (multi-prefix),
// the account in JOIN (extended-join) and ACCOUNT lines (account-notify)
// whenever they come; only the meaning of a missing account tag depends on
// the capability.
constexpr Capability kCapabilities[] = {
    // SASL login, run by the negotiation itself.
    {"sasl", [](const CapConfig& c) { return c.mechanism != SaslMechanism::kNone; }, nullptr},
    {"multi-prefix", Always, nullptr},
    {"account-tag", Always, [](CapConsumers& c, bool on) { c.roster.SetAccountTag(on); }},
    {"extended-join", Always, nullptr},
    {"account-notify", Always, nullptr},
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
