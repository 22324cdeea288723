#include "irc/ecdsa_challenge.h"

#include <openssl/bio.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <openssl/pem.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "irc/crypto_library.h"

namespace zelvo {

namespace {

// A passphrase callback that gives none: an encrypted key is no usable key.
int NoPassphrase(char*, int, int, void*) {
  return -1;
}

}  // namespace

EcdsaKey::Loaded EcdsaKey::FromPem(std::string_view pem) {
  std::string why;
  const CryptoApi* crypto = LoadCrypto(&why);
  if (!crypto) return {nullptr, Fault::kNoLibrary, why};
  BIO* bio = crypto->BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
  if (bio == nullptr) return {nullptr, Fault::kNotPemKey, {}};
  EVP_PKEY* key = crypto->PEM_read_bio_PrivateKey(bio, nullptr, &NoPassphrase, nullptr);
  crypto->BIO_free(bio);
  if (key == nullptr) return {nullptr, Fault::kNotPemKey, {}};
  std::shared_ptr<const EcdsaKey> owned(new EcdsaKey(key));
  if (crypto->EVP_PKEY_get_base_id(key) != EVP_PKEY_EC) return {nullptr, Fault::kNotEc, {}};
  char group[64] = {};
  if (crypto->EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group,
                                     nullptr) != 1 ||
      std::strcmp(group, SN_X9_62_prime256v1) != 0) {
    return {nullptr, Fault::kNotP256, {}};
  }
  return {std::move(owned), Fault::kNone, {}};
}

EcdsaKey::Loaded EcdsaKey::FromPemFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return {nullptr, Fault::kUnreadable, {}};
  // A PEM key is a few hundred bytes; a larger file is no key.
  std::vector<char> text(64 * 1024);
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (file.bad()) return {nullptr, Fault::kUnreadable, {}};
  const auto size = static_cast<std::size_t>(file.gcount());
  Loaded loaded = FromPem(std::string_view(text.data(), size));
  if (const CryptoApi* crypto = LoadCrypto()) crypto->OPENSSL_cleanse(text.data(), text.size());
  return loaded;
}

// A key exists only once libcrypto is loaded.
EcdsaKey::~EcdsaKey() {
  LoadCrypto()->EVP_PKEY_free(key_);
}

std::optional<std::string> EcdsaKey::Sign(std::string_view challenge) const {
  if (challenge.empty() || challenge.size() > kMaxChallengeBytes) return std::nullopt;
  const CryptoApi* crypto = LoadCrypto();
  EVP_PKEY_CTX* context = crypto->EVP_PKEY_CTX_new(key_, nullptr);
  if (context == nullptr) return std::nullopt;
  std::optional<std::string> signature;
  const auto* tbs = reinterpret_cast<const unsigned char*>(challenge.data());
  std::size_t size = 0;
  // No digest is set: the challenge is signed as the digest.
  if (crypto->EVP_PKEY_sign_init(context) == 1 &&
      crypto->EVP_PKEY_sign(context, nullptr, &size, tbs, challenge.size()) == 1) {
    std::string der(size, '\0');
    if (crypto->EVP_PKEY_sign(context, reinterpret_cast<unsigned char*>(der.data()), &size, tbs,
                      challenge.size()) == 1) {
      der.resize(size);
      signature = std::move(der);
    }
  }
  crypto->EVP_PKEY_CTX_free(context);
  return signature;
}

}  // namespace zelvo
