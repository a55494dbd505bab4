// Checking an image source and file before \includegraphics is written.
#include "images/image_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define ZLIB_CONST  // zlib's input as a pointer to const
#include <zlib.h>

#include <climits>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace tagweave {
namespace {

/// Larger image files are not read (and written as their alt text): a
/// page's pictures are far smaller, and reading must stay cheap.
constexpr std::size_t max_image_bytes = 32u << 20;

/// What the checks of one page may still do, in bytes read or inflated.
class work_budget {
 public:
  explicit work_budget(std::uint64_t& left) : left_(left) {}
  /// Takes `bytes` of work; false (and nothing taken) when there is not
  /// that much left.
  bool spend(std::uint64_t bytes) {
    if (bytes > left_) return false;
    left_ -= bytes;
    return true;
  }
  std::uint64_t left() const { return left_; }

 private:
  std::uint64_t& left_;
};

/// Receives the inflated bytes in order, a piece at a time; returns false
/// to stop the inflating (the stream then counts as bad).
using inflated_piece_sink = std::function<bool(std::string_view piece)>;

/// How much inflated data is handed on at a time: zlib's window, so that
/// the memory a check takes does not grow with the picture.
constexpr std::size_t inflated_piece_bytes = 32 * 1024;

/// zlib's inflating state, ended however the inflating ends.
class zlib_stream {
 public:
  explicit zlib_stream(std::string_view in) {
    ready_ = in.size() <= std::numeric_limits<uInt>::max() &&
             inflateInit(&z_) == Z_OK;
    z_.next_in = reinterpret_cast<const Bytef*>(in.data());
    z_.avail_in = static_cast<uInt>(in.size());
  }
  ~zlib_stream() {
    if (ready_) inflateEnd(&z_);
  }
  zlib_stream(const zlib_stream&) = delete;
  zlib_stream& operator=(const zlib_stream&) = delete;

  bool ready() const { return ready_; }
  z_stream& z() { return z_; }

 private:
  z_stream z_{};
  bool ready_ = false;
};

/// What zlib's data_type holds, among other bits, when inflate() stops
/// (asked to stop at blocks' ends) right after the last block: the deflate
/// data is whole, and only the checksum is still to come.
constexpr int after_last_block = 64 | 128;

/// Inflates `stream`, a whole zlib stream, to at most `max_output` bytes
/// (and no more than the budget has left), handing the pieces to `take`;
/// the bytes handed on are taken from the budget. True only when zlib
/// finds the stream whole to its Adler-32 checksum (a preset dictionary, a
/// window past 32 KiB, a damaged block or checksum, a stream cut short are
/// all refused, as pdflatex's libpng and zlib refuse them) and `take`
/// accepted every piece. Bytes after the checksum are let be, as PNG
/// readers let them be.
bool inflate_within(std::string_view stream, std::uint64_t max_output,
                    work_budget& budget, const inflated_piece_sink& take) {
  max_output = std::min(max_output, budget.left());
  zlib_stream in(stream);
  if (!in.ready()) return false;
  z_stream& z = in.z();
  std::array<char, inflated_piece_bytes> piece;
  std::uint64_t handed = 0;
  bool whole = false;
  for (;;) {
    if (z.avail_out == 0) {
      z.next_out = reinterpret_cast<Bytef*>(piece.data());
      z.avail_out = inflated_piece_bytes;
    }
    // Block by block: the last piece is handed on as the deflate data
    // ends, before the checksum is read, and so counts as work done
    // whether or not the checksum agrees.
    int status = inflate(&z, Z_BLOCK);
    // Anything else is a stream zlib refuses, or one cut short.
    if (status != Z_OK && status != Z_STREAM_END) break;
    std::size_t filled = inflated_piece_bytes - z.avail_out;
    if (filled > max_output - handed) break;
    bool data_ended = status == Z_STREAM_END ||
                      (z.data_type & after_last_block) == after_last_block;
    if (z.avail_out == 0 || (data_ended && filled > 0)) {
      handed += filled;
      if (!take(std::string_view(piece.data(), filled))) break;
      z.avail_out = 0;  // a new piece next
    }
    if (status == Z_STREAM_END) {
      whole = true;
      break;
    }
  }
  return budget.spend(handed) && whole;
}

// --- Natural size ------------------------------------------------------------

/// TeX's dimensions end at 16383 pt, and \twimage measures a picture at
/// its natural size before shrinking it to the page: a picture larger
/// than this (in points, at the resolution pdftex gives it) would
/// overflow, so it is written as its alt text.
constexpr double max_natural_points = 8000;

/// Points per inch, as TeX counts them.
constexpr double points_per_inch = 72.27;

/// pdftex ignores a resolution above this many dots per inch (it says "too
/// large image resolution ignored") and takes the picture at 72 dpi.
constexpr double max_pdftex_resolution = 65535;

/// The resolution pdftex measures a picture at when the file gives none.
constexpr double default_resolution = 72;

/// The resolution a picture may be measured at, per axis: the least of
/// the readings its resolution fields allow, so that the natural size
/// checked is the largest pdftex may give it. pdftex rounds a field to
/// whole dots per inch, ignores a pair with a value above 65535, reads a
/// zero as 72 (PNG) or as the other axis's value (JPEG), and a JPEG may
/// give a resolution in more than one segment.
class picture_resolution {
 public:
  /// One field's resolution, in dots per inch (zero: none).
  void add(double x, double y) {
    if ((x <= 0 && y <= 0) || x > max_pdftex_resolution ||
        y > max_pdftex_resolution) {
      take(default_resolution, default_resolution);
      return;
    }
    if (x <= 0 || y <= 0) take(default_resolution, default_resolution);
    take(x > 0 ? x : y, y > 0 ? y : x);
  }

  bool fits(double width_pixels, double height_pixels) const {
    double x = any_ ? least_x_ : default_resolution;
    double y = any_ ? least_y_ : default_resolution;
    return width_pixels / x * points_per_inch <= max_natural_points &&
           height_pixels / y * points_per_inch <= max_natural_points;
  }

 private:
  /// A reading, rounded down to whole dots per inch (the worse way).
  void take(double x, double y) {
    any_ = true;
    least_x_ = std::min(least_x_, std::max(1.0, std::floor(x)));
    least_y_ = std::min(least_y_, std::max(1.0, std::floor(y)));
  }

  bool any_ = false;
  double least_x_ = std::numeric_limits<double>::max();
  double least_y_ = std::numeric_limits<double>::max();
};

std::uint32_t big_endian(std::string_view bytes, std::size_t at) {
  auto b = [&](std::size_t i) {
    return static_cast<std::uint32_t>(
        static_cast<unsigned char>(bytes[at + i]));
  };
  return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

unsigned big_endian_16(std::string_view bytes, std::size_t at) {
  return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) << 8 |
         static_cast<unsigned char>(bytes[at + 1]);
}

// --- PNG ---------------------------------------------------------------------

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

/// libpng, which pdftex reads PNG files with, refuses a picture wider or
/// taller than this ("exceeds user limit") unless told otherwise.
constexpr std::uint32_t max_png_side_pixels = 1000000;

/// A PNG chunk's length may not reach 2^31.
constexpr std::uint32_t max_png_chunk_bytes = 0x7FFFFFFFu;

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
  return width > 0 && height > 0 && width <= max_png_side_pixels &&
         height <= max_png_side_pixels && depth_ok && ihdr[10] == 0 &&
         ihdr[11] == 0 && (ihdr[12] == 0 || ihdr[12] == 1);
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
/// with one of the five filter types. A picture whose rows are more than
/// the budget has left is refused before anything is inflated.
bool inflates_to_rows(std::string_view data, const png_rows& rows,
                      work_budget& budget) {
  if (rows.total > max_png_row_bytes || rows.total > budget.left()) {
    return false;
  }
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
  return inflate_within(data, rows.total, budget, take) && seen == rows.total;
}

/// libpng stops on a chunk type that is not four letters.
bool letters_only(std::string_view type) {
  return std::all_of(type.begin(), type.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  });
}

