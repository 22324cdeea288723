#include "irc/cap_negotiation.h"

#include <algorithm>
#include <cctype>

#include "log/messages.h"

namespace zelvo {

namespace {

constexpr std::string_view kSasl = "sasl";

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  while (!text.empty()) {
    const std::size_t end = text.find(' ');
    if (end != 0) words.push_back(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return words;
}

std::string_view MechanismName(SaslMechanism mechanism, ScramHash hash = ScramHash::kSha256) {
  if (mechanism == SaslMechanism::kScramSha256) {
    return hash == ScramHash::kSha512 ? "SCRAM-SHA-512" : "SCRAM-SHA-256";
  }
  if (mechanism == SaslMechanism::kEcdsaNist256pChallenge) return "ECDSA-NIST256P-CHALLENGE";
  return mechanism == SaslMechanism::kExternal ? "EXTERNAL" : "PLAIN";
}

// Whether the comma-separated `list` names `name` (in any case).
bool Lists(std::string_view list, std::string_view name) {
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    if (Upper(list.substr(0, comma)) == name) return true;
    list.remove_prefix(comma == std::string_view::npos ? list.size() : comma + 1);
  }
  return false;
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      group = (group << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    }
    for (std::size_t k = 0; k < 4; ++k) {
      out += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
  }
  return out;
}

std::vector<std::string> AuthenticateLines(std::string_view payload) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < payload.size(); at += CapNegotiation::kChunkBytes) {
    lines.push_back("AUTHENTICATE " + std::string(payload.substr(at, CapNegotiation::kChunkBytes)));
  }
  if (payload.size() % CapNegotiation::kChunkBytes == 0) lines.push_back("AUTHENTICATE +");
  return lines;
}

std::string RegistrationUserLine(std::string_view user, std::string_view local_host,
                                 std::int32_t local_port) {
  const std::string host(local_host);
  return "USER " + std::string(user) + " " + host + " " +
         Upper(host + ":" + std::to_string(local_port) + "/0") + " :Winsock Client";
}

CapOutput CapNegotiation::Start(CapConfig config, TimePoint now) {
  for (const Capability& capability : Capabilities()) Turn(std::string(capability.name), false);
  config_ = std::move(config);
  offered_.clear();
  requested_.clear();
  requested_late_.clear();
  account_.clear();
  sasl_requested_ = false;
  scram_hash_ = ScramHash::kSha256;
  scram_.reset();
  sasl_in_.clear();
  scram_final_ = false;
  ecdsa_account_sent_ = false;
  ecdsa_signed_ = false;
  CapOutput out;
  out.lines.push_back("CAP LS 302");
  if (!config_.password.empty()) out.lines.push_back("PASS " + config_.password);
  out.lines.push_back(config_.nick_line);
  out.lines.push_back(config_.user_line);
  state_ = State::kListing;
  deadline_ = now + kCapTimeout;
  return out;
}

CapOutput CapNegotiation::OnMessage(const IrcMessage& message, TimePoint now) {
  CapOutput out;
  const std::string& command = message.command;
  if (command == "CAP") {
    OnCap(message, now, out);
    return out;
  }
  const bool negotiating =
      state_ == State::kListing || state_ == State::kRequesting || state_ == State::kAuthenticating;
  if (!negotiating) return out;
  if ((command == "421" && Upper(message.Param(1)) == "CAP") || command == "001") {
    // A server without CAP: it registers on NICK and USER alone.
    if (config_.mechanism != SaslMechanism::kNone &&
        FailSasl("The server does not support capability negotiation.", out)) {
      return out;
    }
    state_ = State::kDone;
    out.events.push_back({CapEvent::Kind::kNegotiationDone, ""});
    return out;
  }
  if (state_ != State::kAuthenticating) return out;
  if (command == "AUTHENTICATE") {
    OnAuthenticate(message, out);
  } else if (command == "900") {
    account_ = message.Param(2);
  } else if ((command == "903" || command == "907") &&
             config_.mechanism == SaslMechanism::kScramSha256 && !(scram_ && scram_->Verified())) {
    SaslFailed(ScramEarlySuccessText(), out, CapEvent::Kind::kSaslIntercepted);
  } else if (command == "903" || command == "907") {
    out.events.push_back({CapEvent::Kind::kSaslSucceeded, account_});
    End(out);
  } else if (command == "902" || command == "904" || command == "905" || command == "906") {
    SaslFailed(command + " " + (message.params.empty() ? "" : message.params.back()), out);
  } else if (command == "908") {
    // The server's mechanisms beside the configured one; the 904 after it is not counted again.
    SaslFailed(SaslMechanismsText(message.Param(1), MechanismName(config_.mechanism)), out);
  }
  return out;
}

