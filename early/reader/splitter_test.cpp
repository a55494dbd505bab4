#include "early/reader/splitter.h"

#include "diag/dump.h"
#include "early/reader/char_class.h"
#include "early/reader/char_refs.h"
#include "early/reader/tag_reader.h"
#include "output/byte_sink.h"

#include "testing/literal_reading.h"
#include "testing/test_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace tagweave {
namespace {

/// The dump of one text run.
std::string run(std::string_view text) {
  return "M_NONE START\n{\n\t" + std::string(text) + "}\n";
}

// Dump lines of the tags the cases use. The dump shows the preformatted
// and plain-rest kinds, and bold (28), by number.
const std::string b_start = "UNKNOWN 28 START\n";
const std::string b_end = "UNKNOWN 28 END\n";
const std::string p_start = "M_PARAGRAPH START\n";
const std::string p_end = "M_PARAGRAPH END\n";
const std::string pre_start = "UNKNOWN 18 START\n";
const std::string pre_end = "UNKNOWN 18 END\n";
const std::string rest_start = "UNKNOWN 19 START\n";
const std::string rest_end = "UNKNOWN 19 END\n";
const std::string xmp_start = "M_PLAIN_TEXT START\n";
const std::string xmp_end = "M_PLAIN_TEXT END\n";
const std::string listing_start = "M_LISTING_TEXT START\n";
const std::string listing_end = "M_LISTING_TEXT END\n";
const std::string unknown_start = "UNKNOWN 38 START\n";

struct split_case {
  std::string input;
  std::string dump;
  split_status status = split_status::complete;
};

void expect_splits(const std::vector<split_case>& cases) {
  for (const split_case& c : cases) {
    SCOPED_TRACE("input " + testing::quoted(c.input));
    split_result got = split_document(c.input);
    EXPECT_EQ(testing::dump_of(got.marks), c.dump);
    EXPECT_EQ(got.status, c.status);
  }
}

TEST(SplitDocument, FindsWhereTagsBegin) {
  expect_splits({
      {"", ""},
      {" \t\n \n", ""},
      {"Hello", run("Hello")},
      {"a<b>c</b>d", run("a") + b_start + run("c") + b_end + run("d")},
      {"1 < 2, 3<4, </ b>, <>, </>", run("1 < 2, 3<4, </ b>, <>, </>")},
      {"x<<b>y", run("x<") + b_start + run("y")},
      {"a<", run("a<")},
      {"a</", run("a</")},
      {"a<\xe9>b", run("a<\xe9>b")},
      {"a</\xe9>b", run("a</\xe9>b")},
      {"<!-- a > b -->x", unknown_start + run(" b -->x")},
      {"<p> </p>", p_start + p_end},
      {"<p>\nx", p_start + run("\nx")},
      {"x &lt; y<b>", run("x < y") + b_start},
      {"<b>&#32;</b>", b_start + b_end},
  });
}

TEST(SplitDocument, KeepsBlankRunsInsidePreformattedText) {
  expect_splits({
      {"<pre> </pre>", pre_start + run(" ") + pre_end},
      {"<pre>\na\n</pre> \n", pre_start + run("a\n") + pre_end},
      {"<pre>a</pre>\n b", pre_start + run("a") + pre_end + run("\n b")},
      // A switch, not a depth: the first end tag clears it.
      {"<pre><pre>x</pre> </pre>",
       pre_start + pre_start + run("x") + pre_end + pre_end},
      // Only a line feed is skipped after the start tag.
      {"<pre>\r\nx</pre>", pre_start + run("\r\nx") + pre_end},
      {"<pre>\n\nx</pre>", pre_start + run("\nx") + pre_end},
      {"<pre>&#32;</pre>", pre_start + run(" ") + pre_end},
      {"<pre>\n \n</pre>", pre_start + run(" \n") + pre_end},
  });
}

TEST(SplitDocument, TakesExampleAndListingContentUpToTheirEndTag) {
  expect_splits({
      {"<xmp>\n<b>x</b> &lt;</xmp>y",
       xmp_start + run("<b>x</b> <") + xmp_end + run("y")},
      {"<xmp>a</listing>b", xmp_start + run("a") + listing_end + run("b")},
      {"<XMP>a</Listing>b", xmp_start + run("a") + listing_end + run("b")},
      {"<listing>\n<xmp>q</xmp>", listing_start + run("<xmp>q") + xmp_end},
      // A candidate whose text reaches over the end tag does not hide it.
      {"<xmp><a </xmp>z", xmp_start + run("<a ") + xmp_end + run("z")},
      {"<xmp>a<i b</xmp>c", xmp_start + run("a<i b") + xmp_end + run("c")},
      {"<xmp>a<b</xmp>c", xmp_start + run("a<b") + xmp_end + run("c")},
      // Nor does a comment.
      {"<xmp>a<!-- </xmp> -->b",
       xmp_start + run("a<!-- ") + xmp_end + run(" -->b")},
      {"<xmp></xmp>", xmp_start + xmp_end},
      {"<xmp>", xmp_start},
      {"<xmp>\n", xmp_start},
      {"<xmp>\r\nx</xmp>", xmp_start + run("\r\nx") + xmp_end},
      {"<xmp>\n \n</xmp>", xmp_start + xmp_end},
      // Never closed: the content runs to the end, with no complaint.
      {"<listing>a<!-- x -->b", listing_start + run("a<!-- x -->b")},
      {"<xmp>a</xmp", xmp_start + run("a</xmp")},
      {"<xmp><a </xmp", xmp_start + run("<a </xmp")},
      // The end tag's name is read after decoding, like any tag's.
      {"<xmp>a</x&#109;p>b", xmp_start + run("a") + xmp_end + run("b")},
      {"<xmp>a</xmp&#32;x>b", xmp_start + run("a") + xmp_end + run("b")},
      {"<xmp>a</xmpx>b</xmp>", xmp_start + run("a</xmpx>b") + xmp_end},
      // "<&#47;xmp>" is no candidate; its reference is decoded in the run.
      {"<xmp>a<&#47;xmp>b", xmp_start + run("a</xmp>b")},
      {"<xmp>a</xmp>b<i", xmp_start + run("a") + xmp_end + run("b"),
       split_status::unterminated_tag},
  });
}

TEST(SplitDocument, TakesPlainTextToTheEndUndecoded) {
  expect_splits({
      {"<plaintext>\na&lt;<b></plaintext>",
       rest_start + run("a&lt;<b></plaintext>")},
      {"<plaintext> \n", rest_start},
      {"<pre><plaintext> \n", pre_start + rest_start + run(" \n")},
      {"</plaintext>x", rest_end + run("x")},
      {"<plaintext>", rest_start},
      {"<plaintext>\nx <i", rest_start + run("x <i")},
  });
}

TEST(SplitDocument, BailsOutAtATagThatIsNeverClosed) {
  expect_splits({
      {"ab <i", run("ab "), split_status::unterminated_tag},
      {"x<!y", run("x"), split_status::unterminated_tag},
      {"<b>x</b", b_start + run("x"), split_status::unterminated_tag},
      {"<a &gt; b", "", split_status::unterminated_tag},
  });
}

bool disagrees(const std::string& text) {
  split_result got = split_document(text);
  split_result expected = testing::literal::split(text);
  return testing::dump_of(got.marks) != testing::dump_of(expected.marks) ||
         got.status != expected.status;
}

TEST(SplitDocument, ModelAgreesOnKnownCases) {
  // The yardstick itself must get the hand-checked cases right.
  const std::vector<split_case> cases = {
      {"<xmp><a </xmp>z", xmp_start + run("<a ") + xmp_end + run("z")},
      {"<pre>\na\n</pre> \n", pre_start + run("a\n") + pre_end},
      {"<plaintext>\na&lt;<b>", rest_start + run("a&lt;<b>")},
      {"ab <i", run("ab "), split_status::unterminated_tag},
  };
  for (const split_case& c : cases) {
    SCOPED_TRACE("input " + testing::quoted(c.input));
    split_result got = testing::literal::split(c.input);
    EXPECT_EQ(testing::dump_of(got.marks), c.dump);
    EXPECT_EQ(got.status, c.status);
  }
}

TEST(SplitDocument, AgreesWithTheStepByStepModelOnRandomDocuments) {
  const std::vector<std::string> pieces = {
      // Example and listing content, opened and closed in any case.
      "<xmp>", "</xmp>", "<listing>", "</LISTING>", "</Xmp ", "</x", "mp>",
      // Candidates that reach over a closing tag, and comments.
      "<a ", "<b>", "</b>", "<i", "<!--", "-->", ">", "<", "</", "<!",
      // References, some of which spell a '/', a letter of a name or a
      // blank inside a tag, depending on a ';' before or after its '>'.
      "&lt", "&gt;", ";", " ;", "&#47;", "&#109;", "&#+109", "p", "&#32;",
      "&#32", "&",
      // Preformatted and plain-text content.
      "<pre>", "</pre>", "<plaintext>",
      // Blanks and text.
      "\n", "\n", " ", "\r", "x", "x"};
  std::mt19937 rng(19931105);
  constexpr int documents = 30000;
  int failures = 0;
  for (int n = 0; n < documents && failures < 10; ++n) {
    std::string text;
    const std::size_t count = rng() % 13;
    for (std::size_t i = 0; i < count; ++i) {
      text += pieces[rng() % pieces.size()];
    }
    if (!disagrees(text)) continue;
    ++failures;
    text = testing::shrunk(text, disagrees);
    split_result got = split_document(text);
    split_result expected = testing::literal::split(text);
    ADD_FAILURE() << "input " << testing::quoted(text) << "\nsplit_document:\n"
                  << testing::dump_of(got.marks) << "status "
                  << static_cast<int>(got.status) << "\nmodel:\n"
                  << testing::dump_of(expected.marks) << "status "
                  << static_cast<int>(expected.status);
  }
}

TEST(DroppedBlankRun, OnlyBlankTextRunsOutsidePreformattedText) {
  struct blank_case {
    mark_up rec;
    bool keep_blanks;
    bool dropped;
  };
  const blank_case cases[] = {
      {{M_NONE, false, "   \n"}, false, true},
      {{M_NONE, false, "\t"}, false, true},
      {{M_NONE, false, ""}, false, true},
      {{M_NONE, false, "   \n"}, true, false},
      // Carriage return, form feed and vertical tab are no blanks.
      {{M_NONE, false, "\r\n"}, false, false},
      {{M_NONE, false, " \f"}, false, false},
      {{M_NONE, false, " x "}, false, false},
      // Tags are never dropped, whatever their text.
      {{M_PARAGRAPH, false, ""}, false, false},
      {{M_UNKNOWN, true, " "}, false, false},
  };
  for (const blank_case& c : cases) {
    SCOPED_TRACE("kind " + std::to_string(c.rec.kind) + " text \"" +
                 c.rec.text + "\" keep_blanks " +
                 std::to_string(c.keep_blanks));
    EXPECT_EQ(is_dropped_blank_run(c.rec.view(), c.keep_blanks), c.dropped);
  }
}

}  // namespace
}  // namespace tagweave