/// A chunk is critical (a reader that does not know it must stop) when its
/// type begins with a capital letter.
bool critical(std::string_view type) {
  return type[0] >= 'A' && type[0] <= 'Z';
}

/// What has been read of a PNG's chunks, to check their order as pdflatex
/// needs it: IHDR first and once; one PLTE, before the data and only in
/// colour pictures (and always in indexed ones); the IDAT chunks one after
/// the other (pdftex stops on "IDAT chunk sequence broken"); no critical
/// chunk but these and IEND, which is empty. Ancillary chunks may stand
/// anywhere else: libpng only warns about those it finds out of place.
class png_reader {
 public:
  /// Takes the next chunk; false when pdflatex would stop on it.
  bool take(std::string_view type, std::string_view body) {
    if (!letters_only(type)) return false;
    if (first_) return take_header(type, body);
    if (data_ && type != "IDAT") data_ended_ = true;
    if (type == "IHDR") return false;
    if (type == "PLTE") return take_palette(body);
    if (type == "IDAT") return take_data(body);
    if (type == "IEND") return body.empty() && data_;
    if (critical(type)) return false;
    if (type == "pHYs" && body.size() == 9 && body[8] == 1) {
      // Pixels per metre. libpng keeps the first before the data; all are
      // weighed, as picture_resolution weighs every reading.
      resolution_.add(big_endian(body, 0) * 0.0254,
                      big_endian(body, 4) * 0.0254);
    }
    return true;
  }

  /// Whether the chunks taken make a picture pdflatex includes.
  bool includable(work_budget& budget) const {
    return resolution_.fits(width_, height_) &&
           inflates_to_rows(image_data_, rows_, budget);
  }

 private:
  bool take_header(std::string_view type, std::string_view body) {
    first_ = false;
    if (type != "IHDR" || !valid_png_header(body)) return false;
    color_ = static_cast<unsigned char>(body[9]);
    width_ = big_endian(body, 0);
    height_ = big_endian(body, 4);
    rows_ = rows_of(body);
    return true;
  }

  bool take_palette(std::string_view body) {
    bool colour = color_ == 2 || color_ == 3 || color_ == 6;
    std::size_t entries = body.size() / 3;
    bool whole = body.size() % 3 == 0 && entries >= 1 && entries <= 256;
    if (palette_ || data_ || !colour || !whole) return false;
    palette_ = true;
    return true;
  }

  bool take_data(std::string_view body) {
    if (data_ended_ || (color_ == 3 && !palette_)) return false;
    data_ = true;
    image_data_ += body;
    return true;
  }

  bool first_ = true, palette_ = false, data_ = false, data_ended_ = false;
  unsigned color_ = 0;
  double width_ = 0, height_ = 0;
  picture_resolution resolution_;
  png_rows rows_;
  std::string image_data_;  // the IDAT chunks' data, joined
};

/// Bytes after IEND are let be: neither libpng nor pdftex reads them.
bool is_png(std::string_view bytes, work_budget& budget) {
  constexpr std::string_view signature("\x89PNG\r\n\x1a\n", 8);
  if (!bytes.starts_with(signature)) return false;
  std::size_t at = signature.size();
  png_reader reader;
  while (at + 12 <= bytes.size()) {
    std::uint32_t length = big_endian(bytes, at);
    if (length > max_png_chunk_bytes || length > bytes.size() - at - 12) {
      return false;
    }
    std::string_view type = bytes.substr(at + 4, 4);
    std::string_view body = bytes.substr(at + 8, length);
    if (crc32(bytes.substr(at + 4, length + 4)) !=
        big_endian(bytes, at + 8 + length)) {
      return false;
    }
    if (!reader.take(type, body)) return false;
    if (type == "IEND") return reader.includable(budget);
    at += 12 + length;
  }
  return false;
}

// --- JPEG --------------------------------------------------------------------

/// An Exif segment's resolution (pdftex reads XResolution, YResolution and
/// ResolutionUnit of its first image directory), or false when the
/// directory cannot be read: then pdftex's reading of it is not known.
bool add_exif_resolution(std::string_view exif, picture_resolution& out) {
  // "Exif\0\0", then a TIFF header: byte order, 42, the directory's offset.
  std::string_view tiff = exif.substr(6);
  if (tiff.size() < 8) return false;
  bool little = tiff.starts_with("II");
  if (!little && !tiff.starts_with("MM")) return false;
  auto number = [&](std::size_t at, std::size_t width) -> std::uint64_t {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
      auto byte =
          static_cast<unsigned char>(tiff[at + (little ? width - 1 - i : i)]);
      value = value << 8 | byte;
    }
    return value;
  };
  if (number(2, 2) != 42) return false;
  std::uint64_t directory = number(4, 4);
  if (directory > tiff.size() || tiff.size() - directory < 2) return false;
  std::uint64_t entries = number(directory, 2);
  if ((tiff.size() - directory - 2) / 12 < entries) return false;
  double x = 0, y = 0, per_inch = 1;
  for (std::uint64_t i = 0; i < entries; ++i) {
    std::size_t entry = directory + 2 + i * 12;
    std::uint64_t tag = number(entry, 2), type = number(entry + 2, 2);
    if (tag == 296) {  // ResolutionUnit: 3 is centimetres
      if (type != 3) return false;
      per_inch = number(entry + 8, 2) == 3 ? 2.54 : 1;
    }
    if (tag == 282 || tag == 283) {  // a RATIONAL's offset
      std::uint64_t at = number(entry + 8, 4);
      if (type != 5 || at > tiff.size() || tiff.size() - at < 8) return false;
      std::uint64_t numerator = number(at, 4), denominator = number(at + 4, 4);
      double value = denominator == 0 ? 0
                                      : static_cast<double>(numerator) /
                                            static_cast<double>(denominator);
      (tag == 282 ? x : y) = value;
    }
  }
  out.add(x * per_inch, y * per_inch);
  return true;
}

/// A JFIF segment's density, in dots per inch (units 1) or centimetre (2);
/// units 0 give only the aspect ratio, which pdftex ignores.
void add_jfif_resolution(std::string_view jfif, picture_resolution& out) {
  auto units = static_cast<unsigned char>(jfif[7]);
  double per_inch = units == 1 ? 1 : units == 2 ? 2.54 : 0;
  out.add(big_endian_16(jfif, 8) * per_inch,
          big_endian_16(jfif, 10) * per_inch);
}

