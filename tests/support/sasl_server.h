// The server's side of the key and SCRAM logins, for the tests, written on
// libcrypto apart from the bot's own code: private keys made on the spot,
// the check of an ECDSA-NIST256P-CHALLENGE signature with the public key, and
// SCRAM-SHA-256 as a server computes it (RFC 5802, section 3).
#pragma once

#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/pem.h>

#include <optional>
#include <string>
#include <string_view>

namespace zelvo::testing {

// A fresh private key in PEM: `type` "EC" with `curve` ("P-256", "P-384"),
// or e.g. "ED25519".
inline std::string NewPrivateKeyPem(const char* type, const char* curve = nullptr) {
  EVP_PKEY* key = curve != nullptr ? EVP_PKEY_Q_keygen(nullptr, nullptr, type, curve)
                                   : EVP_PKEY_Q_keygen(nullptr, nullptr, type);
  BIO* bio = BIO_new(BIO_s_mem());
  std::string pem;
  if (key != nullptr && bio != nullptr &&
      PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr) == 1) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    pem.assign(data, static_cast<std::size_t>(size));
  }
  BIO_free(bio);
  EVP_PKEY_free(key);
  return pem;
}

// Whether `der` is a signature of `challenge` (taken as the digest) by the
// key in `private_pem`, checked with its public half only.
inline bool VerifiesChallenge(const std::string& private_pem, std::string_view challenge,
                              std::string_view der) {
  BIO* in = BIO_new_mem_buf(private_pem.data(), static_cast<int>(private_pem.size()));
  EVP_PKEY* key = PEM_read_bio_PrivateKey(in, nullptr, nullptr, nullptr);
  BIO_free(in);
  // Through the public key's PEM, so that nothing private takes part.
  BIO* pub = BIO_new(BIO_s_mem());
  EVP_PKEY* public_key = nullptr;
  if (key != nullptr && PEM_write_bio_PUBKEY(pub, key) == 1) {
    public_key = PEM_read_bio_PUBKEY(pub, nullptr, nullptr, nullptr);
  }
  BIO_free(pub);
  EVP_PKEY_free(key);
  EVP_PKEY_CTX* context = public_key ? EVP_PKEY_CTX_new(public_key, nullptr) : nullptr;
  const bool ok =
      context != nullptr && EVP_PKEY_verify_init(context) == 1 &&
      EVP_PKEY_verify(context, reinterpret_cast<const unsigned char*>(der.data()), der.size(),
                      reinterpret_cast<const unsigned char*>(challenge.data()),
                      challenge.size()) == 1;
  EVP_PKEY_CTX_free(context);
  EVP_PKEY_free(public_key);
  return ok;
}

inline std::string ToBase64(std::string_view bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(bytes.data()),
                                static_cast<int>(bytes.size()));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

inline std::optional<std::string> FromBase64(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out(text.size() / 4 * 3 + 1, '\0');
  const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
  if (n < 0) return std::nullopt;
  out.resize(static_cast<std::size_t>(n));
  for (std::size_t i = text.size(); i > 0 && text[i - 1] == '='; --i) out.pop_back();
  return out;
}

// One SCRAM-SHA-256 login as the server sees it, for a user with `password`.
class ScramSha256Server {
 public:
  ScramSha256Server(std::string password, std::string salt, int iterations, std::string nonce)
      : password_(std::move(password)),
        salt_(std::move(salt)),
        iterations_(iterations),
        nonce_(std::move(nonce)) {}

  // The server-first message for "n,,n=<user>,r=<client nonce>".
  std::optional<std::string> First(std::string_view client_first) {
    const std::size_t at = client_first.find(",r=");
    if (!client_first.starts_with("n,,n=") || at == std::string_view::npos) return std::nullopt;
    client_first_bare_ = client_first.substr(3);
    server_first_ = "r=" + std::string(client_first.substr(at + 3)) + nonce_ +
                    ",s=" + ToBase64(salt_) + ",i=" + std::to_string(iterations_);
    return server_first_;
  }

  // The server-final message "v=<signature>" for the client-final message, or
  // nullopt when its proof is wrong.
  std::optional<std::string> Final(std::string_view client_final) {
    const std::size_t at = client_final.rfind(",p=");
    if (at == std::string_view::npos) return std::nullopt;
    const std::optional<std::string> proof = FromBase64(client_final.substr(at + 3));
    std::string salted(32, '\0');
    PKCS5_PBKDF2_HMAC(password_.data(), static_cast<int>(password_.size()),
                      reinterpret_cast<const unsigned char*>(salt_.data()),
                      static_cast<int>(salt_.size()), iterations_, EVP_sha256(), 32,
                      reinterpret_cast<unsigned char*>(salted.data()));
    const std::string auth_message =
        client_first_bare_ + "," + server_first_ + "," + std::string(client_final.substr(0, at));
    const std::string client_key = Hmac(salted, "Client Key");
    const std::string client_signature = Hmac(Sha256(client_key), auth_message);
    if (!proof || proof->size() != client_key.size()) return std::nullopt;
    std::string recovered = *proof;
    for (std::size_t i = 0; i < recovered.size(); ++i) recovered[i] ^= client_signature[i];
    if (Sha256(recovered) != Sha256(client_key)) return std::nullopt;
    return "v=" + ToBase64(Hmac(Hmac(salted, "Server Key"), auth_message));
  }

 private:
  static std::string Hmac(std::string_view key, std::string_view data) {
    std::string out(32, '\0');
    unsigned int size = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
         reinterpret_cast<const unsigned char*>(data.data()), data.size(),
         reinterpret_cast<unsigned char*>(out.data()), &size);
    return out;
  }
  static std::string Sha256(std::string_view data) {
    std::string out(32, '\0');
    unsigned int size = 0;
    EVP_Digest(data.data(), data.size(), reinterpret_cast<unsigned char*>(out.data()), &size,
               EVP_sha256(), nullptr);
    return out;
  }

  std::string password_, salt_;
  int iterations_;
  std::string nonce_, client_first_bare_, server_first_;
};

}  // namespace zelvo::testing
