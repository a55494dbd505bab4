#include "html/mark_up.h"

#include <gtest/gtest.h>

namespace tagweave {
namespace {

TEST(AppendMark, DropsBlankTextRunsOutsidePreformattedText) {
  mark_list marks;
  EXPECT_FALSE(append_mark(marks, {M_NONE, false, "   \n"}, false));
  EXPECT_TRUE(marks.empty());
  EXPECT_TRUE(append_mark(marks, {M_NONE, false, "   \n"}, true));
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_EQ(marks[0].text, "   \n");
}

TEST(AppendMark, KeepsCarriageReturnsAndTagsAlways) {
  mark_list marks;
  EXPECT_TRUE(append_mark(marks, {M_NONE, false, "\r\n"}, false));
  EXPECT_TRUE(append_mark(marks, {M_PARAGRAPH, false, ""}, false));
  EXPECT_TRUE(append_mark(marks, {M_UNKNOWN, true, " "}, false));
  EXPECT_EQ(marks.size(), 3u);
}

}  // namespace
}  // namespace tagweave