bool is_jpeg(std::string_view bytes) {
  if (bytes.size() < 4 || bytes.substr(0, 3) != "\xFF\xD8\xFF") return false;
  std::size_t at = 2;
  bool frame = false;
  double width = 0, height = 0;
  picture_resolution resolution;
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
    std::size_t length = big_endian_16(bytes, at + 2);
    if (length < 2 || at + 2 + length > bytes.size()) return false;
    std::string_view segment = bytes.substr(at + 4, length - 2);
    if (marker == 0xDA) {  // start of scan
      return frame && resolution.fits(width, height);
    }
    if (marker == 0xE0 && segment.size() >= 12 &&
        segment.starts_with(std::string_view("JFIF\0", 5))) {
      add_jfif_resolution(segment, resolution);
    }
    if (marker == 0xE1 &&
        segment.starts_with(std::string_view("Exif\0\0", 6)) &&
        !add_exif_resolution(segment, resolution)) {
      return false;
    }
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
        marker != 0xCC) {
      // Only baseline, extended and progressive Huffman frames of 8 bits.
      if (marker > 0xC2 || segment.size() < 6) return false;
      unsigned height_pixels = big_endian_16(segment, 1);
      unsigned width_pixels = big_endian_16(segment, 3);
      auto components = static_cast<unsigned char>(segment[5]);
      if (segment[0] != 8 || height_pixels == 0 || width_pixels == 0 ||
          (components != 1 && components != 3 && components != 4)) {
        return false;
      }
      frame = true;
      width = width_pixels;
      height = height_pixels;
    }
    at += 2 + length;
  }
  return false;
}

// --- PDF ---------------------------------------------------------------------
//
// pdftex opens a PDF picture with xpdf and takes its first page. Only what
// leads there is checked, and it must be as the format has it: the header,
// the last cross-reference section (a table or a stream) and the ones
// before it, the trailer's catalog, the page tree down its first kids to a
// page, and the page's box. What xpdf would repair (a wrong offset, a
// damaged table) is refused rather than guessed at.

namespace pdf {

/// The cross-reference sections followed back from the last one (each
/// update of a file adds one): real files have a few.
constexpr std::size_t max_xref_sections = 64;

/// Page tree levels followed down to the first page: real trees are a few
/// levels deep (ten kids a level make a million pages in six), and the
/// bound ends a tree that loops.
constexpr std::size_t max_page_tree_depth = 32;

/// Subsections of cross-reference tables and ranges of cross-reference
/// streams, all sections together: real files have one or a few per
/// section. Each object looked up searches them all, so the bound keeps a
/// look-up cheap.
constexpr std::size_t max_xref_ranges = 4096;

/// Arrays and dictionaries nested in one value: real files nest a few
/// levels; the bound keeps the stack of open brackets small.
constexpr std::size_t max_nesting = 100;

/// The cross-reference and object streams the first page is found through
/// are decoded whole: a larger one (a document of millions of objects) is
/// not checked, and the picture is its alt text.
constexpr std::uint64_t max_stream_bytes = 16u << 20;

/// How far past where it starts one read of the file may look: a
/// dictionary or other object pdftex's first page is found through (a
/// page tree node's kids, say; 64 KiB list thousands) must end within it.
/// Every read being short, the reads a file can make overlap keep the work
/// small (sections, objects and tree levels each read a bounded number of
/// times).
constexpr std::size_t max_object_bytes = 64u << 10;

/// How far a cross-reference table's subsection header ("first count") or
/// its "trailer" keyword may stand after the entries before it.
constexpr std::size_t max_line_bytes = 256;

/// Digits of an integer read: offsets and object numbers fit in far fewer,
/// and the bound keeps the value from overflowing.
constexpr std::size_t max_digits = 15;

/// The header's last "startxref" stands in the file's last bytes.
constexpr std::size_t trailer_window = 1024;

bool is_white(char c) {
  return c == '\0' || c == '\t' || c == '\n' || c == '\f' || c == '\r' ||
         c == ' ';
}

bool is_delimiter(char c) {
  return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' ||
         c == '{' || c == '}' || c == '/' || c == '%';
}

bool is_regular(char c) { return !is_white(c) && !is_delimiter(c); }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/// Reads the tokens of a PDF file (or of a decoded object stream) from a
/// position, without recursion, at most `bound` bytes from there.
class lexer {
 public:
  lexer(std::string_view text, std::size_t at,
        std::size_t bound = max_object_bytes)
      : at_(std::min(at, text.size())) {
    text_ = text.substr(0, at_ + std::min(bound, text.size() - at_));
  }

  std::size_t at() const { return at_; }
  bool at_end() { return skip_blanks(), at_ >= text_.size(); }

  /// Skips white space only ("%%EOF" is a comment to skip_blanks).
  void skip_white() {
    while (at_ < text_.size() && is_white(text_[at_])) ++at_;
  }

  /// Skips white space and comments.
  void skip_blanks() {
    while (at_ < text_.size()) {
      if (is_white(text_[at_])) {
        ++at_;
      } else if (text_[at_] == '%') {
        while (at_ < text_.size() && text_[at_] != '\n' && text_[at_] != '\r') {
          ++at_;
        }
      } else {
        return;
      }
    }
  }

  /// Takes `word` (a keyword or delimiter) if it comes next as a whole.
  bool take(std::string_view word) {
    skip_blanks();
    if (!text_.substr(at_).starts_with(word)) return false;
    std::size_t end = at_ + word.size();
    if (is_regular(word.back()) && end < text_.size() &&
        is_regular(text_[end])) {
      return false;
    }
    at_ = end;
    return true;
  }

  /// A non-negative integer, or nothing (and nothing taken).
  std::optional<std::uint64_t> whole_number() {
    skip_blanks();
    std::size_t end = at_;
    std::uint64_t value = 0;
    while (end < text_.size() && is_digit(text_[end])) {
      if (end - at_ == max_digits) return std::nullopt;
      value = value * 10 + static_cast<std::uint64_t>(text_[end] - '0');
      ++end;
    }
    if (end == at_ || (end < text_.size() && is_regular(text_[end]))) {
      return std::nullopt;
    }
    at_ = end;
    return value;
  }

  /// A number, integer or real ("-3", "4.", ".5"), or nothing.
  std::optional<double> number() {
    skip_blanks();
    std::size_t end = at_;
    if (end < text_.size() && (text_[end] == '+' || text_[end] == '-')) ++end;
    double value = 0, scale = 0;
    bool digits = false;
    for (; end < text_.size(); ++end) {
      char c = text_[end];
      if (c == '.' && scale == 0) {
        scale = 1;
      } else if (is_digit(c)) {
        digits = true;
        if (scale == 0) {
          value = value * 10 + (c - '0');
        } else {
          scale /= 10;
          value += (c - '0') * scale;
        }
      } else {
        break;
      }
    }
    if (!digits || (end < text_.size() && is_regular(text_[end]))) {
      return std::nullopt;
    }
    bool negative = text_[at_] == '-';
    at_ = end;
    return negative ? -value : value;
  }

  /// A name, its #xx escapes decoded, without its slash; or nothing.
  std::optional<std::string> name() {
    skip_blanks();
    if (at_ >= text_.size() || text_[at_] != '/') return std::nullopt;
    std::string decoded;
    std::size_t end = at_ + 1;
    for (; end < text_.size() && is_regular(text_[end]); ++end) {
      if (text_[end] == '#' && end + 2 < text_.size() &&
          hex_digit(text_[end + 1]) >= 0 && hex_digit(text_[end + 2]) >= 0) {
        decoded += static_cast<char>(hex_digit(text_[end + 1]) * 16 +
                                     hex_digit(text_[end + 2]));
        end += 2;
      } else {
        decoded += text_[end];
      }
    }
    at_ = end;
    return decoded;
  }

  /// Skips one value: a number, a reference ("12 0 R"), a name, a string,
  /// a keyword, or an array or dictionary with everything inside it.
  /// False when the value is malformed or nests too deeply.
  bool skip_value() {
    std::vector<char> open;  // '[' or '<' for each array or dictionary
    do {
      skip_blanks();
      if (at_ >= text_.size()) return false;
      char c = text_[at_];
      if (starts("<<") || c == '[') {
        if (open.size() == max_nesting) return false;
        open.push_back(c);
        at_ += c == '[' ? 1 : 2;
      } else if (starts(">>") || c == ']') {
        if (open.empty() || open.back() != (c == ']' ? '[' : '<')) return false;
        open.pop_back();
        at_ += c == ']' ? 1 : 2;
      } else if (!skip_single(open.empty())) {
        return false;
      }
    } while (!open.empty());
    return true;
  }

