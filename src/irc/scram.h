// The client side of SCRAM-SHA-256 and SCRAM-SHA-512 (RFC 5802, RFC 7677)
// without channel binding ("n,," and "c=biws") and without SASLprep: the
// user name is sent with '=' as "=3D" and ',' as "=2C", the password as given.
//
// One ScramClient serves one login: ClientFirst(), then the client-final for
// the server-first message, then the check of the server-final message. Each
// step answers with its message or an error text; an error marked
// `interception` means the server could not prove that it knows the password
// (an "e=" answer, a wrong or missing server signature). Messages are the
// decoded texts; base64 on the wire is the caller's.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zelvo {

enum class ScramHash { kSha256, kSha512 };

struct ScramStep {
  std::string message;  // the next client message, when no error
  std::string error;    // empty on success
  bool interception = false;
  bool ok() const { return error.empty(); }
};

// A fresh client nonce: base64 of 18 random bytes; empty when no random
// bytes could be had.
using ScramNonceSource = std::function<std::string()>;
std::string ScramRandomNonce();

class ScramClient {
 public:
  // Servers asking for fewer PBKDF2 iterations are refused (RFC 7677), and
  // so are those asking for more than kMaxIterations (hours of work).
  static constexpr long kMinIterations = 4096;
  static constexpr long kMaxIterations = 10'000'000;

  ScramClient(ScramHash hash, std::string_view user, std::string password, std::string nonce);

  // "n,,n=<user>,r=<nonce>"
  std::string ClientFirst() const { return "n,," + client_first_bare_; }
  // The client-final message "c=biws,r=<nonce>,p=<proof>" for `server_first`.
  ScramStep OnServerFirst(std::string_view server_first);
  // Whether `server_final` carries the expected server signature.
  ScramStep OnServerFinal(std::string_view server_final);
  bool Verified() const { return verified_; }

 private:
  ScramHash hash_;
  std::string password_;
  std::string nonce_;
  std::string client_first_bare_;
  std::string server_signature_;  // known after OnServerFirst
  bool verified_ = false;
};

// RFC 4648 base64 with padding; nullopt for anything else.
std::optional<std::string> Base64Decode(std::string_view text);

}  // namespace zelvo