void CapNegotiation::OnCap(const IrcMessage& message, TimePoint now, CapOutput& out) {
  const std::string sub = Upper(message.Param(1));
  const bool more = message.params.size() > 3 && message.Param(2) == "*";
  const std::string_view caps =
      message.params.size() > 2 ? std::string_view(message.params.back()) : std::string_view();
  if (sub == "LS" && state_ == State::kListing) {
    // Only what the bot may ask for is kept, once, however much is listed.
    for (std::string_view cap : Words(caps)) {
      const std::size_t equals = cap.find('=');
      const std::string_view name = cap.substr(0, equals);
      if (FindCapability(name) == nullptr) continue;
      const std::string_view value = equals == std::string_view::npos
                                         ? std::string_view()
                                         : cap.substr(equals + 1, kMaxValueBytes);
      offered_.insert_or_assign(std::string(name), std::string(value));
    }
    if (!more) RequestOrEnd(now, out);
  } else if (sub == "ACK" && state_ == State::kRequesting) {
    // Taken only as the answer to the request, for the names requested.
    for (std::string_view cap : Words(caps)) {
      const bool off = cap.front() == '-';
      const std::string name(off ? cap.substr(1) : cap);
      if (requested_.count(name) > 0) Turn(name, !off);
    }
    if (more) return;
    if (sasl_requested_ && Has(kSasl)) {
      StartSasl(now, out);
    } else {
      End(out);
    }
  } else if (sub == "NAK" && state_ == State::kRequesting) {
    if (sasl_requested_) {
      SaslFailed("The server refused the capability request.", out);
    } else {
      End(out);
    }
  } else if (sub == "DEL") {
    for (std::string_view cap : Words(caps)) {
      const std::string name(cap);
      if (Has(name) && state_ == State::kDone) {
        out.events.push_back({CapEvent::Kind::kCapabilityRemoved, name});
      }
      Turn(name, false);
    }
  } else if (state_ == State::kDone) {
    OnCapLate(sub, caps, out);
  }
}

void CapNegotiation::OnCapLate(std::string_view sub, std::string_view caps, CapOutput& out) {
  if (sub == "NEW") {
    std::string request;
    for (std::string_view cap : Words(caps)) {
      const std::string name(cap.substr(0, cap.find('=')));
      const Capability* capability = FindCapability(name);
      if (capability == nullptr || name == kSasl || !capability->requested(config_) || Has(name) ||
          !requested_late_.insert(name).second) {
        continue;
      }
      request += (request.empty() ? "" : " ") + name;
    }
    if (!request.empty()) out.lines.push_back("CAP REQ :" + request);
  } else if (sub == "ACK" || sub == "NAK") {
    for (std::string_view cap : Words(caps)) {
      const bool off = cap.front() == '-';
      const std::string name(off ? cap.substr(1) : cap);
      if (requested_late_.erase(name) == 0 || sub == "NAK" || off || Has(name)) continue;
      Turn(name, true);
      out.events.push_back({CapEvent::Kind::kCapabilityAdded, name});
    }
  }
}

void CapNegotiation::Turn(const std::string& name, bool on) {
  const bool changed = on ? enabled_.insert(name).second : enabled_.erase(name) > 0;
  if (!changed || !listener_) return;
  if (const Capability* capability = FindCapability(name)) listener_(*capability, on);
}

bool CapNegotiation::SaslOffered(CapOutput& out) {
  const auto it = offered_.find(std::string(kSasl));
  const std::string* sasl = it == offered_.end() ? nullptr : &it->second;
  if (config_.mechanism == SaslMechanism::kScramSha256 && sasl != nullptr &&
      !Lists(*sasl, "SCRAM-SHA-256") && Lists(*sasl, "SCRAM-SHA-512")) {
    scram_hash_ = ScramHash::kSha512;
  }
  const std::string name(MechanismName(config_.mechanism, scram_hash_));
  const bool usable = sasl != nullptr && (sasl->empty() || Lists(*sasl, name));
  if (!usable) {
    const std::string reason =
        sasl == nullptr ? "The server does not offer SASL."
                        : "The server does not offer SASL " + name + " (only " + *sasl + ").";
    FailSasl(reason, out);
  }
  return usable;
}

void CapNegotiation::RequestOrEnd(TimePoint now, CapOutput& out) {
  std::string request;
  for (const Capability& capability : Capabilities()) {
    if (!capability.requested(config_)) continue;
    if (capability.name == kSasl) {
      if (!SaslOffered(out)) {
        if (state_ == State::kFailed) return;
        continue;
      }
      sasl_requested_ = true;
    } else if (!offered_.contains(std::string(capability.name))) {
      continue;
    }
    if (!request.empty()) request += ' ';
    request.append(capability.name);
    requested_.emplace(capability.name);
  }
  if (request.empty()) {
    End(out);
    return;
  }
  out.lines.push_back("CAP REQ :" + request);
  state_ = State::kRequesting;
  deadline_ = now + kCapTimeout;
}

void CapNegotiation::StartSasl(TimePoint now, CapOutput& out) {
  out.lines.push_back("AUTHENTICATE " + std::string(MechanismName(config_.mechanism, scram_hash_)));
  state_ = State::kAuthenticating;
  deadline_ = now + kSaslTimeout;
}

