// The embedded copies of config.xsd and config.example.xml, generated at build
// time from src/config/resources: the files' bytes followed by the zero bytes
// that bring each array to a multiple of four.
#pragma once

#include <cstddef>

namespace zelvo::embedded {

extern const unsigned char kConfigSchema[];
extern const std::size_t kConfigSchemaSize;     // bytes stored, padding included
extern const std::size_t kConfigSchemaPadding;  // zero bytes after the file's bytes

extern const unsigned char kConfigExample[];
extern const std::size_t kConfigExampleSize;
extern const std::size_t kConfigExamplePadding;

}  // namespace zelvo::embedded
