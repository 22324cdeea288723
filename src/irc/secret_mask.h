// A sent line as the console, the log and the window may show it: the
// argument of PASS and the payload of AUTHENTICATE (not the mechanism name,
// "+" or "*") become "********", and so does every occurrence of any of the
// given secrets. The line end stays.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zelvo {

inline constexpr std::string_view kSecretMask = "********";

std::string MaskSecrets(std::string_view line, const std::vector<std::string>& secrets = {});

}  // namespace zelvo
