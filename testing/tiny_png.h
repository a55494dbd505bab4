// Test support: the smallest valid PNG (one grey pixel), built here with its
// checksums, for tests of image inclusion.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

}  // namespace tagweave::testing
