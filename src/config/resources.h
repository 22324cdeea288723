// The copies of the example configuration and the schema embedded in the program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zelvo {

// Embedded resources: 104 the example configuration, 113 the schema.
inline constexpr std::int16_t kExampleConfigResource = 104;
inline constexpr std::int16_t kSchemaResource = 113;
// The resource's data without its final byte, or the text "Couldn't get
// resource-file. Error-number: N Error-Descripton: D" in its place.
std::string GetResourceText(std::int16_t id, std::string_view type);

}  // namespace zelvo
