// The tagweave command: reads the options, then converts each file argument
// in turn, reporting on standard error what went wrong with it. Every
// argument is tried; the exit status is 1 when any of them was not converted
// and written whole, 3 when memory ran out or a document was too large.
// It is a client of the library like any other: every conversion goes
// through the public header.
//
// No run may destroy a file it was not asked to write: each input is opened
// once and read whole before its output is opened, an output that is the
// input under another name is never written, and an existing output is
// replaced only by a whole new document.
#include "cli/descriptors.h"
#include "cli/file_names.h"
#include "cli/hints.h"
#include "cli/load_text.h"
#include "cli/messages.h"
#include "cli/output_file.h"
#include "cli/run_options.h"

#include <tagweave/tagweave.h>

#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tagweave {
namespace {

using messages::report;

/// Thrown when an input cannot be held in memory; ends the run.
struct out_of_memory_loading {};

/// Writes `text` to standard output; false (reported) when it did not get
/// there whole.
bool write_stdout(std::string_view text) {
  descriptor_writer out(STDOUT_FILENO);
  out.write(text);
  if (!out.failed()) return true;
  report(messages::cant_write_stdout);
  return false;
}

class driver {
 public:
  /// `hints`: standard error is a terminal, where a hint may be shown.
  driver(const command_line& line, bool hints) : line_(line), hints_(hints) {}

  void convert_argument(std::string_view argument) {
    if (argument == "-") {
      convert_standard_input();
    } else {
      convert_named_file(argument);
    }
  }

  bool all_whole() const { return all_whole_; }

 private:
  void convert_standard_input() {
    std::optional<std::string> text =
        load_whole(STDIN_FILENO, messages::cant_read_stdin);
    if (!text) return;
    if (line_.output) {
      write_to_output({"-", *line_.output}, std::move(*text), STDIN_FILENO);
      return;
    }
    write_document(std::move(*text), "-", STDOUT_FILENO,
                   messages::cant_write_stdout);
  }

  void convert_named_file(std::string_view argument) {
    opened_file input;
    file_names names =
        derive_file_names(argument, [&input](const std::string& name) {
          input = open_for_reading(name);
          return input.is_open();
        });
    if (line_.output) names.output = *line_.output;
    if (!input.is_open()) input = open_for_reading(names.input);
    if (!input.is_open()) {
      fail(messages::cant_open_for_reading(names.input));
      return;
    }
    std::optional<std::string> text =
        load_whole(input.fd(), messages::cant_read_file(names.input));
    if (!text) return;
    if (line_.to_stdout) {
      write_document(std::move(*text), names.input, STDOUT_FILENO,
                     messages::cant_write_stdout);
      return;
    }
    write_to_output(names, std::move(*text), input.fd());
  }

  /// Writes the document of `text`, read from `input_fd`, to the output
  /// `names` gives.
  void write_to_output(const file_names& names, std::string text,
                       int input_fd) {
    output_file output = open_output(names, input_fd);
    if (!output.is_open()) return;
    std::string write_error = messages::cant_write_file(names.output);
    if (write_document(std::move(text), names.input, output.fd(),
                       write_error) &&
        !output.finish()) {
      fail(write_error);
    }
  }

  /// The input's whole bytes, or nothing (reported) when it could not be
  /// read to its end: a document is written only from an input read whole,
  /// so a failed read never empties an existing output.
  std::optional<std::string> load_whole(int fd, std::string_view read_error) {
    loaded_text loaded = load_bytes(fd);
    if (loaded.status == load_status::out_of_memory) {
      throw out_of_memory_loading{};
    }
    if (loaded.status == load_status::read_error) {
      fail(read_error);
      return std::nullopt;
    }
    return std::move(loaded.text);
  }

  /// Where the document goes (output_file.h); not open (reported) when it
  /// cannot be written or is the input itself.
  output_file open_output(const file_names& names, int input_fd) {
    opened_output opened = open_output_file(names.output, input_fd);
    switch (opened.outcome) {
      case output_opening::opened: return std::move(opened.file);
      case output_opening::cant_open:
        fail(messages::cant_open_for_writing(names.output));
        break;
      case output_opening::is_input:
        fail(messages::output_is_input(names.output, names.input));
        break;
      case output_opening::cant_empty:
        fail(messages::cant_write_file(names.output));
        break;
    }
    return {};
  }

