// The libFuzzer target: the first byte of an input chooses the run options,
// the rest is the document. Each input is converted whole into memory, split
// and dumped, and its records are compared with the literal reading. A
// fault shows as a crash, a sanitizer report or a difference.
#include "diag/dump.h"
#include "early/convert/document.h"
#include "early/reader/line_ends.h"
#include "early/reader/splitter.h"
#include "early/writer/frame.h"
#include "early/writer/renderer.h"
#include "output/byte_sink.h"
#include "testing/literal_reading.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace tagweave;

// Option bits of the first byte.
constexpr unsigned number_sections = 1u << 0;  // -n
constexpr unsigned page_break = 1u << 1;       // -p
constexpr unsigned want_toc = 1u << 2;         // -c
constexpr unsigned have_title = 1u << 3;       // -t
constexpr unsigned have_author = 1u << 4;      // -a
constexpr unsigned header_footer = 1u << 5;    // -h and -f
constexpr unsigned have_style = 1u << 6;       // -o
constexpr unsigned load_first = 1u << 7;       // fold line ends as loading does

// The literal reading is quadratic; above this size it would only slow the
// search down.
constexpr std::size_t literal_limit = 8192;

document_options options_from(unsigned bits) {
  document_options options;
  options.numbered_headings = (bits & number_sections) != 0;
  options.page_break = (bits & page_break) != 0;
  options.contents = (bits & want_toc) != 0;
  if (bits & have_title) options.title = "A & B_{1} ~ 50% $x^2$ #1 <\\>";
  if (bits & have_author) options.author = "J. {Doe} & co_ ~";
  if (bits & header_footer) {
    options.header = "\\pagestyle{empty}\n";
    options.footer = "% the end\n";
  }
  if (bits & have_style) options.style = "[11pt]{report}";
  return options;
}

[[noreturn]] void fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "convert_fuzz: %s\n%s\n", what, detail.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0) return 0;
  const unsigned bits = data[0];
  std::string_view document(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string loaded;
  if (bits & load_first) {
    loaded = fold_line_ends(document);
    document = loaded;
  }

  document_options options = options_from(bits);
  byte_sink output;
  conversion_status outcome = convert_document(document, output, options);
  if (!output.contents().ends_with("\\end{document}\n")) {
    fail("the output does not end with \\end{document}", "");
  }

  split_result split = split_document(document);
  if ((split.status == split_status::unterminated_tag) !=
      outcome.unterminated_tag) {
    fail("split status differs between converting and splitting", "");
  }
  byte_sink dump;
  dump_marks(dump, split.marks);

  // Converting writes each record as it is read; walking the whole list
  // afterwards must write the same document.
  byte_sink from_list;
  write_frame_preamble(from_list, options);
  render_state state = S_NORMAL;
  bool ended_early =
      render_marks(from_list, split.marks, state, options) != nullptr;
  write_frame_closing(from_list, options);
  if (ended_early != outcome.stray_list_end ||
      from_list.contents() != output.contents()) {
    fail("converting differs from rendering the split list",
         "converted:\n" + output.contents() + "\nfrom the list:\n" +
             from_list.contents());
  }

  if (document.size() <= literal_limit) {
    std::string fast = testing::literal::describe(split);
    std::string slow =
        testing::literal::describe(testing::literal::split(document));
    if (fast != slow) {
      fail("split_document differs from the literal reading",
           "split_document:\n" + fast + "literal reading:\n" + slow);
    }
  }
  return 0;
}
