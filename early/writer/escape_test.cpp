#include "early/writer/escape.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tagweave {
namespace {

std::string escaped(std::string_view text) {
  byte_sink sink;
  write_escaped(sink, text);
  return sink.contents();
}

TEST(WriteEscaped, ReplacesTheSpecialCharacters) {
  struct escape_case {
    std::string text;
    std::string expected;
  };
  const std::vector<escape_case> cases = {
      {"", ""},
      {"plain text", "plain text"},
      {"\\", "$\\backslash$"},
      {"\\\\", "$\\backslash$$\\backslash$"},
      {"^^", "\\^{}\\^{}"},
      {"%_", "\\%\\_"},
      {"<>", "$<$$>$"},
      {"~", "\\~{}"},
      // The tilde gets its braces, or it would accent the next character.
      {"a~b", "a\\~{}b"},
      {"x~}", "x\\~{}\\}"},
      {"#$%&_{}", "\\#\\$\\%\\&\\_\\{\\}"},
      {"x < y & z", "x $<$ y \\& z"},
      {"AT&T", "AT\\&T"},
      {"100%", "100\\%"},
      {"{a}", "\\{a\\}"},
      {"c:\\dir\\f_1", "c:$\\backslash$dir$\\backslash$f\\_1"},
      // Everything else passes unchanged, line structure included.
      {"\"'`-|[]@!?*+=/:;,.()", "\"'`-|[]@!?*+=/:;,.()"},
      {"a\nb\r\n\tc", "a\nb\r\n\tc"},
      {"\x01\x1f", "\x01\x1f"},
      {"caf\xc3\xa9 \xe9\xff\x80", "caf\xc3\xa9 \xe9\xff\x80"},
      // TeX refuses DEL in any line: an empty group stands in for it.
      {"a\x7f"
       "b\x7f",
       "a{}b{}"},
  };
  for (const escape_case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(escaped(c.text), c.expected);
  }
}

/// What each byte is written as, byte by byte.
std::string expected_output(char byte) {
  static const std::map<char, std::string> special = {
      {'#', "\\#"},   {'$', "\\$"},
      {'%', "\\%"},   {'&', "\\&"},
      {'_', "\\_"},   {'{', "\\{"},
      {'}', "\\}"},   {'~', "\\~{}"},
      {'^', "\\^{}"}, {'\\', "$\\backslash$"},
      {'<', "$<$"},   {'>', "$>$"},
      {'\x7f', "{}"},
  };
  auto found = special.find(byte);
  return found == special.end() ? std::string(1, byte) : found->second;
}

std::string expected_output(std::string_view text) {
  std::string expected;
  for (char byte : text) expected += expected_output(byte);
  return expected;
}

TEST(WriteEscaped, EveryByteAloneAndBetweenLetters) {
  for (int value = 0; value < 256; ++value) {
    char byte = static_cast<char>(value);
    SCOPED_TRACE(value);
    std::string expected = expected_output(byte);
    EXPECT_EQ(escaped(std::string_view(&byte, 1)), expected);
    EXPECT_EQ(escaped("ab" + std::string(1, byte) + "cd"),
              "ab" + expected + "cd");
    // Long text is scanned sixteen bytes at a time: the byte must be seen
    // at every offset of a block, and twice within one.
    for (std::size_t offset = 0; offset < 34; ++offset) {
      std::string before(offset, 'a');
      std::string after(offset % 5 + 16, 'z');
      EXPECT_EQ(escaped(before + byte + after + byte),
                before + expected + after + expected)
          << "at offset " << offset;
    }
  }
}

TEST(WriteEscaped, EveryByteAmongThickSpecials) {
  // Where specials follow one another, sixteen bytes are written at a time
  // by table until sixteen plain ones come: every byte at every offset of
  // such a stretch, and where one ends.
  for (int value = 0; value < 256; ++value) {
    char byte = static_cast<char>(value);
    SCOPED_TRACE(value);
    for (std::size_t offset = 0; offset < 34; ++offset) {
      std::string text = "{}" + std::string(offset, '#') + byte +
                         std::string(offset % 7 + 14, 'a') + "~^" + byte;
      EXPECT_EQ(escaped(text), expected_output(text)) << "at offset " << offset;
    }
  }
}

TEST(WriteEscaped, ThickSpecialsAcrossTheOutputBlocks) {
  // Long stretches fill the sink's block many times over, at every phase.
  std::string text;
  for (std::size_t i = 0; text.size() < 300000; ++i) {
    text += "\\<>{}#$%&_~^\x7f";
    text += std::string(i % 23, 'x');
  }
  std::string expected = expected_output(text);
  EXPECT_TRUE(escaped(text) == expected);
}

struct argument_case {
  const char* name;
  std::vector<std::string> runs;  // written one call after another
  std::string expected;
};

TEST(WriteEscapedArgument, LeavesOutTheLineEndsThatWouldEndABlankLine) {
  const std::vector<argument_case> cases = {
      {"escaped like other text", {"a_b & {c}"}, "a\\_b \\& \\{c\\}"},
      {"single line ends kept", {"a\nb\rc\r\nd\n"}, "a\nb\rc\r\nd\n"},
      {"empty line", {"a\n\nb"}, "a\nb"},
      {"line of spaces and tabs", {"a\n \t \nb"}, "a\n \t b"},
      {"several blank lines", {"a\n\n \n\nb"}, "a\n b"},
      {"empty line between CR LF line ends", {"a\r\n\r\nb"}, "a\r\nb"},
      {"empty line between CR line ends", {"a\r\rb"}, "a\rb"},
      {"a line feed after a CR line end", {"a\n\rb"}, "a\nb"},
      {"blank line at the end", {"a\n \n"}, "a\n "},
      {"blank line across calls", {"a\n", "", " ", "\nb"}, "a\n b"},
      {"CR LF across calls", {"a\r", "\nb"}, "a\r\nb"},
      {"a line holding only a DEL is not blank", {"a\n\x7f\nb"}, "a\n{}\nb"},
      {"a line holding other control bytes is not blank",
       {"a\n\f\nb\n\v\n"},
       "a\n\f\nb\n\v\n"},
  };
  for (const argument_case& c : cases) {
    SCOPED_TRACE(c.name);
    byte_sink sink;
    line_position line;
    for (const std::string& run : c.runs) {
      write_escaped_argument(sink, run, line);
    }
    EXPECT_EQ(sink.contents(), c.expected);
  }
}

/// Everything `pieces` write through one verbatim writer, in order.
std::string verbatim(const std::vector<std::string>& pieces) {
  byte_sink sink;
  verbatim_writer writer;
  for (const std::string& piece : pieces) writer.write(sink, piece);
  return sink.contents();
}

/// What follows an "\end{verbatim}" the text wrote: the line that shows it,
/// and the environment opened again.
const std::string shown_end =
    "\\end{verbatim}\\noindent\\verb|\\end{verbatim}|\\begin{verbatim}";

TEST(VerbatimWriter, CopiesEverythingButDelete) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"\\ {} <&> ~^ #$%_\n\n\r\n\f\xe9", "\\ {} <&> ~^ #$%_\n\n\r\n\f\xe9"},
      {"\x7f", ""},
      {"a\x7f\x7f"
       "b\x7f",
       "ab"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(verbatim({text}), expected);
  }
}

