// Whether config.xml holds UTF-8 while its XML declaration names another
// encoding (ISO-8859-1 in the example), so that "Tür" reads as "TÃ¼r".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zelvo {

struct MisreadUtf8 {
  std::string encoding;    // as the declaration names it
  std::vector<int> lines;  // from 1, each once, in order; empty: nothing found
};

// Looks at the file's bytes: when the declaration names an encoding other
// than UTF-8 or UTF-16, every line holding a well-formed UTF-8 sequence of
// two or more bytes. No declared encoding means UTF-8: nothing is found.
MisreadUtf8 FindMisreadUtf8(std::string_view bytes);

}  // namespace zelvo
