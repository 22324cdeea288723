// Received text made safe to show: a channel member must not be able to send
// escape sequences that retitle, clear or recolour the operator's terminal, or
// characters that hide or overwrite what the console shows.
#pragma once

#include <string>
#include <string_view>

namespace zelvo {

// `text` with every control character written out visibly, except tab and
// the line ends LF and CR LF: C0 controls and DEL as "\x1b", C1 controls
// (U+0080 to U+009F) as "\u009b". Text that is not valid UTF-8 is read as
// ISO-8859-1, as the console shows it, so its bytes 0x80 to 0x9F are C1
// controls too. Other characters are kept byte for byte.
std::string VisibleControlText(std::string_view text);

}  // namespace zelvo