// LaTeX ends a verbatim environment at the first "\end{verbatim}" it reads:
// wherever the text completes one, the environment must start again.
TEST(VerbatimWriter, ShowsEachEnvironmentEndTheTextCompletes) {
  struct verbatim_case {
    const char* name;
    std::vector<std::string> pieces;
    std::string expected;
  };
  const std::vector<verbatim_case> cases = {
      {"alone", {"\\end{verbatim}"}, shown_end},
      {"between text",
       {"a\\end{verbatim}\\input{x}"},
       "a" + shown_end + "\\input{x}"},
      {"twice in a row",
       {"\\end{verbatim}\\end{verbatim}"},
       shown_end + shown_end},
      {"twice in one piece with text between",
       {"\\end{verbatim}x\\end{verbatim}y"},
       shown_end + "x" + shown_end + "y"},
      {"after a false start", {"\\end\\end{verbatim}"}, "\\end" + shown_end},
      {"after a longer false start",
       {"\\end{verbatim\\end{verbatim}"},
       "\\end{verbatim" + shown_end},
      {"after a backslash", {"\\\\end{verbatim}"}, "\\" + shown_end},
      {"over two pieces", {"\\end{verb", "atim}"}, shown_end},
      {"over pieces at every character",
       {"x\\", "e", "n", "d", "{", "v", "e", "r", "b", "a", "t", "i", "m", "}",
        "y"},
       "x" + shown_end + "y"},
      {"with empty pieces between", {"\\end{", "", "verbatim}"}, shown_end},
      {"closed up by a DEL left out",
       {"\\end{verb\x7f"
        "atim}"},
       shown_end},
      {"a DEL between pieces", {"\\end{verb", "\x7f", "atim}"}, shown_end},
      // TeX drops a NUL as it reads, so it hides no end.
      {"around a NUL",
       {std::string("\\end{verb\0atim}", 15)},
       std::string("\\end{verb\0atim}", 15) +
           "\\noindent\\verb|\\end{verbatim}|\\begin{verbatim}"},
  };
  for (const verbatim_case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(verbatim(c.pieces), c.expected);
  }
}

TEST(VerbatimWriter, EveryTwoPieceSplitOfAnEndIsShown) {
  const std::string end = "\\end{verbatim}";
  for (std::size_t at = 0; at <= end.size(); ++at) {
    SCOPED_TRACE(at);
    EXPECT_EQ(verbatim({"a" + end.substr(0, at), end.substr(at) + "b"}),
              "a" + shown_end + "b");
  }
}

// Text that only comes near an environment end stays as it is.
TEST(VerbatimWriter, NearMissesAreWrittenUnchanged) {
  const std::vector<std::vector<std::string>> cases = {
      {"\\end {verbatim}"},
      {"\\end\t{verbatim}"},
      {"\\end{verbatim"},
      {"\\end{verbatim", "\n}"},
      {"\\end{verbatim*}"},
      {"\\end{Verbatim}"},
      {"\\End{verbatim}"},
      {"end{verbatim}"},
      {"\\end{verbatim "},
      {"\\end{itemize}\\begin{verbatim}"},
      {"\\end{verb", "x", "atim}"},
      {"\\end{verb", "\n", "atim}"},
      {"x\\end{verbat"},
  };
  for (const std::vector<std::string>& pieces : cases) {
    std::string text;
    for (const std::string& piece : pieces) text += piece;
    SCOPED_TRACE(text);
    EXPECT_EQ(verbatim(pieces), text);
  }
}

}  // namespace
}  // namespace tagweave
