// The program without a window, zelvo-headless: the same bot built without
// the window, tray, clipboard and message box, so that a headless start (the
// service) loads no GUI library. The window's program hands a headless start
// to it by replacing itself.
#pragma once

#include <string>
#include <vector>

namespace zelvo {

inline constexpr const char* kHeadlessProgramName = "zelvo-headless";

// Where it is looked for, in order: beside the executable in
// `executable_dir` (a build tree), then in `installed_dir` relative to it
// (an installation, e.g. "../libexec/zelvo").
std::vector<std::string> HeadlessProgramPaths(const std::string& executable_dir,
                                              const std::string& installed_dir);

// The arguments for it: `arguments` (argv[0] kept) with --dir `program_dir`
// added unless one is given, so that it runs in the directory chosen here.
std::vector<std::string> HeadlessArguments(const std::vector<std::string>& arguments,
                                           const std::string& program_dir, bool dir_given);

// Replaces this process with the first program of `paths` that exists and is
// executable. Returns only when none could be started: why.
std::string ExecHeadlessProgram(const std::vector<std::string>& paths,
                                const std::vector<std::string>& arguments);

}  // namespace zelvo
