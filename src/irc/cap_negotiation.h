// Registration with capability negotiation and SASL, as a state machine that
// is fed the server's messages and the time and answers with the lines to
// send (in order, without line ends) and what happened.
//
// Start sends "CAP LS 302", "PASS <password>" when one is set, the NICK and
// USER lines as given, and waits. From the capabilities the server lists
// (over several "CAP * LS * :..." lines) it requests, in one "CAP REQ", those
// of the table in capabilities.cpp that are offered and that the configuration
// asks for; only these names are kept of the list (a value up to
// kMaxValueBytes), so a list of any length costs no memory. An ACK counts
// only while the request is outstanding and only for the names requested; a
// NAK ends the negotiation; "CAP DEL" takes a capability out of effect. After
// the negotiation (cap-notify), "CAP NEW" gets a "CAP REQ" for the newly
// offered names of the table that the configuration asks for, but "sasl"
// (the bot logs in only while registering), and their ACK puts them into
// effect; such a change, and a DEL of one in effect, is reported as
// kCapabilityAdded or kCapabilityRemoved. The listener hears of each
// capability coming into effect and leaving it (DEL, "-name" in an ACK, or
// the next Start). After the ACK it
// authenticates with SASL when "sasl" was acknowledged (PLAIN: base64 of
// "authzid\0authcid\0password", EXTERNAL: "+"; payloads in 400-byte chunks,
// "+" after a last chunk of exactly 400 bytes; SCRAM-SHA-256, or SCRAM-SHA-512
// when the server lists only that: the three SCRAM messages in base64, then
// "+" once the server's signature is verified; ECDSA-NIST256P-CHALLENGE: the
// account name, then the DER signature of the server's challenge, both in
// base64; a challenge that is empty, not base64 or longer than
// EcdsaKey::kMaxChallengeBytes is answered with "AUTHENTICATE *" and fails
// the login), then sends "CAP END".
//
// Without an answer to CAP LS within 5 s, on 421 for CAP, or on 001 the
// server is taken as one without CAP and registration goes on as before.
// SASL is requested whenever "sasl" is offered without values; SASL fails on
// 902, 904, 905, 906, 908 (its reason names the mechanisms the server has), on
// a NAK of the request, when the server lists mechanisms without the one
// configured, or when 903 has not arrived 15 s after the first AUTHENTICATE.
// A SCRAM login also fails on any fault the ScramClient finds (answered with
// "AUTHENTICATE *") and on 903 before the server proved that it knows the
// password; these report kSaslIntercepted where the server could be an
// impostor. When SASL is required, a failure ends the negotiation without
// "CAP END" (the caller quits and drops the connection); otherwise
// registration goes on unauthenticated.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "irc/capabilities.h"
#include "irc/ecdsa_challenge.h"
#include "irc/irc_message.h"
#include "irc/scram.h"

namespace zelvo {

enum class SaslMechanism { kNone, kPlain, kExternal, kScramSha256, kEcdsaNist256pChallenge };

struct CapEvent {
  enum class Kind {
    kNegotiationDone,    // CAP END sent or no CAP at all: the server may now send 001
    kSaslSucceeded,      // text: the account, when the server said it (900)
    kSaslFailed,         // text: the reason
    kSaslIntercepted,    // failed as kSaslFailed, and the server may be an impostor
    kCapabilityAdded,    // text: the name; in effect after the negotiation (CAP NEW)
    kCapabilityRemoved,  // text: the name; taken out of effect by CAP DEL
  };
  Kind kind;
  std::string text;
  bool operator==(const CapEvent&) const = default;
};

struct CapOutput {
  std::vector<std::string> lines;
  std::vector<CapEvent> events;
};

struct CapConfig {
  std::string password;   // PASS; not sent when empty
  std::string nick_line;  // "NICK <nick>"
  std::string user_line;  // the USER line
  SaslMechanism mechanism = SaslMechanism::kNone;
  std::string sasl_username;
  std::string sasl_password;
  std::shared_ptr<const EcdsaKey> sasl_key;  // ECDSA-NIST256P-CHALLENGE
  bool sasl_required = true;
  bool ignore_replayed = true;  // IgnoreReplayedLines: ask for what marks replayed lines
  ScramNonceSource scram_nonce = ScramRandomNonce;  // asked once per SCRAM login
};

class CapNegotiation {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  static constexpr std::chrono::seconds kCapTimeout{5};
  static constexpr std::chrono::seconds kSaslTimeout{15};
  static constexpr std::size_t kChunkBytes = 400;
  // The longest capability value kept (the rest is cut).
  static constexpr std::size_t kMaxValueBytes = 400;

