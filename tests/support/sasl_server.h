// The server's side of key logins for the tests, on libcrypto apart from the
// bot's own code: private keys made on the spot, and the check of an
// ECDSA-NIST256P-CHALLENGE signature.
#pragma once

#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

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
// key in `private_pem`.
inline bool VerifiesChallenge(const std::string& private_pem, std::string_view challenge,
                              std::string_view der) {
  BIO* pem = BIO_new_mem_buf(private_pem.data(), static_cast<int>(private_pem.size()));
  EVP_PKEY* key = PEM_read_bio_PrivateKey(pem, nullptr, nullptr, nullptr);
  EVP_PKEY_CTX* context = key ? EVP_PKEY_CTX_new(key, nullptr) : nullptr;
  const auto bytes = [](std::string_view s) {
    return reinterpret_cast<const unsigned char*>(s.data());
  };
  const bool ok =
      context && EVP_PKEY_verify_init(context) == 1 &&
      EVP_PKEY_verify(context, bytes(der), der.size(), bytes(challenge), challenge.size()) == 1;
  EVP_PKEY_CTX_free(context);
  EVP_PKEY_free(key);
  BIO_free(pem);
  return ok;
}

}  // namespace zelvo::testing
