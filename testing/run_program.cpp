#include "testing/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tagweave::testing {
namespace {

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string(what) + " failed");
}

/// Milliseconds until `deadline`, at least 0, for poll().
int milliseconds_until(std::chrono::steady_clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return static_cast<int>(std::max<std::int64_t>(left.count(), 0));
}

/// Feeds `input` to `in_fd` (non-blocking) while draining `out_fd` and
/// `err_fd`, so that a program with much output cannot block the test, nor a
/// large input block the feeding. Gives up at `deadline`; false then.
bool pump(std::string_view input, int in_fd, int out_fd, int err_fd,
          std::chrono::steady_clock::time_point deadline, program_run& run) {
  std::size_t fed = 0;
  if (input.empty()) {
    ::close(in_fd);
    in_fd = -1;
  }
  while (out_fd >= 0 || err_fd >= 0 || in_fd >= 0) {
    pollfd fds[3] = {
        {out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}, {in_fd, POLLOUT, 0}};
    int ready = ::poll(fds, 3, milliseconds_until(deadline));
    check(ready >= 0 || errno == EINTR, "poll");
    if (ready == 0) {
      for (int fd : {in_fd, out_fd, err_fd}) {
        if (fd >= 0) ::close(fd);
      }
      return false;
    }
    if (ready < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got <= 0) {
        ::close(fds[i].fd);
        (i == 0 ? out_fd : err_fd) = -1;
      } else {
        (i == 0 ? run.out : run.err)
            .append(buffer, static_cast<std::size_t>(got));
      }
    }
    if (in_fd >= 0 && fds[2].revents != 0) {
      ssize_t put = ::write(in_fd, input.data() + fed, input.size() - fed);
      if (put > 0) fed += static_cast<std::size_t>(put);
      bool retry = put < 0 && (errno == EAGAIN || errno == EINTR);
      if ((put < 0 && !retry) || fed == input.size()) {
        ::close(in_fd);
        in_fd = -1;
      }
    }
  }
  return true;
}

/// In the child, between fork and exec: the descriptors, limits and signal
/// disposition the call asks for. Only async-signal-safe calls here.
void set_up_child(const program_call& call, int in_fd, int out_fd, int err_fd) {
  ::dup2(in_fd, 0);
  ::dup2(err_fd, 2);
  if (call.stdout_path.empty()) {
    ::dup2(out_fd, 1);
  } else {
    int fd =
        ::open(call.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) ::_exit(126);
    ::dup2(fd, 1);
    ::close(fd);
  }
  for (int fd : call.closed_fds) ::close(fd);
  if (call.address_space_limit != 0) {
    rlimit limit{call.address_space_limit, call.address_space_limit};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(126);
  }
  // A test process may ignore SIGPIPE; the program gets the default back,
  // as it would from a shell.
  ::signal(SIGPIPE, SIG_DFL);
  if (!call.directory.empty() && ::chdir(call.directory.c_str()) != 0) {
    ::_exit(126);
  }
}

/// A pseudo-terminal in raw mode, as a pair of descriptors like a pipe's:
/// [0] the side the test reads, [1] the terminal the program writes to.
void open_raw_terminal(int fds[2]) {
  termios raw{};
  ::cfmakeraw(&raw);
  check(::openpty(&fds[0], &fds[1], nullptr, &raw, nullptr) == 0, "openpty");
  for (int i = 0; i < 2; ++i) ::fcntl(fds[i], F_SETFD, FD_CLOEXEC);
}

}  // namespace

program_run run_program(const program_call& call) {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  check(::pipe2(in_pipe, O_CLOEXEC) == 0 && ::pipe2(out_pipe, O_CLOEXEC) == 0,
        "pipe");
  if (call.stderr_terminal) {
    open_raw_terminal(err_pipe);
  } else {
    check(::pipe2(err_pipe, O_CLOEXEC) == 0, "pipe");
  }
  std::vector<std::string> words;
  words.push_back(call.argv0.empty() ? call.program : call.argv0);
  words.insert(words.end(), call.args.begin(), call.args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  auto deadline = std::chrono::steady_clock::now() +
                  std::chrono::seconds(call.timeout_seconds);
  pid_t pid = ::fork();
  check(pid >= 0, "fork");
  if (pid == 0) {
    set_up_child(call, in_pipe[0], out_pipe[1], err_pipe[1]);
    ::execv(call.program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(in_pipe[0]);
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  ::fcntl(in_pipe[1], F_SETFL, O_NONBLOCK);
  program_run run;
  if (!pump(call.input, in_pipe[1], out_pipe[0], err_pipe[0], deadline, run)) {
    ::kill(pid, SIGKILL);
    run.timed_out = true;
  }
  int wait_status = 0;
  while (::waitpid(pid, &wait_status, 0) < 0 && errno == EINTR) {
  }
  run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  return run;
}

temp_dir::temp_dir() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "tagweave-test-XXXXXX")
          .string();
  check(::mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  path_ = pattern;
}

temp_dir::~temp_dir() {
  std::error_code ignored;
  // Tests may have taken permissions away; give them back before removing.
  // Links are left alone: changing one would change what it points to.
  for (auto& entry :
       std::filesystem::recursive_directory_iterator(path_, ignored)) {
    if (entry.is_symlink(ignored)) continue;
    std::filesystem::permissions(entry.path(),
                                 std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(path_, ignored);
}

void temp_dir::write(const std::string& name,
                     const std::string& contents) const {
  std::ofstream file(path_ / name, std::ios::binary);
  file << contents;
  check(static_cast<bool>(file), "writing a test file");
}

std::string temp_dir::read(const std::string& name) const {
  std::ifstream file(path_ / name, std::ios::binary);
  std::ostringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

std::string find_on_path(std::string_view name) {
  const char* path = std::getenv("PATH");
  std::string_view dirs = path == nullptr ? "" : path;
  while (!dirs.empty()) {
    std::size_t colon = dirs.find(':');
    std::string_view dir = dirs.substr(0, colon);
    std::filesystem::path candidate =
        std::filesystem::path(dir.empty() ? "." : dir) / name;
    std::error_code ignored;
    if (std::filesystem::is_regular_file(candidate, ignored) &&
        ::access(candidate.c_str(), X_OK) == 0) {
      return candidate.string();
    }
    if (colon == std::string_view::npos) break;
    dirs.remove_prefix(colon + 1);
  }
  return "";
}

}  // namespace tagweave::testing
