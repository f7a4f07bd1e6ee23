// Runs a shell command and keeps its exit status, output and error output.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace lexvia::testing {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// `err_path` receives the command's standard error on the way.
inline Outcome run_command(const std::string& command, const std::string& err_path) {
  Outcome r;
  FILE* pipe = ::popen((command + " 2>" + err_path).c_str(), "r");
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    r.out.append(buffer, n);
  const int raw = ::pclose(pipe);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream err(err_path);
  r.err.assign(std::istreambuf_iterator<char>(err), {});
  return r;
}

}  // namespace lexvia::testing
