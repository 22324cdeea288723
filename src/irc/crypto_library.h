// The functions of libcrypto that the SASL mechanisms use (SCRAM's hashes and
// nonce, the ECDSA key and signature), loaded with the first login or key
// that needs them: a bot without either does not map libcrypto.
#pragma once

#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/pem.h>
#include <openssl/rand.h>

#include <string>

#include "files/shared_library.h"

namespace zelvo {

#define ZELVO_CRYPTO_FUNCTIONS(X)                                                                 \
  X(BIO_free)                                                                                     \
  X(BIO_new_mem_buf) X(EVP_Digest) X(EVP_MD_get_size) X(EVP_PKEY_CTX_free) X(EVP_PKEY_CTX_new)    \
      X(EVP_PKEY_free) X(EVP_PKEY_get_base_id) X(EVP_PKEY_get_utf8_string_param) X(EVP_PKEY_sign) \
          X(EVP_PKEY_sign_init) X(EVP_sha256) X(EVP_sha512) X(HMAC) X(OPENSSL_cleanse)            \
              X(PEM_read_bio_PrivateKey) X(PKCS5_PBKDF2_HMAC) X(RAND_bytes)

struct CryptoApi {
  ZELVO_CRYPTO_FUNCTIONS(ZELVO_LIBRARY_MEMBER)
};

// The Debian package that holds libcrypto.so.3.
inline constexpr const char* kCryptoPackage = "libssl3";

// The table; null, with the reason in `error` (when given), when libcrypto
// cannot be loaded.
const CryptoApi* LoadCrypto(std::string* error = nullptr);

}  // namespace zelvo
