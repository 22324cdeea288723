#include "config/resources.h"

#include <strings.h>

#include <cerrno>
#include <cstring>

#include "config/embedded_resources.h"

namespace zelvo {

namespace {

constexpr std::string_view kResourceType = "XML";

bool SameTypeName(std::string_view left, std::string_view right) {
  return left.size() == right.size() && ::strncasecmp(left.data(), right.data(), left.size()) == 0;
}

}  // namespace

std::string GetResourceText(std::int16_t id, std::string_view type) {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  if (SameTypeName(type, kResourceType)) {
    if (id == kSchemaResource) {
      data = embedded::kConfigSchema;
      size = embedded::kConfigSchemaSize;
    } else if (id == kExampleConfigResource) {
      data = embedded::kConfigExample;
      size = embedded::kConfigExampleSize;
    }
  }
  if (data == nullptr || size == 0) {
    return "Couldn't get resource-file. Error-number: " + std::to_string(ENOENT) +
           " Error-Descripton: " + std::strerror(ENOENT);
  }
  // The stored copy ends with zero bytes; the final one is left out.
  return std::string(reinterpret_cast<const char*>(data), size - 1);
}

}  // namespace zelvo