 private:
  bool starts(std::string_view word) const {
    return text_.substr(at_).starts_with(word);
  }

  /// One value that holds no other: at the top level, an integer followed
  /// by a generation and R is a reference and taken whole.
  bool skip_single(bool top_level) {
    char c = text_[at_];
    if (c == '(') return skip_literal_string();
    if (c == '<') return skip_hex_string();
    if (c == '/') return name().has_value();
    if (!is_regular(c)) return false;
    if (top_level && whole_number()) {
      std::size_t after_number = at_;
      if (!(whole_number() && take("R"))) at_ = after_number;
      return true;
    }
    while (at_ < text_.size() && is_regular(text_[at_])) ++at_;
    return true;
  }

  /// "(...)": parentheses inside balance unless escaped.
  bool skip_literal_string() {
    std::size_t depth = 0;
    for (; at_ < text_.size(); ++at_) {
      char c = text_[at_];
      if (c == '\\') {
        ++at_;
      } else if (c == '(') {
        ++depth;
      } else if (c == ')' && --depth == 0) {
        ++at_;
        return true;
      }
    }
    return false;
  }

  /// "<...>": hexadecimal digits and white space.
  bool skip_hex_string() {
    for (++at_; at_ < text_.size(); ++at_) {
      if (text_[at_] == '>') {
        ++at_;
        return true;
      }
      if (hex_digit(text_[at_]) < 0 && !is_white(text_[at_])) return false;
    }
    return false;
  }

  std::string_view text_;
  std::size_t at_;
};

/// A dictionary's entries: each key with the text of its value.
/// The values are copies: the text they come from (a decoded object
/// stream) may be replaced while the dictionary is in use.
using dictionary = std::vector<std::pair<std::string, std::string>>;

std::optional<dictionary> read_dictionary(lexer& in, std::string_view text) {
  if (!in.take("<<")) return std::nullopt;
  dictionary entries;
  while (!in.take(">>")) {
    std::optional<std::string> key = in.name();
    if (!key) return std::nullopt;
    in.skip_blanks();
    std::size_t start = in.at();
    if (!in.skip_value()) return std::nullopt;
    entries.emplace_back(std::move(*key),
                         std::string(text.substr(start, in.at() - start)));
  }
  return entries;
}

std::optional<std::string_view> entry(const dictionary& dict,
                                      std::string_view key) {
  for (const auto& [name, value] : dict) {
    if (name == key) return value;
  }
  return std::nullopt;
}

struct reference {
  std::uint64_t number = 0, generation = 0;
};

/// The value `text` as a whole, read by `read`; nothing when it is
/// something else or more.
template <typename Read>
auto read_whole(std::string_view text, Read read)
    -> decltype(read(std::declval<lexer&>())) {
  lexer in(text, 0);
  auto value = read(in);
  if (!value || !in.at_end()) return std::nullopt;
  return value;
}

std::optional<reference> as_reference(std::string_view text) {
  return read_whole(text, [](lexer& in) -> std::optional<reference> {
    auto number = in.whole_number();
    auto generation = number ? in.whole_number() : std::nullopt;
    if (!generation || !in.take("R")) return std::nullopt;
    return reference{*number, *generation};
  });
}

std::optional<std::uint64_t> as_whole_number(std::string_view text) {
  return read_whole(text, [](lexer& in) { return in.whole_number(); });
}

std::optional<std::string> as_name(std::string_view text) {
  return read_whole(text, [](lexer& in) { return in.name(); });
}

/// An array of numbers, or nothing.
std::optional<std::vector<double>> as_numbers(std::string_view text) {
  return read_whole(text, [](lexer& in) -> std::optional<std::vector<double>> {
    if (!in.take("[")) return std::nullopt;
    std::vector<double> numbers;
    while (!in.take("]")) {
      std::optional<double> n = in.number();
      if (!n) return std::nullopt;
      numbers.push_back(*n);
    }
    return numbers;
  });
}

/// An array of non-negative integers, or nothing.
std::optional<std::vector<std::uint64_t>> as_whole_numbers(
    std::string_view text) {
  return read_whole(text,
                    [](lexer& in) -> std::optional<std::vector<std::uint64_t>> {
                      if (!in.take("[")) return std::nullopt;
                      std::vector<std::uint64_t> numbers;
                      while (!in.take("]")) {
                        std::optional<std::uint64_t> n = in.whole_number();
                        if (!n) return std::nullopt;
                        numbers.push_back(*n);
                      }
                      return numbers;
                    });
}

/// The first element of an array of references, or nothing.
std::optional<reference> first_reference(std::string_view text) {
  lexer in(text, 0);
  if (!in.take("[")) return std::nullopt;
  std::size_t start = in.at();
  if (!in.skip_value()) return std::nullopt;
  return as_reference(text.substr(start, in.at() - start));
}

/// Where an object is: at an offset in the file, or the index-th object of
/// an object stream.
struct xref_entry {
  enum class kind { free, in_file, in_stream } where = kind::free;
  std::uint64_t position = 0;  // offset, or the object stream's number
  std::uint64_t second = 0;    // generation, or the index in the stream
};

/// One cross-reference section: a table's subsections (where in the file
/// their 20-byte entries are) or a stream's decoded entries, and the
/// trailer (the stream's dictionary).
struct xref_section {
  struct subsection {
    std::uint64_t first = 0, count = 0;
    std::size_t entries_at = 0;
  };
  dictionary trailer;
  bool is_stream = false;
  std::vector<subsection> subsections;  // a table
  std::string entries;                  // a stream
  std::array<std::uint64_t, 3> widths{};
  std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges;
};

/// What a table says of object `number`: nothing when it does not list
/// it; a malformed entry reads as free, so the object is not found.
std::optional<xref_entry> table_entry(const xref_section& section,
                                      std::string_view file,
                                      std::uint64_t number) {
  for (const auto& sub : section.subsections) {
    if (number < sub.first || number - sub.first >= sub.count) continue;
    std::string_view text =
        file.substr(sub.entries_at + (number - sub.first) * 20, 20);
    // "oooooooooo ggggg n\r\n": offset, generation, in use or free.
    bool digits = std::all_of(text.begin(), text.begin() + 10, is_digit) &&
                  std::all_of(text.begin() + 11, text.begin() + 16, is_digit);
    bool ends = text.substr(18) == " \n" || text.substr(18) == " \r" ||
                text.substr(18) == "\r\n";
    if (!digits || text[10] != ' ' || text[16] != ' ' || !ends ||
        (text[17] != 'n' && text[17] != 'f')) {
      return xref_entry{};
    }
    if (text[17] == 'f') return xref_entry{};
    return xref_entry{
        xref_entry::kind::in_file,
        std::strtoull(std::string(text.substr(0, 10)).c_str(), nullptr, 10),
        std::strtoull(std::string(text.substr(11, 5)).c_str(), nullptr, 10)};
  }
  return std::nullopt;
}

std::optional<xref_entry> stream_entry(const xref_section& section,
                                       std::uint64_t number) {
  const auto& w = section.widths;
  std::uint64_t width = w[0] + w[1] + w[2], index = 0;
  for (const auto& [first, count] : section.ranges) {
    if (number < first || number - first >= count) {
      index += count;
      continue;
    }
    std::size_t at = static_cast<std::size_t>((index + number - first) * width);
    auto field = [&](std::size_t from, std::uint64_t bytes) {
      std::uint64_t value = 0;
      for (std::uint64_t i = 0; i < bytes; ++i) {
        value =
            value << 8 | static_cast<unsigned char>(section.entries[from + i]);
      }
      return value;
    };
    std::uint64_t type = w[0] == 0 ? 1 : field(at, w[0]);
    std::uint64_t a = field(at + w[0], w[1]), b = field(at + w[0] + w[1], w[2]);
    if (type == 1) return xref_entry{xref_entry::kind::in_file, a, b};
    if (type == 2) return xref_entry{xref_entry::kind::in_stream, a, b};
    return xref_entry{};
  }
  return std::nullopt;
}

/// Undoes the PNG predictors (10 to 15) of a stream of one byte per pixel
/// and `columns` bytes per row, in place; false when a row is cut or names
/// no filter.
bool undo_png_predictor(std::string& data, std::uint64_t columns) {
  std::uint64_t row = columns + 1;
  if (columns == 0 || data.size() % row != 0) return false;
  std::string out;
  out.reserve(data.size() / row * columns);
  for (std::size_t at = 0; at < data.size(); at += row) {
    auto filter = static_cast<unsigned char>(data[at]);
    if (filter > 4) return false;
    std::size_t start = out.size();
    for (std::size_t i = 0; i < columns; ++i) {
      int raw = static_cast<unsigned char>(data[at + 1 + i]);
      int left = i > 0 ? static_cast<unsigned char>(out[start + i - 1]) : 0;
      int up =
          start > 0 ? static_cast<unsigned char>(out[start - columns + i]) : 0;
      int corner =
          i > 0 && start > 0
              ? static_cast<unsigned char>(out[start - columns + i - 1])
              : 0;
      int predicted = 0;
      switch (filter) {
        case 1: predicted = left; break;
        case 2: predicted = up; break;
        case 3: predicted = (left + up) / 2; break;
        case 4: {
          int p = left + up - corner;
          int pa = std::abs(p - left), pb = std::abs(p - up),
              pc = std::abs(p - corner);
          predicted = pa <= pb && pa <= pc ? left : pb <= pc ? up : corner;
          break;
        }
        default: break;
      }
      out += static_cast<char>((raw + predicted) & 0xFF);
    }
  }
  data = std::move(out);
  return true;
}

/// Reads a PDF file far enough to know pdftex can take its first page.
class document {
 public:
  document(std::string_view file, work_budget& budget)
      : file_(file), budget_(budget) {}

