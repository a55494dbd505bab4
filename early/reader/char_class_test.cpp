// The inline searches the reader's inner loops use, against the library's.
#include "early/reader/char_class.h"

#include <gtest/gtest.h>

#include <string>

namespace tagweave {
namespace {

TEST(FindLastByte, AgreesWithRfindAtEveryPlaceAcrossBlocks) {
  // Every length over two blocks and a piece, the byte at each place and
  // twice, and not at all: the backward search takes sixteen at a time.
  for (std::size_t length = 0; length < 40; ++length) {
    std::string text(length, 'x');
    EXPECT_EQ(find_last_byte(text, ';'), std::string_view::npos);
    for (std::size_t at = 0; at < length; ++at) {
      std::string one = text;
      one[at] = ';';
      EXPECT_EQ(find_last_byte(one, ';'), at) << length;
      one[at / 2] = ';';
      EXPECT_EQ(find_last_byte(one, ';'), at) << length;
    }
  }
}

}  // namespace
}  // namespace tagweave
