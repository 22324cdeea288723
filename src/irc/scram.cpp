#include "irc/scram.h"

#include <array>
#include <charconv>
#include <utility>

#include "irc/cap_negotiation.h"
#include "irc/crypto_library.h"
#include "log/messages.h"

namespace zelvo {

namespace {

// libcrypto, once OnServerFirst has found it loaded.
const CryptoApi& Crypto() {
  return *LoadCrypto();
}

const EVP_MD* Digest(ScramHash hash) {
  return hash == ScramHash::kSha512 ? Crypto().EVP_sha512() : Crypto().EVP_sha256();
}

std::string Hmac(ScramHash hash, std::string_view key, std::string_view data) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> out{};
  unsigned int size = 0;
  Crypto().HMAC(Digest(hash), key.data(), static_cast<int>(key.size()),
       reinterpret_cast<const unsigned char*>(data.data()), data.size(), out.data(), &size);
  return std::string(reinterpret_cast<const char*>(out.data()), size);
}

std::string Hash(ScramHash hash, std::string_view data) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> out{};
  unsigned int size = 0;
  Crypto().EVP_Digest(data.data(), data.size(), out.data(), &size, Digest(hash), nullptr);
  return std::string(reinterpret_cast<const char*>(out.data()), size);
}

std::string SaltedPassword(ScramHash hash, std::string_view password, std::string_view salt,
                           int iterations) {
  std::string out(static_cast<std::size_t>(Crypto().EVP_MD_get_size(Digest(hash))), '\0');
  Crypto().PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                    reinterpret_cast<const unsigned char*>(salt.data()),
                    static_cast<int>(salt.size()), iterations, Digest(hash),
                    static_cast<int>(out.size()), reinterpret_cast<unsigned char*>(out.data()));
  return out;
}

// The value of attribute `name` ("r" of "r=..."), or nullopt.
std::optional<std::string_view> Attribute(std::string_view message, char name) {
  while (!message.empty()) {
    const std::size_t comma = message.find(',');
    const std::string_view item = message.substr(0, comma);
    if (item.size() >= 2 && item[0] == name && item[1] == '=') return item.substr(2);
    message.remove_prefix(comma == std::string_view::npos ? message.size() : comma + 1);
  }
  return std::nullopt;
}

ScramStep Failure(std::string error, bool interception = false) {
  return {"", std::move(error), interception};
}

}  // namespace

std::optional<std::string> Base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out;
  std::uint32_t group = 0;
  std::size_t bits = 0;
  std::size_t padding = 0;
  for (const char c : text) {
    int value = -1;
    if (c >= 'A' && c <= 'Z')
      value = c - 'A';
    else if (c >= 'a' && c <= 'z')
      value = c - 'a' + 26;
    else if (c >= '0' && c <= '9')
      value = c - '0' + 52;
    else if (c == '+')
      value = 62;
    else if (c == '/')
      value = 63;
    else if (c == '=' && padding < 2)
      ++padding;
    if (value < 0 && c != '=') return std::nullopt;
    if (padding > 0 && c != '=') return std::nullopt;  // data after padding
    group = (group << 6) | static_cast<std::uint32_t>(value < 0 ? 0 : value);
    if ((bits += 6) == 24) {
      for (std::size_t k = 0; k < 3 - padding; ++k) {
        out += static_cast<char>((group >> (16 - 8 * k)) & 0xFF);
      }
      group = 0;
      bits = 0;
    }
  }
  if (padding > 0 && text.size() - text.find('=') != padding) return std::nullopt;
  return out;
}

std::string ScramRandomNonce() {
  std::array<unsigned char, 18> bytes{};
  const CryptoApi* crypto = LoadCrypto();
  if (!crypto || crypto->RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) return "";
  return Base64Encode(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

ScramClient::ScramClient(ScramHash hash, std::string_view user, std::string password,
                         std::string nonce)
    : hash_(hash), password_(std::move(password)), nonce_(std::move(nonce)) {
  std::string name;
  for (const char c : user) {
    name += c == '=' ? "=3D" : c == ',' ? "=2C" : std::string(1, c);
  }
  client_first_bare_ = "n=" + name + ",r=" + nonce_;
}

ScramStep ScramClient::OnServerFirst(std::string_view server_first) {
  if (std::string why; !LoadCrypto(&why)) return Failure(LibraryMissingText(why, kCryptoPackage));
  if (nonce_.empty()) return Failure(ScramNoRandomText());
  if (const auto error = Attribute(server_first, 'e')) {
    return Failure(ScramServerErrorText(std::string(*error)), true);
  }
  if (server_first.starts_with("m=")) return Failure(ScramMalformedText("extension (m=)"));
  const auto nonce = Attribute(server_first, 'r');
  if (!nonce || nonce->empty()) return Failure(ScramMalformedText("nonce (r=)"));
  if (nonce->size() <= nonce_.size() || !nonce->starts_with(nonce_)) {
    return Failure(ScramNonceText());
  }
  const auto salt_text = Attribute(server_first, 's');
  const auto salt = salt_text ? Base64Decode(*salt_text) : std::nullopt;
  if (!salt || salt->empty()) return Failure(ScramMalformedText("salt (s=)"));
  const auto count = Attribute(server_first, 'i');
  long iterations = 0;
  if (!count || count->empty() ||
      std::from_chars(count->data(), count->data() + count->size(), iterations).ptr !=
          count->data() + count->size()) {
    return Failure(ScramMalformedText("iteration count (i=)"));
  }
  if (iterations < kMinIterations || iterations > kMaxIterations) {
    return Failure(ScramIterationsText(iterations, kMinIterations, kMaxIterations));
  }
  const std::string without_proof = "c=biws,r=" + std::string(*nonce);
  const std::string auth_message =
      client_first_bare_ + "," + std::string(server_first) + "," + without_proof;
  const std::string salted = SaltedPassword(hash_, password_, *salt, static_cast<int>(iterations));
  const std::string client_key = Hmac(hash_, salted, "Client Key");
  std::string proof = Hmac(hash_, Hash(hash_, client_key), auth_message);
  for (std::size_t k = 0; k < proof.size(); ++k) proof[k] ^= client_key[k];
  server_signature_ = Hmac(hash_, Hmac(hash_, salted, "Server Key"), auth_message);
  return {without_proof + ",p=" + Base64Encode(proof), "", false};
}

ScramStep ScramClient::OnServerFinal(std::string_view server_final) {
  if (const auto error = Attribute(server_final, 'e')) {
    return Failure(ScramServerErrorText(std::string(*error)), true);
  }
  const auto signature = Attribute(server_final, 'v');
  const auto decoded = signature ? Base64Decode(*signature) : std::nullopt;
  if (server_signature_.empty() || !decoded || *decoded != server_signature_) {
    return Failure(ScramSignatureText(), true);
  }
  verified_ = true;
  return {};
}

}  // namespace zelvo
