// Inputs built to defeat shortcuts in reading and writing: each shape repeats
// a small piece n times, so that any step that rescans the rest of the text,
// or copies it, once per piece turns quadratic. The same table feeds the
// correctness test at small n and the benchmark at megabytes.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace tagweave::testing {

/// `piece` written `count` times.
inline std::string repeat(std::string_view piece, std::size_t count) {
  std::string out;
  out.reserve(piece.size() * count);
  for (std::size_t i = 0; i < count; ++i) out.append(piece);
  return out;
}

/// One named shape. `make(n)` is a fixed prefix and suffix around n copies
/// of a piece, so its size grows by the same amount with every step of n.
struct pathological_shape {
  std::string_view name;
  std::string_view stresses;  ///< the step that a rescan would make slow
  std::string (*make)(std::size_t n);
};

// clang-format off
inline constexpr pathological_shape pathological_shapes[] = {
    // Nesting: the renderer's walk and the record list.
    {"nested_ul", "one nested walk per list, never closed",
     [](std::size_t n) { return repeat("<UL>", n); }},
    {"nested_ul_items_closed", "deep nesting, then every walk closed",
     [](std::size_t n) {
       return repeat("<UL><LI>x", n) + repeat("</UL>", n);
     }},
    {"stray_list_ends", "an end tag that closes nothing ends the walk",
     [](std::size_t n) { return repeat("</UL>", n); }},
    {"pre_opens", "preformatted start tags, a switch and no depth",
     [](std::size_t n) { return repeat("<pre>", n); }},
    {"unclosed_title", "text dropped in the title state",
     [](std::size_t n) { return "<TITLE>" + repeat("x ", n); }},

    // References in text runs.
    {"open_lt_refs", "open references with no ';' anywhere after them",
     [](std::size_t n) { return repeat("&lt", n); }},
    {"lt_refs_one_semicolon", "every reference terminated by one far ';'",
     [](std::size_t n) { return repeat("&lt ", n) + ";"; }},
    {"amp_refs", "terminated references, one after another",
     [](std::size_t n) { return repeat("&amp;", n); }},
    {"numeric_ref_long_blanks", "blanks before a number",
     [](std::size_t n) { return "&#" + repeat(" ", n) + "65;"; }},
    {"numeric_ref_long_zeros", "a long digit run of leading zeros",
     [](std::size_t n) { return "&#" + repeat("0", n) + "65;"; }},
    {"numeric_ref_too_large", "a digit run far too large for an int",
     [](std::size_t n) { return "&#" + repeat("9", n) + ";x"; }},
    {"numeric_empty_refs", "numeric references without digits",
     [](std::size_t n) { return repeat("&#", n) + ";"; }},
    {"amp_run", "'&' that starts no reference",
     [](std::size_t n) { return repeat("&", n); }},
    {"amp_letter_run", "unrecognised references, each resuming after '&'",
     [](std::size_t n) { return repeat("&a", n); }},

    // Where a tag may begin in ordinary text.
    {"lt_run", "'<' that begins no tag",
     [](std::size_t n) { return repeat("<", n); }},
    {"unterminated_a", "a tag never closed stops the splitting",
     [](std::size_t n) { return repeat("<a", n); }},
    {"comment_opens", "a comment start never closed",
     [](std::size_t n) { return repeat("<!--", n); }},
    {"small_tags", "many short tags and runs",
     [](std::size_t n) { return repeat("<b>x</b>", n); }},
    {"huge_tag", "one tag with a long text",
     [](std::size_t n) { return "<a " + repeat("x", n) + ">"; }},
    {"tag_with_refs", "a tag text full of terminated references",
     [](std::size_t n) { return "<a " + repeat("&lt;", n) + ">"; }},
    {"tag_lt_refs_one_semicolon", "a tag text whose references share a ';'",
     [](std::size_t n) { return "<a " + repeat("&lt ", n) + ";>"; }},

    // Example, listing and plain-text content: the end-tag search.
    {"xmp_unclosed_a", "candidates in example content, no '>' at all",
     [](std::size_t n) { return "<XMP>" + repeat("<a", n); }},
    {"xmp_a_blank_closed", "candidates whose text reaches over the end tag",
     [](std::size_t n) { return "<XMP>" + repeat("<a ", n) + "</XMP>"; }},
    {"xmp_a_one_gt", "candidates that all end at one far '>'",
     [](std::size_t n) { return "<XMP>" + repeat("<a", n) + ">"; }},
    {"xmp_a_numeric_refs_one_semicolon",
     "candidates with references terminated by one far ';'",
     [](std::size_t n) { return "<XMP>" + repeat("<a&# ", n) + ";>"; }},
    {"xmp_a_open_refs", "candidates with open references",
     [](std::size_t n) { return "<XMP>" + repeat("<a&lt", n) + ">"; }},
    {"xmp_a_tags", "candidates each closed by a '>' of its own",
     [](std::size_t n) { return "<XMP>" + repeat("<a>", n) + "</XMP>"; }},
    {"xmp_end_tags_of_others", "end-tag candidates that close nothing",
     [](std::size_t n) { return "<XMP>" + repeat("</b>", n) + "</XMP>"; }},
    {"xmp_many_sections", "raw and ordinary content alternating",
     [](std::size_t n) { return repeat("<XMP>a<b;</XMP>", n); }},
    {"listing_with_xmp_starts", "start tags of raw kinds inside raw content",
     [](std::size_t n) { return "<LISTING>" + repeat("<XMP>", n); }},
    {"plaintext_rest", "tags and references after a plain-text start",
     [](std::size_t n) { return "<plaintext>" + repeat("<b>&lt;", n); }},

    // Text and line ends.
    {"latex_specials", "text that is almost all special to LaTeX",
     [](std::size_t n) { return repeat("#$%&_{}~^<>\\ x", n); }},
    {"line_feeds", "a blank run that is dropped",
     [](std::size_t n) { return repeat("\n", n); }},
    {"crlf_line_ends", "carriage returns, which are no blanks",
     [](std::size_t n) { return repeat("\r\n", n); }},
};
// clang-format on