  explicit CapNegotiation(CapListener listener = {}) : listener_(std::move(listener)) {}

  // A new connection stands: forgets the last one (telling the listener that
  // its capabilities are gone) and registers with `config`.
  CapOutput Start(CapConfig config, TimePoint now);
  // One message from the server; messages that do not concern the
  // negotiation give empty output.
  CapOutput OnMessage(const IrcMessage& message, TimePoint now);
  // Time passes: the CAP and SASL timeouts.
  CapOutput Tick(TimePoint now);

  bool Done() const { return state_ == State::kDone || state_ == State::kFailed; }
  // Capabilities in effect (acknowledged and not deleted since).
  const std::set<std::string>& Enabled() const { return enabled_; }
  bool Has(std::string_view cap) const { return enabled_.count(std::string(cap)) > 0; }
  // The value the server listed for `cap` (a name of the table) since the
  // last Start; null when it was not listed.
  const std::string* Listed(std::string_view cap) const {
    const auto it = offered_.find(std::string(cap));
    return it == offered_.end() ? nullptr : &it->second;
  }

 private:
  enum class State { kIdle, kListing, kRequesting, kAuthenticating, kDone, kFailed };

  void OnCap(const IrcMessage& message, TimePoint now, CapOutput& out);
  // CAP NEW, ACK and NAK after the negotiation.
  void OnCapLate(std::string_view sub, std::string_view caps, CapOutput& out);
  void OnAuthenticate(const IrcMessage& message, CapOutput& out);
  void RequestOrEnd(TimePoint now, CapOutput& out);
  // Whether the server offers SASL with the configured mechanism; reports the
  // failure when not.
  bool SaslOffered(CapOutput& out);
  void StartSasl(TimePoint now, CapOutput& out);
  // Reports the failure; true (and negotiation over) when SASL is required.
  bool FailSasl(std::string reason, CapOutput& out,
                CapEvent::Kind kind = CapEvent::Kind::kSaslFailed);
  // Reports the failure and, unless SASL is required, ends the negotiation.
  void SaslFailed(std::string reason, CapOutput& out,
                  CapEvent::Kind kind = CapEvent::Kind::kSaslFailed);
  // Gathers the server's base64 message from its 400-byte pieces: true once
  // it is whole, with `message` the decoded bytes (nullopt: not base64 or
  // longer than `max_pieces` pieces).
  bool Gather(std::string_view argument, std::size_t max_pieces,
              std::optional<std::string>& message);
  // One AUTHENTICATE argument of a SCRAM login.
  void OnScram(std::string_view argument, CapOutput& out);
  // One AUTHENTICATE argument of an ECDSA-NIST256P-CHALLENGE login.
  void OnEcdsa(std::string_view argument, CapOutput& out);
  void End(CapOutput& out);
  // Puts `name` in or out of effect and tells the listener of a change.
  void Turn(const std::string& name, bool on);

  CapListener listener_;
  CapConfig config_;
  State state_ = State::kIdle;
  TimePoint deadline_{};
  std::map<std::string, std::string> offered_;  // of the names in the table: value
  std::set<std::string> requested_;
  std::set<std::string> requested_late_;  // asked for after a CAP NEW, not answered yet
  std::set<std::string> enabled_;
  std::string account_;
  bool sasl_requested_ = false;
  ScramHash scram_hash_ = ScramHash::kSha256;
  std::optional<ScramClient> scram_;  // from the first "AUTHENTICATE +" on
  std::string sasl_in_;               // the server's base64 message so far
  bool scram_final_ = false;          // the server-first message was answered
  bool ecdsa_account_sent_ = false;
  bool ecdsa_signed_ = false;  // the one signature of this login has gone
};

// RFC 4648 base64 with padding.
std::string Base64Encode(std::string_view bytes);

// "AUTHENTICATE <chunk>" lines for a SASL payload: 400-byte pieces, and "+"
// after a last piece of exactly 400 bytes or for an empty payload.
std::vector<std::string> AuthenticateLines(std::string_view base64_payload);

// The USER line the bot registers with, from its user name and the local end
// of the connection: "USER relay pc7 PC7:1042/0 :Winsock Client".
std::string RegistrationUserLine(std::string_view user, std::string_view local_host,
                                 std::int32_t local_port);

}  // namespace zelvo
