// Runs a built program as a child process and captures its standard output.
#pragma once

#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace haldor::testing {

struct ProgramResult {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string out;
};

// Runs `program` with `args` in `dir`. With `address_space_kb` > 0 the child's
// address space is limited to that many KiB (RLIMIT_AS).
inline ProgramResult run_program(const std::string& program, const std::vector<std::string>& args,
                                 const std::string& dir, long address_space_kb = 0) {
  int pipefd[2];
  if (pipe(pipefd) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipefd[1], 1);
    close(pipefd[0]);
    close(pipefd[1]);
    if (chdir(dir.c_str()) != 0) _exit(127);
    if (address_space_kb > 0) {
      rlimit lim{static_cast<rlim_t>(address_space_kb) * 1024, static_cast<rlim_t>(address_space_kb) * 1024};
      setrlimit(RLIMIT_AS, &lim);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(pipefd[1]);
  ProgramResult result;
  char buf[65536];
  for (ssize_t n; (n = read(pipefd[0], buf, sizeof buf)) > 0;) result.out.append(buf, static_cast<std::size_t>(n));
  close(pipefd[0]);
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  return result;
}

}  // namespace haldor::testing
