// What html5lib-tests do not pin down: the depth limit, the bound on the
// list of active formatting elements, very long hostile inputs, and
// properties of every tree (links agree, text stays valid UTF-8).
#include "html5/tree/tree_builder.h"
#include "diag/tree_dump.h"
#include "html5/tree/parse.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace tagweave::html5 {
namespace {

std::string repeat(std::string_view s, std::size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (std::size_t i = 0; i < n; ++i) out += s;
  return out;
}

/// The real depth of each node, from the parent links, without recursion.
std::size_t depth_of(const document& doc, node_id n) {
  std::size_t depth = 0;
  for (; doc[n].parent != no_node; n = doc[n].parent) ++depth;
  return depth;
}

/// Every node reachable from the document, in document order (template
/// contents after their template), walked with an explicit stack.
std::vector<node_id> all_nodes(const document& doc) {
  std::vector<node_id> out, pending{document::root()};
  while (!pending.empty()) {
    node_id n = pending.back();
    pending.pop_back();
    out.push_back(n);
    if (node_id contents = doc.template_contents(n); contents != no_node) {
      pending.push_back(contents);
    }
    for (node_id c = doc.last_child(n); c != no_node; c = doc.prev_sibling(c)) {
      pending.push_back(c);
    }
  }
  return out;
}

std::size_t count_elements(const document& doc, std::string_view name) {
  std::size_t count = 0;
  for (node_id n : all_nodes(doc)) {
    if (doc[n].kind == node_kind::element && doc.tag_name(n) == name) ++count;
  }
  return count;
}

std::string all_text(const document& doc) {
  std::string out;
  for (node_id n : all_nodes(doc)) {
    if (doc[n].kind == node_kind::text) doc.append_text_data(n, out);
  }
  return out;
}

bool is_valid_utf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t length = c < 0x80       ? 1
                         : c >> 5 == 6  ? 2
                         : c >> 4 == 14 ? 3
                         : c >> 3 == 30 ? 4
                                        : 0;
    if (length == 0 || (length == 2 && c < 0xC2) || i + length > s.size()) {
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

/// The links agree both ways, and no child count is lost.
void expect_consistent_links(const document& doc) {
  for (node_id n = 0; n < doc.size(); ++n) {
    const node& p = doc[n];
    node_id previous = no_node;
    for (node_id c = p.first_child; c != no_node; c = doc[c].next_sibling) {
      ASSERT_EQ(doc[c].parent, n);
      ASSERT_EQ(doc.prev_sibling(c), previous);
      previous = c;
    }
    ASSERT_EQ(doc.last_child(n), previous);
  }
}

TEST(TreeBuilderDepth, NestingPastTheLimitBecomesSiblingsAtTheLimit) {
  constexpr std::size_t nesting = 600;
  std::string input;
  for (std::size_t i = 0; i < nesting; ++i) {
    input += "<div>" + std::to_string(i) + ";";
  }
  document doc = parse_document(input);
  std::size_t deepest = 0;
  std::size_t at_limit = 0;
  for (node_id n : all_nodes(doc)) {
    std::size_t d = depth_of(doc, n);
    deepest = std::max(deepest, d);
    if (doc[n].kind == node_kind::element && d == max_tree_depth) ++at_limit;
  }
  EXPECT_EQ(deepest, max_tree_depth);
  EXPECT_EQ(count_elements(doc, "div"), nesting);
  // html and body take depths 1 and 2, so divs 0..509 nest and the rest sit
  // side by side at the limit.
  EXPECT_EQ(at_limit, nesting - (max_tree_depth - 3));
  std::string expected_text;
  for (std::size_t i = 0; i < nesting; ++i) {
    expected_text += std::to_string(i) + ";";
  }
  EXPECT_EQ(all_text(doc), expected_text);
}

TEST(TreeBuilderDepth, NoInsertedNodeGoesPastTheLimit) {
  const std::vector<std::string> inputs = {
      repeat("<table><tr><td>x", 700),
      repeat("<svg><g>y", 700),
      repeat("<template><div>z", 700),
      "<table>" + repeat("<b>foster", 700),
  };
  for (const std::string& input : inputs) {
    document doc = parse_document(input);
    std::size_t deepest = 0;
    for (node_id n : all_nodes(doc)) {
      if (doc[n].kind == node_kind::fragment) continue;
      deepest = std::max(deepest, static_cast<std::size_t>(doc[n].depth));
    }
    EXPECT_LE(deepest, max_tree_depth) << input.substr(0, 40);
  }
}

/// The <b> elements around the text that follows `input`, outermost first,
/// by their id attribute.
std::vector<std::string> reopened_ids(const document& doc) {
  std::vector<std::string> ids;
  for (node_id n : all_nodes(doc)) {
    if (doc[n].kind != node_kind::text || doc.text_data(n) != "x") continue;
    for (node_id p = doc[n].parent; doc.tag_name(p) == "b"; p = doc[p].parent) {
      auto attributes = doc.attributes(p);
      ids.insert(ids.begin(),
                 attributes.empty() ? "" : std::string(attributes[0].value));
    }
  }
  return ids;
}

TEST(TreeBuilderFormatting, ListKeepsTheNewestEntriesUpToTheBound) {
  std::string input = "<p>";
  const std::size_t opened = max_formatting_entries + 5;
  for (std::size_t i = 0; i < opened; ++i) {
    input += "<b id=" + std::to_string(i) + ">";
  }
  document doc = parse_document(input + "</p>x");
  std::vector<std::string> ids = reopened_ids(doc);
  ASSERT_EQ(ids.size(), max_formatting_entries);
  EXPECT_EQ(ids.front(), std::to_string(opened - max_formatting_entries));
  EXPECT_EQ(ids.back(), std::to_string(opened - 1));
}

TEST(TreeBuilderFormatting, NoahsArkKeepsThreeIdenticalEntries) {
  document doc = parse_document("<p><b><b><b><b><b></p>x");
  EXPECT_EQ(reopened_ids(doc).size(), 3u);
  document mixed = parse_document(
      "<p><b a=1 c=2><b c=2 a=1><b a=1 c=2>"
      "<b c=2 a=1><b a=2></p>x");
  EXPECT_EQ(reopened_ids(mixed).size(), 4u);  // three identical + a=2
}

TEST(TreeBuilderFormatting, MarkersBoundTheListPerCell) {
  // Each cell starts after a marker, so the bound applies per cell.
  std::string input = "<table><tr><td><p>";
  for (std::size_t i = 0; i < max_formatting_entries; ++i) {
    input += "<b id=" + std::to_string(i) + ">";
  }
  input += "<table><tr><td><p><b id=inner></p>x</table></p>x";
  document doc = parse_document(input);
  std::size_t outer_reopened = 0;
  for (node_id n : all_nodes(doc)) {
    if (doc[n].kind == node_kind::text && doc.text_data(n) == "x") {
      std::size_t around = 0;
      for (node_id p = doc[n].parent; doc.tag_name(p) == "b";
           p = doc[p].parent) {
        ++around;
      }
      outer_reopened = std::max(outer_reopened, around);
    }
  }
  EXPECT_EQ(outer_reopened, max_formatting_entries);
}

// The hostile shapes, each a million repetitions: each must finish (they
// take well under a second each in a release build) and keep its text,
// within the bounds on elements.
struct long_input_case {
  const char* name;
  std::function<std::string(std::size_t)> make;
  std::function<void(const document&, std::size_t)> check;
};

constexpr std::size_t long_input_repeats = 1'000'000;

/// The elements that style or group text a document of `bytes` may hold.
std::size_t element_budget(std::size_t bytes) {
  return element_allowance + bytes / min_bytes_per_element;
}

/// The text without the spaces left by elements the bounds dropped.
std::string text_without_spaces(const document& d) {
  std::string text = all_text(d);
  std::erase(text, ' ');
  return text;
}

TEST(TreeBuilderLongInputs, HostileShapesFinishWithTheirContent) {
  const std::vector<long_input_case> cases = {
      // html and body are open below them.
      {"nested div", [](std::size_t n) { return repeat("<div>", n); },
       [](const document& d, std::size_t) {
         EXPECT_EQ(count_elements(d, "div"), max_open_elements - 2);
       }},
      {"ul li", [](std::size_t n) { return repeat("<ul><li>", n); },
       [](const document& d, std::size_t n) {
         EXPECT_EQ(count_elements(d, "ul") + count_elements(d, "li"),
                   element_budget(8 * n));
       }},
      {"unclosed b", [](std::size_t n) { return repeat("<b>", n); },
       [](const document& d, std::size_t) {
         EXPECT_EQ(count_elements(d, "b"), max_open_elements - 2);
       }},
      {"formatting and text", [](std::size_t n) { return repeat("<b>x", n); },
       [](const document& d, std::size_t n) {
         EXPECT_EQ(count_elements(d, "b"), max_open_elements - 2);
         EXPECT_EQ(all_text(d), repeat("x", n));
       }},
      {"paragraphs", [](std::size_t n) { return repeat("<p>x", n); },
       [](const document& d, std::size_t n) {
         EXPECT_EQ(count_elements(d, "p"), element_budget(4 * n));
         EXPECT_EQ(text_without_spaces(d), repeat("x", n));
       }},
      {"line breaks", [](std::size_t n) { return repeat("x<br>", n); },
       [](const document& d, std::size_t n) {
         EXPECT_EQ(count_elements(d, "br"), element_budget(5 * n));
         EXPECT_EQ(text_without_spaces(d), repeat("x", n));
       }},
      {"rows without end tags",
       [](std::size_t n) { return "<table>" + repeat("<tr><td>x", n); },
       [](const document& d, std::size_t n) {
         // The first row takes nothing from the budget.
         EXPECT_EQ(count_elements(d, "tr"), element_budget(7 + 9 * n) + 1);
         EXPECT_EQ(text_without_spaces(d), repeat("x", n));
       }},
      {"cells without end tags",
       [](std::size_t n) { return "<table><tr>" + repeat("<td>x", n); },
       [](const document& d, std::size_t n) {
         EXPECT_EQ(count_elements(d, "td"), max_cells_per_row);
         EXPECT_EQ(text_without_spaces(d), repeat("x", n));
       }},
      {"distinct formatting then </p>x",
       [](std::size_t n) {
         std::string s = "<p>";
         for (int i = 0; i < 100; ++i) s += "<i id=" + std::to_string(i) + ">";
         return s + repeat("</p>x", n);
       },
       [](const document& d, std::size_t n) {
         EXPECT_EQ(text_without_spaces(d), repeat("x", n));
       }},
      {"nested table", [](std::size_t n) { return repeat("<table>", n); },
       [](const document& d, std::size_t n) {
         EXPECT_EQ(count_elements(d, "table"), n);
       }},
      {"nested table cells",
       [](std::size_t n) { return repeat("<table><tr><td>", n / 4); },
       [](const document& d, std::size_t n) {
         EXPECT_EQ(count_elements(d, "td"), n / 4);
       }},
      {"stray characters in a table",
       [](std::size_t n) { return "<table>" + repeat("x", n); },
       [](const document& d, std::size_t n) {
         EXPECT_EQ(all_text(d), repeat("x", n));
       }},
      {"characters around rows in a table",
       [](std::size_t n) { return "<table>" + repeat("x<tr> ", n / 4); },
       [](const document& d, std::size_t n) {
         // Every row is empty (the text goes before the table): past the
         // budget, a row after an empty one is dropped; the first row is
         // not after one.
         EXPECT_EQ(count_elements(d, "tr"),
                   element_budget(7 + 6 * (n / 4)) + 1);
         EXPECT_EQ(text_without_spaces(d), repeat("x", n / 4));
       }},
      {"<a repeated in an open element",
       [](std::size_t n) { return "<div>" + repeat("<a", n); },
       [](const document& d, std::size_t) {
         EXPECT_EQ(count_elements(d, "div"), 1u);
       }},
      {"<a> repeated", [](std::size_t n) { return repeat("<a>", n); },
       [](const document& d, std::size_t n) {
         EXPECT_EQ(count_elements(d, "a"), element_budget(3 * n));
       }},
      {"adoption under a deep pile",
       [](std::size_t n) {
         return "<b>" + repeat("<div>", n / 2) + repeat("</b>", n / 2);
       },
       [](const document& d, std::size_t) {
         // html, body and b are open below them.
         EXPECT_EQ(count_elements(d, "div"), max_open_elements - 3);
       }},
      {"end tags under deep inline nesting",
       [](std::size_t n) {
         return "<div>" + repeat("<span>", n / 2) +
                repeat("</x><li></li>", n / 2);
       },
       [](const document& d, std::size_t) {
         // Past max_open_elements the empty items are dropped.
         EXPECT_EQ(count_elements(d, "span"), max_open_elements - 3);
         EXPECT_EQ(count_elements(d, "li"), 0u);
       }},
      {"tables under deep nesting",
       [](std::size_t n) {
         return repeat("<div>", n / 2) + repeat("<table></table>", n / 2);
       },
       [](const document& d, std::size_t n) {
         EXPECT_EQ(count_elements(d, "table"), n / 2);
       }},
      {"end tags in deep foreign content",
       [](std::size_t n) {
         return "<svg>" + repeat("<g>", n / 2) + repeat("</x>", n / 2);
       },
       [](const document& d, std::size_t) {
         // html, body and svg are open below them.
         EXPECT_EQ(count_elements(d, "g"), max_open_elements - 3);
       }},
      {"repeated html attributes",
       [](std::size_t n) {
         std::string s;
         for (std::size_t i = 0; i < n / 8; ++i) {
           s += "<html a" + std::to_string(i) + "><i>";
         }
         return s;
       },
       [](const document& d, std::size_t n) {
         EXPECT_EQ(d.attributes(d[document::root()].first_child).size(), n / 8);
       }},
  };
  for (const long_input_case& c : cases) {
    SCOPED_TRACE(c.name);
    document doc = parse_document(c.make(long_input_repeats));
    c.check(doc, long_input_repeats);
  }
}

// Past the element budget, elements that style or group text are dropped,
// but not one that hides what it holds, nor one that carries text.
TEST(TreeBuilderBounds, HiddenElementsAndImagesAreKeptPastTheBudget) {
  std::string input = repeat("<p>x", element_allowance * 2) +
                      "<span hidden>secret</span><b>bold</b><img alt=picture>"
                      "<video>fallback</video>";
  document doc = parse_document(input);
  ASSERT_LT(count_elements(doc, "p"), element_allowance * 2);
  EXPECT_EQ(count_elements(doc, "span"), 1u);
  EXPECT_EQ(count_elements(doc, "b"), 0u);
  EXPECT_EQ(count_elements(doc, "img"), 1u);
  EXPECT_EQ(count_elements(doc, "video"), 1u);
  EXPECT_NE(all_text(doc).find("secretboldfallback"), std::string::npos);
}

// Past max_open_elements, an element that would land at the depth limit,
// where it could hold nothing, is dropped whatever its tag.
TEST(TreeBuilderBounds, DeepElementsOfAnyTagAreBounded) {
  document doc = parse_document(repeat("<x hidden>", 10000) + "text");
  EXPECT_EQ(count_elements(doc, "x"), max_open_elements - 2);
  EXPECT_EQ(all_text(doc), "text");
}

// Tag soup from a fixed seed, with multibyte characters, U+0000, tables,
// foreign content and misnested formatting: every tree keeps its links
// consistent and every text node valid UTF-8.
TEST(TreeBuilderProperties, TagSoupKeepsLinksAndUtf8) {
  const std::vector<std::string> pieces = {"<b>",
                                           "</b>",
                                           "<i>",
                                           "</i>",
                                           "<a href=x>",
                                           "</a>",
                                           "<p>",
                                           "</p>",
                                           "<table>",
                                           "</table>",
                                           "<tr>",
                                           "<td>",
                                           "</td>",
                                           "<div>",
                                           "</div>",
                                           "<svg>",
                                           "</svg>",
                                           "<math>",
                                           "<mi>",
                                           "<template>",
                                           "</template>",
                                           "<select>",
                                           "<option>",
                                           "<li>",
                                           "<pre>",
                                           "\n",
                                           "<textarea>",
                                           "</textarea>",
                                           "<title>",
                                           "</title>",
                                           "<nobr>",
                                           "<frameset>",
                                           "<!--c-->",
                                           "é",
                                           "漢字",
                                           "😀",
                                           std::string(1, '\0'),
                                           " ",
                                           "text",
                                           "&amp;",
                                           "<br>",
                                           "</br>",
                                           "<h1>",
                                           "<foreignObject>",
                                           "<desc>",
                                           "<font color=1>",
                                           "<caption>",
                                           "<col>"};
  std::mt19937 random(20240607);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  for (int round = 0; round < 300; ++round) {
    std::string input;
    for (int i = 0; i < 60; ++i) input += pieces[pick(random)];
    document doc = parse_document(input);
    SCOPED_TRACE(input);
    expect_consistent_links(doc);
    for (node_id n : all_nodes(doc)) {
      if (doc[n].kind == node_kind::text) {
        ASSERT_TRUE(is_valid_utf8(doc.text_data(n)));
      }
    }
  }
}

struct foreign_attribute_case {
  const char* input;
  const char* expected_lines;
};

// "Adjust foreign attributes" puts prefixed names in their namespaces on SVG
// and MathML elements only; html5lib-tests have no xmlns case.
TEST(TreeBuilderForeignAttributes, PrefixedNamesGetTheirNamespaces) {
  const foreign_attribute_case cases[] = {
      {"<svg xmlns=\"http://www.w3.org/2000/svg\" "
       "xmlns:xlink=\"http://www.w3.org/1999/xlink\">",
       "|     <svg svg>\n"
       "|       xmlns xlink=\"http://www.w3.org/1999/xlink\"\n"
       "|       xmlns xmlns=\"http://www.w3.org/2000/svg\"\n"},
      {"<math xmlns=\"http://www.w3.org/1998/Math/MathML\">",
       "|     <math math>\n"
       "|       xmlns xmlns=\"http://www.w3.org/1998/Math/MathML\"\n"},
      {"<svg><use xlink:href=\"#a\" xml:lang=\"en\"/></svg>",
       "|       <svg use>\n"
       "|         xlink href=\"#a\"\n"
       "|         xml lang=\"en\"\n"},
      {"<div xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"en\">",
       "|     <div>\n"
       "|       xml:lang=\"en\"\n"
       "|       xmlns=\"http://www.w3.org/1999/xhtml\"\n"},
  };
  for (const foreign_attribute_case& c : cases) {
    std::string dump;
    dump_tree(parse_document(c.input), dump);
    EXPECT_NE(dump.find(c.expected_lines), std::string::npos) << c.input << "\n"
                                                              << dump;
  }
}

}  // namespace
}  // namespace tagweave::html5
