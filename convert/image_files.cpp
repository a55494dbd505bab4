// Checking an image source and file before \includegraphics is written.
#include "convert/image_files.h"

#include "convert/inflate.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

namespace tagweave {
namespace {

/// Larger image files are not read (and written as their alt text): a
/// page's pictures are far smaller, and reading must stay cheap.
constexpr std::size_t max_image_bytes = 32u << 20;

/// TeX's dimensions end at 16383 pt, and \twimage measures a picture at
/// its natural size before shrinking it to the page: a picture larger
/// than this (in points, at its own resolution, else 72 dpi as pdflatex
/// takes it) would overflow, so it is written as its alt text.
constexpr double max_natural_points = 8000;

/// Points per inch, as TeX counts them.
constexpr double points_per_inch = 72.27;

bool fits_natural_size(double width_pixels, double height_pixels, double dpi_x,
                       double dpi_y) {
  if (dpi_x <= 0 || dpi_y <= 0) dpi_x = dpi_y = 72;
  return width_pixels / dpi_x * points_per_inch <= max_natural_points &&
         height_pixels / dpi_y * points_per_inch <= max_natural_points;
}

std::uint32_t big_endian(std::string_view bytes, std::size_t at) {
  auto b = [&](std::size_t i) {
    return static_cast<std::uint32_t>(
        static_cast<unsigned char>(bytes[at + i]));
  };
  return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

constexpr std::array<std::uint32_t, 256> crc_table = [] {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}();

std::uint32_t crc32(std::string_view bytes) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (char ch : bytes) {
    c = crc_table[(c ^ static_cast<unsigned char>(ch)) & 0xFF] ^ (c >> 8);
  }
  return c ^ 0xFFFFFFFFu;
}

bool valid_png_header(std::string_view ihdr) {
  if (ihdr.size() != 13) return false;
  std::uint32_t width = big_endian(ihdr, 0), height = big_endian(ihdr, 4);
  auto depth = static_cast<unsigned char>(ihdr[8]);
  auto color = static_cast<unsigned char>(ihdr[9]);
  bool depth_ok = false;
  switch (color) {
    case 0:
      depth_ok =
          depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
      break;
    case 3:
      depth_ok = depth == 1 || depth == 2 || depth == 4 || depth == 8;
      break;
    case 2:
    case 4:
    case 6: depth_ok = depth == 8 || depth == 16; break;
    default: break;
  }
  return width > 0 && height > 0 && width < 0x80000000u &&
         height < 0x80000000u && depth_ok && ihdr[10] == 0 && ihdr[11] == 0 &&
         (ihdr[12] == 0 || ihdr[12] == 1);
}

/// pdflatex decodes a PNG's rows into memory: a picture whose rows would
/// take more than this is written as its alt text, and checking the data
/// of any included picture inflates at most this much.
constexpr std::uint64_t max_png_row_bytes = 256u << 20;

/// The rows a PNG's data inflates to: per pass (one, or Adam7's seven when
/// interlaced), how many and how long, each with its filter byte first.
struct png_rows {
  struct pass {
    std::uint64_t rows = 0;
    std::uint64_t row_bytes = 0;  // the filter byte included
  };
  std::array<pass, 7> passes{};
  std::uint64_t total = 0;
};

png_rows rows_of(std::string_view ihdr) {
  std::uint64_t width = big_endian(ihdr, 0), height = big_endian(ihdr, 4);
  auto depth = static_cast<unsigned char>(ihdr[8]);
  auto color = static_cast<unsigned char>(ihdr[9]);
  unsigned channels = color == 2 ? 3 : color == 4 ? 2 : color == 6 ? 4 : 1;
  std::uint64_t bits_per_pixel = depth * channels;
  // Adam7: each pass's first column and row, and its steps.
  constexpr std::array<std::array<unsigned, 4>, 7> adam7{{{0, 0, 8, 8},
                                                          {4, 0, 8, 8},
                                                          {0, 4, 4, 8},
                                                          {2, 0, 4, 4},
                                                          {0, 2, 2, 4},
                                                          {1, 0, 2, 2},
                                                          {0, 1, 1, 2}}};
  bool interlaced = ihdr[12] == 1;
  png_rows rows;
  for (std::size_t p = 0; p < (interlaced ? adam7.size() : 1); ++p) {
    auto [x0, y0, dx, dy] =
        interlaced ? adam7[p] : std::array<unsigned, 4>{0, 0, 1, 1};
    std::uint64_t columns = width > x0 ? (width - x0 + dx - 1) / dx : 0;
    std::uint64_t lines = height > y0 ? (height - y0 + dy - 1) / dy : 0;
    if (columns == 0 || lines == 0) continue;
    rows.passes[p] = {lines, 1 + (columns * bits_per_pixel + 7) / 8};
    rows.total += lines * rows.passes[p].row_bytes;
  }
  return rows;
}

/// True when the image data inflates to exactly the rows, each beginning
/// with one of the five filter types.
bool inflates_to_rows(std::string_view data, const png_rows& rows) {
  if (rows.total > max_png_row_bytes) return false;
  std::size_t pass = 0;
  std::uint64_t row = 0, in_row = 0, seen = 0;
  auto take = [&](std::string_view piece) {
    seen += piece.size();
    while (!piece.empty()) {
      while (pass < rows.passes.size() && row == rows.passes[pass].rows) {
        ++pass;
        row = 0;
      }
      if (pass == rows.passes.size()) return false;  // more than the rows
      if (in_row == 0 && static_cast<unsigned char>(piece.front()) > 4) {
        return false;
      }
      std::uint64_t rest = rows.passes[pass].row_bytes - in_row;
      std::size_t step =
          static_cast<std::size_t>(std::min<std::uint64_t>(rest, piece.size()));
      piece.remove_prefix(step);
      in_row += step;
      if (in_row == rows.passes[pass].row_bytes) {
        in_row = 0;
        ++row;
      }
    }
    return true;
  };
  return inflate_zlib(data, rows.total, take) && seen == rows.total;
}

bool is_png(std::string_view bytes) {
  constexpr std::string_view signature("\x89PNG\r\n\x1a\n", 8);
  if (!bytes.starts_with(signature)) return false;
  std::size_t at = signature.size();
  bool first = true, palette = false, data = false, indexed = false;
  double width = 0, height = 0, dpi_x = 0, dpi_y = 0;
  png_rows rows;
  std::string image_data;  // the IDAT chunks' data, joined
  while (at + 12 <= bytes.size()) {
    std::uint32_t length = big_endian(bytes, at);
    if (length > bytes.size() - at - 12) return false;
    std::string_view type = bytes.substr(at + 4, 4);
    std::string_view body = bytes.substr(at + 8, length);
    if (crc32(bytes.substr(at + 4, length + 4)) !=
        big_endian(bytes, at + 8 + length)) {
      return false;
    }
    if (first && (type != "IHDR" || !valid_png_header(body))) return false;
    if (first) {
      indexed = body[9] == 3;
      width = big_endian(body, 0);
      height = big_endian(body, 4);
      rows = rows_of(body);
    }
    first = false;
    if (type == "pHYs" && length == 9 && body[8] == 1) {
      // Pixels per metre.
      dpi_x = big_endian(body, 0) * 0.0254;
      dpi_y = big_endian(body, 4) * 0.0254;
    }
    if (type == "PLTE") palette = true;
    if (type == "IDAT") {
      if (indexed && !palette) return false;
      data = true;
      image_data += body;
    }
    if (type == "IEND") {
      return data && fits_natural_size(width, height, dpi_x, dpi_y) &&
             inflates_to_rows(image_data, rows);
    }
    at += 12 + length;
  }
  return false;
}

bool is_jpeg(std::string_view bytes) {
  if (bytes.size() < 4 || bytes.substr(0, 3) != "\xFF\xD8\xFF") return false;
  std::size_t at = 2;
  bool frame = false;
  double width = 0, height = 0, dpi_x = 0, dpi_y = 0;
  while (at + 4 <= bytes.size()) {
    if (static_cast<unsigned char>(bytes[at]) != 0xFF) return false;
    auto marker = static_cast<unsigned char>(bytes[at + 1]);
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      at += 2;
      continue;
    }
    std::size_t length = static_cast<unsigned char>(bytes[at + 2]) << 8 |
                         static_cast<unsigned char>(bytes[at + 3]);
    if (length < 2 || at + 2 + length > bytes.size()) return false;
    if (marker == 0xDA) {  // start of scan
      return frame && fits_natural_size(width, height, dpi_x, dpi_y);
    }
    if (marker == 0xE0 && length >= 16 &&
        bytes.substr(at + 4, 5) == std::string_view("JFIF\0", 5)) {
      auto units = static_cast<unsigned char>(bytes[at + 11]);
      double x = static_cast<unsigned char>(bytes[at + 12]) << 8 |
                 static_cast<unsigned char>(bytes[at + 13]);
      double y = static_cast<unsigned char>(bytes[at + 14]) << 8 |
                 static_cast<unsigned char>(bytes[at + 15]);
      double per_inch = units == 1 ? 1 : units == 2 ? 2.54 : 0;
      dpi_x = x * per_inch;
      dpi_y = y * per_inch;
    }
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
        marker != 0xCC) {
      // Only baseline, extended and progressive Huffman frames of 8 bits.
      if (marker > 0xC2 || length < 8) return false;
      std::string_view sof = bytes.substr(at + 4, length - 2);
      auto height_pixels = static_cast<unsigned char>(sof[1]) << 8 |
                           static_cast<unsigned char>(sof[2]);
      auto width_pixels = static_cast<unsigned char>(sof[3]) << 8 |
                          static_cast<unsigned char>(sof[4]);
      auto components = static_cast<unsigned char>(sof[5]);
      if (sof[0] != 8 || height_pixels == 0 || width_pixels == 0 ||
          (components != 1 && components != 3 && components != 4)) {
        return false;
      }
      frame = true;
      width = static_cast<double>(width_pixels);
      height = static_cast<double>(height_pixels);
    }
    at += 2 + length;
  }
  return false;
}

