// Test support: run a built program in a directory of its own and capture
// everything it does, so end-to-end tests can compare files, standard output,
// standard error and exit status byte for byte.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tagweave::testing {

struct program_run {
  std::string out;         ///< standard output
  std::string err;         ///< standard error
  int status = -1;         ///< exit status; -1 when killed by a signal
  bool timed_out = false;  ///< killed after running longer than allowed
};

struct program_call {
  std::string program{};              ///< path of the executable
  std::vector<std::string> args{};    ///< argv[1] on; argv[0] is `argv0`
  std::string argv0{};                ///< empty: the program path
  std::filesystem::path directory{};  ///< working directory
  std::string input{};                ///< standard input
  std::string stdout_path{};          ///< non-empty: standard output goes there
  std::vector<int> closed_fds{};      ///< of 0, 1, 2: closed in the program
  /// Standard error is a pseudo-terminal (in raw mode, so that its bytes
  /// arrive as written), for what a program says only to a person.
  bool stderr_terminal = false;
  /// Non-zero: the program's address space is limited to this many bytes,
  /// so that running out of memory can be tested.
  std::size_t address_space_limit = 0;
  /// A program still running after this long is killed, so that a hang
  /// fails its test instead of stopping the whole suite. Not a time limit
  /// on the work itself: far above anything a test should need.
  int timeout_seconds = 120;
};

program_run run_program(const program_call& call);

/// The first executable file called `name` in a directory of PATH; empty
/// when there is none (tests that need pdflatex skip themselves then).
std::string find_on_path(std::string_view name);

/// A fresh directory under the system's temporary directory, removed with
/// everything in it when the object goes away.
class temp_dir {
 public:
  temp_dir();
  ~temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  /// Writes `contents` to `name` inside the directory.
  void write(const std::string& name, const std::string& contents) const;
  /// The contents of `name`; empty when it does not exist.
  std::string read(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

}  // namespace tagweave::testing
