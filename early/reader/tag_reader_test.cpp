#include "early/reader/tag_reader.h"

#include "early/reader/char_refs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tagweave {
namespace {

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

struct tag_case {
  std::string tag_text;  // what stands between '<' and '>'
  mark_kind kind;
  bool is_end;
  std::string stored;  // the decoded tag text the record keeps
};

TEST(ReadTag, IdentifiesTagTexts) {
  const std::vector<tag_case> cases = {
      {"title", M_TITLE, false, "title"},
      {"TITLE", M_TITLE, false, "TITLE"},
      {"Title", M_TITLE, false, "Title"},
      {"/Title", M_TITLE, true, "/Title"},
      {"A HREF=x.html", M_ANCHOR, false, "A HREF=x.html"},
      // Any white space that C's isspace knows ends a name.
      {"p\nclass=x", M_PARAGRAPH, false, "p\nclass=x"},
      {"p\rclass=x", M_PARAGRAPH, false, "p\rclass=x"},
      {"p\tclass=x", M_PARAGRAPH, false, "p\tclass=x"},
      {"p\vclass=x", M_PARAGRAPH, false, "p\vclass=x"},
      {"p\fclass=x", M_PARAGRAPH, false, "p\fclass=x"},
      {"/PRE ", M_PREFORMATTED, true, "/PRE "},
      {"h7", M_UNKNOWN, false, "h7"},
      {"tit", M_UNKNOWN, false, "tit"},
      {"titles", M_UNKNOWN, false, "titles"},
      {"plaintexts", M_UNKNOWN, false, "plaintexts"},
      {"p/", M_UNKNOWN, false, "p/"},
      {"p=x", M_UNKNOWN, false, "p=x"},
      {"!-- note --", M_UNKNOWN, false, "!-- note --"},
      {"!DOCTYPE html", M_UNKNOWN, false, "!DOCTYPE html"},
      {"", M_UNKNOWN, false, ""},
      {"/", M_UNKNOWN, true, "/"},
      {"/ p", M_UNKNOWN, true, "/ p"},
      {" p", M_UNKNOWN, false, " p"},
      {"//p", M_UNKNOWN, true, "//p"},
      // References are decoded before anything looks at the text.
      {"&#47;p", M_PARAGRAPH, true, "/p"},
      {"p&#32;x", M_PARAGRAPH, false, "p x"},
      {"&#120;mp", M_PLAIN_TEXT, false, "xmp"},
      {"/&lt;b&gt;", M_UNKNOWN, true, "/<b>"},
      {"b&#;", M_UNKNOWN, false, "b&#;"},
      // Bytes above 127 match only themselves.
      {"p\xe9", M_UNKNOWN, false, "p\xe9"},
      {"\xf0", M_UNKNOWN, false, "\xf0"},
  };
  for (const tag_case& c : cases) {
    const std::string text = "<" + c.tag_text + ">";
    SCOPED_TRACE("tag " + text);
    tag_read got = read_tag(text, 0);
    ASSERT_EQ(got.status, tag_status::read);
    EXPECT_EQ(got.mark.kind, c.kind);
    EXPECT_EQ(got.mark.is_end, c.is_end);
    EXPECT_EQ(owned_record(got.mark).text, c.stored);
    EXPECT_EQ(got.end, text.size() - 1);
  }
}

struct named_kind {
  std::string name;
  mark_kind kind;
};

/// The kind `table` gives `name`, or M_UNKNOWN.
mark_kind kind_named(const std::vector<named_kind>& table,
                     const std::string& name) {
  for (const named_kind& entry : table) {
    if (entry.name == name) return entry.kind;
  }
  return M_UNKNOWN;
}

TEST(ReadTag, KnowsEveryNameOfTheTagTable) {
  const std::vector<named_kind> table = {
      {"title", M_TITLE},
      {"h1", M_HEADER_1},
      {"h2", M_HEADER_2},
      {"h3", M_HEADER_3},
      {"h4", M_HEADER_4},
      {"h5", M_HEADER_5},
      {"h6", M_HEADER_6},
      {"a", M_ANCHOR},
      {"p", M_PARAGRAPH},
      {"address", M_ADDRESS},
      {"xmp", M_PLAIN_TEXT},
      {"ul", M_UNUM_LIST},
      {"li", M_LIST_ITEM},
      {"dl", M_DESC_LIST},
      {"dt", M_DESC_TITLE},
      {"dd", M_DESC_TEXT},
      {"pre", M_PREFORMATTED},
      {"plaintext", M_PLAIN_REST},
      {"listing", M_LISTING_TEXT},
      {"isindex", M_INDEX},
      {"menu", M_MENU},
      {"dir", M_DIRECTORY},
      {"img", M_IMAGE},
      {"ol", M_NUM_LIST},
      {"em", M_EMPHASIS},
      {"tt", M_TELETYPE},
      {"b", M_BOLD},
      {"i", M_ITALIC},
      {"u", M_UNDERLINE},
      {"strong", M_STRONG},
      {"code", M_CODE},
      {"samp", M_SAMPLE},
      {"kbd", M_KEYBOARD},
      {"var", M_VARIABLE},
      {"dfn", M_DEFINITION},
      {"cite", M_CITATION},
  };
  for (const named_kind& entry : table) {
    SCOPED_TRACE("name " + entry.name);
    EXPECT_EQ(tag_name(entry.kind), entry.name);
    EXPECT_EQ(lookup_tag_name(entry.name), entry.kind);
    EXPECT_EQ(lookup_tag_name(upper(entry.name)), entry.kind);
    // No prefix matching.
    EXPECT_EQ(lookup_tag_name(entry.name + "x"), M_UNKNOWN);
    // Near misses: each letter in turn changed, and the name cut short.
    for (std::size_t i = 0; i < entry.name.size(); ++i) {
      std::string changed = entry.name;
      changed[i] = static_cast<char>(changed[i] + 1);
      EXPECT_EQ(lookup_tag_name(changed), kind_named(table, changed))
          << changed;
      std::string cut = entry.name.substr(0, i);
      EXPECT_EQ(lookup_tag_name(cut), kind_named(table, cut)) << cut;
    }

    // Built by appending: g++ 12 at -O3 warns falsely (-Wrestrict) on
    // "<" + std::string.
    std::string start = "<";
    start += upper(entry.name);
    start += " x=y>";
    tag_read got = read_tag(start, 0);
    EXPECT_EQ(got.mark.kind, entry.kind);
    EXPECT_FALSE(got.mark.is_end);
    const std::string end = "</" + entry.name + ">";
    got = read_tag(end, 0);
    EXPECT_EQ(got.mark.kind, entry.kind);
    EXPECT_TRUE(got.mark.is_end);
  }
  EXPECT_EQ(tag_name(M_NONE), "");
  EXPECT_EQ(tag_name(M_UNKNOWN), "");
  EXPECT_EQ(lookup_tag_name(""), M_UNKNOWN);
}

// A tag is identified from its text as written, with a packed lookup; the
// answer must be that of the decoded text for every name of the table and
// every near miss: a letter changed, one more or one fewer, a letter or the
// '/' written as a reference, a terminated or open reference after it.
TEST(IdentifyWrittenTag, AgreesWithTheDecodedText) {
  std::vector<std::string> names = {"plaintext", "plaintex", "plaintexts",
                                    "plaintexx", "xmp",      "b",
                                    "",          "&",        "/"};
  for (mark_kind kind = M_TITLE; kind < M_UNKNOWN;
       kind = static_cast<mark_kind>(kind + 1)) {
    names.emplace_back(tag_name(kind));
  }
  const std::vector<std::string> tails = {"", " x=y", "&lt", "&#59;", ";"};
  std::vector<std::string> texts;
  for (const std::string& name : names) {
    for (const std::string& tail : tails) {
      texts.push_back(name + tail);
      texts.push_back("/" + name + tail);
      texts.push_back("&#47;" + upper(name) + tail);
      for (std::size_t i = 0; i < name.size(); ++i) {
        std::string changed = name;
        changed[i] = static_cast<char>(changed[i] + 1);
        texts.push_back(changed + tail);
        texts.push_back(name.substr(0, i) + "&#" +
                        std::to_string(static_cast<unsigned char>(name[i])) +
                        ";" + name.substr(i + 1) + tail);
      }
    }
  }
  for (const std::string& text : texts) {
    SCOPED_TRACE("tag text " + text);
    std::string decoded = text;
    decode_entities(decoded);
    tag_identity expected = identify_tag(decoded);
    tag_identity got = identify_written_tag(text);
    EXPECT_EQ(got.kind, expected.kind);
    EXPECT_EQ(got.is_end, expected.is_end);
  }
}

TEST(ReadTag, ReportsWhereItStopped) {
  struct status_case {
    std::string text;
    std::size_t position;
    tag_status status;
    std::size_t end;  // checked for tags read and unterminated tags
    std::string stored;
  };
  const std::vector<status_case> cases = {
      {"ab<p>cd", 2, tag_status::read, 4, "p"},
      {"<a><b>", 3, tag_status::read, 5, "b"},
      {"abc", 1, tag_status::not_a_tag, 0, ""},
      {"a<b>", 0, tag_status::not_a_tag, 0, ""},
      {"", 0, tag_status::not_a_tag, 0, ""},
      {"x <a href", 2, tag_status::unterminated, 9, ""},
      {"x<", 1, tag_status::unterminated, 2, ""},
      {"<a &gt; b", 0, tag_status::unterminated, 9, ""},
      // The first '>' ends the tag, inside a comment or quotes too.
      {"<!-- a > b -->", 0, tag_status::read, 7, "!-- a "},
      {"<a href=\"x>y\">", 0, tag_status::read, 10, "a href=\"x"},
      // A '>' written as a reference does not.
      {"<a title=&gt;x>z", 0, tag_status::read, 14, "a title=>x"},
      {"<a title=&#62;>", 0, tag_status::read, 14, "a title=>"},
  };
  for (const status_case& c : cases) {
    SCOPED_TRACE("text " + c.text + " at " + std::to_string(c.position));
    tag_read got = read_tag(c.text, c.position);
    ASSERT_EQ(got.status, c.status);
    if (c.status == tag_status::not_a_tag) continue;
    EXPECT_EQ(got.end, c.end);
    if (c.status == tag_status::read) {
      EXPECT_EQ(owned_record(got.mark).text, c.stored);
    }
  }
}

TEST(IdentifyTag, NeedsOnlyTheTextUpToTheEndOfTheName) {
  struct identify_case {
    std::string decoded;
    mark_kind kind;
    bool is_end;
  };
  const std::vector<identify_case> cases = {
      {"/xmp", M_PLAIN_TEXT, true},
      {"/LISTING ", M_LISTING_TEXT, true},
      {"/plaintext", M_PLAIN_REST, true},
      {"/plaintextx", M_UNKNOWN, true},
      {"/plaintext\r", M_PLAIN_REST, true},
      {"xmp\n", M_PLAIN_TEXT, false},
      {"/", M_UNKNOWN, true},
      {"", M_UNKNOWN, false},
  };
  for (const identify_case& c : cases) {
    SCOPED_TRACE("decoded " + c.decoded);
    tag_identity got = identify_tag(c.decoded);
    EXPECT_EQ(got.kind, c.kind);
    EXPECT_EQ(got.is_end, c.is_end);
  }
}

}  // namespace
}  // namespace tagweave
