// The program's exit codes.
#pragma once

namespace zelvo {

// The bot was closed in order: the window's close box, SIGINT or SIGTERM.
inline constexpr int kExitClosed = 0;
// A bad command line.
inline constexpr int kExitUsage = 2;
// A fatal error during the start (the process shows it as 255).
inline constexpr int kExitStartupFailed = -1;

}  // namespace zelvo
