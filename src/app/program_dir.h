// Where the program keeps config.xml, config.xsd, its log and its lock file.
//
// --dir DIR names it. Without --dir the program's own directory is used when
// the user who runs it can write there (a build tree, a folder of the
// user's); an installed program, whose directory is under /usr or not
// writable, keeps its files in $XDG_CONFIG_HOME/zelvo (by default
// ~/.config/zelvo) instead.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace zelvo {

// What the choice looks at, so that it can be decided without the machine.
struct ProgramDirProbe {
  // The value of an environment variable; nothing when it is not set.
  std::function<std::optional<std::string>(const std::string&)> environment;
  // Whether the user who runs the program may create files in a directory.
  std::function<bool(const std::string&)> writable;
  // The home directory of the user's account, for when HOME is not set.
  std::function<std::string()> account_home;
};

struct ProgramDirChoice {
  std::string dir;        // without a trailing slash; empty when none could be chosen
  bool per_user = false;  // the user's configuration directory, made when missing
  std::string error;      // why no directory could be chosen
};

// The directory without --dir, for a program whose executable stands in
// `executable_dir`.
ProgramDirChoice ChooseProgramDir(const std::string& executable_dir, const ProgramDirProbe& probe);

// The probe of this process: its environment, access(2) and the passwd entry.
ProgramDirProbe SystemProgramDirProbe();

// Makes `dir` and any missing parents with mode 0700; "" on success (also
// when it exists), else an error text naming the directory.
std::string MakeProgramDir(const std::string& dir);

// The directory to run in: `dir_option` (the --dir value, which must name an
// existing directory) or, without it, ChooseProgramDir for this executable.
// A per-user directory is made when `create` is true.
ProgramDirChoice ResolveProgramDir(const std::string& dir_option, bool create);

}  // namespace zelvo
