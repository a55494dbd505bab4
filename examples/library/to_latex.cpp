// A program that uses the tagweave library: reads HTML on standard input and
// writes the LaTeX document on standard output, with the title given as its
// argument, if any. Exits 1 when the document was not whole.
#include <tagweave/tagweave.h>

#include <iostream>
#include <iterator>
#include <string>

int main(int argc, char* argv[]) {
  std::string html(std::istreambuf_iterator<char>(std::cin), {});
  tagweave::document_options options;
  if (argc > 1) options.title = argv[1];
  tagweave::conversion_status status = tagweave::convert(
      html, options, [](std::string_view latex) { std::cout << latex; });
  std::cout.flush();
  return status.whole() && std::cout ? 0 : 1;
}
