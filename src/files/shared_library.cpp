#include "files/shared_library.h"

#include <dlfcn.h>

namespace zelvo {

SharedLibrary::SharedLibrary(const char* soname) : soname_(soname) {
  handle_ = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* why = ::dlerror();
    error_ = std::string(soname) + " could not be loaded: " + (why ? why : "unknown error");
  }
}

void* SharedLibrary::Symbol(const char* name) {
  if (!handle_) return nullptr;
  ::dlerror();
  void* address = ::dlsym(handle_, name);
  if (!address && error_.empty())
    error_ = std::string(soname_) + " has no function " + name + " (another version?)";
  return address;
}

}  // namespace zelvo
