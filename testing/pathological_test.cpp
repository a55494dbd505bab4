// The pathological shapes at small sizes: each splits and converts to the
// result it must give, and the fast reader agrees with the literal one.
// Their speed is the benchmark's business (early/reader/splitter_perftest.cpp).
#include "testing/pathological.h"

#include "early/convert/document.h"
#include "early/reader/splitter.h"
#include "testing/literal_reading.h"
#include "testing/test_text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tagweave::testing {
namespace {

struct converted {
  conversion_status outcome;
  std::string body;  ///< the output between preamble and closing
};

converted convert_with_defaults(std::string_view text) {
  byte_sink sink;
  converted result{convert_document(text, sink, document_options{}), {}};
  std::string_view out = sink.contents();
  EXPECT_TRUE(out.starts_with(default_preamble)) << out.substr(0, 200);
  EXPECT_TRUE(out.ends_with(default_closing));
  if (out.size() >= default_preamble.size() + default_closing.size()) {
    result.body = out.substr(
        default_preamble.size(),
        out.size() - default_preamble.size() - default_closing.size());
  }
  return result;
}

/// What one shape must give at size n.
struct expectation {
  std::string_view shape;
  std::size_t (*records)(std::size_t n);
  std::string (*body)(std::size_t n);
  split_status status = split_status::complete;
  bool abnormal_exit = false;
};

using std::size_t;
using std::string;
constexpr auto unterminated = split_status::unterminated_tag;

// clang-format off
const expectation expectations[] = {
    {"nested_ul", [](size_t n) { return n; },
     [](size_t n) { return repeat("\\begin{itemize}", n); }},
    {"nested_ul_items_closed", [](size_t n) { return 4 * n; },
     [](size_t n) {
       return repeat("\\begin{itemize}\\item x", n) +
              repeat("\\end{itemize}", n);
     }},
    {"stray_list_ends", [](size_t n) { return n; },
     [](size_t) { return string("\\end{itemize}"); },
     split_status::complete, true},
    {"pre_opens", [](size_t n) { return n; },
     [](size_t) { return string(); }},
    {"unclosed_title", [](size_t) -> size_t { return 2; },
     [](size_t) { return string(); }},
    {"open_lt_refs", [](size_t) -> size_t { return 1; },
     [](size_t n) { return repeat("$<$", n); }},
    {"lt_refs_one_semicolon", [](size_t) -> size_t { return 1; },
     [](size_t n) { return repeat("\\&lt ", n - 1) + "$<$"; }},
    {"amp_refs", [](size_t) -> size_t { return 1; },
     [](size_t n) { return repeat("\\&", n); }},
    {"numeric_ref_long_blanks", [](size_t) -> size_t { return 1; },
     [](size_t) { return string("A"); }},
    {"numeric_ref_long_zeros", [](size_t) -> size_t { return 1; },
     [](size_t) { return string("A"); }},
    {"numeric_ref_too_large", [](size_t) -> size_t { return 1; },
     [](size_t n) { return "\\&\\#" + repeat("9", n) + ";x"; }},
    {"numeric_empty_refs", [](size_t) -> size_t { return 1; },
     [](size_t n) { return repeat("\\&\\#", n) + ";"; }},
    {"amp_run", [](size_t) -> size_t { return 1; },
     [](size_t n) { return repeat("\\&", n); }},
    {"amp_letter_run", [](size_t) -> size_t { return 1; },
     [](size_t n) { return repeat("\\&a", n); }},
    {"lt_run", [](size_t) -> size_t { return 1; },
     [](size_t n) { return repeat("$<$", n); }},
    {"unterminated_a", [](size_t) -> size_t { return 0; },
     [](size_t) { return string(); }, unterminated},
    {"comment_opens", [](size_t) -> size_t { return 0; },
     [](size_t) { return string(); }, unterminated},
    {"small_tags", [](size_t n) { return 3 * n; },
     [](size_t n) { return repeat("{\\bf x}", n); }},
    {"huge_tag", [](size_t) -> size_t { return 1; },
     [](size_t) { return string(); }},
    {"tag_with_refs", [](size_t) -> size_t { return 1; },
     [](size_t) { return string(); }},
    {"tag_lt_refs_one_semicolon", [](size_t) -> size_t { return 1; },
     [](size_t) { return string(); }},
    {"xmp_unclosed_a", [](size_t) -> size_t { return 2; },
     [](size_t n) { return repeat("$<$a", n); }},
    {"xmp_a_blank_closed", [](size_t) -> size_t { return 3; },
     [](size_t n) { return repeat("$<$a ", n); }},
    {"xmp_a_one_gt", [](size_t) -> size_t { return 2; },
     [](size_t n) { return repeat("$<$a", n) + "$>$"; }},
    {"xmp_a_numeric_refs_one_semicolon", [](size_t) -> size_t { return 2; },
     [](size_t n) { return repeat("$<$a\\&\\# ", n) + ";$>$"; }},
    {"xmp_a_open_refs", [](size_t) -> size_t { return 2; },
     [](size_t n) { return repeat("$<$a$<$", n) + "$>$"; }},
    {"xmp_a_tags", [](size_t) -> size_t { return 3; },
     [](size_t n) { return repeat("$<$a$>$", n); }},
    {"xmp_end_tags_of_others", [](size_t) -> size_t { return 3; },
     [](size_t n) { return repeat("$<$/b$>$", n); }},
    {"xmp_many_sections", [](size_t n) { return 3 * n; },
     [](size_t n) { return repeat("a$<$b;", n); }},
    {"listing_with_xmp_starts", [](size_t) -> size_t { return 2; },
     [](size_t n) { return "\\begin{verbatim}" + repeat("<XMP>", n); }},
    {"plaintext_rest", [](size_t) -> size_t { return 2; },
     [](size_t n) { return repeat("$<$b$>$\\&lt;", n); }},
    {"latex_specials", [](size_t) -> size_t { return 1; },
     [](size_t n) {
       return repeat(
           "\\#\\$\\%\\&\\_\\{\\}\\~{}\\^{}$<$$>$$\\backslash$ x", n);
     }},
    {"line_feeds", [](size_t) -> size_t { return 0; },
     [](size_t) { return string(); }},
    {"crlf_line_ends", [](size_t) -> size_t { return 1; },
     [](size_t n) { return repeat("\r\n", n); }},
};
// clang-format on

const expectation* expectation_for(std::string_view shape) {
  for (const expectation& e : expectations) {
    if (e.shape == shape) return &e;
  }
  return nullptr;
}

TEST(PathologicalShapes, SplitAndConvertToWhatTheyMustGive) {
  constexpr size_t n = 20000;
  for (const pathological_shape& shape : all_pathological_shapes()) {
    SCOPED_TRACE(shape.name);
    const expectation* expected = expectation_for(shape.name);
    if (expected == nullptr) {
      ADD_FAILURE() << "no expectation for shape " << shape.name;
      continue;
    }
    string text = shape.make(n);
    split_result split = split_document(text);
    EXPECT_EQ(split.status, expected->status);
    EXPECT_EQ(split.marks.size(), expected->records(n));

    converted result = convert_with_defaults(text);
    EXPECT_EQ(result.outcome.unterminated_tag,
              expected->status == split_status::unterminated_tag);
    EXPECT_EQ(result.outcome.stray_list_end, expected->abnormal_exit);
    string body = expected->body(n);
    // Compare without printing megabytes when they differ.
    EXPECT_EQ(result.body.size(), body.size());
    EXPECT_TRUE(result.body == body)
        << "body begins: " << result.body.substr(0, 120);
  }
}

// The fast reader skips work that the literal one does: copies of the rest
// of the text per reference, whole tag reads per candidate. Both must give
// the same records, also at the sizes where off-by-one faults live.
TEST(PathologicalShapes, SplitLikeTheLiteralReading) {
  for (const pathological_shape& shape : all_pathological_shapes()) {
    for (size_t n : {0, 1, 2, 3, 10, 300}) {
      SCOPED_TRACE(::testing::Message() << shape.name << " n=" << n);
      string text = shape.make(n);
      EXPECT_EQ(literal::describe(split_document(text)),
                literal::describe(literal::split(text)));
    }
  }
}

TEST(PathologicalShapes, MixedPageSplitsLikeTheLiteralReading) {
  string page = mixed_page(50);
  split_result split = split_document(page);
  EXPECT_EQ(split.status, split_status::complete);
  EXPECT_EQ(literal::describe(split), literal::describe(literal::split(page)));
  converted result = convert_with_defaults(page);
  EXPECT_TRUE(result.outcome.whole());
}

// The literal reading is only an oracle if it reads the hard cases right.
TEST(LiteralReading, DecodesTheHardCases) {
  struct row {
    std::string_view before, after;
  };
  const row rows[] = {
      {"a &lt;b&gt; c", "a <b> c"},
      {"&amp;lt;", "&lt;"},
      {"&#65 is A; ok", "A is A; ok"},
      {"&#65  ;x", "Ax"},
      {"&#6 5;", "\x06 5;"},
      {"&# 65;", "A"},
      {"&#+65;", "A"},
      {"&#-1;", "&#-1;"},
      {"&#256;", "&#256;"},
      {"ab&#;cd", "ab&#;cd"},
      {"&#233;", "\xe9"},
      {"&copy; &lt;", "&copy; <"},
      {"AT&T; x &lt; y", "AT&T; x < y"},
      {"&gtbar; &lt;", "&gtbar; <"},
      {"&lt\r; &gt;", "&lt\r; >"},
      {"&lt \t\n ;", "<"},
      {"x &gt y &amp z", "x > y & z"},
      {"&ltfoo", "<foo"},
      {"&#12&#65",
       "\x0c"
       "A"},
      {"ab&#-65", "ab&#-65"},
      {"&&lt;", "&<"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.before);
    EXPECT_EQ(literal::decode(r.before), r.after);
  }
}

}  // namespace
}  // namespace tagweave::testing