  /// Converts `text`, read from `input` ("-" for standard input), and
  /// writes the document to `fd`. False when it was not written whole; the
  /// message has been reported then.
  bool write_document(std::string text, std::string_view input, int fd,
                      std::string_view write_error) {
    document_options options = options_for(input);
    bool hint_html5 = hints_ && !hinted_html5_ &&
                      options.mode == reading_mode::early_tag_set &&
                      declares_html5_doctype(text);
    descriptor_writer out(fd);
    conversion_status status =
        convert_in_place(std::move(text), options,
                         [&out](std::string_view latex) { out.write(latex); });
    report_status(status, input);
    if (hint_html5) {
      report(messages::html5_hint(input));
      hinted_html5_ = true;
    }
    if (out.failed()) fail(write_error);
    return !out.failed();
  }

  /// The options of the run, and with --html5 where the input lies: images
  /// are looked up beside it (in the current folder for standard input).
  document_options options_for(std::string_view input) const {
    document_options options = line_.document;
    if (options.mode == reading_mode::html5) {
      options.image_folder = input == "-" ? "." : folder_of(input);
      if (input != "-") options.page_file = file_name_of(input);
    }
    return options;
  }

  /// Says what went wrong: an early-tag-set document cut short fails; what
  /// --html5 could not read or typeset as the page asked is said without
  /// failing the conversion.
  void report_status(const conversion_status& status, std::string_view input) {
    if (!status.unsupported_encoding.empty()) {
      report(messages::unsupported_encoding(status.unsupported_encoding));
    }
    if (status.untypeset_characters > 0) {
      report(
          messages::untypeset_characters(input, status.untypeset_characters));
    }
    if (status.unterminated_tag) fail(messages::bad_mark);
    if (status.stray_list_end) fail(messages::abnormal_exit);
  }

  static std::string file_name_of(std::string_view path) {
    return std::string(path.substr(path.rfind('/') + 1));
  }

  static std::string folder_of(std::string_view path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return ".";
    if (slash == 0) return "/";
    return std::string(path.substr(0, slash));
  }

  void fail(std::string_view message) {
    report(message);
    all_whole_ = false;
  }

  const command_line& line_;
  const bool hints_;
  bool hinted_html5_ = false;  // the --html5 hint is shown once a run
  bool all_whole_ = true;
};

/// A command line that reads but cannot run: the message (reported) and
/// false.
bool can_run(const command_line& line, int argc) {
  if (line.document.mode == reading_mode::html5 && line.document.encoding &&
      !is_encoding_label(*line.document.encoding)) {
    report(messages::unknown_encoding(*line.document.encoding));
    return false;
  }
  if (line.output && line.to_stdout) {
    report(messages::output_and_stdout);
    return false;
  }
  int files = argc - line.first_file;
  if (line.output && files > 1) {
    report(messages::output_takes_one_file(files));
    return false;
  }
  return true;
}

int run(int argc, char* argv[]) {
  std::string_view program_name = argc > 0 ? argv[0] : "tagweave";
  command_line line = read_command_line(argc, argv);
  if (!line.usable(argc)) {
    std::string usage = usage_text(program_name);
    std::fwrite(usage.data(), 1, usage.size(), stderr);
    return 1;
  }
  switch (line.request) {
    case command_line::run_request::help:
      return write_stdout(help_text(program_name)) ? 0 : 1;
    case command_line::run_request::version:
      return write_stdout("tagweave " + std::string(version()) + "\n") ? 0 : 1;
    case command_line::run_request::convert: break;
  }
  if (!can_run(line, argc)) return 1;
  bool hints = ::isatty(STDERR_FILENO) == 1;
  if (hints && line.style_from_short_option &&
      looks_like_tex_file(*line.document.style)) {
    report(messages::style_hint(*line.document.style));
  }
  driver conversions(line, hints);
  for (int i = line.first_file; i < argc; ++i) {
    conversions.convert_argument(argv[i]);
  }
  return conversions.all_whole() ? 0 : 1;
}

}  // namespace
}  // namespace tagweave

int main(int argc, char* argv[]) {
  // Status 3 is "did not fit in memory", whether loading or converting, or
  // in the 32-bit offsets of --html5's tree.
  constexpr int no_memory_status = 3;
  if (!tagweave::open_closed_standard_descriptors()) return 1;
  // A file size limit (ulimit -f) is then a write error like a full disk,
  // reported and leaving the old output, instead of ending the run.
  std::signal(SIGXFSZ, SIG_IGN);
  try {
    return tagweave::run(argc, argv);
  } catch (const tagweave::out_of_memory_loading&) {
    tagweave::messages::report(tagweave::messages::no_memory_loading);
    return no_memory_status;
  } catch (const std::bad_alloc&) {
    tagweave::messages::report(tagweave::messages::no_memory);
    return no_memory_status;
  } catch (const std::length_error&) {
    tagweave::messages::report(tagweave::messages::too_large);
    return no_memory_status;
  }
}
