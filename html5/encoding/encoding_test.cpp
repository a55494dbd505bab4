// Sniffing, the user's choice and each decoder, through decode_input: the
// cases html5lib-tests do not pin down.
#include "html5/encoding/encoding.h"

#include "testing/test_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tagweave::html5 {
namespace {

// Qualified, or argument-dependent lookup would also find std::quoted.
namespace test_text = tagweave::testing;

using namespace std::string_literals;

constexpr std::string_view fffd = "\xEF\xBF\xBD";

std::string repeated(std::string_view s, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += s;
  return out;
}

// --- Labels ------------------------------------------------------------------

struct label_case {
  std::string label;
  std::optional<encoding> found;
  bool known_other;
  std::string_view canonical_name;
};

TEST(EncodingLabels, TrimsFoldsCaseAndNamesTheEncoding) {
  const std::vector<label_case> cases = {
      {"utf-8", encoding::utf8, false, "UTF-8"},
      {" \t\n\f\rUTF8\r\n", encoding::utf8, false, "UTF-8"},
      {"unicode-1-1-utf-8", encoding::utf8, false, "UTF-8"},
      {"UTF-16", encoding::utf16le, false, "UTF-16LE"},
      {"ucs-2", encoding::utf16le, false, "UTF-16LE"},
      {"utf-16be", encoding::utf16be, false, "UTF-16BE"},
      {"ISO-8859-1", encoding::windows1252, false, "windows-1252"},
      {"Latin1", encoding::windows1252, false, "windows-1252"},
      {"us-ascii", encoding::windows1252, false, "windows-1252"},
      {"ascii", encoding::windows1252, false, "windows-1252"},
      {"ansi_x3.4-1968", encoding::windows1252, false, "windows-1252"},
      {"x-cp1252", encoding::windows1252, false, "windows-1252"},
      {"866", std::nullopt, true, "IBM866"},
      {"Shift_JIS", std::nullopt, true, "Shift_JIS"},
      {"iso8859-2", std::nullopt, true, "ISO-8859-2"},
      {"x-x-big5", std::nullopt, true, "Big5"},
      {"iso-2022-kr", std::nullopt, true, "replacement"},
      {"x-user-defined", std::nullopt, true, "x-user-defined"},
      // Junk: no trimming of other white space, no partial matches.
      {"", std::nullopt, false, ""},
      {"\vutf-8", std::nullopt, false, ""},
      {"utf-8\xC2\xA0", std::nullopt, false, ""},
      {"utf-", std::nullopt, false, ""},
      {"utf-8x", std::nullopt, false, ""},
      {"utf 8", std::nullopt, false, ""},
      {"0", std::nullopt, false, ""},
      {"zzz", std::nullopt, false, ""},
      {"iso-8859-1" + std::string(20, 'x'), std::nullopt, false, ""},
  };
  for (const label_case& c : cases) {
    SCOPED_TRACE("label " + test_text::quoted(c.label));
    label_lookup got = lookup_label(c.label);
    EXPECT_EQ(got.found, c.found);
    EXPECT_EQ(got.known_other, c.known_other);
    EXPECT_EQ(got.canonical_name, c.canonical_name);
  }
}

TEST(EncodingLabels, NamesOurEncodingsAsTheStandardDoes) {
  EXPECT_EQ(name_of(encoding::utf8), "UTF-8");
  EXPECT_EQ(name_of(encoding::utf16le), "UTF-16LE");
  EXPECT_EQ(name_of(encoding::utf16be), "UTF-16BE");
  EXPECT_EQ(name_of(encoding::windows1252), "windows-1252");
}

// --- Decoders ----------------------------------------------------------------

struct decode_case {
  std::string label;
  std::string bytes;
  std::string text;
};

void expect_decoded(const std::vector<decode_case>& cases) {
  for (const decode_case& c : cases) {
    SCOPED_TRACE(c.label + " bytes " + test_text::quoted(c.bytes));
    decoded_input got = decode_input(c.bytes, c.label);
    EXPECT_EQ(test_text::quoted(got.text), test_text::quoted(c.text));
    EXPECT_EQ(got.unsupported, "");
  }
}

TEST(EncodingDecoders, Utf8ReplacesEachMaximalInvalidSubpart) {
  const std::string r(fffd);
  expect_decoded({
      {"utf-8", "plain", "plain"},
      {"utf-8", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
       "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"utf-8", "\xEF\xBF\xBF\xF4\x8F\xBF\xBF", "\xEF\xBF\xBF\xF4\x8F\xBF\xBF"},
      // Bytes that never start a sequence.
      {"utf-8", "\x80", r},
      {"utf-8", "\xBF\x80", r + r},
      {"utf-8", "\xC0\xAF", r + r},
      {"utf-8", "\xC1\xBF", r + r},
      {"utf-8", "\xF5\x80\x80\x80", r + r + r + r},
      {"utf-8", "\xFFx", r + "x"},
      // The lower and upper boundaries: overlong, surrogate, past U+10FFFF.
      {"utf-8", "\xE0\x80\xAF", r + r + r},
      {"utf-8", "\xE0\x9F\xBF", r + r + r},
      {"utf-8", "\xED\xA0\x80", r + r + r},
      {"utf-8", "\xED\x9F\xBF", "\xED\x9F\xBF"},
      {"utf-8", "\xF0\x8F\xBF\xBF", r + r + r + r},
      {"utf-8", "\xF4\x90\x80\x80", r + r + r + r},
      // A sequence cut short is one U+FFFD; the byte that cut it is read
      // again.
      {"utf-8", "\xE2\x82x", r + "x"},
      {"utf-8", "\xF0\x9F\x98\xC3\xA9", r + "\xC3\xA9"},
      {"utf-8", "\xF0\x9F\x98", r},
      {"utf-8", "x\xE2", "x" + r},
      {"utf-8", "\xE2\x82\r\n", r + "\n"},
      // The Unicode standard's example of maximal subparts.
      {"utf-8", "a\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
       "a" + r + r + r + "b" + r + "c" + r + r + "d"},
      // U+0000 and U+FEFF past the start pass through.
      {"utf-8", "a\0b"s + "\xEF\xBB\xBF", "a\0b"s + "\xEF\xBB\xBF"},
  });
}

TEST(EncodingDecoders, Utf16PairsSurrogatesAndReplacesTheRest) {
  const std::string r(fffd);
  expect_decoded({
      {"utf-16le", "a\0\xE9\0\xAC\x20"s, "a\xC3\xA9\xE2\x82\xAC"},
      {"utf-16be", "\0a\0\xE9\x20\xAC"s, "a\xC3\xA9\xE2\x82\xAC"},
      {"utf-16le", "\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80"},
      {"utf-16be", "\xD8\x3D\xDE\x00"s, "\xF0\x9F\x98\x80"},
      {"utf-16be", "\xDB\xFF\xDF\xFF"s, "\xF4\x8F\xBF\xBF"},
      // A lead surrogate without its trail, then the unit read afresh.
      {"utf-16le", "\x00\xD8x\0"s, r + "x"},
      {"utf-16le", "\x00\xD8\x00\xD8\x00\xDC"s, r + "\xF0\x90\x80\x80"},
      {"utf-16le", "\x00\xD8"s, r},
      // A trail surrogate alone.
      {"utf-16be", "\xDC\x00\0x"s, r + "x"},
      // An odd byte at the end, with or without a pending lead: one error.
      {"utf-16le", "x\0y"s, "x" + r},
      {"utf-16le", "\x00\xD8y"s, r},
      {"utf-16be", "\0\0"s, "\0"s},
  });
}

TEST(EncodingDecoders, Windows1252FollowsTheStandardsIndex) {
  expect_decoded({
      {"windows-1252", "\x80", "\xE2\x82\xAC"},
      // Bytes cp1252 leaves undefined map to the same code point.
      {"windows-1252", "\x81\x8D\x8F\x90\x9D",
       "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
      {"windows-1252", "\x8A\x9F", "\xC5\xA0\xC5\xB8"},
      {"windows-1252", "\xA0\xE9\xFF", "\xC2\xA0\xC3\xA9\xC3\xBF"},
      {"latin1", "caf\xE9 \x93q\x94", "caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D"},
  });
}

TEST(EncodingDecoders, EveryDecoderTurnsCrLfAndLoneCrIntoLf) {
  const std::string r(fffd);
  expect_decoded({
      {"utf-8", "a\r\nb\rc\n\rd\r\r\ne\r", "a\nb\nc\n\nd\n\ne\n"},
      {"utf-8", "\r\n\r\n", "\n\n"},
      {"utf-8", "\xC3\xA9\r\xC3\xA9", "\xC3\xA9\n\xC3\xA9"},
      {"utf-8", "\xFF\r\n\xFF", r + "\n" + r},
      {"windows-1252", "a\r\nb\rc\r\r\n\x80\r", "a\nb\nc\n\n\xE2\x82\xAC\n"},
      {"utf-16le", "a\0\r\0\n\0b\0\r\0c\0\r\0\r\0\n\0\r\0"s, "a\nb\nc\n\n\n"},
      {"utf-16be", "\0\r\0\n\0\n\0\r"s, "\n\n\n"},
      // A CR and LF in UTF-16 with an error between are two line ends.
      {"utf-16le", "\r\0\x00\xDC\n\0"s, "\n" + r + "\n"},
  });
}

/// The ASCII fast path reads eight bytes at a time: a byte that needs work
/// must be seen at every offset in and across those words.
TEST(EncodingDecoders, SpecialBytesAreFoundAtEveryOffset) {
  const std::vector<decode_case> specials = {
      {"utf-8", "\r", "\n"},
      {"utf-8", "\r\n", "\n"},
      {"utf-8", "\xC3\xA9", "\xC3\xA9"},
      {"utf-8", "\xFF", std::string(fffd)},
      {"windows-1252", "\r\n", "\n"},
      {"windows-1252", "\xE9", "\xC3\xA9"},
  };
  for (const decode_case& special : specials) {
    for (std::size_t before = 0; before < 20; ++before) {
      for (std::size_t after : {0, 1, 7, 8, 9}) {
        std::string x(before, 'x');
        std::string y(after, 'y');
        SCOPED_TRACE(special.label + " bytes " +
                     test_text::quoted(x + special.bytes + y));
        EXPECT_EQ(decode_input(x + special.bytes + y, special.label).text,
                  x + special.text + y);
      }
    }
  }
}

// --- Sniffing ----------------------------------------------------------------

struct sniff_case {
  std::string bytes;
  encoding used;
  std::string text = "";  ///< when not empty: the decoded text
  std::string unsupported = "";
};

void expect_sniffed(const std::vector<sniff_case>& cases) {
  for (const sniff_case& c : cases) {
    SCOPED_TRACE("bytes " + test_text::quoted(c.bytes.substr(0, 120)));
    decoded_input got = decode_input(c.bytes);
    EXPECT_EQ(name_of(got.used), name_of(c.used));
    EXPECT_EQ(got.unsupported, c.unsupported);
    if (!c.text.empty()) {
      EXPECT_EQ(test_text::quoted(got.text), test_text::quoted(c.text));
    }
  }
}

TEST(EncodingSniffing, AByteOrderMarkDecidesAndIsRemoved) {
  expect_sniffed({
      {"\xEF\xBB\xBFx\xC3\xA9", encoding::utf8, "x\xC3\xA9"},
      {"\xFF\xFEx\0"s, encoding::utf16le, "x"},
      {"\xFE\xFF\0x"s, encoding::utf16be, "x"},
      // Only the first is a byte order mark.
      {"\xEF\xBB\xBF\xEF\xBB\xBFx", encoding::utf8, "\xEF\xBB\xBFx"},
      // It outranks a declaration.
      {"\xEF\xBB\xBF<meta charset=latin1>\xE9", encoding::utf8,
       "<meta charset=latin1>\xEF\xBF\xBD"},
      {"\xFF\xFE<\0m\0e\0t\0a\0 \0c\0h\0a\0r\0s\0e\0t\0=\0x\0>\0"s,
       encoding::utf16le, "<meta charset=x>"},
  });
}

TEST(EncodingSniffing, MetaCharsetInItsForms) {
  const encoding w = encoding::windows1252;
  expect_sniffed({
      {"<meta charset=\"windows-1252\">\xE9", w,
       "<meta charset=\"windows-1252\">\xC3\xA9"},
      {"<meta charset='latin1'>", w},
      {"<meta charset=latin1>", w},
      {"<META CHARSET=LATIN1>", w},
      {"<meta\ncharset=latin1 />", w},
      {"<meta charset=latin1/>", encoding::utf8},
      {"<meta/charset=latin1>", w},
      {"<meta charset = \" latin1 \">", w},
      {"<meta name=x charset=latin1 content=y>", w},
      {"<!DOCTYPE html><html><head><meta charset=latin1>", w},
      {"</meta charset=latin1>", encoding::utf8},
      {"<metacharset=latin1>", encoding::utf8},
      {"<meta charset=latin1", encoding::utf8},
      {"<meta charset=\"latin1>", encoding::utf8},
  });
}

TEST(EncodingSniffing, MetaHttpEquivContent) {
  const encoding w = encoding::windows1252;
  expect_sniffed({
      {"<meta http-equiv=\"Content-Type\" content=\"text/html; "
       "charset=latin1\">",
       w},
      {"<meta content=\"text/html; charset=latin1\" "
       "http-equiv=\"content-type\">",
       w},
      {"<meta http-equiv=content-type content=\"text/html;charset=latin1\">",
       w},
      {"<meta http-equiv=content-type content=\"CHARSET = 'latin1'\">", w},
      {"<meta http-equiv=content-type content='charset=\"latin1\"'>", w},
      {"<meta http-equiv=content-type content=\"charsetcharset=latin1;x\">", w},
      {"<meta http-equiv=content-type content=\"charset x charset=latin1\">",
       w},
      // Without the pragma, or with a broken value, content says nothing.
      {"<meta content=\"text/html; charset=latin1\">", encoding::utf8},
      {"<meta http-equiv=\"content-type \" content=\"charset=latin1\">",
       encoding::utf8},
      {"<meta http-equiv=content-type content=\"charset='latin1\">",
       encoding::utf8},
      {"<meta http-equiv=content-type content=\"charset=\">", encoding::utf8},
      // A charset attribute needs no pragma and outranks content.
      {"<meta http-equiv=content-type content=\"charset=shift_jis\" "
       "charset=latin1>",
       w},
      // A repeated attribute counts once.
      {"<meta charset=latin1 charset=shift_jis>", w},
  });
}

TEST(EncodingSniffing, OnlyTheFirstUsefulDeclarationInTheWindowCounts) {
  const encoding w = encoding::windows1252;
  const std::string meta = "<meta charset=latin1>";
  expect_sniffed({
      {"<meta charset=latin1><meta charset=shift_jis>", w},
      // A label that names nothing, or no declaration, does not stop it.
      {"<meta charset=bogus><meta charset=latin1>", w},
      {"<meta name=viewport><meta charset=latin1>", w},
      // Comments, other tags' attributes and other markup are skipped.
      {"<!-- <meta charset=shift_jis> --><meta charset=latin1>", w},
      {"<!--><meta charset=latin1>", w},
      {"<!----><meta charset=latin1>", w},
      {"<!-- --!><meta charset=shift_jis> --><meta charset=latin1>", w},
      {"<p title=\"<meta charset=shift_jis>\"><meta charset=latin1>", w},
      {"<p title='x' <meta charset=shift_jis>><meta charset=latin1>", w},
      {"<!DOCTYPE <meta charset=shift_jis>><meta charset=latin1>", w},
      {"<?php <meta charset=shift_jis> ?><meta charset=latin1>", w},
      {"</p <meta charset=shift_jis>><meta charset=latin1>", w},
      {"<script>\"<meta charset=latin1>\"</script>", w},
      // Within the first prescan_window bytes, and only there.
      {repeated("x", prescan_window - meta.size()) + meta, w},
      {repeated("x", prescan_window - meta.size() + 1) + meta, encoding::utf8},
      {"<!--" + repeated("x", prescan_window) + "-->" + meta, encoding::utf8},
  });
}

TEST(EncodingSniffing, DeclaredEncodingsWeDoNotReadAsDeclared) {
  expect_sniffed({
      // A declared UTF-16 cannot be right in bytes that ASCII-compatible
      // markup was read from.
      {"<meta charset=utf-16>\xC3\xA9", encoding::utf8,
       "<meta charset=utf-16>\xC3\xA9"},
      {"<meta charset=\"UTF-16BE\">", encoding::utf8},
      {"<meta http-equiv=content-type content=\"charset=utf-16le\">",
       encoding::utf8},
      {"<meta charset=x-user-defined>\x80", encoding::windows1252,
       "<meta charset=x-user-defined>\xE2\x82\xAC"},
      // Another encoding of the standard: read as UTF-8, and said.
      {"<meta charset=shift_jis>\xC3\xA9", encoding::utf8,
       "<meta charset=shift_jis>\xC3\xA9", "Shift_JIS"},
      {"<meta charset=iso-8859-2>", encoding::utf8, "", "ISO-8859-2"},
      {"<meta charset=iso-2022-kr>", encoding::utf8, "", "replacement"},
      // Nothing declared: UTF-8.
      {"<p>caf\xC3\xA9", encoding::utf8, "<p>caf\xC3\xA9"},
      {"", encoding::utf8},
  });
}

TEST(EncodingSniffing, AUtf16XmlDeclarationWithoutAByteOrderMark) {
  expect_sniffed({
      {"<\0?\0x\0m\0l\0"s, encoding::utf16le, "<?xml"},
      {"\0<\0?\0x\0m\0l"s, encoding::utf16be, "<?xml"},
  });
}

TEST(EncodingSniffing, SniffEncodingReportsTheByteOrderMarkLength) {
  EXPECT_EQ(sniff_encoding("\xEF\xBB\xBFx").bom_length, 3u);
  EXPECT_EQ(sniff_encoding("\xFF\xFEx").bom_length, 2u);
  EXPECT_EQ(sniff_encoding("<meta charset=latin1>").bom_length, 0u);
  // A wider window sees further.
  std::string late = repeated("x", 2000) + "<meta charset=latin1>";
  EXPECT_FALSE(sniff_encoding(late).found.found);
  EXPECT_EQ(sniff_encoding(late, late.size()).found.found,
            encoding::windows1252);
}

// --- The user's choice -------------------------------------------------------

TEST(EncodingOverride, TheUsersChoiceOutranksDeclarations) {
  decoded_input latin = decode_input("<meta charset=utf-8>\xE9", " Latin1 ");
  EXPECT_EQ(latin.used, encoding::windows1252);
  EXPECT_EQ(latin.text, "<meta charset=utf-8>\xC3\xA9");
  EXPECT_EQ(latin.unsupported, "");

  decoded_input utf8 = decode_input("<meta charset=latin1>\xC3\xA9", "utf8");
  EXPECT_EQ(utf8.used, encoding::utf8);
  EXPECT_EQ(utf8.text, "<meta charset=latin1>\xC3\xA9");

  decoded_input utf16 = decode_input("x\0"s, "utf-16");
  EXPECT_EQ(utf16.used, encoding::utf16le);
  EXPECT_EQ(utf16.text, "x");
}

TEST(EncodingOverride, AByteOrderMarkStillOutranksIt) {
  decoded_input got = decode_input("\xEF\xBB\xBF\xC3\xA9", "windows-1252");
  EXPECT_EQ(got.used, encoding::utf8);
  EXPECT_EQ(got.text, "\xC3\xA9");
  EXPECT_EQ(got.unsupported, "");
}

TEST(EncodingOverride, AnEncodingWeCannotReadIsReadAsUtf8AndNamed) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"shift_jis", "Shift_JIS"}, {" x-user-defined ", "x-user-defined"},
      {"bogus", "bogus"},         {" bogus\n", "bogus"},
      {"", "(an empty label)"},
  };
  for (const auto& [label, name] : cases) {
    SCOPED_TRACE("label " + test_text::quoted(label));
    decoded_input got = decode_input("<meta charset=latin1>\xC3\xA9", label);
    EXPECT_EQ(got.used, encoding::utf8);
    EXPECT_EQ(got.unsupported, name);
    EXPECT_EQ(got.text, "<meta charset=latin1>\xC3\xA9");
  }
}

}  // namespace
}  // namespace tagweave::html5