  bool has_includable_first_page() {
    std::optional<std::uint64_t> start = last_xref_offset();
    if (!start || !read_sections(*start)) return false;
    for (const auto& section : sections_) {
      if (entry(section.trailer, "Encrypt")) return false;
    }
    auto root = entry(sections_.front().trailer, "Root");
    auto catalog = root ? dictionary_of(*root) : std::nullopt;
    auto pages = catalog ? entry(*catalog, "Pages") : std::nullopt;
    return pages && first_page_fits(*pages);
  }

 private:
  /// The offset after the last "startxref", followed by "%%EOF".
  std::optional<std::uint64_t> last_xref_offset() const {
    std::size_t from =
        file_.size() > trailer_window ? file_.size() - trailer_window : 0;
    std::size_t found = file_.rfind("startxref");
    if (found == std::string_view::npos || found < from) return std::nullopt;
    lexer in(file_, found + 9);
    std::optional<std::uint64_t> offset = in.whole_number();
    in.skip_white();
    if (!offset || !file_.substr(in.at()).starts_with("%%EOF")) {
      return std::nullopt;
    }
    return offset;
  }

  /// The sections from the last back, each once: a table, the stream a
  /// hybrid file's table names (/XRefStm), then the one before (/Prev).
  bool read_sections(std::uint64_t offset) {
    std::vector<std::uint64_t> pending{offset}, seen;
    while (!pending.empty()) {
      std::uint64_t at = pending.back();
      pending.pop_back();
      if (std::find(seen.begin(), seen.end(), at) != seen.end()) return false;
      if (seen.size() == max_xref_sections || at >= file_.size()) return false;
      seen.push_back(at);
      std::optional<xref_section> section = read_section(at);
      if (!section) return false;
      auto previous = entry(section->trailer, "Prev");
      auto stream = entry(section->trailer, "XRefStm");
      if (previous) {
        auto prev_at = as_whole_number(*previous);
        if (!prev_at) return false;
        pending.push_back(*prev_at);
      }
      if (stream && !section->is_stream) {
        auto stream_at = as_whole_number(*stream);
        if (!stream_at) return false;
        pending.push_back(*stream_at);
      }
      sections_.push_back(std::move(*section));
    }
    return true;
  }

  std::optional<xref_section> read_section(std::uint64_t offset) {
    lexer in(file_, static_cast<std::size_t>(offset));
    if (file_.substr(static_cast<std::size_t>(offset)).starts_with("xref")) {
      return read_table(in);
    }
    return read_xref_stream(in);
  }

  /// "xref", subsections of a header line ("first count") and 20-byte
  /// entries, "trailer" and its dictionary.
  std::optional<xref_section> read_table(lexer& in) {
    in.take("xref");
    xref_section section;
    lexer line(file_, in.at(), max_line_bytes);
    while (!line.take("trailer")) {
      auto first = line.whole_number();
      auto count = first ? line.whole_number() : std::nullopt;
      if (!count) return std::nullopt;
      line.skip_blanks();
      std::size_t at = line.at();
      if (*count > (file_.size() - at) / 20 || !count_range()) {
        return std::nullopt;
      }
      section.subsections.push_back({*first, *count, at});
      line = lexer(file_, at + static_cast<std::size_t>(*count) * 20,
                   max_line_bytes);
    }
    in = lexer(file_, line.at());
    auto trailer = read_dictionary(in, file_);
    if (!trailer) return std::nullopt;
    section.trailer = std::move(*trailer);
    return section;
  }

  /// "n g obj", a dictionary of /Type /XRef with /W and /Size (and /Index),
  /// and its stream of entries.
  std::optional<xref_section> read_xref_stream(lexer& in) {
    if (!in.whole_number() || !in.whole_number() || !in.take("obj")) {
      return std::nullopt;
    }
    auto dict = read_dictionary(in, file_);
    if (!dict || entry_name(*dict, "Type") != "XRef") return std::nullopt;
    auto widths_value = entry(*dict, "W");
    auto widths = widths_value ? as_whole_numbers(*widths_value) : std::nullopt;
    auto size = entry(*dict, "Size");
    auto total = size ? as_whole_number(*size) : std::nullopt;
    if (!widths || widths->size() != 3 || !total) return std::nullopt;
    xref_section section;
    section.is_stream = true;
    std::uint64_t entry_width = 0;
    for (std::size_t i = 0; i < 3; ++i) {
      if ((*widths)[i] > 8) return std::nullopt;  // a field in 64 bits
      section.widths[i] = (*widths)[i];
      entry_width += section.widths[i];
    }
    if (entry_width == 0 || section.widths[1] == 0) return std::nullopt;
    if (!read_ranges(*dict, *total, section)) return std::nullopt;
    auto data = stream_data(in, file_, *dict);
    if (!data) return std::nullopt;
    std::uint64_t entries = 0;
    for (const auto& range : section.ranges) entries += range.second;
    if (entries > data->size() / entry_width) return std::nullopt;
    section.entries = std::move(*data);
    section.trailer = std::move(*dict);
    return section;
  }

