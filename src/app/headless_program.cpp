#include "app/headless_program.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zelvo {

std::vector<std::string> HeadlessProgramPaths(const std::string& executable_dir,
                                              const std::string& installed_dir) {
  if (executable_dir.empty()) return {};
  std::vector<std::string> paths{executable_dir + "/" + kHeadlessProgramName};
  if (!installed_dir.empty())
    paths.push_back(executable_dir + "/" + installed_dir + "/" + kHeadlessProgramName);
  return paths;
}

std::vector<std::string> HeadlessArguments(const std::vector<std::string>& arguments,
                                           const std::string& program_dir, bool dir_given) {
  std::vector<std::string> result = arguments;
  if (!dir_given) {
    result.push_back("--dir");
    result.push_back(program_dir);
  }
  return result;
}

std::string ExecHeadlessProgram(const std::vector<std::string>& paths,
                                const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::string why;
  for (const std::string& path : paths) {
    if (::access(path.c_str(), X_OK) != 0) continue;
    ::execv(path.c_str(), argv.data());
    why += (why.empty() ? "" : "; ") + path + ": " + std::strerror(errno);
  }
  if (why.empty()) {
    why = std::string(kHeadlessProgramName) + " not found";
    for (std::size_t i = 0; i < paths.size(); ++i) why += (i == 0 ? " at " : " or ") + paths[i];
  }
  return why;
}

}  // namespace zelvo
