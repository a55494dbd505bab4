// The string arena: strings never move, a long one is never split, and two
// pieces count as one string only when they really are contiguous, also
// where one block ends exactly where the next one's offsets begin.
#include "html5/tree/string_arena.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tagweave::html5 {
namespace {

TEST(StringArena, StringsStayWhereTheyWereWritten) {
  string_arena arena;
  std::vector<std::pair<string_ref, std::string>> written;
  std::vector<const char*> addresses;
  for (std::size_t i = 0; i < 5000; ++i) {
    // Mostly short strings, now and then one longer than a quarter block.
    std::size_t length = i % 997 == 0 ? string_arena::block_size + i : i % 61;
    std::string s(length, static_cast<char>('a' + i % 26));
    string_ref ref = arena.append(s);
    written.emplace_back(ref, s);
    addresses.push_back(arena.view(ref).data());
  }
  for (std::size_t i = 0; i < written.size(); ++i) {
    EXPECT_EQ(arena.view(written[i].first), written[i].second) << i;
    if (!written[i].second.empty()) {
      EXPECT_EQ(arena.view(written[i].first).data(), addresses[i]) << i;
    }
  }
}

TEST(StringArena, AdjacentOnlyWithinOneBlock) {
  string_arena arena;
  std::string quarter(string_arena::own_block_threshold, 'q');
  string_ref a = arena.append(quarter);
  string_ref b = arena.append(quarter);
  EXPECT_TRUE(arena.adjacent(a, b));
  arena.append(quarter);
  string_ref last_in_block = arena.append(quarter);  // fills the block
  string_ref next_block = arena.append("x");
  EXPECT_EQ(last_in_block.offset + last_in_block.length, next_block.offset)
      << "the offsets run on across the block boundary";
  EXPECT_FALSE(arena.adjacent(last_in_block, next_block));
  EXPECT_FALSE(arena.adjacent(b, next_block));
}

TEST(StringArena, FindsViewsOfItsSource) {
  string_arena arena;
  // A source of whole slots, so that the first block after it starts at
  // the offset where the source ends.
  std::string source(2 * string_arena::block_size, 's');
  source.back() = 'e';
  arena.adopt_source(source);
  std::string_view kept = arena.source();
  std::optional<string_ref> middle = arena.locate(kept.substr(100, 50));
  ASSERT_TRUE(middle.has_value());
  EXPECT_EQ(arena.view(*middle).data(), kept.data() + 100);
  std::optional<string_ref> tail = arena.locate(kept.substr(kept.size() - 1));
  ASSERT_TRUE(tail.has_value());
  EXPECT_EQ(arena.view(*tail), "e");
  EXPECT_TRUE(arena.adjacent(*arena.locate(kept.substr(100, 10)),
                             *arena.locate(kept.substr(110, 5))));

  std::string elsewhere = "not in the source";
  EXPECT_FALSE(arena.locate(elsewhere).has_value());
  string_ref copied = arena.append(elsewhere);
  EXPECT_EQ(tail->offset + tail->length, copied.offset);
  EXPECT_FALSE(arena.adjacent(*tail, copied));
}

}  // namespace
}  // namespace tagweave::html5
