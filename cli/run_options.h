// The command line of one run, read once at start-up: the document options
// that every conversion of the run shares, where the documents go, and where
// the file arguments begin.
#pragma once

#include <tagweave/tagweave.h>

#include <optional>
#include <string>
#include <string_view>

namespace tagweave {

struct command_line {
  document_options document;
  bool to_stdout = false;  ///< -s: every document to standard output
  /// --output=FILE: the one document goes to FILE.
  std::optional<std::string> output;
  /// The style came from -o, the short form, which a person may have meant
  /// as the output file's name.
  bool style_from_short_option = false;
  bool bad_option = false;  ///< an unknown option or a missing argument
  enum class run_request { convert, help, version };
  /// --help or --version ends the scan and is all the run does.
  run_request request = run_request::convert;
  int first_file = 0;  ///< index of the first file argument in argv

  /// False when the command line cannot be used: a bad option, or no file
  /// to convert.
  bool usable(int argc) const {
    return !bad_option &&
           (request != run_request::convert || first_file < argc);
  }
};

/// Scans the options with POSIX getopt semantics, plus long aliases: no
/// argument permutation, so scanning stops at the first word that is not an
/// option. getopt's own diagnostics for bad options go to standard error.
command_line read_command_line(int argc, char* argv[]);

/// The usage text, with `program_name` in its place.
std::string usage_text(std::string_view program_name);

/// What --help prints: the command's synopsis, then every option.
std::string help_text(std::string_view program_name);

}  // namespace tagweave