  /// /Index: pairs of first object and count; [0 Size] without it.
  bool read_ranges(const dictionary& dict, std::uint64_t size,
                   xref_section& section) {
    auto index = entry(dict, "Index");
    if (!index) {
      section.ranges.emplace_back(0, size);
      return count_range();
    }
    auto numbers = as_whole_numbers(*index);
    if (!numbers || numbers->size() % 2 != 0) return false;
    for (std::size_t i = 0; i < numbers->size(); i += 2) {
      // More entries than a stream may hold cannot be there.
      if ((*numbers)[i + 1] > max_stream_bytes || !count_range()) return false;
      section.ranges.emplace_back((*numbers)[i], (*numbers)[i + 1]);
    }
    return true;
  }

  /// Counts one more subsection or range; false past the bound.
  bool count_range() { return ++ranges_ <= max_xref_ranges; }

  std::optional<std::string> entry_name(const dictionary& dict,
                                        std::string_view key) {
    auto value = entry(dict, key);
    return value ? as_name(*value) : std::nullopt;
  }

  /// The stream after a dictionary: "stream", an end of line, /Length bytes
  /// and "endstream"; decoded when it is deflated (possibly with a PNG
  /// predictor). Nothing for other filters or a stream beyond the bounds.
  std::optional<std::string> stream_data(lexer& in, std::string_view text,
                                         const dictionary& dict) {
    auto length_value = entry(dict, "Length");
    auto length = length_value ? stream_length(*length_value) : std::nullopt;
    if (!length || !in.take("stream")) return std::nullopt;
    std::size_t at = in.at();
    if (text.substr(at).starts_with("\r\n")) {
      at += 2;
    } else if (text.substr(at).starts_with("\n")) {
      at += 1;
    } else {
      return std::nullopt;
    }
    if (*length > text.size() - at) return std::nullopt;
    std::string_view raw = text.substr(at, static_cast<std::size_t>(*length));
    lexer after(text, at + raw.size());
    if (!after.take("endstream")) return std::nullopt;
    return decoded(raw, dict);
  }

  /// /Length: a number, or a reference to one written in the file.
  std::optional<std::uint64_t> stream_length(std::string_view value) {
    if (auto direct = as_whole_number(value)) return direct;
    auto ref = as_reference(value);
    auto where = ref ? find(*ref) : std::nullopt;
    if (!where || where->where != xref_entry::kind::in_file) {
      return std::nullopt;
    }
    lexer in(file_, 0);
    if (!object_header(where->position, *ref, in)) return std::nullopt;
    auto length = in.whole_number();
    if (!length || !in.take("endobj")) return std::nullopt;
    return length;
  }

  std::optional<std::string> decoded(std::string_view raw,
                                     const dictionary& dict) {
    auto filter = entry(dict, "Filter");
    if (!filter) {
      if (raw.size() > max_stream_bytes) return std::nullopt;
      return std::string(raw);
    }
    auto name = as_name(*filter);
    if (!name && filter_is_one_flate(*filter)) name = "FlateDecode";
    if (name != "FlateDecode") return std::nullopt;
    std::string out;
    if (!inflate_within(raw, max_stream_bytes, budget_,
                        [&out](std::string_view piece) {
                          out += piece;
                          return true;
                        })) {
      return std::nullopt;
    }
    auto parameters = entry(dict, "DecodeParms");
    if (!parameters) return out;
    return predicted(std::move(out), *parameters);
  }

  static bool filter_is_one_flate(std::string_view filter) {
    lexer in(filter, 0);
    return in.take("[") && in.name() == "FlateDecode" && in.take("]") &&
           in.at_end();
  }

  /// DecodeParms: no predictor, or a PNG predictor of one 8-bit colour.
  std::optional<std::string> predicted(std::string data,
                                       std::string_view parameters) {
    std::string_view text = parameters;
    lexer in(text, 0);
    if (in.take("[")) {  // one filter's parameters, in an array
      in.skip_blanks();
      std::size_t start = in.at();
      if (!in.skip_value()) return std::nullopt;
      std::size_t end = in.at();
      if (!in.take("]") || !in.at_end()) return std::nullopt;
      text = text.substr(start, end - start);
      in = lexer(text, 0);
    }
    auto dict = read_dictionary(in, text);
    if (!dict || !in.at_end()) return std::nullopt;
    auto number = [&](std::string_view key, std::uint64_t otherwise) {
      auto value = entry(*dict, key);
      return value ? as_whole_number(*value) : std::optional(otherwise);
    };
    auto predictor = number("Predictor", 1), colors = number("Colors", 1),
         bits = number("BitsPerComponent", 8), columns = number("Columns", 1);
    if (predictor == 1u) return data;
    if (!predictor || *predictor < 10 || *predictor > 15 || colors != 1u ||
        bits != 8u || !columns || !undo_png_predictor(data, *columns)) {
      return std::nullopt;
    }
    return data;
  }

  /// Where object `ref` is, by the newest section that lists it.
  std::optional<xref_entry> find(reference ref) const {
    for (const auto& section : sections_) {
      std::optional<xref_entry> found =
          section.is_stream ? stream_entry(section, ref.number)
                            : table_entry(section, file_, ref.number);
      if (!found) continue;
      if (found->where == xref_entry::kind::free) return std::nullopt;
      if (found->where == xref_entry::kind::in_file &&
          found->second != ref.generation) {
        return std::nullopt;
      }
      if (found->where == xref_entry::kind::in_stream && ref.generation != 0) {
        return std::nullopt;
      }
      return found;
    }
    return std::nullopt;
  }

  /// Positions `in` after "number generation obj" at `offset` in the file.
  bool object_header(std::uint64_t offset, reference ref, lexer& in) const {
    if (offset >= file_.size()) return false;
    in = lexer(file_, static_cast<std::size_t>(offset));
    return in.whole_number() == ref.number &&
           in.whole_number() == ref.generation && in.take("obj");
  }

  /// The text of object `ref`'s value (its dictionary, say), in the file
  /// or in the decoded object stream that holds it; empty when it cannot
  /// be found.
  std::string_view object_text(reference ref) {
    std::optional<xref_entry> where = find(ref);
    if (!where) return {};
    lexer in(file_, 0);
    std::string_view text = file_;
    if (where->where == xref_entry::kind::in_file) {
      if (!object_header(where->position, ref, in)) return {};
    } else {
      auto found = in_object_stream(where->position, where->second, ref.number);
      if (!found) return {};
      text = held_stream_;
      in = lexer(text, *found);
    }
    in.skip_blanks();
    std::size_t start = in.at();
    // Each object read is the page's work: a file could make one large
    // object be read at every level of its page tree.
    if (!in.skip_value() || !budget_.spend(in.at() - start)) return {};
    return text.substr(start, in.at() - start);
  }

  /// Where in its object stream (decoded into held_stream_) the index-th
  /// object is, which must be object `number`.
  std::optional<std::size_t> in_object_stream(std::uint64_t stream_number,
                                              std::uint64_t index,
                                              std::uint64_t number) {
    if (!hold_object_stream(stream_number)) return std::nullopt;
    lexer in(held_stream_, 0);
    std::optional<std::uint64_t> object, offset;
    for (std::uint64_t i = 0; i <= index; ++i) {
      object = in.whole_number();
      offset = object ? in.whole_number() : std::nullopt;
      if (!offset || in.at() > held_first_) return std::nullopt;
    }
    if (object != number || *offset > held_stream_.size() - held_first_) {
      return std::nullopt;
    }
    return held_first_ + static_cast<std::size_t>(*offset);
  }

