// Shared libraries that only some configurations need (libmosquitto for
// MQTT, libcrypto for SCRAM and key logins, libxcb on a display), opened on
// first use instead of at start, so that a bot without them does not carry
// them. A library once opened stays loaded for the life of the process.
//
// A user lists the functions it calls in an X-macro and declares one table
// of them, each member typed after the library's own header:
//
//   #define MY_FUNCTIONS(X) X(lib_init) X(lib_call)
//   struct MyApi { MY_FUNCTIONS(ZELVO_LIBRARY_MEMBER) };
//   const MyApi* api = LoadLibraryApi<MyApi>("libmy.so.1", &error, [](MyApi& a, SharedLibrary& l) {
//     MY_FUNCTIONS(ZELVO_LIBRARY_RESOLVE)
//   });
#pragma once

#include <optional>
#include <string>

namespace zelvo {

class SharedLibrary {
 public:
  // Opens `soname` with every symbol resolved now; see Error.
  explicit SharedLibrary(const char* soname);
  // Why the library or a function of it could not be had; "" while all is well.
  const std::string& Error() const { return error_; }
  // The address of function `name`; null (and Error set) when it is missing.
  void* Symbol(const char* name);
  template <typename Function>
  Function Get(const char* name) {
    return reinterpret_cast<Function>(Symbol(name));
  }

 private:
  const char* soname_;
  void* handle_ = nullptr;
  std::string error_;
};

// A member of a function table, of the type of the header's declaration.
#define ZELVO_LIBRARY_MEMBER(name) decltype(&::name) name = nullptr;
// Fills that member from SharedLibrary `library` into table `api`.
#define ZELVO_LIBRARY_RESOLVE(name) api.name = library.Get<decltype(&::name)>(#name);

// The table of `Api` from `soname`, loaded once for the process by
// `resolve(Api&, SharedLibrary&)`; null, with the reason in `error` (when
// given), when the library or one of its functions is missing.
template <typename Api, typename Resolve>
const Api* LoadLibraryApi(const char* soname, std::string* error, Resolve resolve) {
  struct Loaded {
    std::optional<Api> api;
    std::string error;
  };
  static const Loaded loaded = [&] {
    SharedLibrary library(soname);
    Api api;
    if (library.Error().empty()) resolve(api, library);
    if (!library.Error().empty()) return Loaded{std::nullopt, library.Error()};
    return Loaded{api, ""};
  }();
  if (!loaded.api && error) *error = loaded.error;
  return loaded.api ? &*loaded.api : nullptr;
}

}  // namespace zelvo