void CapNegotiation::OnAuthenticate(const IrcMessage& message, CapOutput& out) {
  if (config_.mechanism == SaslMechanism::kScramSha256) {
    OnScram(message.Param(0), out);
    return;
  }
  if (config_.mechanism == SaslMechanism::kEcdsaNist256pChallenge) {
    OnEcdsa(message.Param(0), out);
    return;
  }
  if (message.Param(0) != "+") return;
  std::string payload;
  if (config_.mechanism == SaslMechanism::kPlain) {
    const std::string& user = config_.sasl_username;
    payload = Base64Encode(user + '\0' + user + '\0' + config_.sasl_password);
  }
  for (std::string& line : AuthenticateLines(payload)) out.lines.push_back(std::move(line));
}

void CapNegotiation::OnScram(std::string_view argument, CapOutput& out) {
  const auto send = [&out](std::string_view message) {
    for (std::string& line : AuthenticateLines(Base64Encode(message))) {
      out.lines.push_back(std::move(line));
    }
  };
  if (!scram_) {
    if (argument != "+") return;
    scram_.emplace(scram_hash_, config_.sasl_username, config_.sasl_password,
                   config_.scram_nonce ? config_.scram_nonce() : std::string());
    send(scram_->ClientFirst());
    return;
  }
  // SCRAM messages are short, so ten pieces are plenty.
  std::optional<std::string> message;
  if (!Gather(argument, 10, message)) return;
  ScramStep step;
  if (!message) {
    step = {"", ScramMalformedText("base64"), false};
  } else if (!scram_final_) {
    step = scram_->OnServerFirst(*message);
    scram_final_ = step.ok();
    if (step.ok()) send(step.message);
  } else {
    step = scram_->OnServerFinal(*message);
    if (step.ok()) out.lines.push_back("AUTHENTICATE +");
  }
  if (step.ok()) return;
  out.lines.push_back("AUTHENTICATE *");
  SaslFailed(step.error, out,
             step.interception ? CapEvent::Kind::kSaslIntercepted : CapEvent::Kind::kSaslFailed);
}

bool CapNegotiation::Gather(std::string_view argument, std::size_t max_pieces,
                            std::optional<std::string>& message) {
  // The last piece is shorter than 400 bytes, or "+" after a full one.
  if (argument != "+") sasl_in_ += argument;
  const bool too_long = sasl_in_.size() > max_pieces * kChunkBytes;
  if (argument.size() == kChunkBytes && !too_long) return false;
  message = too_long ? std::nullopt : Base64Decode(sasl_in_);
  sasl_in_.clear();
  return true;
}

void CapNegotiation::OnEcdsa(std::string_view argument, CapOutput& out) {
  const auto send = [&out](std::string_view bytes) {
    for (std::string& line : AuthenticateLines(Base64Encode(bytes))) {
      out.lines.push_back(std::move(line));
    }
  };
  if (!ecdsa_account_sent_) {
    if (argument != "+") return;
    ecdsa_account_sent_ = true;
    send(config_.sasl_username);
    return;
  }
  std::optional<std::string> challenge;
  if (!Gather(argument, 1, challenge)) return;
  std::optional<std::string> signature;
  std::string error;
  if (ecdsa_signed_) {
    // One challenge per login: a server asking again gets no second signature.
    error = EcdsaChallengeText("sent a second time");
  } else if (!challenge) {
    error = EcdsaChallengeText("not base64");
  } else if (challenge->empty()) {
    error = EcdsaChallengeText("empty");
  } else if (challenge->size() > EcdsaKey::kMaxChallengeBytes) {
    error = EcdsaChallengeText("longer than " + std::to_string(EcdsaKey::kMaxChallengeBytes) +
                               " bytes");
  } else if (config_.sasl_key) {
    signature = config_.sasl_key->Sign(*challenge);
  }
  if (signature) {
    ecdsa_signed_ = true;
    send(*signature);
    return;
  }
  out.lines.push_back("AUTHENTICATE *");
  SaslFailed(error.empty() ? EcdsaSignFailedText() : error, out);
}

bool CapNegotiation::FailSasl(std::string reason, CapOutput& out, CapEvent::Kind kind) {
  out.events.push_back({kind, std::move(reason)});
  if (config_.sasl_required) state_ = State::kFailed;
  return config_.sasl_required;
}

void CapNegotiation::SaslFailed(std::string reason, CapOutput& out, CapEvent::Kind kind) {
  if (!FailSasl(std::move(reason), out, kind)) End(out);
}

void CapNegotiation::End(CapOutput& out) {
  out.lines.push_back("CAP END");
  state_ = State::kDone;
  out.events.push_back({CapEvent::Kind::kNegotiationDone, ""});
}

CapOutput CapNegotiation::Tick(TimePoint now) {
  CapOutput out;
  if (now < deadline_) return out;
  if (state_ == State::kListing || state_ == State::kRequesting) {
    if (config_.mechanism != SaslMechanism::kNone) {
      SaslFailed("The server did not answer the capability negotiation within 5 s.", out);
    } else {
      End(out);
    }
  } else if (state_ == State::kAuthenticating) {
    out.lines.push_back("AUTHENTICATE *");
    SaslFailed("The server did not answer SASL within 15 s.", out);
  }
  return out;
}

}  // namespace zelvo