  /// Decodes object stream `number` into held_stream_, unless it is there.
  bool hold_object_stream(std::uint64_t number) {
    if (held_number_ == number) return true;
    held_number_.reset();
    std::optional<xref_entry> where = find({number, 0});
    lexer in(file_, 0);
    if (!where || where->where != xref_entry::kind::in_file ||
        !object_header(where->position, {number, 0}, in)) {
      return false;
    }
    auto dict = read_dictionary(in, file_);
    if (!dict || entry_name(*dict, "Type") != "ObjStm") return false;
    auto first_value = entry(*dict, "First");
    auto first = first_value ? as_whole_number(*first_value) : std::nullopt;
    auto data = first ? stream_data(in, file_, *dict) : std::nullopt;
    if (!data || *first > data->size()) return false;
    held_stream_ = std::move(*data);
    held_first_ = static_cast<std::size_t>(*first);
    held_number_ = number;
    return true;
  }

  /// The dictionary a value is, or refers to.
  std::optional<dictionary> dictionary_of(std::string_view value) {
    std::string_view text = resolved(value);
    lexer in(text, 0);
    auto dict = read_dictionary(in, text);
    if (!dict || !in.at_end()) return std::nullopt;
    return dict;
  }

  /// A value, or the value of the object it refers to. The text lives in
  /// the file or in held_stream_, valid until another object stream is
  /// decoded.
  std::string_view resolved(std::string_view value) {
    auto ref = as_reference(value);
    return ref ? object_text(*ref) : value;
  }

  /// A page box: four numbers, two corners.
  struct box {
    double width = 0, height = 0, left = 0, bottom = 0;
  };
  std::optional<box> box_of(const dictionary& dict, std::string_view key,
                            bool& malformed) {
    auto value = entry(dict, key);
    if (!value) return std::nullopt;
    auto numbers = as_numbers(std::string(resolved(*value)));
    if (!numbers || numbers->size() != 4) {
      malformed = true;
      return std::nullopt;
    }
    const auto& n = *numbers;
    return box{std::abs(n[2] - n[0]), std::abs(n[3] - n[1]),
               std::min(n[0], n[2]), std::min(n[1], n[3])};
  }

  /// Down the page tree's first kids to a page whose box (its crop box,
  /// within its media box, each inherited) TeX can measure: pdftex stops
  /// on an empty box ("invalid image dimensions") and TeX on one past its
  /// largest dimension.
  bool first_page_fits(std::string_view pages) {
    std::optional<box> media, crop;
    std::string_view node = pages;
    std::vector<std::uint64_t> visited;  // the nodes' object numbers
    for (std::size_t depth = 0; depth < max_page_tree_depth; ++depth) {
      if (auto ref = as_reference(node)) {
        if (std::find(visited.begin(), visited.end(), ref->number) !=
            visited.end()) {
          return false;  // a tree that loops
        }
        visited.push_back(ref->number);
      }
      auto dict = dictionary_of(node);
      if (!dict) return false;
      bool malformed = false;
      if (auto b = box_of(*dict, "MediaBox", malformed)) media = b;
      if (auto b = box_of(*dict, "CropBox", malformed)) crop = b;
      auto type = entry_name(*dict, "Type");
      if (malformed || !type) return false;
      if (*type == "Page") return boxes_fit(media, crop);
      if (*type != "Pages") return false;
      auto count = entry(*dict, "Count");
      auto pages_below = count ? as_whole_number(*count) : std::nullopt;
      auto kids = entry(*dict, "Kids");
      if (!pages_below || *pages_below == 0 || !kids) return false;
      auto first = first_reference(std::string(resolved(*kids)));
      if (!first) return false;
      kept_reference_ = std::to_string(first->number) + " " +
                        std::to_string(first->generation) + " R";
      node = kept_reference_;
    }
    return false;
  }

  static bool boxes_fit(const std::optional<box>& media,
                        const std::optional<box>& crop) {
    // Without a media box xpdf takes a letter-size page.
    box shown = media.value_or(box{612, 792, 0, 0});
    auto measurable = [](const box& b) {
      constexpr double points_per_big_point = points_per_inch / 72;
      return b.width > 0 && b.height > 0 &&
             b.width * points_per_big_point <= max_natural_points &&
             b.height * points_per_big_point <= max_natural_points;
    };
    if (!measurable(shown)) return false;
    if (!crop) return true;
    double left = std::max(shown.left, crop->left);
    double bottom = std::max(shown.bottom, crop->bottom);
    double right = std::min(shown.left + shown.width, crop->left + crop->width);
    double top =
        std::min(shown.bottom + shown.height, crop->bottom + crop->height);
    return measurable(*crop) && right > left && top > bottom;
  }

  std::string_view file_;
  work_budget& budget_;
  std::vector<xref_section> sections_;  // the newest first
  std::size_t ranges_ = 0;              // in all sections
  std::optional<std::uint64_t> held_number_;
  std::string held_stream_;
  std::size_t held_first_ = 0;
  std::string kept_reference_;
};

/// "%PDF-1.n" or "%PDF-2.0": pdftex includes a newer version than its
/// own with a warning.
bool known_header(std::string_view bytes) {
  return (bytes.starts_with("%PDF-1.") && bytes.size() > 7 &&
          is_digit(bytes[7])) ||
         bytes.starts_with("%PDF-2.0");
}

}  // namespace pdf

bool is_pdf(std::string_view bytes, work_budget& budget) {
  return pdf::known_header(bytes) &&
         pdf::document(bytes, budget).has_includable_first_page();
}

// --- Sources and files -------------------------------------------------------

/// Sources longer than this are not looked up: picture names are short, and
/// the bound keeps each lookup's work small.
constexpr std::size_t max_source_path_bytes = 1024;

int hex_value(char c) { return pdf::hex_digit(c); }

bool is_url_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

