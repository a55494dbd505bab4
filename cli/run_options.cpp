#include "cli/run_options.h"

#include <getopt.h>

#include <cstdio>
#include <string>

namespace tagweave {
namespace {

// The short options, fixed; the leading '+' keeps glibc from permuting, so
// the first file name ends the options, as POSIX says.
constexpr const char* short_options = "+npcst:a:h:f:o:";

// Values getopt_long returns for the long options without a short form.
enum : int {
  help_option = 256,
  version_option,
  html5_option,
  encoding_option,
  link_urls_option,
  whole_page_option,
  output_option
};

constexpr option long_options[] = {
    {"numbered", no_argument, nullptr, 'n'},
    {"title", required_argument, nullptr, 't'},
    {"author", required_argument, nullptr, 'a'},
    {"page-break", no_argument, nullptr, 'p'},
    {"contents", no_argument, nullptr, 'c'},
    {"header", required_argument, nullptr, 'h'},
    {"footer", required_argument, nullptr, 'f'},
    {"style", required_argument, nullptr, 'o'},
    {"stdout", no_argument, nullptr, 's'},
    {"help", no_argument, nullptr, help_option},
    {"version", no_argument, nullptr, version_option},
    {"html5", no_argument, nullptr, html5_option},
    {"encoding", required_argument, nullptr, encoding_option},
    {"link-urls", required_argument, nullptr, link_urls_option},
    {"whole-page", no_argument, nullptr, whole_page_option},
    {"output", required_argument, nullptr, output_option},
    {nullptr, 0, nullptr, 0},
};

/// --link-urls=footnote|none; false for any other value.
bool read_link_urls(std::string_view value, document_options& document) {
  if (value == "footnote") {
    document.link_urls = link_url_display::footnote;
  } else if (value == "none") {
    document.link_urls = link_url_display::none;
  } else {
    return false;
  }
  return true;
}

/// Applies one option of the document; false for a value that is none.
bool apply_document_option(int option, const char* argument,
                           document_options& document) {
  switch (option) {
    case 'n': document.numbered_headings = true; return true;
    case 'p': document.page_break = true; return true;
    case 'c': document.contents = true; return true;
    case 't': document.title = argument; return true;
    case 'a': document.author = argument; return true;
    case 'h': document.header = argument; return true;
    case 'f': document.footer = argument; return true;
    case 'o': document.style = argument; return true;
    case html5_option: document.mode = reading_mode::html5; return true;
    case encoding_option: document.encoding = argument; return true;
    case link_urls_option: return read_link_urls(argument, document);
    case whole_page_option: document.whole_page = true; return true;
    default: return false;
  }
}

}  // namespace

command_line read_command_line(int argc, char* argv[]) {
  command_line line;
  // Start a fresh scan even if getopt has run before in this process.
  optind = 0;
  int option;
  // Stays -1 when the option found is a short one.
  int long_index = -1;
  while ((option = ::getopt_long(argc, argv, short_options, long_options,
                                 &long_index)) != -1) {
    bool short_form = long_index < 0;
    long_index = -1;
    if (apply_document_option(option, optarg, line.document)) {
      if (option == 'o') line.style_from_short_option = short_form;
      continue;
    }
    switch (option) {
      case link_urls_option:
        // getopt accepts any value: say, as it would, what was wrong.
        std::fprintf(stderr,
                     "%s: --link-urls takes footnote or none, not '%s'\n",
                     argv[0], optarg);
        line.bad_option = true;
        break;
      case 's': line.to_stdout = true; break;
      case output_option: line.output = optarg; break;
      case help_option: line.request = command_line::run_request::help; break;
      case version_option:
        line.request = command_line::run_request::version;
        break;
      default: line.bad_option = true; break;
    }
    if (line.request != command_line::run_request::convert) break;
  }
  line.first_file = optind;
  return line;
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

std::string help_text(std::string_view program_name) {
  std::string text = "Usage: ";
  text.append(program_name);
  text.append(
      " [OPTION]... FILE...\n"
      "Convert each HTML FILE to a LaTeX document: page.html to page.tex.\n"
      "A FILE of - is read from standard input and written to standard "
      "output.\n"
      "\n"
      "  -n, --numbered           number the sections\n"
      "  -t, --title=STRING       set the title to STRING\n"
      "  -a, --author=STRING      set the author to STRING\n"
      "  -p, --page-break         page break after the title and the "
      "contents\n"
      "  -c, --contents           write a table of contents\n"
      "  -h, --header=STRING      STRING appears after \\begin{document}\n"
      "  -f, --footer=STRING      STRING appears before \\end{document}\n"
      "  -o, --style=OPTIONS      the \\documentstyle options: "
      "[12pt]{report}\n"
      "  -s, --stdout             write every document to standard output\n"
      "      --output=FILE        write the one document to FILE\n"
      "      --html5              read today's HTML, write LaTeX2e for "
      "pdflatex\n"
      "      --encoding=LABEL     with --html5: the input's encoding\n"
      "      --link-urls=WHERE    with --html5: a link's URL in a footnote "
      "or none\n"
      "      --whole-page         with --html5: navigation and site chrome "
      "too\n"
      "      --help               display this help and exit\n"
      "      --version            output version information and exit\n"
      "\n"
      "Exit status: 0 when every document was written whole, 1 otherwise, 3 "
      "when\nmemory ran out.\n");
  return text;
}

}  // namespace tagweave
