// Runs a module through the command-line frame in the test's own process,
// with its console captured.
#pragma once

#include <string>
#include <vector>

#include "frame.h"
#include "test_util.h"

namespace haldor::testing {

struct FrameRun {
  int status;
  std::string console;
};

// `args` without the program name, which is `program`.
inline FrameRun run_in_frame(Module& module, const char* program, std::vector<std::string> args) {
  args.insert(args.begin(), program);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  Capture console;
  const int status = run_frame(static_cast<int>(args.size()), argv.data(), module, console.get());
  return {status, console.text()};
}

}  // namespace haldor::testing
