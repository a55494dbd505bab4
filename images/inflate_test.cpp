#include "images/inflate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tagweave {
namespace {

std::string read_fixture(const std::string& name) {
  std::ifstream in(
      std::string(TAGWEAVE_EXAMPLES_DIR) + "/../images/png_fixtures/" + name,
      std::ios::binary);
  EXPECT_TRUE(in) << "missing fixture " << name;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

struct inflated {
  bool ok = false;
  std::string output;
};

inflated inflate_all(std::string_view stream, std::uint64_t max_output) {
  inflated result;
  result.ok = inflate_zlib(stream, max_output, [&](std::string_view piece) {
    result.output += piece;
    return true;
  });
  return result;
}

/// The streams of testing/make_png_fixtures.py and how much of
/// varied.raw each inflates to: one for each kind of deflate block.
struct fixture {
  const char* name;
  std::size_t raw_size;
};
const std::vector<fixture> fixtures = {
    {"stored", 40000},       {"fixed", 20000},      {"dynamic", 70000},
    {"huffman-only", 20000}, {"run-length", 30000}, {"flushed-blocks", 70000},
    {"one-byte", 1},         {"empty", 0},
};

TEST(InflateZlib, InflatesEveryKindOfBlockToItsBytes) {
  const std::string raw = read_fixture("varied.raw");
  for (const fixture& f : fixtures) {
    SCOPED_TRACE(f.name);
    std::string stream = read_fixture(std::string(f.name) + ".zlib");
    inflated got = inflate_all(stream, f.raw_size);
    EXPECT_TRUE(got.ok);
    EXPECT_EQ(got.output, raw.substr(0, f.raw_size));
    // Output past the limit counts as bad: a picture may not decode to
    // more than its rows.
    if (f.raw_size > 0) {
      EXPECT_FALSE(inflate_all(stream, f.raw_size - 1).ok);
    }
  }
}

// Damage must never pass as good data: a damaged stream is refused (by its
// block structure, a code that is no code, a back reference before the
// start, or at the latest its Adler-32 checksum) unless the damage changed
// nothing that is read, as in the bits that pad the last byte, and it still
// inflates to the very same bytes.
TEST(InflateZlib, NeverAcceptsDamagedOrTruncatedData) {
  const std::string raw = read_fixture("varied.raw");
  for (const fixture& f : fixtures) {
    SCOPED_TRACE(f.name);
    const std::string stream = read_fixture(std::string(f.name) + ".zlib");
    const std::string expected = raw.substr(0, f.raw_size);
    for (std::size_t cut = 0; cut < stream.size(); cut += 1 + cut / 3) {
      EXPECT_FALSE(inflate_all(stream.substr(0, cut), 1 << 20).ok)
          << "cut to " << cut << " bytes";
    }
    // Bits flipped through the whole stream, the header and checksum too.
    std::size_t step = stream.size() / 40 + 1;
    int refused = 0, tried = 0;
    for (std::size_t at = 0; at < stream.size(); at += step) {
      for (int bit : {0, 3, 7}) {
        std::string damaged = stream;
        damaged[at] = static_cast<char>(damaged[at] ^ (1 << bit));
        inflated got = inflate_all(damaged, 1 << 20);
        EXPECT_TRUE(!got.ok || got.output == expected)
            << "bit " << bit << " of byte " << at;
        ++tried;
        refused += got.ok ? 0 : 1;
      }
    }
    // Harmless flips are the exception.
    EXPECT_GT(refused, tried * 3 / 4);
  }
}

TEST(InflateZlib, RejectsWhatZlibRejects) {
  struct bad_case {
    const char* what;
    std::string stream;
  };
  const std::vector<bad_case> cases = {
      {"header check fails",
       std::string("\x78\x9d\x03\x00\x00\x00\x00\x01", 8)},
      {"not deflate", std::string("\x79\x9c\x03\x00\x00\x00\x00\x01", 8)},
      {"preset dictionary", std::string("\x78\xbb\x03\x00\x00\x00\x00\x01", 8)},
      {"block type 3", std::string("\x78\x9c\x07\x00\x00\x00\x00\x01", 8)},
      {"stored length and its complement disagree",
       std::string("\x78\x01\x01\x01\x00\xfe\xfe\x78\x00\x79\x00\x79", 12)},
      {"back reference before the start",
       // Fixed codes: length 3 (code 257), distance 1, end of block, and
       // the checksum of the three zero bytes that copy would make.
       std::string("\x78\x9c\x03\x02\x00\x00\x03\x00\x01", 9)},
      {"nothing after the header", std::string("\x78\x9c", 2)},
  };
  for (const bad_case& c : cases) {
    EXPECT_FALSE(inflate_all(c.stream, 1 << 20).ok) << c.what;
  }
  // And the smallest good stream, an empty stored block, for contrast.
  EXPECT_TRUE(
      inflate_all(
          std::string("\x78\x01\x01\x00\x00\xff\xff\x00\x00\x00\x01", 11), 0)
          .ok);
}

TEST(InflateZlib, StopsWhenThePiecesAreRefused) {
  std::string stream = read_fixture("dynamic.zlib");
  int pieces = 0;
  EXPECT_FALSE(inflate_zlib(stream, 1 << 20,
                            [&](std::string_view) { return ++pieces < 2; }));
  EXPECT_EQ(pieces, 2);
}

}  // namespace
}  // namespace tagweave