/// The percent-decoded path a src names (query and fragment dropped), or
/// nothing for a URL with a scheme or host.
std::optional<std::string> decoded_path(std::string_view src) {
  while (!src.empty() && is_url_blank(src.front())) src.remove_prefix(1);
  while (!src.empty() && is_url_blank(src.back())) src.remove_suffix(1);
  src = src.substr(0, src.find_first_of("?#"));
  if (src.empty() || src.size() > max_source_path_bytes) return std::nullopt;
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

/// A relative path with its "." and ".." segments resolved as a browser
/// resolves a URL's (by name, not through the file system); nothing for an
/// absolute path, one that climbs out of its folder, names a folder (ends
/// in "/") or holds a byte no file name does.
std::optional<std::string> normalized_relative(std::string_view path) {
  if (path.empty() || path.front() == '/' || path.back() == '/' ||
      path.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  std::vector<std::string_view> segments;
  while (!path.empty()) {
    std::size_t slash = path.find('/');
    std::string_view segment = path.substr(0, slash);
    path.remove_prefix(slash == std::string_view::npos ? path.size()
                                                       : slash + 1);
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") {
      if (segments.empty()) return std::nullopt;
      segments.pop_back();
      continue;
    }
    segments.push_back(segment);
  }
  if (segments.empty()) return std::nullopt;
  std::string joined;
  for (std::string_view segment : segments) {
    if (!joined.empty()) joined += '/';
    joined += segment;
  }
  return joined;
}

/// The real path (every symbolic link resolved) of `path`, or nothing.
std::optional<std::string> real_path(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(
      ::realpath(path.c_str(), nullptr), &std::free);
  if (!resolved) return std::nullopt;
  return std::string(resolved.get());
}

/// Path components walked to find one source's file, those of the links'
/// targets included: a picture's path has a few, and the bound keeps a
/// lookup through links to long paths cheap.
constexpr std::size_t max_path_steps = 256;

/// Symbolic links followed for one source: as many as the system follows
/// in one path before it says the links loop.
constexpr std::size_t max_links_followed = 40;

/// Pushes the components of `path` onto `pending` so that its first is
/// taken next; empty components ("a//b") are none.
void push_components(std::vector<std::string>& pending, std::string_view path) {
  std::vector<std::string> components;
  while (!path.empty()) {
    std::size_t slash = path.find('/');
    std::string_view component = path.substr(0, slash);
    if (!component.empty()) components.emplace_back(component);
    path.remove_prefix(slash == std::string_view::npos ? path.size()
                                                       : slash + 1);
  }
  pending.insert(pending.end(), components.rbegin(), components.rend());
}

/// What a symbolic link says, or nothing.
std::optional<std::string> link_target(const std::string& path) {
  std::string target(PATH_MAX, '\0');
  ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
  if (length <= 0 || static_cast<std::size_t>(length) == target.size()) {
    return std::nullopt;
  }
  target.resize(static_cast<std::size_t>(length));
  return target;
}

/// The part of the absolute path `target` below `folder` (empty for the
/// folder itself), or nothing when it does not begin with the folder.
std::optional<std::string_view> below_folder(std::string_view target,
                                             std::string_view folder) {
  if (folder == "/") return target;
  if (!target.starts_with(folder)) return std::nullopt;
  target.remove_prefix(folder.size());
  if (!target.empty() && target.front() != '/') return std::nullopt;
  return target;
}

/// The regular file `relative` names inside the folder whose real path is
/// `real_folder`, as its path there with every symbolic link resolved.
/// Links are read, never followed by the system, and ".." is the folder
/// above what was walked: a link whose target leaves the folder's tree
/// (an absolute path elsewhere, or ".." above the folder) ends the lookup
/// before anything outside the tree is looked at.
std::optional<std::string> file_inside(const std::string& real_folder,
                                       std::string_view relative) {
  std::vector<std::string> pending, walked;  // walked: real folders
  push_components(pending, relative);
  std::size_t steps = 0, links = 0;
  auto joined = [&walked](std::string path) {
    for (const std::string& name : walked) {
      if (!path.empty() && path.back() != '/') path += '/';
      path += name;
    }
    return path;
  };
  while (!pending.empty()) {
    if (++steps > max_path_steps) return std::nullopt;
    std::string name = std::move(pending.back());
    pending.pop_back();
    if (name == ".") continue;
    if (name == "..") {
      if (walked.empty()) return std::nullopt;  // above the folder
      walked.pop_back();
      continue;
    }
    walked.push_back(name);
    std::string path = joined(real_folder);
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
    if (S_ISDIR(info.st_mode)) continue;
    walked.pop_back();
    if (S_ISLNK(info.st_mode)) {
      std::optional<std::string> target = link_target(path);
      if (!target || ++links > max_links_followed) return std::nullopt;
      std::optional<std::string_view> rest = std::string_view(*target);
      if (target->front() == '/') {
        rest = below_folder(*target, real_folder);
        if (!rest) return std::nullopt;
        walked.clear();
      }
      push_components(pending, *rest);
      continue;
    }
    if (!S_ISREG(info.st_mode) || !pending.empty()) return std::nullopt;
    walked.push_back(name);
    return joined("");
  }
  return std::nullopt;  // a folder
}

/// The extensions graphicx reads with pdflatex: all lower or all upper
/// case ("x.Png" stops it with "Unknown graphics extension").
constexpr std::array<std::string_view, 8> graphics_extensions{
    "png", "PNG", "jpg", "JPG", "jpeg", "JPEG", "pdf", "PDF"};

/// Whether \includegraphics takes `path` as it is: letters, digits and
/// . / + - _ only (no space, brace, backslash or %), and an extension
/// graphicx reads. pdftex reads the file for what it is, whatever the
/// extension says.
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
  return std::find(graphics_extensions.begin(), graphics_extensions.end(),
                   path.substr(dot + 1)) != graphics_extensions.end();
}

/// An open file, closed when it goes.
class open_file {
 public:
  explicit open_file(const std::string& name)
      : fd_(::open(name.c_str(),
                   O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW)) {}
  ~open_file() {
    if (fd_ >= 0) ::close(fd_);
  }
  open_file(const open_file&) = delete;
  open_file& operator=(const open_file&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

/// The whole of an open file of `size` bytes, or nothing.
std::optional<std::string> read_all(int fd, std::size_t size) {
  std::string data(size, '\0');
  std::size_t got = 0;
  while (got < data.size()) {
    ssize_t n = ::read(fd, data.data() + got, data.size() - got);
    if (n <= 0) return std::nullopt;
    got += static_cast<std::size_t>(n);
  }
  return data;
}

}  // namespace

bool is_includable_image(std::string_view bytes, std::uint64_t& work_left) {
  work_budget budget(work_left);
  return is_png(bytes, budget) || is_jpeg(bytes) || is_pdf(bytes, budget);
}

bool is_includable_image(std::string_view bytes) {
  std::uint64_t work_left = image_work_budget_bytes;
  return is_includable_image(bytes, work_left);
}

image_checker::image_checker(std::string folder, std::uint64_t budget)
    : folder_(std::move(folder)), budget_left_(budget) {
  if (folder_.empty()) folder_ = ".";
  real_folder_ = real_path(folder_);
}

std::optional<std::string> image_checker::includable(std::string_view src) {
  auto [known, added] = by_source_.try_emplace(std::string(src));
  if (added) known->second = checked_path(src);
  return known->second;
}

std::optional<std::string> image_checker::checked_path(std::string_view src) {
  std::optional<std::string> path = decoded_path(src);
  std::optional<std::string> relative =
      path ? normalized_relative(*path) : std::nullopt;
  if (!relative || !real_folder_) return std::nullopt;
  std::optional<std::string> inside = file_inside(*real_folder_, *relative);
  if (!inside || !plain_image_path(*inside)) return std::nullopt;
  std::string file = *real_folder_;
  if (file.back() != '/') file += '/';
  if (!check_file(file + *inside)) return std::nullopt;
  return inside;
}

/// Reads and checks the regular file at `file` (a real path, so no link is
/// followed), once per device and inode. Only a regular file is opened: a
/// device or a pipe is not read.
bool image_checker::check_file(const std::string& file) {
  struct stat named {};
  if (::lstat(file.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) {
    return false;
  }
  open_file opened(file);
  struct stat info {};
  if (opened.fd() < 0 || ::fstat(opened.fd(), &info) != 0 ||
      !S_ISREG(info.st_mode) || info.st_dev != named.st_dev ||
      info.st_ino != named.st_ino) {
    return false;
  }
  auto [known, added] =
      by_file_.try_emplace({static_cast<std::uint64_t>(info.st_dev),
                            static_cast<std::uint64_t>(info.st_ino)},
                           false);
  if (!added) return known->second;
  auto size = static_cast<std::uint64_t>(info.st_size);
  work_budget budget(budget_left_);
  if (size > max_image_bytes || !budget.spend(size)) return false;
  std::optional<std::string> bytes =
      read_all(opened.fd(), static_cast<std::size_t>(size));
  known->second = bytes && is_includable_image(*bytes, budget_left_);
  return known->second;
}

std::optional<std::string> includable_image(std::string_view folder,
                                            std::string_view src) {
  return image_checker(std::string(folder)).includable(src);
}

}  // namespace tagweave
