// Test support: PNG files built here with their checksums, for tests of
// image inclusion: the smallest valid PNG (one grey pixel), PNGs of any
// chunks, and image bombs (PNGs whose data inflates a thousandfold).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tagweave::testing {

inline std::uint32_t png_crc(std::string_view bytes) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (char ch : bytes) {
    c ^= static_cast<unsigned char>(ch);
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
  }
  return c ^ 0xFFFFFFFFu;
}

inline void append_be32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out += static_cast<char>((v >> shift) & 0xFF);
  }
}

inline void append_png_chunk(std::string& out, std::string_view type,
                             std::string_view data) {
  append_be32(out, static_cast<std::uint32_t>(data.size()));
  std::string typed = std::string(type) + std::string(data);
  out += typed;
  append_be32(out, png_crc(typed));
}

/// A 1x1 8-bit greyscale PNG; its pixel data is a stored (uncompressed)
/// zlib block of the row's filter byte and the pixel.
inline std::string tiny_png() {
  std::string png("\x89PNG\r\n\x1a\n", 8);
  append_png_chunk(png, "IHDR",
                   std::string("\0\0\0\1\0\0\0\1\x08\0\0\0\0", 13));
  append_png_chunk(png, "IDAT",
                   std::string("\x78\x01\x01\x02\x00\xFD\xFF\x00\x80"
                               "\x00\x82\x00\x81",
                               13));
  append_png_chunk(png, "IEND", "");
  return png;
}

inline std::uint32_t adler32(std::string_view bytes) {
  std::uint32_t a = 1, b = 0;
  for (char c : bytes) {
    a = (a + static_cast<unsigned char>(c)) % 65521;
    b = (b + a) % 65521;
  }
  return b << 16 | a;
}

/// `raw` as a zlib stream of stored blocks, without its Adler-32.
inline std::string stored_zlib_blocks(std::string_view raw) {
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

/// `raw` as a whole zlib stream of stored blocks.
inline std::string stored_zlib(std::string_view raw) {
  std::string out = stored_zlib_blocks(raw);
  append_be32(out, adler32(raw));
  return out;
}

/// An IHDR chunk's data.
inline std::string png_header_data(std::uint32_t width, std::uint32_t height,
                                   int depth, int color, int interlace = 0) {
  std::string ihdr;
  append_be32(ihdr, width);
  append_be32(ihdr, height);
  ihdr += static_cast<char>(depth);
  ihdr += static_cast<char>(color);
  ihdr += '\0';
  ihdr += '\0';
  ihdr += static_cast<char>(interlace);
  return ihdr;
}

struct png_chunk {
  std::string type, data;
};

/// The PNG signature and `chunks`, each with its length and CRC.
inline std::string png_of(const std::vector<png_chunk>& chunks) {
  std::string png("\x89PNG\r\n\x1a\n", 8);
  for (const png_chunk& c : chunks) append_png_chunk(png, c.type, c.data);
  return png;
}

/// A pHYs chunk's data: pixels per metre on both axes.
inline std::string physical_data(std::uint32_t pixels_per_metre) {
  std::string data;
  append_be32(data, pixels_per_metre);
  append_be32(data, pixels_per_metre);
  data += '\1';
  return data;
}

/// Writes deflate's bits, lowest first; Huffman codes go first bit first.
class deflate_bits {
 public:
  void bits(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) put((value >> i) & 1);
  }
  void code(std::uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) put((code >> i) & 1);
  }
  std::string finish() {
    if (held_ > 0) out_ += static_cast<char>(byte_);
    held_ = 0;
    byte_ = 0;
    return std::move(out_);
  }

 private:
  void put(std::uint32_t bit) {
    byte_ |= bit << held_;
    if (++held_ == 8) {
      out_ += static_cast<char>(byte_);
      held_ = 0;
      byte_ = 0;
    }
  }
  std::string out_;
  std::uint32_t byte_ = 0;
  int held_ = 0;
};

/// A zlib stream of `size` zero bytes (at least one), as tight as deflate
/// makes it: one dynamic block whose codes are one bit for a 258-byte
/// repeat of distance 1 and two bits for a zero and the block's end, so
/// two bits stand for 258 bytes.
inline std::string zlib_of_zeros(std::uint64_t size) {
  deflate_bits out;
  out.bits(1, 1);   // the last block
  out.bits(2, 2);   // dynamic codes
  out.bits(29, 5);  // 286 literal/length codes
  out.bits(0, 5);   // one distance code
  out.bits(14, 4);  // 18 code length code lengths, in deflate's order:
  // 16 17 18 0 8 7 9 6 10 5 11 4 12 3 13 2 14 1. Used: 18 (a run of zeros)
  // one bit, lengths 1 and 2 two bits each.
  for (int len : {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2}) {
    out.bits(static_cast<std::uint32_t>(len), 3);
  }
  // Canonical codes: 18 is 0, length 1 is 10, length 2 is 11.
  auto zeros = [&out](std::uint32_t run) {  // 11 to 138 zero lengths
    out.code(0, 1);
    out.bits(run - 11, 7);
  };
  out.code(3, 2);  // literal 0: length 2
  zeros(127);
  zeros(128);      // literals 1-255: none
  out.code(3, 2);  // 256, the end of the block: length 2
  zeros(28);       // 257-284: none
  out.code(2, 2);  // 285, a repeat of 258: length 1
  out.code(2, 2);  // distance code 0, distance 1: length 1
  // Canonical codes: 285 is 0, literal 0 is 10, the end 11; distance 1 is 0.
  out.code(2, 2);
  std::uint64_t left = size - 1;
  for (; left >= 258; left -= 258) out.code(0, 2);
  for (; left > 0; --left) out.code(2, 2);
  out.code(3, 2);
  std::string stream("\x78\x01", 2);
  stream += out.finish();
  // Zeros leave Adler-32's first sum at 1 and add 1 to the second each.
  append_be32(stream, static_cast<std::uint32_t>(size % 65521) << 16 | 1);
  return stream;
}

/// An image bomb: an 8-bit grey PNG of `width` x `height` pixels, all
/// zero, at 300 dpi (so that TeX can measure it). Its rows are about a
/// thousand times its size: 16383 x 16384 pixels make 256 MiB of rows from
/// a file of about 250 KiB.
inline std::string zero_png(std::uint32_t width, std::uint32_t height) {
  std::uint64_t rows = std::uint64_t{height} * (width + 1);
  return png_of({{"IHDR", png_header_data(width, height, 8, 0)},
                 {"pHYs", physical_data(11811)},
                 {"IDAT", zlib_of_zeros(rows)},
                 {"IEND", ""}});
}

}  // namespace tagweave::testing
