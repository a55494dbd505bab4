// Every message the converter writes to standard error, in one place. Each
// is written followed by a line break.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace tagweave::messages {

/// Writes `message` and a line break to standard error.
inline void report(std::string_view message) {
  std::fwrite(message.data(), 1, message.size(), stderr);
  std::fputc('\n', stderr);
}

inline std::string cant_open_for_reading(std::string_view name) {
  return "can't open file " + std::string(name) + " for reading.";
}
inline std::string cant_open_for_writing(std::string_view name) {
  return "can't open file " + std::string(name) + " for writing.";
}
inline std::string cant_read_file(std::string_view name) {
  return "can't read file " + std::string(name) + ".";
}
inline std::string cant_write_file(std::string_view name) {
  return "can't write file " + std::string(name) + ".";
}
/// The output name leads to the input file itself (a symbolic or hard link):
/// writing would destroy the input, so nothing is written.
inline std::string output_is_input(std::string_view output,
                                   std::string_view input) {
  return "can't write file " + std::string(output) + ": it is the input file " +
         std::string(input) + ".";
}
/// An --encoding label that names no encoding at all.
inline std::string unknown_encoding(std::string_view label) {
  return "unknown encoding " + std::string(label) + ".";
}
/// A declared or requested encoding that tagweave cannot decode.
inline std::string unsupported_encoding(std::string_view name) {
  return "encoding " + std::string(name) + " is not supported: read as UTF-8.";
}
/// --html5: characters written as placeholders, once per document.
inline std::string untypeset_characters(std::string_view input,
                                        std::size_t count) {
  return std::string(input) + ": " + std::to_string(count) +
         (count == 1 ? " character" : " characters") +
         " cannot be typeset with the document's fonts and " +
         (count == 1 ? "is" : "are") + " shown by code point.";
}
/// --output with more than one input.
inline std::string output_takes_one_file(int files) {
  return "--output names the file of one document, but " +
         std::to_string(files) + " inputs were given.";
}
inline constexpr std::string_view output_and_stdout =
    "--output and -s both say where the document goes: give one of them.";
/// Hints, shown only when standard error is a terminal (cli/hints.h).
inline std::string style_hint(std::string_view style) {
  return "tagweave: hint: -o sets the document style, here " +
         std::string(style) + "; --output=FILE names the output file.";
}
inline std::string html5_hint(std::string_view input) {
  return "tagweave: hint: " + std::string(input) +
         " declares <!DOCTYPE html>, a page of today's HTML: --html5 reads "
         "it.";
}
inline constexpr std::string_view cant_read_stdin =
    "can't read standard input.";
inline constexpr std::string_view cant_write_stdout =
    "can't write standard output.";
inline constexpr std::string_view bad_mark = "error parsing mark, bailing out";
/// Preceded by an empty line: the body was cut short at a stray end tag.
inline constexpr std::string_view abnormal_exit = "\n!Abnormal exit";
inline constexpr std::string_view no_memory = "cannot allocate memory";
inline constexpr std::string_view no_memory_loading = "realloc() failed.";
/// --html5: a document too large for the 32-bit offsets of its tree.
inline constexpr std::string_view too_large =
    "document too large for --html5: its tree is limited to 4 GiB.";

}  // namespace tagweave::messages