/// The shapes as a range, for loops and lookups.
inline std::span<const pathological_shape> all_pathological_shapes() {
  return pathological_shapes;
}

/// The n for which `shape.make(n)` is about `bytes` long (at least 1).
inline std::size_t count_for_size(const pathological_shape& shape,
                                  std::size_t bytes) {
  std::size_t one = shape.make(1).size();
  std::size_t step = shape.make(2).size() - one;
  std::size_t fixed = one - step;
  return bytes > fixed + step ? (bytes - fixed) / step : 1;
}

/// An ordinary page of mixed mark-up, `sections` times the same section with
/// headings, paragraphs, references, lists, preformatted and example text:
/// the throughput baseline beside the pathological shapes.
inline std::string mixed_page(std::size_t sections) {
  std::string page =
      "<!DOCTYPE html>\n<HTML><HEAD><TITLE>A mixed page</TITLE></HEAD>\n"
      "<BODY>\n";
  for (std::size_t i = 0; i < sections; ++i) {
    std::string number = std::to_string(i);
    page += "<H2>Section " + number + "</H2>\n";
    page +=
        "<P>Some text with <B>bold</B>, <I>italic</I> and <A "
        "HREF=\"page.html#s" +
        number +
        "\">a link</A>; references &lt;tag&gt; &amp; &#233;t&#233; and an "
        "open &lt one. Prices: $5 &amp; 10% off, a_b {c} ~d ^e \\f.\n"
        "A second line of plain words so that ordinary text dominates the "
        "section, as it does on most pages people write.\n";
    page +=
        "<UL>\n<LI>first item\n<LI>second <EM>item</EM>\n"
        "<LI>third <CODE>item</CODE>\n</UL>\n";
    page +=
        "<OL><LI>one<LI>two</OL>\n<DL><DT>Term<DD>What the term means."
        "</DL>\n";
    page += "<PRE>\n  int x = a &lt; b;\n    return x;\n</PRE>\n";
    page += "<XMP>\n<b>not bold</b> &lt;raw&gt; text\n</XMP>\n";
    page += "<!-- a comment -->\n<IMG SRC=\"pic.gif\" ALT=\"a picture\">\n";
  }
  page += "<ADDRESS>someone@example.org</ADDRESS>\n</BODY></HTML>\n";
  return page;
}

/// An ordinary page of about `bytes`.
inline std::string mixed_page_of(std::size_t bytes) {
  std::size_t section = mixed_page(2).size() - mixed_page(1).size();
  return mixed_page(bytes / section + 1);
}

}  // namespace tagweave::testing
