#include "html/mark_up.h"

#include <gtest/gtest.h>

namespace tagweave {
namespace {

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
    EXPECT_EQ(is_dropped_blank_run(c.rec, c.keep_blanks), c.dropped);
  }
}

}  // namespace
}  // namespace tagweave
