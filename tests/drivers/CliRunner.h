// Runs vemto-cli of the build and collects its exit status and output.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace vemto::test {

struct CliOutcome {
  int status = -1;     // exit status; -1 when it did not exit normally
  std::string output;  // stdout and stderr
};

/// Runs COMMAND through the shell, stderr joined to stdout.
inline CliOutcome Shell(const std::string& command) {
  CliOutcome outcome;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return outcome;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.output.append(buffer, n);
  const int raw = ::pclose(pipe);
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return outcome;
}

/// Runs "vemto-cli ARGUMENTS" of the build through the shell, stderr joined to stdout.
inline CliOutcome Cli(const std::string& arguments) {
  return Shell((std::filesystem::path(VEMTO_BIN_DIR) / "vemto-cli").string() + " " + arguments);
}

}  // namespace vemto::test
