// Starting the real program (or a server) as a process for the end-to-end
// tests, and reading what its file port received.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

extern char** environ;

namespace zelvo::testing {

// Starts `argv` with standard input from `input` (/dev/null when -1) and
// standard output and error into `output`; the process id, or -1.
inline pid_t Spawn(std::vector<std::string> argv, const std::string& output, int input = -1) {
  std::vector<char*> args;
  for (std::string& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (input >= 0) {
    posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The bytes a file port received, in order.
inline std::vector<int> PortBytes(const std::string& path) {
  std::vector<int> bytes;
  std::istringstream lines(ReadFile(path));
  long long time;
  int byte;
  while (lines >> time >> byte) bytes.push_back(byte);
  return bytes;
}

}  // namespace zelvo::testing
