// The tagweave command: reads the options, then converts each file argument
// in turn, reporting on standard error what went wrong with it. Every
// argument is tried; the exit status is 1 when any of them was not converted
// and written whole.
#include "driver/convert.h"
#include "driver/load_text.h"
#include "driver/messages.h"
#include "driver/run_options.h"
#include "latex/frame.h"

#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <new>
#include <string>
#include <string_view>

namespace tagweave {
namespace {

using messages::report;

void write_stdout(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

/// Thrown when an input cannot be held in memory; ends the run.
struct out_of_memory_loading {};

/// A file descriptor that this driver opened and must close.
class opened_file {
 public:
  explicit opened_file(int fd) : fd_(fd) {}
  ~opened_file() {
    if (fd_ >= 0) ::close(fd_);
  }
  opened_file(const opened_file&) = delete;
  opened_file& operator=(const opened_file&) = delete;

  bool is_open() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  /// Closes now; false when the close reports an error (a write that the
  /// system had deferred can fail only here).
  bool close() {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool can_open_for_reading(const std::string& name) {
  return opened_file(::open(name.c_str(), O_RDONLY | O_CLOEXEC)).is_open();
}

/// Where one document comes from and goes to, and how messages name them.
struct document_ends {
  int in_fd;
  int out_fd;
  std::string read_error;
  std::string write_error;
};

class driver {
 public:
  explicit driver(const RunOptions& options) : options_(options) {}

  void convert_argument(std::string_view argument) {
    if (argument == "-") {
      convert({STDIN_FILENO, STDOUT_FILENO,
               std::string(messages::cant_read_stdin),
               std::string(messages::cant_write_stdout)});
    } else {
      convert_named_file(argument);
    }
  }

  bool all_whole() const { return all_whole_; }

 private:
  void convert_named_file(std::string_view argument) {
    file_names names = derive_file_names(argument, can_open_for_reading);
    opened_file input(::open(names.input.c_str(), O_RDONLY | O_CLOEXEC));
    if (!input.is_open()) {
      fail(messages::cant_open_for_reading(names.input));
      return;
    }
    if (options_.to_stdout) {
      convert({input.fd(), STDOUT_FILENO, messages::cant_read_file(names.input),
               std::string(messages::cant_write_stdout)});
      return;
    }
    opened_file output(::open(names.output.c_str(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!output.is_open()) {
      fail(messages::cant_open_for_writing(names.output));
      return;
    }
    std::string write_error = messages::cant_write_file(names.output);
    if (convert({input.fd(), output.fd(), messages::cant_read_file(names.input),
                 write_error}) &&
        !output.close()) {
      fail(write_error);
    }
  }

  /// Loads, converts and writes one document. False when it was not
  /// written whole; the message has been reported then.
  bool convert(const document_ends& ends) {
    loaded_text loaded = load_text(ends.in_fd);
    if (loaded.status == load_status::out_of_memory) {
      throw out_of_memory_loading{};
    }
    if (loaded.status == load_status::read_error) fail(ends.read_error);

    byte_sink dest(ends.out_fd);
    conversion_outcome outcome = convert_document(loaded.text, dest, options_);
    bool written = dest.flush();
    if (outcome.split == split_status::unterminated_tag) {
      fail(messages::bad_mark);
    }
    if (outcome.abnormal_exit) fail(messages::abnormal_exit);
    if (!written) fail(ends.write_error);
    return written;
  }

  void fail(std::string_view message) {
    report(message);
    all_whole_ = false;
  }

  const RunOptions& options_;
  bool all_whole_ = true;
};

int run(int argc, char* argv[]) {
  std::string_view program_name = argc > 0 ? argv[0] : "tagweave";
  if (argc > 1 && std::string_view(argv[1]) == "--help") {
    write_stdout(usage_text(program_name));
    return 0;
  }
  if (argc > 1 && std::string_view(argv[1]) == "--version") {
    write_stdout("tagweave " + std::string(tagweave_version) + "\n");
    return 0;
  }
  option_scan scan = read_options(argc, argv);
  if (!scan.usable(argc)) {
    std::string usage = usage_text(program_name);
    std::fwrite(usage.data(), 1, usage.size(), stderr);
    return 1;
  }
  driver conversions(scan.options);
  for (int i = scan.first_file; i < argc; ++i) {
    conversions.convert_argument(argv[i]);
  }
  return conversions.all_whole() ? 0 : 1;
}

}  // namespace
}  // namespace tagweave

int main(int argc, char* argv[]) {
  try {
    return tagweave::run(argc, argv);
  } catch (const tagweave::out_of_memory_loading&) {
    tagweave::messages::report(tagweave::messages::no_memory_loading);
    return 3;
  } catch (const std::bad_alloc&) {
    tagweave::messages::report(tagweave::messages::no_memory);
    return 1;
  }
}
