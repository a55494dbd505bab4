#include "driver/run_options.h"

#include <unistd.h>
#include <string>

namespace tagweave {

option_scan read_options(int argc, char* argv[]) {
  option_scan scan;
  RunOptions& opts = scan.options;
  // Start a fresh scan even if getopt has run before in this process. The
  // leading '+' keeps glibc from permuting: the first file name ends the
  // options, as POSIX says.
  optind = 0;
  int option;
  while ((option = ::getopt(argc, argv, "+npcst:a:h:f:o:")) != -1) {
    switch (option) {
      case 'n': opts.number_sections = true; break;
      case 'p': opts.page_break = true; break;
      case 'c': opts.want_toc = true; break;
      case 's': opts.to_stdout = true; break;
      case 't':
        opts.title_text = optarg;
        opts.have_title = true;
        break;
      case 'a':
        opts.author_text = optarg;
        opts.have_author = true;
        break;
      case 'h':
        opts.header_text = optarg;
        opts.have_header = true;
        break;
      case 'f':
        opts.footer_text = optarg;
        opts.have_footer = true;
        break;
      case 'o':
        opts.style_options = optarg;
        opts.have_style = true;
        break;
      default: scan.bad_option = true; break;
    }
  }
  scan.first_file = optind;
  opts.section_star = opts.number_sections ? "" : "*";
  return scan;
}

std::string usage_text(std::string_view program_name) {
  std::string text = "usage:\n\t";
  text.append(program_name);
  text.append(
      " [opt ...] [file ...]\n"
      "\twhere opt is one of \n"
      "\t\t-n (number sections)\n"
      "\t\t-t string (set title to string)\n"
      "\t\t-a string (set author to string)\n"
      "\t\t-p (page break after title/table of contents)\n"
      "\t\t-c (table of contents)\n"
      "\t\t-h string (string appears after \\begin{document})\n"
      "\t\t-f string (string appears before \\end{document})\n"
      "\t\t-o (specify LaTeX \\documentstyle options\n"
      "\t\t-s (write to stdout)\n"
      "\tIf file is - then input is taken from stdin and written to stdout.\n");
  return text;
}

}  // namespace tagweave
