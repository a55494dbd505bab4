// The tagweave command: reads the options, then converts each file argument
// in turn, reporting on standard error what went wrong with it. Every
// argument is tried; the exit status is 1 when any of them was not converted
// and written whole, 3 when memory ran out.
//
// No run may destroy a file it was not asked to write: each input is opened
// once and read whole before its output is opened, an output that is the
// input under another name is never written, and an existing output is
// replaced only by a whole new document.
#include "cli/descriptors.h"
#include "cli/file_names.h"
#include "cli/load_text.h"
#include "cli/messages.h"
#include "cli/output_file.h"
#include "cli/run_options.h"
#include "early/convert/document.h"
#include "html5/convert/document.h"
#include "html5/encoding/encoding.h"
#include "output/byte_sink.h"

#include <tagweave/tagweave.h>

#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <new>
#include <optional>
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
  byte_sink out(STDOUT_FILENO);
  out.write(text);
  if (out.flush()) return true;
  report(messages::cant_write_stdout);
  return false;
}

class driver {
 public:
  driver(const document_options& options, bool to_stdout)
      : options_(options), to_stdout_(to_stdout) {}

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
    if (text) {
      write_document(std::move(*text), "-", STDOUT_FILENO,
                     messages::cant_write_stdout);
    }
  }

  void convert_named_file(std::string_view argument) {
    opened_file input;
    file_names names =
        derive_file_names(argument, [&input](const std::string& name) {
          input = open_for_reading(name);
          return input.is_open();
        });
    if (!input.is_open()) input = open_for_reading(names.input);
    if (!input.is_open()) {
      fail(messages::cant_open_for_reading(names.input));
      return;
    }
    std::optional<std::string> text =
        load_whole(input.fd(), messages::cant_read_file(names.input));
    if (!text) return;
    if (to_stdout_) {
      write_document(std::move(*text), names.input, STDOUT_FILENO,
                     messages::cant_write_stdout);
      return;
    }
    output_file output = open_output(names, input.fd());
    if (!output.is_open()) return;
    std::string write_error = messages::cant_write_file(names.output);
    if (write_document(std::move(*text), names.input, output.fd(),
                       write_error) &&
        !output.finish()) {
      fail(write_error);
    }
  }

  /// The input's whole text, or nothing (reported) when it could not be read
  /// to its end: a document is written only from an input read whole, so a
  /// failed read never empties an existing output.
  std::optional<std::string> load_whole(int fd, std::string_view read_error) {
    // The early tag set folds line ends and drops NUL bytes as it loads;
    // --html5 decodes the bytes as they are.
    loaded_text loaded =
        options_.mode == reading_mode::html5 ? load_bytes(fd) : load_text(fd);
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
    byte_sink dest(fd);
    conversion_status status =
        options_.mode == reading_mode::html5
            ? convert_html5(std::move(text), input, dest)
            : convert_document_in_place(text, dest, options_);
    bool written = dest.flush();
    if (status.unterminated_tag) fail(messages::bad_mark);
    if (status.stray_list_end) fail(messages::abnormal_exit);
    if (!written) fail(write_error);
    return written;
  }

  /// --html5: images are looked up beside the input (in the current folder
  /// for standard input); what could not be read or typeset as the page
  /// asked is said, without failing the conversion.
  conversion_status convert_html5(std::string bytes, std::string_view input,
                                  byte_sink& dest) {
    document_options options = options_;
    options.image_folder = input == "-" ? "." : folder_of(input);
    if (input != "-") options.page_file = file_name_of(input);
    conversion_status status =
        convert_html5_document(std::move(bytes), dest, options);
    if (!status.unsupported_encoding.empty()) {
      report(messages::unsupported_encoding(status.unsupported_encoding));
    }
    if (status.untypeset_characters > 0) {
      report(
          messages::untypeset_characters(input, status.untypeset_characters));
    }
    return status;
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

  const document_options& options_;
  const bool to_stdout_;
  bool all_whole_ = true;
};

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
  if (line.document.mode == reading_mode::html5 && line.document.encoding) {
    html5::label_lookup named = html5::lookup_label(*line.document.encoding);
    if (!named.found && !named.known_other) {
      report(messages::unknown_encoding(*line.document.encoding));
      return 1;
    }
  }
  driver conversions(line.document, line.to_stdout);
  for (int i = line.first_file; i < argc; ++i) {
    conversions.convert_argument(argv[i]);
  }
  return conversions.all_whole() ? 0 : 1;
}

}  // namespace
}  // namespace tagweave

int main(int argc, char* argv[]) {
  // Status 3 is "did not fit in memory", whether loading or converting.
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
  }
}
