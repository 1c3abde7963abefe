#pragma once
// Runs a piece of a test in a child process: for a deadline that a hanging call cannot
// outlive, and for the peak resident memory of exactly that piece.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace test_support {

struct ChildOutcome {
  bool timed_out = false;
  int exit_status = -1;   // the child's exit status; -1 when it did not exit normally
  long peak_rss_kib = 0;  // ru_maxrss of the child
  double seconds = 0;
};

// Forks; the child runs `body` and exits with its result (without unwinding the test
// framework). The parent waits up to `deadline`, then kills the child.
template <class Body>
ChildOutcome run_in_child(Body&& body, std::chrono::milliseconds deadline) {
  std::fflush(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(std::forward<Body>(body)());
  ChildOutcome out;
  if (pid < 0) return out;
  int status = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() - start > deadline) {
      ::kill(pid, SIGKILL);
      ::wait4(pid, &status, 0, &usage);
      out.timed_out = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  out.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  out.peak_rss_kib = usage.ru_maxrss;
  return out;
}

// Runs `argv` as a child process (standard output and error to /dev/null) and measures it
// the same way.
inline ChildOutcome run_program(const std::vector<std::string>& argv,
                                std::chrono::milliseconds deadline) {
  return run_in_child(
      [&argv]() -> int {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        return 127;
      },
      deadline);
}

}  // namespace test_support
