#include "diag/dump.h"

#include "testing/test_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tagweave {
namespace {

std::string kind_name(std::uint32_t kind) {
  byte_sink sink;
  print_kind(sink, kind);
  return sink.contents();
}

TEST(PrintKind, NamesTheKindsOfTheDumpTable) {
  // Every other kind is shown by number.
  const std::map<std::uint32_t, std::string> named = {
      {1, "M_NONE"},        {2, "M_TITLE"},      {3, "M_HEADER_1"},
      {4, "M_HEADER_2"},    {5, "M_HEADER_3"},   {6, "M_HEADER_4"},
      {7, "M_HEADER_5"},    {8, "M_HEADER_6"},   {9, "M_ANCHOR"},
      {10, "M_PARAGRAPH"},  {11, "M_ADDRESS"},   {12, "M_PLAIN_TEXT"},
      {13, "M_UNUM_LIST"},  {14, "M_LIST_ITEM"}, {15, "M_DESC_LIST"},
      {16, "M_DESC_TITLE"}, {17, "M_DESC_TEXT"}, {20, "M_LISTING_TEXT"},
      {21, "M_INDEX"},      {22, "M_MENU"},      {23, "M_DIRECTORY"},
      {24, "M_IMAGE"},
  };
  for (std::uint32_t kind = 1; kind <= 38; ++kind) {
    SCOPED_TRACE("kind " + std::to_string(kind));
    auto found = named.find(kind);
    const std::string expected = found != named.end()
                                     ? found->second
                                     : "UNKNOWN " + std::to_string(kind);
    EXPECT_EQ(kind_name(kind), expected);
  }
  EXPECT_EQ(kind_name(0), "UNKNOWN 0");
  EXPECT_EQ(kind_name(39), "UNKNOWN 39");
}

TEST(DumpMarks, WritesOneEntryPerRecord) {
  struct dump_case {
    const char* what;
    mark_list marks;
    std::string dump;
  };
  const std::vector<dump_case> cases = {
      {"empty list", {}, ""},
      {"start tag", {{M_TITLE, false, "title"}}, "M_TITLE START\n"},
      {"end tag shown by number",
       {{M_CODE, true, "/code"}},
       "UNKNOWN 32 END\n"},
      {"start tag shown by number",
       {{M_PREFORMATTED, false, "pre"}},
       "UNKNOWN 18 START\n"},
      {"tag text never shown",
       {{M_ANCHOR, false, "a href=x.html"}},
       "M_ANCHOR START\n"},
      {"text run", {{M_NONE, false, "hello"}}, "M_NONE START\n{\n\thello}\n"},
      {"text run ending in a line feed",
       {{M_NONE, false, "a\n"}},
       "M_NONE START\n{\n\ta\n}\n"},
      {"text run written as it is",
       {{M_NONE, false, "\r\t\xe9 {}"}},
       "M_NONE START\n{\n\t\r\t\xe9 {}}\n"},
      {"run, tag, run",
       {{M_NONE, false, "a"}, {M_PARAGRAPH, false, "p"}, {M_NONE, false, "b"}},
       "M_NONE START\n{\n\ta}\n"
       "M_PARAGRAPH START\n"
       "M_NONE START\n{\n\tb}\n"},
  };
  for (const dump_case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(testing::dump_of(c.marks), c.dump);
  }
}

}  // namespace
}  // namespace tagweave
