#include "irc/crypto_library.h"

namespace zelvo {

const CryptoApi* LoadCrypto(std::string* error) {
  return LoadLibraryApi<CryptoApi>(
      "libcrypto.so.3", error,
      [](CryptoApi& api, SharedLibrary& library) { ZELVO_CRYPTO_FUNCTIONS(ZELVO_LIBRARY_RESOLVE) });
}

}  // namespace zelvo