bool is_pdf(std::string_view bytes) {
  if (!bytes.starts_with("%PDF-")) return false;
  std::string_view tail =
      bytes.substr(bytes.size() > 1024 ? bytes.size() - 1024 : 0);
  return tail.find("%%EOF") != std::string_view::npos &&
         tail.find("startxref") != std::string_view::npos &&
         bytes.find("/Encrypt") == std::string_view::npos;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/// The file path a src names, or nothing for a URL with a scheme or host.
std::optional<std::string> local_path(std::string_view src) {
  while (!src.empty() &&
         (src.front() == ' ' || src.front() == '\t' || src.front() == '\n')) {
    src.remove_prefix(1);
  }
  while (!src.empty() &&
         (src.back() == ' ' || src.back() == '\t' || src.back() == '\n')) {
    src.remove_suffix(1);
  }
  src = src.substr(0, src.find_first_of("?#"));
  if (src.empty() || src.starts_with("//")) return std::nullopt;
  std::size_t colon = src.find(':');
  if (colon != std::string_view::npos && colon < src.find('/')) {
    return std::nullopt;  // a scheme: http:, data:, file:, ...
  }
  std::string path;
  for (std::size_t i = 0; i < src.size(); ++i) {
    if (src[i] == '%' && i + 2 < src.size() && hex_value(src[i + 1]) >= 0 &&
        hex_value(src[i + 2]) >= 0) {
      path +=
          static_cast<char>(hex_value(src[i + 1]) * 16 + hex_value(src[i + 2]));
      i += 2;
    } else {
      path += src[i];
    }
  }
  return path;
}

/// Whether \includegraphics takes `path` as it is: letters, digits and
/// . / + - _ only (no space, brace, backslash or %), and an extension
/// pdflatex reads.
bool plain_image_path(std::string_view path) {
  for (char c : path) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                 (c >= '0' && c <= '9') || c == '.' || c == '/' || c == '+' ||
                 c == '-' || c == '_';
    if (!plain) return false;
  }
  std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || path.find('/', dot) != path.npos) {
    return false;
  }
  std::string extension;
  for (char c : path.substr(dot + 1)) {
    extension += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return extension == "png" || extension == "jpg" || extension == "jpeg" ||
         extension == "pdf";
}

std::optional<std::string> read_small_file(const std::string& name) {
  int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  std::optional<std::string> bytes;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<std::size_t>(info.st_size) <= max_image_bytes) {
    std::string data(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t got = 0;
    while (got < data.size()) {
      ssize_t n = ::read(fd, data.data() + got, data.size() - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    if (got == data.size()) bytes = std::move(data);
  }
  ::close(fd);
  return bytes;
}

}  // namespace

bool is_includable_image(std::string_view bytes) {
  return is_png(bytes) || is_jpeg(bytes) || is_pdf(bytes);
}

std::optional<std::string> includable_image(std::string_view folder,
                                            std::string_view src) {
  std::optional<std::string> path = local_path(src);
  if (!path || !plain_image_path(*path)) return std::nullopt;
  std::string file = path->front() == '/' || folder.empty() || folder == "."
                         ? *path
                         : std::string(folder) + "/" + *path;
  std::optional<std::string> bytes = read_small_file(file);
  if (!bytes || !is_includable_image(*bytes)) return std::nullopt;
  return path;
}

}  // namespace tagweave
