#include "app/program_dir.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/file_helpers.h"

namespace zelvo {

namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool IsUnderUsr(const std::string& dir) {
  return dir == "/usr" || dir.rfind("/usr/", 0) == 0;
}

// An absolute path from the environment; relative or empty values count as unset.
std::optional<std::string> AbsoluteVariable(const ProgramDirProbe& probe, const std::string& name) {
  std::optional<std::string> value = probe.environment(name);
  if (!value || value->empty() || value->front() != '/') return std::nullopt;
  return WithoutTrailingSlashes(*value);
}

}  // namespace

ProgramDirChoice ChooseProgramDir(const std::string& executable_dir, const ProgramDirProbe& probe) {
  ProgramDirChoice choice;
  const std::string own = WithoutTrailingSlashes(executable_dir);
  if (own.empty()) {
    choice.error = "Cannot find the program's own directory; start it with --dir DIR.";
    return choice;
  }
  if (!IsUnderUsr(own) && probe.writable(own)) {
    choice.dir = own;
    return choice;
  }

  choice.per_user = true;
  std::string config_home;
  if (const auto xdg = AbsoluteVariable(probe, "XDG_CONFIG_HOME")) {
    config_home = *xdg;
  } else {
    std::optional<std::string> home = AbsoluteVariable(probe, "HOME");
    if (!home) {
      const std::string account = probe.account_home ? probe.account_home() : std::string();
      if (!account.empty() && account.front() == '/') home = WithoutTrailingSlashes(account);
    }
    if (!home) {
      choice.per_user = false;
      choice.error = "Cannot tell where to keep config.xml: the program's directory " + own +
                     " is not its own to write in, and neither XDG_CONFIG_HOME nor HOME names "
                     "a directory; start it with --dir DIR.";
      return choice;
    }
    config_home = *home == "/" ? "/.config" : *home + "/.config";
  }
  choice.dir = config_home == "/" ? "/zelvo" : config_home + "/zelvo";
  return choice;
}

ProgramDirProbe SystemProgramDirProbe() {
  ProgramDirProbe probe;
  probe.environment = [](const std::string& name) -> std::optional<std::string> {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  };
  probe.writable = [](const std::string& dir) { return ::access(dir.c_str(), W_OK | X_OK) == 0; };
  probe.account_home = [] {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr)
      return std::string();
    return std::string(found->pw_dir);
  };
  return probe;
}

std::string MakeProgramDir(const std::string& dir) {
  const auto failed = [&](const std::string& path, int error) {
    return "Cannot make the directory " + path + " for config.xml: " + std::strerror(error) +
           ". Make it yourself or start with --dir DIR.";
  };
  for (std::size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
    const std::string path = dir.substr(0, slash);
    if (!path.empty() && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
      return failed(path, errno);
    if (slash == std::string::npos) break;
  }
  struct stat status {};
  if (::stat(dir.c_str(), &status) != 0) return failed(dir, errno);
  if (!S_ISDIR(status.st_mode)) return failed(dir, ENOTDIR);
  return {};
}

ProgramDirChoice ResolveProgramDir(const std::string& dir_option, bool create) {
  ProgramDirChoice choice;
  if (!dir_option.empty()) {
    const std::string full = FullPath(dir_option);
    if (full.empty() || !DirExists(full + "/")) {
      choice.error = "no such directory: " + dir_option;
      return choice;
    }
    choice.dir = WithoutTrailingSlashes(full);
    return choice;
  }
  choice = ChooseProgramDir(ExecutableDir(), SystemProgramDirProbe());
  if (create && choice.per_user) {
    if (std::string error = MakeProgramDir(choice.dir); !error.empty()) {
      choice.error = std::move(error);
      choice.dir.clear();
    }
  }
  return choice;
}

}  // namespace zelvo