namespace tagweave::html5 {
namespace {

// Taking the bytes over must decode exactly as copying them does: the
// in-place path (valid UTF-8) and every fallback.
TEST(DecodeOwnedInput, AgreesWithDecodingACopy) {
  struct owned_case {
    const char* what;
    std::string bytes;
    std::optional<std::string_view> label;
  };
  const owned_case cases[] = {
      {"plain UTF-8", "<p>caf\xC3\xA9", std::nullopt},
      {"CR LF and lone CR", "a\r\nb\rc\r\r\nd\r", std::nullopt},
      {"a UTF-8 byte order mark", "\xEF\xBB\xBF\r\nx", std::nullopt},
      {"invalid UTF-8 falls back", "a\xC3(b\xED\xA0\x80\r\n", std::nullopt},
      {"a truncated sequence at the end", "a\xF0\x9F\x98", std::nullopt},
      {"a declared windows-1252", "<meta charset=latin1>\xE9\r\n",
       std::nullopt},
      {"an override", "<meta charset=utf-8>\xE9", "latin1"},
      {"a UTF-16LE byte order mark", std::string("\xFF\xFEh\0i\0", 6),
       std::nullopt},
      {"an unsupported declaration", "<meta charset=shift_jis>\xC3\xA9\r",
       std::nullopt},
  };
  for (const owned_case& c : cases) {
    decoded_input copied = decode_input(c.bytes, c.label);
    decoded_input owned = decode_owned_input(c.bytes, c.label);
    EXPECT_EQ(owned.text, copied.text) << c.what;
    EXPECT_EQ(owned.used, copied.used) << c.what;
    EXPECT_EQ(owned.unsupported, copied.unsupported) << c.what;
  }
}

}  // namespace
}  // namespace tagweave::html5
