// A large body written in two halves, side by side, must be what one walk
// over the whole writes, whatever stands where the halves meet.
#include "early/convert/body.h"

#include "early/reader/split_walk.h"
#include "testing/test_text.h"

#include <gtest/gtest.h>

#include <random>

#include <stdexcept>
#include <string>
#include <vector>

namespace tagweave {
namespace {

constexpr std::size_t npos = std::string_view::npos;

/// Plain words and line feeds, `size` bytes, without a tag or a special.
std::string words(std::size_t size) {
  std::string text;
  while (text.size() < size) text += "plain words\n";
  text.resize(size);
  return text;
}

/// Half of a document that is large enough to be written in two halves.
constexpr std::size_t half_size = 200 * 1024;

/// A document whose middle falls where `second` begins: `first` ends the
/// first half, and filler text stands around them.
std::string around_middle(const std::string& first, const std::string& second) {
  return words(half_size - first.size()) + first + second +
         words(half_size - second.size());
}

struct written {
  std::string latex;
  body_status status;
};

written write(std::string text, bool in_two_halves) {
  written result;
  byte_sink dest(result.latex);
  document_options options;
  result.status = in_two_halves ? write_body(text, dest, options)
                                : write_body_serially(text, dest, options);
  dest.flush();
  return result;
}

void expect_written_alike(const std::string& text) {
  written serially = write(text, false);
  written in_halves = write(text, true);
  EXPECT_EQ(in_halves.status.split, serially.status.split);
  EXPECT_EQ(in_halves.status.ended_early, serially.status.ended_early);
  ASSERT_EQ(in_halves.latex.size(), serially.latex.size());
  EXPECT_TRUE(in_halves.latex == serially.latex);
}

TEST(WriteBody, TwoHalvesWriteWhatOneWalkWrites) {
  struct meeting {
    const char* what;
    std::string first;   // the end of the first half
    std::string second;  // the start of the second, at a section's tag
  };
  const std::vector<meeting> meetings = {
      {"between two sections", "<H2>One</H2>x ", "<H2>Two</H2>y"},
      {"references on both sides", "&lt;a&gt; &amp &#65; ",
       "<P>&lt;b&#62; &#38 &lt"},
      {"a blank run dropped before the middle", "<B>x</B> \n ", "<P> y"},
      {"a list open", "<UL><LI>a ", "<P>b</UL>c"},
      {"a list item begun", "<OL><LI>", "<H4>run-in</H4></OL>"},
      {"a description term open", "<DL><DT>term ", "<P>x<DD>y</DL>"},
      {"a term open outside a list", "<DT>term", "<P>\n\nx<DD>y"},
      {"a term with a blank line", "<DT>term \n \n", "<P>\n\nx<DD>y"},
      {"a term ending in a carriage return", "<DT>term\r", "<P>\nx<DD>y"},
      {"a heading open after a line end", "<H1>title\n", "<P>x</H1>"},
      {"the title open", "<TITLE>t ", "<P>x</TITLE>y"},
      {"preformatted text open", "<PRE>  a ", "<P>  <B> b</B></PRE>"},
      {"an example open", "<XMP>a ", "<P>b &lt;</XMP>c"},
      {"a listing open", "<LISTING>a\n", "<P>b</LISTING>"},
      {"plain text to the end", "<PLAINTEXT>a ", "<P>b &amp;"},
      {"a listing's environment left open by a list end inside it",
       "<LISTING>a</XMP></OL>\\end{verb",
       "<P>atim}<B>}</B><LISTING>\\end{verbatim}</LISTING>"},
      {"\\end{verbatim} written on both sides", "<LISTING>\\end{verbatim}",
       "<P>\\end{verbatim}</LISTING>\\end{verbatim}"},
      {"a heading's argument left open by a type style's end", "<H1><B></H1>",
       "<P><LISTING>}x</LISTING></B><LISTING>}x</LISTING>"},
      {"an underline open", "<U>a", "<P><LISTING>}x</LISTING></U>"},
      {"an item's optional argument open", "<LI>[a",
       "<P><LISTING>]x</LISTING>]<LISTING>]x</LISTING>"},
      {"an item looking for its optional argument", "<LI>\n",
       "<A>[<LISTING>]x</LISTING>"},
      {"a tag reaching over the middle", "<A HREF=\"", "<P>\">x</A>"},
      {"a comment reaching over the middle", "<!-- a ", "<P> -->b"},
      {"a stray list end in the first half", "</UL>a ", "<P>b"},
      {"a stray list end in the second half", "a ", "<P>b</OL>c"},
      {"a tag never closed in the second half", "a ", "<P>b <I c"},
  };
  for (const meeting& m : meetings) {
    SCOPED_TRACE(m.what);
    std::string text = around_middle(m.first, m.second);
    ASSERT_EQ(second_half_start(text), half_size);
    expect_written_alike(text);
  }
}

/// The first place where a second half from a tag there writes other than
/// one walk does, or npos.
std::size_t first_disagreeing_start(const std::string& text) {
  const written serially = write(text, false);
  for (std::size_t lt = text.find('<'); lt != npos;
       lt = text.find('<', lt + 1)) {
    if (!split_walk::may_begin_tag(text, lt)) continue;
    written in_halves;
    {
      std::string working = text;
      byte_sink dest(in_halves.latex);
      in_halves.status = write_body_in_halves(working, dest, {}, lt);
      dest.flush();
    }
    if (in_halves.latex != serially.latex ||
        in_halves.status.split != serially.status.split ||
        in_halves.status.ended_early != serially.status.ended_early) {
      return lt;
    }
  }
  return npos;
}

TEST(WriteBody, RandomDocumentsSplitAtEveryTag) {
  // Everything the walk keeps across records, opened and left open in any
  // order: lists, terms, headings, the title, preformatted, example,
  // listing and plain text, line ends inside arguments, stray ends, tags
  // never closed, references and blank runs, "\end{verbatim}" in pieces,
  // and arguments: underlines, brackets after items.
  const std::vector<std::string> pieces = {
      "<ul>",      "</ul>",      "<ol>",        "<li>",
      "</menu>",   "<dl>",       "<dt>",        "<dd>",
      "</dl>",     "<h1>",       "</h1>",       "<h4>",
      "</h4>",     "<title>",    "</title>",    "<p>",
      "<pre>",     "</pre>",     "<xmp>",       "</xmp>",
      "<listing>", "</listing>", "<plaintext>", "<b>",
      "</b>",      "<a ",        ">",           "<",
      "<!--",      "-->",        "&lt",         "&#32;",
      "&amp;",     ";",          "\n",          "\n",
      "\r",        " ",          " ",           "x",
      "{",         "\\",         "\\end{verb",  "atim}",
      "<u>",       "</u>",       "[",           "]"};
  std::mt19937 rng(20261211);
  constexpr int documents = 2000;
  int failures = 0;
  auto disagrees = [](const std::string& text) {
    return first_disagreeing_start(text) != npos;
  };
  for (int n = 0; n < documents && failures < 5; ++n) {
    std::string text;
    const std::size_t count = rng() % 16;
    for (std::size_t i = 0; i < count; ++i) {
      text += pieces[rng() % pieces.size()];
    }
    if (!disagrees(text)) continue;
    ++failures;
    text = testing::shrunk(text, disagrees);
    ADD_FAILURE() << "input " << testing::quoted(text) << "\nsecond half from "
                  << first_disagreeing_start(text);
  }
}

TEST(WriteBody, LargeSecondHalvesWriteWhatOneWalkWrites) {
  // A run with references longer than the helper copies waits for the
  // first half's verdict and is decoded where it stands; output longer than
  // the queue holds makes the helper wait for room.
  std::string long_references;
  while (long_references.size() < (3u << 19)) long_references += "a &lt;&#62 ";
  std::string long_output(1u << 20, '\\');
  for (const std::string* run : {&long_references, &long_output}) {
    std::string text = words(half_size) + "<P>" + *run;
    text = words(text.size() - 2 * half_size) + text;
    ASSERT_NE(second_half_start(text), npos);
    expect_written_alike(text);
  }
}

TEST(SecondHalfStart, PrefersASectionNearTheMiddle) {
  struct start_case {
    const char* what;
    std::string text;
    std::size_t start;
  };
  const std::vector<start_case> cases = {
      {"too small for two threads", words(1000) + "<P>x" + words(1000), npos},
      {"a heading after other tags", around_middle("", "<B>x</B> < <1 <H3>h"),
       half_size + 14},
      {"a paragraph, in any case", around_middle("", "</p><p>x"),
       half_size + 4},
      {"no section near: the first tag",
       around_middle("", "x <tt>y</tt>" + words(20 << 10) + "<H2>"),
       half_size + 2},
      {"no tag after the middle", "<H1>h</H1>" + words(2 * half_size), npos},
  };
  for (const start_case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(second_half_start(c.text), c.start);
  }
}

TEST(WriteBody, AnExceptionFromTheWriterEndsBothHalves) {
  // Thrown while the calling thread writes its own half, and while it
  // writes the helper's: either way the helper is stopped and joined, and
  // the exception reaches the caller.
  const std::string text = around_middle("x ", "<P>y");
  for (std::size_t limit : {std::size_t{1000}, half_size + 1000}) {
    SCOPED_TRACE(limit);
    std::size_t written = 0;
    byte_sink dest([&written, limit](std::string_view piece) {
      written += piece.size();
      if (written > limit) throw std::runtime_error("disk full");
    });
    std::string working = text;
    EXPECT_THROW(
        {
          write_body(working, dest, {});
          dest.flush();
        },
        std::runtime_error);
  }
}

}  // namespace
}  // namespace tagweave
