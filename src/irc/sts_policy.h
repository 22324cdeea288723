// Strict transport security: the "sts" capability's value as the server
// lists it, the policies kept per host, the file that keeps them across
// restarts, and where a connection attempt goes under them.
//
// A value is "key[=value]" tokens separated by commas; "port" (1 to 65535),
// "duration" (whole seconds) and "preload" are read, other keys are ignored,
// and a key with a malformed value counts as absent. Over a plain connection
// a port asks the client to reconnect with TLS on it at once; over TLS a
// duration is the policy's lifetime from now on (0 ends it), the port being
// the one connected to.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zelvo {

inline constexpr char kStsFileName[] = "sts.xml";

struct StsOffer {
  std::optional<std::int32_t> port;
  std::optional<std::int64_t> duration;  // seconds
  bool preload = false;
  bool operator==(const StsOffer&) const = default;
};

// The offer in a capability value; never fails (nothing read: an empty offer).
StsOffer ParseStsValue(std::string_view value);

using WallTime = std::chrono::system_clock::time_point;

// What a host requires: TLS on `port`, until `until` (none: for as long as
// the program runs, for an upgrade asked for over plain text).
struct StsRule {
  std::int32_t port = 0;
  std::optional<WallTime> until;
  bool operator==(const StsRule&) const = default;
};

// The policies by host name (compared without regard to ASCII case), with
// the upgrades asked for over plain text beside them, which are never saved.
class StsPolicyStore {
 public:
  enum class Change { kNone, kStored, kRefreshed, kRemoved };

  // The rule for `host` at `now`: its policy while it lasts, else its upgrade.
  std::optional<StsRule> Find(std::string_view host, WallTime now) const;
  // A policy seen over TLS on `port`: kept until now + `duration` seconds;
  // duration 0 removes it (kNone when there was none).
  Change Keep(std::string_view host, std::int32_t port, std::int64_t duration, WallTime now);
  // A plain connection to `host` was told to use TLS on `port`.
  void Upgrade(std::string_view host, std::int32_t port);

  // The policies as the file holds them.
  std::string ToXml() const;
  // Replaces the policies with those of `xml`; "" or why the text is not a
  // policy file, leaving the store empty.
  std::string FromXml(std::string_view xml);

 private:
  std::map<std::string, StsRule> policies_;  // by lower-case host; `until` always set
  std::map<std::string, std::int32_t> upgrades_;
};

// Reads `path` into `store`: "" when it was read or does not exist, else a
// warning naming the file and what is wrong (the store is then empty).
std::string ReadStsFile(const std::string& path, StsPolicyStore& store);
// Writes the store to `path` atomically; "" or the error text.
std::string WriteStsFile(const std::string& path, const StsPolicyStore& store);

// "2026-12-09 07:00:00 UTC".
std::string UtcText(WallTime time);

// Where one connection attempt goes and how.
struct ConnectTarget {
  std::string host;
  std::int32_t port = 0;
  bool tls = false;
  bool verify = true;
  // The rule the attempt is under; then TLS is on and verified.
  std::optional<StsRule> sts;
};

// `target` as configured, moved onto TLS on the policy's port (or, already
// on TLS, kept on its port) and verified, when `store` holds a rule for its
// host at `now`; unchanged otherwise.
ConnectTarget ApplySts(ConnectTarget target, const StsPolicyStore& store, WallTime now);

}  // namespace zelvo
