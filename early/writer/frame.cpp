#include "early/writer/frame.h"

#include "early/writer/escape.h"

namespace tagweave {
namespace {

void write_line(byte_sink& dest, std::string_view line) {
  dest.write(line);
  dest.put('\n');
}

/// "\title{...}": the command, the escaped argument, "}".
void write_escaped_command(byte_sink& dest, std::string_view command,
                           std::string_view argument) {
  dest.write(command);
  write_escaped(dest, argument);
  write_line(dest, "}");
}

/// "\author{...}". Unlike \title, \author is not \long: a blank line would
/// end its argument too soon, so it is written without one.
void write_author_command(byte_sink& dest, std::string_view author) {
  dest.write("\\author{");
  line_position line;
  write_escaped_argument(dest, author, line);
  write_line(dest, "}");
}

void write_title_block(byte_sink& dest, const document_options& options) {
  if (options.title) write_escaped_command(dest, "\\title{", *options.title);
  if (options.author) {
    write_author_command(dest, *options.author);
  } else if (options.title) {
    write_line(dest, "\\author{}");
  }
  if (options.author || options.title) {
    write_line(dest, "\\maketitle");
    if (options.page_break) write_line(dest, "\\newpage");
  }
}

}  // namespace

void write_frame_preamble(byte_sink& dest, const document_options& options) {
  write_line(dest,
             "% This file was converted from HTML to LaTeX with Quenby's");
  write_line(dest, "% tagweave program");
  dest.write("% Version ");
  // The build gives every stage the version (CMakeLists.txt).
  write_line(dest, TAGWEAVE_VERSION);
  if (options.style) {
    dest.write("\\documentstyle");
    write_line(dest, *options.style);
  } else {
    write_line(dest, "\\documentstyle{article}");
  }
  write_line(dest, "\\begin{document}");
  // \maketitle stops with "No \title given" unless there is one. The empty
  // one comes before the header, so that a header may still give its own.
  if (options.author && !options.title) {
    write_line(dest, "\\title{}");
  }
  if (options.header) dest.write(*options.header);
  write_title_block(dest, options);
  if (options.contents) {
    write_line(dest, "\\tableofcontents ");
    if (options.page_break) write_line(dest, "\\newpage");
  }
}

void write_frame_closing(byte_sink& dest, const document_options& options) {
  if (options.footer) dest.write(*options.footer);
  write_line(dest, "\\end{document}");
}

}  // namespace tagweave
