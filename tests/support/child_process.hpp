#pragma once
// Runs a piece of a test in a child process: for a deadline that a hanging call cannot
// outlive, and for the peak resident memory of exactly that piece. The child's address
// space can be capped too, so that memory reserved but never touched (a vector sized from
// a corrupt count) fails the child instead of passing unseen.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
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

// Limits the calling process's address space to `bytes`; with `above_current`, to that
// much more than it maps now.
inline void cap_address_space(std::size_t bytes, bool above_current) {
  std::size_t limit = bytes;
  if (above_current) {
    std::size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    limit += pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  }
  const rlimit r{limit, limit};
  ::setrlimit(RLIMIT_AS, &r);
}

// Forks; the child runs `body` and exits with its result (without unwinding the test
// framework), or with 125 when it throws (std::bad_alloc under the cap, say). The parent
// waits up to `deadline`, then kills the child. `extra_address_space` caps the child at
// that much more than it maps when it starts.
template <class Body>
ChildOutcome run_in_child(Body&& body, std::chrono::milliseconds deadline,
                          std::optional<std::size_t> extra_address_space = std::nullopt) {
  std::fflush(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (extra_address_space) cap_address_space(*extra_address_space, true);
    int status = 125;
    try {
      status = std::forward<Body>(body)();
    } catch (...) {
    }
    ::_exit(status);
  }
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
// the same way; `address_space` caps the whole new program.
inline ChildOutcome run_program(const std::vector<std::string>& argv,
                                std::chrono::milliseconds deadline,
                                std::optional<std::size_t> address_space = std::nullopt) {
  return run_in_child(
      [&argv, address_space]() -> int {
        if (address_space) cap_address_space(*address_space, false);
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
