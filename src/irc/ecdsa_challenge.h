// The ECDSA-NIST256P-CHALLENGE login (the key-based SASL mechanism of Atheme
// services): the account's private key on the NIST P-256 curve, read once
// from a PEM file, and the signature of the server's challenge.
//
// The challenge's bytes are signed as they are, taken as the digest (no hash
// over them, as the services' own client does); the signature is DER (an
// ASN.1 SEQUENCE of r and s), at most 72 bytes. The key stays inside
// libcrypto: nothing here hands out its bytes or puts them in a text.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct evp_pkey_st;

namespace zelvo {

class EcdsaKey {
 public:
  // Why a key file was not taken.
  enum class Fault {
    kNone,
    kUnreadable,  // the file could not be opened or read
    kNotPemKey,   // no PEM private key in it (or an encrypted one)
    kNotEc,       // a private key, but not an elliptic-curve one
    kNotP256,     // an elliptic-curve key on another curve
    kNoLibrary,   // libcrypto could not be loaded
  };
  struct Loaded {
    std::shared_ptr<const EcdsaKey> key;  // null unless fault is kNone
    Fault fault = Fault::kNone;
    std::string library_error;  // kNoLibrary: why
  };

  // The longest challenge signed; servers send 32 bytes.
  static constexpr std::size_t kMaxChallengeBytes = 256;

  static Loaded FromPem(std::string_view pem);
  static Loaded FromPemFile(const std::string& path);

  ~EcdsaKey();
  EcdsaKey(const EcdsaKey&) = delete;
  EcdsaKey& operator=(const EcdsaKey&) = delete;

  // The DER signature of `challenge`; nullopt for an empty challenge, one
  // longer than kMaxChallengeBytes, or when libcrypto fails.
  std::optional<std::string> Sign(std::string_view challenge) const;

 private:
  explicit EcdsaKey(evp_pkey_st* key) : key_(key) {}
  evp_pkey_st* key_;  // owned
};

}  // namespace zelvo
