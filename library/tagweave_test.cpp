// The public header's promises: a document handed over converts as one
// lent, an encoding label is checked as the conversion checks it, and
// conversions running at once each give the bytes they give alone.
#include <tagweave/tagweave.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tagweave {
namespace {

using namespace std::string_literals;

std::string read_example(const std::string& name) {
  std::ifstream in(std::string(TAGWEAVE_EXAMPLES_DIR) + "/" + name,
                   std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

/// A long early-tag-set document, with line ends and NULs for the loading
/// rules.
std::string long_early_document() {
  std::string text = "<title>Long</title>\r\n";
  for (int i = 0; text.size() < 300 * 1024; ++i) {
    text += "<h2>Part " + std::to_string(i) + "</h2>\n\n<p>Some <b>bold</b>" +
            "\0 &amp; <i>text</i>\r\r\n<ul><li>one<li>two</ul>\n"s;
  }
  return text;
}

struct conversion {
  std::string html;
  document_options options;
};

std::vector<conversion> conversions() {
  document_options early;
  early.title = "T";
  early.contents = true;
  document_options html5;
  html5.mode = reading_mode::html5;
  html5.image_folder = TAGWEAVE_EXAMPLES_DIR;
  html5.page_file = "page.html";
  document_options latin1 = html5;
  latin1.encoding = "latin1";
  return {
      {read_example("demo.html"), early},
      {read_example("short.html"), early},
      {long_early_document(), early},
      {"x\r\r\n\0y <i"s, early},  // NUL dropped; an unterminated tag
      {read_example("page.html"), html5},
      {read_example("demo.html"), html5},
      {"<p>caf\xE9</p>", latin1},
      {"", html5},
  };
}

TEST(Library, AHandedOverDocumentConvertsAsALentOne) {
  for (const conversion& c : conversions()) {
    SCOPED_TRACE(c.html.substr(0, 40));
    std::string lent;
    conversion_status lent_status = convert(c.html, c.options, lent);
    std::string handed;
    conversion_status handed_status =
        convert_in_place(std::string(c.html), c.options, handed);
    EXPECT_TRUE(handed == lent);
    EXPECT_EQ(handed_status.whole(), lent_status.whole());
    std::string pieces;
    convert_in_place(std::string(c.html), c.options,
                     [&pieces](std::string_view piece) { pieces += piece; });
    EXPECT_TRUE(pieces == lent);
  }
}

TEST(Library, EncodingLabels) {
  struct label_case {
    std::string_view label;
    bool names_encoding;
  };
  const label_case cases[] = {
      {"utf-8", true},
      {" Latin1 ", true},   // white space and case do not matter
      {"shift_jis", true},  // known, though not decoded
      {"utf-9", false},
      {"", false},
  };
  for (const label_case& c : cases) {
    EXPECT_EQ(is_encoding_label(c.label), c.names_encoding) << c.label;
  }
}

TEST(Library, AnUnknownEncodingIsRefusedBeforeAnythingIsWritten) {
  document_options options;
  options.mode = reading_mode::html5;
  options.encoding = "utf-9";
  std::string latex;
  EXPECT_THROW(convert("<p>x</p>", options, latex), std::invalid_argument);
  EXPECT_EQ(latex, "");
  // The early tag set reads no encoding: the label is not looked at.
  options.mode = reading_mode::early_tag_set;
  EXPECT_TRUE(convert("<p>x</p>", options, latex).whole());
}

TEST(Library, ConversionsAtOnceGiveTheBytesOfOneAtATime) {
  const std::vector<conversion> all = conversions();
  std::vector<std::string> alone(all.size());
  for (std::size_t i = 0; i < all.size(); ++i) {
    convert(all[i].html, all[i].options, alone[i]);
  }
  // Eight threads, each converting every input from a different start, so
  // that the same input and different ones are converted at the same time.
  constexpr std::size_t threads = 8;
  constexpr int rounds = 3;
  std::vector<std::vector<std::string>> together(
      threads, std::vector<std::string>(all.size()));
  std::vector<std::thread> running;
  for (std::size_t t = 0; t < threads; ++t) {
    running.emplace_back([&all, &together, t] {
      for (int round = 0; round < rounds; ++round) {
        for (std::size_t k = 0; k < all.size(); ++k) {
          std::size_t i = (t + k) % all.size();
          std::string latex;
          convert(all[i].html, all[i].options, latex);
          if (round == 0) {
            together[t][i] = std::move(latex);
          } else if (latex != together[t][i]) {
            together[t][i] = "differs between rounds";
          }
        }
      }
    });
  }
  for (std::thread& thread : running) thread.join();
  for (std::size_t t = 0; t < threads; ++t) {
    for (std::size_t i = 0; i < all.size(); ++i) {
      EXPECT_TRUE(together[t][i] == alone[i])
          << "thread " << t << ", input " << i;
    }
  }
}

}  // namespace
}  // namespace tagweave
