#include "convert/image_files.h"

#include "testing/tiny_png.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tagweave {
namespace {

using testing::append_be32;
using testing::append_png_chunk;

/// `raw` as a zlib stream of stored blocks, with its Adler-32.
std::string stored_zlib(std::string_view raw) {
  std::string out("\x78\x01", 2);
  do {
    std::size_t n = std::min<std::size_t>(raw.size(), 65535);
    bool last = n == raw.size();
    out += static_cast<char>(last ? 1 : 0);
    out += static_cast<char>(n & 0xFF);
    out += static_cast<char>(n >> 8);
    out += static_cast<char>(~n & 0xFF);
    out += static_cast<char>((~n >> 8) & 0xFF);
    out.append(raw.substr(0, n));
    raw.remove_prefix(n);
    if (last) break;
  } while (true);
  return out;
}

std::uint32_t adler32(std::string_view bytes) {
  std::uint32_t a = 1, b = 0;
  for (char c : bytes) {
    a = (a + static_cast<unsigned char>(c)) % 65521;
    b = (b + a) % 65521;
  }
  return b << 16 | a;
}

struct png_spec {
  std::uint32_t width, height;
  int depth, color, interlace;
  std::string raw;  // the rows as they inflate, filter bytes included
  std::size_t idat_pieces = 1;
};

std::string make_png(const png_spec& p, std::uint32_t adler_change = 0) {
  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string ihdr;
  append_be32(ihdr, p.width);
  append_be32(ihdr, p.height);
  ihdr += static_cast<char>(p.depth);
  ihdr += static_cast<char>(p.color);
  ihdr += '\0';
  ihdr += '\0';
  ihdr += static_cast<char>(p.interlace);
  append_png_chunk(png, "IHDR", ihdr);
  if (p.color == 3) append_png_chunk(png, "PLTE", std::string(6, '\x7f'));
  std::string data = stored_zlib(p.raw);
  append_be32(data, adler32(p.raw) ^ adler_change);
  std::size_t piece = data.size() / p.idat_pieces + 1;
  for (std::size_t at = 0; at < data.size(); at += piece) {
    append_png_chunk(png, "IDAT", data.substr(at, piece));
  }
  append_png_chunk(png, "IEND", "");
  return png;
}

/// `rows` rows of `row_bytes` bytes each after the filter byte `filter`.
std::string rows_of(std::size_t rows, std::size_t row_bytes, char filter = 1) {
  std::string raw;
  for (std::size_t r = 0; r < rows; ++r) {
    raw += static_cast<char>((filter + r) % 5);
    raw += std::string(row_bytes, static_cast<char>(r * 7));
  }
  return raw;
}

// Adam7 passes of a 9x9 8-bit grey image: columns and rows of each pass.
std::string adam7_9x9() {
  const int passes[7][2] = {{2, 2}, {1, 2}, {3, 1}, {2, 3},
                            {5, 2}, {4, 5}, {9, 4}};
  std::string raw;
  for (const auto& pass : passes) raw += rows_of(pass[1], pass[0]);
  return raw;
}

TEST(IncludableImage, APngIsIncludedOnlyWhenItsDataInflatesToItsRows) {
  struct png_case {
    const char* what;
    std::string png;
    bool includable;
  };
  std::string bad_filter = rows_of(2, 3);
  bad_filter[4] = 5;  // the second row's filter byte
  const std::vector<png_case> cases = {
      {"the one-pixel picture of the tests", testing::tiny_png(), true},
      {"grey, two rows", make_png({3, 2, 8, 0, 0, rows_of(2, 3)}), true},
      {"rows in two IDAT chunks", make_png({3, 2, 8, 0, 0, rows_of(2, 3), 2}),
       true},
      {"rows past one stored block",
       make_png({300, 400, 8, 0, 0, rows_of(400, 300)}), true},
      {"16-bit RGBA", make_png({2, 2, 16, 6, 0, rows_of(2, 16)}), true},
      {"1-bit grey: ten pixels in two bytes",
       make_png({10, 3, 1, 0, 0, rows_of(3, 2)}), true},
      {"palette", make_png({4, 1, 2, 3, 0, rows_of(1, 1)}), true},
      {"interlaced: seven passes", make_png({9, 9, 8, 0, 1, adam7_9x9()}),
       true},
      {"interlaced, rows laid out as if not",
       make_png({9, 9, 8, 0, 1, rows_of(9, 9)}), false},
      {"a row's filter type is no filter",
       make_png({3, 2, 8, 0, 0, bad_filter}), false},
      {"a byte short", make_png({3, 2, 8, 0, 0, rows_of(2, 3).substr(1)}),
       false},
      {"a byte too many", make_png({3, 2, 8, 0, 0, rows_of(2, 3) + '\0'}),
       false},
      {"no data", make_png({3, 2, 8, 0, 0, ""}), false},
      {"checksum wrong", make_png({3, 2, 8, 0, 0, rows_of(2, 3)}, 1), false},
  };
  for (const png_case& c : cases) {
    EXPECT_EQ(is_includable_image(c.png), c.includable) << c.what;
  }
}

}  // namespace
}  // namespace tagweave
