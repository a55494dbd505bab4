#include "images/image_files.h"

#include "testing/run_program.h"
#include "testing/tiny_png.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <gtest/gtest.h>
#include <tagweave/tagweave.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace tagweave {
namespace {

namespace fs = std::filesystem;
using testing::append_be32;
using testing::png_chunk;
using testing::png_header_data;
using testing::png_of;

// --- PNG ---------------------------------------------------------------------

struct png_shape {
  std::uint32_t width, height;
  int depth, color, interlace;
  std::string raw;  // the rows as they inflate, filter bytes included
  std::size_t idat_pieces = 1;
};

std::string make_png(const png_shape& p, std::uint32_t adler_change = 0) {
  std::vector<png_chunk> chunks = {
      {"IHDR",
       png_header_data(p.width, p.height, p.depth, p.color, p.interlace)}};
  if (p.color == 3) chunks.push_back({"PLTE", std::string(6, '\x7f')});
  std::string data = testing::stored_zlib_blocks(p.raw);
  append_be32(data, testing::adler32(p.raw) ^ adler_change);
  std::size_t piece = data.size() / p.idat_pieces + 1;
  for (std::size_t at = 0; at < data.size(); at += piece) {
    chunks.push_back({"IDAT", data.substr(at, piece)});
  }
  chunks.push_back({"IEND", ""});
  return png_of(chunks);
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

struct image_case {
  const char* what;
  std::string bytes;
  bool includable;
};

void expect_cases(const std::vector<image_case>& cases) {
  for (const image_case& c : cases) {
    EXPECT_EQ(is_includable_image(c.bytes), c.includable) << c.what;
  }
}

TEST(IncludableImage, APngIsIncludedOnlyWhenItsDataInflatesToItsRows) {
  std::string bad_filter = rows_of(2, 3);
  bad_filter[4] = 5;  // the second row's filter byte
  expect_cases({
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
  });
}

/// `raw` deflated by zlib: blocks with Huffman codes and back references,
/// where the other pictures' data is stored.
std::string deflated(const std::string& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string out(size, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                      reinterpret_cast<const Bytef*>(raw.data()),
                      static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION),
            Z_OK);
  out.resize(size);
  return out;
}

/// A zlib header: `cmf` (method and window) and the flag bits `flags`,
/// with the check bits that make the two a multiple of 31.
std::string zlib_header(unsigned cmf, unsigned flags) {
  flags |= (31 - (cmf * 256 + flags) % 31) % 31;
  return {static_cast<char>(cmf), static_cast<char>(flags)};
}

/// An 8-bit grey picture of `width` by `height` whose data is `data`.
std::string grey_png(std::uint32_t width, std::uint32_t height,
                     const std::string& data) {
  return png_of({{"IHDR", png_header_data(width, height, 8, 0)},
                 {"IDAT", data},
                 {"IEND", ""}});
}

// The data must be a zlib stream zlib inflates whole: pdflatex's libpng
// inflates it with zlib and stops on whatever zlib refuses.
TEST(IncludableImage, APngsDataIsAZlibStreamZlibInflatesWhole) {
  // 256 rows of 257 bytes: the inflated data fills several pieces.
  std::string raw;
  for (std::size_t r = 0; r < 256; ++r) {
    raw += static_cast<char>(r % 5);
    for (std::size_t x = 0; x < 256; ++x) {
      raw += static_cast<char>((x / (1 + r % 7)) ^ (r / 16));
    }
  }
  const std::string good = deflated(raw);
  const std::string body = good.substr(2);  // the deflate data and checksum
  std::string checksum_wrong = good;
  checksum_wrong.back() = static_cast<char>(checksum_wrong.back() ^ 1);
  std::string header_check_wrong = good;
  header_check_wrong[1] = static_cast<char>(header_check_wrong[1] ^ 1);
  // Three zero bytes, filter byte and pixels of a 2x1 picture: written as a
  // literal and a copy, or (fixed codes) as a copy from before the start.
  const std::string zeros(3, '\0');
  const std::string copy_before_start("\x78\x9c\x03\x02\x00\x00\x03\x00\x01",
                                      9);
  expect_cases({
      {"deflated", grey_png(256, 256, good), true},
      {"bytes after the checksum, which PNG readers let be",
       grey_png(256, 256, good + "more"), true},
      {"the checksum wrong", grey_png(256, 256, checksum_wrong), false},
      {"the header's check bits wrong", grey_png(256, 256, header_check_wrong),
       false},
      {"a method other than deflate",
       grey_png(256, 256, zlib_header(0x77, 0) + body), false},
      {"a window past 32 KiB", grey_png(256, 256, zlib_header(0x88, 0) + body),
       false},
      {"a preset dictionary",
       grey_png(256, 256, zlib_header(0x78, 0x20) + "\0\0\0\1" + body), false},
      {"a block of the type that does not exist",
       grey_png(256, 256, zlib_header(0x78, 0) + "\x07" + body.substr(1)),
       false},
      {"three zero bytes", grey_png(2, 1, deflated(zeros)), true},
      {"the same as a copy from before the start",
       grey_png(2, 1, copy_before_start), false},
  });
  // Cut anywhere, even with every row there and only the checksum short.
  for (std::size_t size = 0; size < good.size(); size += 1 + size / 8) {
    EXPECT_FALSE(is_includable_image(grey_png(256, 256, good.substr(0, size))))
        << "cut to " << size << " bytes of " << good.size();
  }
  EXPECT_FALSE(
      is_includable_image(grey_png(256, 256, good.substr(0, good.size() - 1))));
}

/// The chunks of a 4x3 picture of colour type `color` (8 bits), with
/// `before` between IHDR (and the palette of an indexed picture) and the
/// data, `between` splitting the data in two IDAT chunks, and `after`
/// between the data and IEND.
std::string png_with(int color, std::vector<png_chunk> before,
                     std::vector<png_chunk> between = {},
                     std::vector<png_chunk> after = {}, bool palette = true) {
  std::size_t channels = color == 2 ? 3 : color == 6 ? 4 : color == 4 ? 2 : 1;
  std::string raw = rows_of(3, 4 * channels);
  if (color == 3) {
    for (std::size_t r = 0; r < 3; ++r) {
      for (std::size_t i = 1; i <= 4; ++i) raw[r * 5 + i] = '\1';
    }
  }
  std::string data = testing::stored_zlib(raw);
  std::vector<png_chunk> chunks = {{"IHDR", png_header_data(4, 3, 8, color)}};
  if (color == 3 && palette) chunks.push_back({"PLTE", std::string(6, '\7')});
  chunks.insert(chunks.end(), before.begin(), before.end());
  chunks.push_back({"IDAT", data.substr(0, data.size() / 2)});
  chunks.insert(chunks.end(), between.begin(), between.end());
  chunks.push_back({"IDAT", data.substr(data.size() / 2)});
  chunks.insert(chunks.end(), after.begin(), after.end());
  chunks.push_back({"IEND", ""});
  return png_of(chunks);
}

// Checked with pdflatex (see WhatItRefusesStopsPdflatex): libpng stops on
// an unknown critical chunk, a second IHDR, a misplaced or malformed
// palette and a chunk type that is not four letters; pdftex on IDAT chunks
// split by another. Ancillary chunks anywhere else only draw warnings.
TEST(IncludableImage, APngsChunksMustComeAsPdflatexReadsThem) {
  const png_chunk text{"tEXt", std::string("key\0value", 9)};
  const png_chunk unknown_critical{"ABCD", "x"};
  const png_chunk header{"IHDR", png_header_data(4, 3, 8, 0)};
  const png_chunk palette{"PLTE", std::string(6, '\7')};
  const png_chunk physical{"pHYs", testing::physical_data(3000)};
  std::string trailing = png_with(0, {}) + "bytes after IEND";
  std::string iend_with_data = png_with(0, {});
  iend_with_data.resize(iend_with_data.size() - 12);
  testing::append_png_chunk(iend_with_data, "IEND", "x");
  expect_cases({
      {"grey", png_with(0, {}), true},
      {"RGBA", png_with(6, {}), true},
      {"indexed", png_with(3, {}), true},
      {"ancillary chunks before, after the data",
       png_with(0, {text}, {}, {text, physical}), true},
      {"an unknown ancillary chunk", png_with(6, {{"zzZz", "q"}}), true},
      {"an indexed picture's transparency", png_with(3, {{"tRNS", "\1"}}),
       true},
      {"bytes after IEND", trailing, true},
      {"IDAT chunks split by a text chunk", png_with(0, {}, {text}), false},
      {"IDAT chunks split by an empty chunk", png_with(6, {}, {{"zzZz", ""}}),
       false},
      {"an unknown critical chunk before the data",
       png_with(0, {unknown_critical}), false},
      {"an unknown critical chunk after the data",
       png_with(6, {}, {}, {unknown_critical}), false},
      {"a second IHDR before the data", png_with(0, {header}), false},
      {"a second IHDR after the data", png_with(6, {}, {}, {header}), false},
      {"a chunk type with a digit", png_with(0, {{"ab1d", "x"}}), false},
      {"an indexed picture without its palette", png_with(3, {}, {}, {}, false),
       false},
      {"a palette after the data", png_with(3, {}, {}, {palette}, false),
       false},
      {"two palettes", png_with(3, {palette}), false},
      {"a palette of 13 bytes",
       png_with(3, {{"PLTE", std::string(13, '\1')}}, {}, {}, false), false},
      {"an empty palette", png_with(3, {{"PLTE", ""}}, {}, {}, false), false},
      {"a palette in a grey picture", png_with(0, {palette}), false},
      {"IEND with data", iend_with_data, false},
  });
}

TEST(IncludableImage, APngPastLibpngsSizeLimitIsRefused) {
  // 1-bit grey, at a resolution that makes it small enough for TeX.
  auto wide = [](std::uint32_t width) {
    std::string row(1 + (width + 7) / 8, '\0');
    return png_of({{"IHDR", png_header_data(width, 1, 1, 0)},
                   {"pHYs", testing::physical_data(2580000)},  // 65532 dpi
                   {"IDAT", testing::stored_zlib(row)},
                   {"IEND", ""}});
  };
  expect_cases({
      {"a million pixels wide", wide(1000000), true},
      {"a pixel more", wide(1000001), false},
  });
}

// --- Resolution --------------------------------------------------------------

std::string jpeg_segment(unsigned char marker, std::string_view body) {
  std::string segment{'\xFF', static_cast<char>(marker)};
  segment += static_cast<char>((body.size() + 2) >> 8);
  segment += static_cast<char>((body.size() + 2) & 0xFF);
  segment += body;
  return segment;
}

std::string be16(unsigned value) {
  return {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}

/// A JFIF segment: units 0 (aspect only), 1 (per inch) or 2 (per cm).
std::string jfif(int units, unsigned x, unsigned y) {
  return jpeg_segment(0xE0, std::string("JFIF\0\1\1", 7) +
                                static_cast<char>(units) + be16(x) + be16(y) +
                                std::string(2, '\0'));
}

/// An Exif segment giving a resolution of `numerator`/`denominator` on
/// both axes in `unit` (2 inches, 3 centimetres), big-endian.
std::string exif(std::uint32_t numerator, std::uint32_t denominator,
                 unsigned unit = 2) {
  std::string tiff("MM\0\x2a", 4);
  append_be32(tiff, 8);
  tiff += be16(3);
  const std::uint32_t values = 8 + 2 + 3 * 12 + 4;
  for (unsigned tag : {282u, 283u}) {
    tiff += be16(tag) + be16(5);
    append_be32(tiff, 1);
    append_be32(tiff, tag == 282 ? values : values + 8);
  }
  tiff += be16(296) + be16(3);
  append_be32(tiff, 1);
  tiff += be16(unit) + be16(0);
  append_be32(tiff, 0);
  for (int axis = 0; axis < 2; ++axis) {
    append_be32(tiff, numerator);
    append_be32(tiff, denominator);
  }
  return jpeg_segment(0xE1, std::string("Exif\0\0", 6) + tiff);
}

/// A baseline JPEG's markers, `width` x `height` pixels, with `segments`
/// before its frame; the scan holds no picture, which pdftex copies
/// without decoding.
std::string jpeg(unsigned width, unsigned height,
                 const std::vector<std::string>& segments) {
  std::string out("\xFF\xD8", 2);
  for (const std::string& s : segments) out += s;
  out +=
      jpeg_segment(0xC0, std::string("\x08", 1) + be16(height) + be16(width) +
                             std::string("\x01\x01\x11\x00", 4));
  out += jpeg_segment(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6));
  out += std::string(16, '\x55') + "\xFF\xD9";
  return out;
}

// pdftex measures a picture at the resolution of its pHYs, JFIF or Exif
// fields (checked with pdflatex: the refused ones stop it with "Dimension
// too large"): a resolution the checker did not read as pdftex does lets a
// picture through that TeX cannot measure.
TEST(IncludableImage, APictureMustFitTexAtTheResolutionPdftexReads) {
  auto png_at = [](std::uint32_t width, std::uint32_t pixels_per_metre) {
    std::string row(1 + (width + 7) / 8, '\0');
    return png_of({{"IHDR", png_header_data(width, 1, 1, 0)},
                   {"pHYs", testing::physical_data(pixels_per_metre)},
                   {"IDAT", testing::stored_zlib(row)},
                   {"IEND", ""}});
  };
  expect_cases({
      {"JPEG, 7000 pixels at 72 dpi", jpeg(7000, 10, {}), true},
      {"JPEG, 9000 pixels at 72 dpi", jpeg(9000, 10, {}), false},
      {"JPEG, 9000 pixels at 300 dpi (JFIF)",
       jpeg(9000, 10, {jfif(1, 300, 300)}), true},
      {"JPEG, 9000 pixels at 300 dots per cm (JFIF)",
       jpeg(9000, 10, {jfif(2, 300, 300)}), true},
      {"JPEG, JFIF's aspect ratio only", jpeg(9000, 10, {jfif(0, 300, 300)}),
       false},
      {"JPEG, 300 pixels at 1 dpi (JFIF)", jpeg(300, 10, {jfif(1, 1, 1)}),
       false},
      {"JPEG, a zero resolution is the other axis's",
       jpeg(10, 300, {jfif(1, 0, 1)}), false},
      {"JPEG, 300 pixels at 1 dpi (Exif)", jpeg(300, 10, {exif(1, 1)}), false},
      {"JPEG, 300 pixels at 1 dot per cm (Exif)",
       jpeg(300, 10, {exif(1, 1, 3)}), false},
      {"JPEG, 9000 pixels at 300 dpi (Exif)", jpeg(9000, 10, {exif(300, 1)}),
       true},
      {"JPEG, JFIF and Exif: the lesser counts",
       jpeg(300, 10, {jfif(1, 300, 300), exif(1, 1)}), false},
      {"JPEG, Exif's resolution of 1/2 dpi may round up to 1",
       jpeg(300, 10, {exif(1, 2)}), false},
      {"PNG, 100000 pixels at 65532 dpi", png_at(100000, 2580000), true},
      {"PNG, over 65535 dpi is ignored: 100000 pixels at 72 dpi",
       png_at(100000, 2580200), false},
  });
}

// --- PDF ---------------------------------------------------------------------

/// The objects of a one-page PDF, numbered from 1: catalog, page tree, page
/// and its contents.
struct pdf_parts {
  std::string header = "%PDF-1.4";
  std::string catalog = "<< /Type /Catalog /Pages 2 0 R >>";
  std::string pages =
      "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 200 100] >>";
  std::string page =
      "<< /Type /Page /Parent 2 0 R /Resources << >> /Contents 4 0 R >>";
  std::string trailer = "/Root 1 0 R";  // besides /Size
  long startxref_shift = 0;
};

const std::string page_contents =
    "<< /Length 18 >>\nstream\n0 0 m 100 50 l S\nendstream";

/// Appends object `number` to `pdf`, noting its offset.
void add_object(std::string& pdf, std::vector<std::size_t>& offsets,
                std::size_t number, std::string_view body) {
  if (offsets.size() <= number) offsets.resize(number + 1);
  offsets[number] = pdf.size();
  pdf += std::to_string(number) + " 0 obj\n" + std::string(body) + "\nendobj\n";
}

std::string ten_digits(std::size_t n) {
  std::string digits = std::to_string(n);
  return std::string(10 - digits.size(), '0') + digits;
}

/// The parts with a cross-reference table.
std::string classic_pdf(const pdf_parts& p) {
  std::string pdf = p.header + "\n%\xE2\xE3\xCF\xD3\n";
  std::vector<std::size_t> offsets;
  add_object(pdf, offsets, 1, p.catalog);
  add_object(pdf, offsets, 2, p.pages);
  add_object(pdf, offsets, 3, p.page);
  add_object(pdf, offsets, 4, page_contents);
  std::size_t xref = pdf.size();
  pdf += "xref\n0 5\n0000000000 65535 f \n";
  for (std::size_t n = 1; n <= 4; ++n) {
    pdf += ten_digits(offsets[n]) + " 00000 n \n";
  }
  pdf += "trailer\n<< /Size 5 " + p.trailer + " >>\nstartxref\n" +
         std::to_string(static_cast<long>(xref) + p.startxref_shift) +
         "\n%%EOF\n";
  return pdf;
}

/// How a cross-reference stream's entries are written: as they are,
/// deflated, or deflated after PNG's Up filter (or a filter type that
/// does not exist).
enum class xref_coding { plain, deflated, predicted, badly_predicted };

/// The parts with a cross-reference stream (/W [1 4 2]); the catalog,
/// page tree and page in an object stream when `in_object_stream`.
std::string stream_pdf(const pdf_parts& p, xref_coding coding,
                       bool in_object_stream) {
  std::string pdf = p.header + "\n%\xE2\xE3\xCF\xD3\n";
  std::vector<std::size_t> offsets;
  auto entry = [&](char type, std::uint32_t a, unsigned b) {
    std::string e(1, type);
    append_be32(e, a);
    e += be16(b);
    return e;
  };
  std::string entries = entry(0, 0, 65535);
  std::size_t xref_number = in_object_stream ? 6 : 5;
  if (in_object_stream) {
    std::string objects[] = {p.catalog, p.pages, p.page};
    std::string header, bodies;
    for (int i = 0; i < 3; ++i) {
      header +=
          std::to_string(i + 1) + " " + std::to_string(bodies.size()) + " ";
      bodies += objects[i] + "\n";
    }
    std::string stream = header + bodies;
    add_object(pdf, offsets, 4, page_contents);
    add_object(pdf, offsets, 5,
               "<< /Type /ObjStm /N 3 /First " + std::to_string(header.size()) +
                   " /Length " + std::to_string(stream.size()) +
                   " >>\nstream\n" + stream + "\nendstream");
    for (unsigned i = 0; i < 3; ++i) entries += entry(2, 5, i);
    entries += entry(1, static_cast<std::uint32_t>(offsets[4]), 0);
    entries += entry(1, static_cast<std::uint32_t>(offsets[5]), 0);
  } else {
    add_object(pdf, offsets, 1, p.catalog);
    add_object(pdf, offsets, 2, p.pages);
    add_object(pdf, offsets, 3, p.page);
    add_object(pdf, offsets, 4, page_contents);
    for (std::size_t n = 1; n <= 4; ++n) {
      entries += entry(1, static_cast<std::uint32_t>(offsets[n]), 0);
    }
  }
  std::size_t xref = pdf.size();
  entries += entry(1, static_cast<std::uint32_t>(xref), 0);
  std::string coded = entries, filter;
  if (coding == xref_coding::predicted ||
      coding == xref_coding::badly_predicted) {
    // PNG's Up filter on rows of 7 bytes: each byte less the one above.
    coded.clear();
    for (std::size_t at = 0; at < entries.size(); at += 7) {
      coded += coding == xref_coding::predicted ? '\2' : '\7';
      for (std::size_t i = 0; i < 7; ++i) {
        char above = at >= 7 ? entries[at - 7 + i] : '\0';
        coded += static_cast<char>(entries[at + i] - above);
      }
    }
    filter = " /DecodeParms << /Predictor 12 /Columns 7 >>";
  }
  if (coding != xref_coding::plain) {
    coded = testing::stored_zlib(coded);
    filter = " /Filter /FlateDecode" + filter;
  }
  std::string size = std::to_string(xref_number + 1);
  add_object(pdf, offsets, xref_number,
             "<< /Type /XRef /W [1 4 2] /Size " + size + " " + p.trailer +
                 filter + " /Length " + std::to_string(coded.size()) +
                 " >>\nstream\n" + coded + "\nendstream");
  pdf += "startxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

/// `pdf` (of classic_pdf) with an update: a new page object and a table
/// of its own whose trailer names the one before; `previous` overrides
/// where it says that is.
std::string updated_pdf(std::string pdf, std::string_view page,
                        std::optional<long> previous = std::nullopt) {
  std::size_t old_xref = pdf.rfind("startxref\n") + 10;
  std::string old_offset =
      pdf.substr(old_xref, pdf.find('\n', old_xref) - old_xref);
  std::size_t page_at = pdf.size();
  pdf += "3 0 obj\n" + std::string(page) + "\nendobj\n";
  std::size_t xref = pdf.size();
  pdf += "xref\n0 1\n0000000000 65535 f \n3 1\n" + ten_digits(page_at) +
         " 00000 n \ntrailer\n<< /Size 5 /Root 1 0 R /Prev " +
         (previous ? std::to_string(*previous) : old_offset) +
         " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

pdf_parts with_pages(std::string pages) {
  pdf_parts p;
  p.pages = std::move(pages);
  return p;
}

pdf_parts with_page(std::string page) {
  pdf_parts p;
  p.page = std::move(page);
  return p;
}

// Checked with pdflatex where pdflatex stops (see WhatItRefusesStopsPdflatex);
// the rest are refused because they cannot be checked cheaply (a wrong
// offset xpdf might repair, an encrypted file it might open).
TEST(IncludableImage, APdfIsIncludedWhenItsFirstPageCanBeFound) {
  pdf_parts plain;
  pdf_parts version_2;
  version_2.header = "%PDF-2.0";
  pdf_parts shifted;
  shifted.startxref_shift = 3;
  pdf_parts encrypted;
  encrypted.trailer = "/Root 1 0 R /Encrypt 9 0 R";
  pdf_parts no_root;
  no_root.trailer = "/Root 9 0 R";
  std::string whole = classic_pdf(plain);
  const std::string updated_page =
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 30000 30000] >>";
  const std::string small_page = "<< /Type /Page /Parent 2 0 R >>";
  // Where the update's table starts: after "3 0 obj\n", the page and
  // "\nendobj\n".
  const long update_xref =
      static_cast<long>(whole.size() + 16 + small_page.size());
  std::size_t first_xref = whole.find("xref\n");
  expect_cases({
      {"a table", whole, true},
      {"PDF 2.0", classic_pdf(version_2), true},
      {"a stream", stream_pdf(plain, xref_coding::plain, false), true},
      {"a deflated stream", stream_pdf(plain, xref_coding::deflated, false),
       true},
      {"objects in an object stream",
       stream_pdf(plain, xref_coding::deflated, true), true},
      {"a stream with a PNG predictor",
       stream_pdf(plain, xref_coding::predicted, true), true},
      {"an update", updated_pdf(whole, small_page), true},
      {"a page box that refers to no array",
       classic_pdf(with_page("<< /Type /Page /Parent 2 0 R /MediaBox 2 0 R "
                             ">>")),
       false},
      {"a crop box within the media box",
       classic_pdf(with_page("<< /Type /Page /Parent 2 0 R /CropBox [10 10 "
                             "50 50] >>")),
       true},
      {"header, nothing, %%EOF", "%PDF-1.4\nhello\n%%EOF\n", false},
      {"startxref 0", "%PDF-1.4\n1 0 obj\n<<>>\nendobj\nstartxref\n0\n%%EOF\n",
       false},
      {"cut in half", whole.substr(0, whole.size() / 2) + "\n%%EOF\n", false},
      {"no %%EOF", whole.substr(0, whole.size() - 6), false},
      {"startxref three bytes off", classic_pdf(shifted), false},
      {"no pages",
       classic_pdf(with_pages("<< /Type /Pages /Kids [] /Count 0 >>")), false},
      {"a count but no kids",
       classic_pdf(with_pages("<< /Type /Pages /Kids [] /Count 1 >>")), false},
      {"a page tree that is its own kid",
       classic_pdf(with_pages("<< /Type /Pages /Kids [2 0 R] /Count 1 >>")),
       false},
      {"a page that is no page",
       classic_pdf(with_page("<< /Type /Foo /Parent 2 0 R >>")), false},
      {"a media box past TeX's dimensions",
       classic_pdf(with_pages("<< /Type /Pages /Kids [3 0 R] /Count 1 "
                              "/MediaBox [0 0 30000 30000] >>")),
       false},
      {"an empty media box",
       classic_pdf(with_pages("<< /Type /Pages /Kids [3 0 R] /Count 1 "
                              "/MediaBox [0 0 0 0] >>")),
       false},
      {"a malformed media box",
       classic_pdf(with_pages("<< /Type /Pages /Kids [3 0 R] /Count 1 "
                              "/MediaBox [0 0 (x) 100] >>")),
       false},
      {"a crop box outside the media box",
       classic_pdf(with_page("<< /Type /Page /Parent 2 0 R /CropBox [300 300 "
                             "400 400] >>")),
       false},
      {"encrypted", classic_pdf(encrypted), false},
      {"no catalog", classic_pdf(no_root), false},
      {"a stream with a row filter that does not exist",
       stream_pdf(plain, xref_coding::badly_predicted, true), false},
      {"an update whose page is too large", updated_pdf(whole, updated_page),
       false},
      {"an update that names itself as the one before",
       updated_pdf(whole, small_page, update_xref), false},
      {"an update that names no section",
       updated_pdf(whole, small_page, static_cast<long>(first_xref) + 1),
       false},
  });
}

// --- Sources -----------------------------------------------------------------

/// A page's folder `page` beside a folder `outside` holding a picture the
/// page must not reach, with links and files of every kind.
class page_folder {
 public:
  page_folder() {
    fs::create_directories(root() / "page" / "sub");
    fs::create_directories(root() / "outside");
    fs::create_directories(root() / "page" / "dir.png");
    for (const char* name :
         {"page/x.png", "page/sub/y.png", "page/x.Png", "page/Cap.Jpg",
          "page/UPPER.PNG", "page/a+b_c-d.png", "page/space name.png",
          "outside/secret.png"}) {
      dir_.write(name, testing::tiny_png());
    }
    dir_.write("page/empty.png", "");
    fs::create_symlink("sub/y.png", root() / "page" / "link-in.png");
    fs::create_symlink("sub", root() / "page" / "in-dir");
    fs::create_symlink("../outside/secret.png",
                       root() / "page" / "link-out.png");
    fs::create_symlink(root() / "outside" / "secret.png",
                       root() / "page" / "link-abs.png");
    fs::create_symlink("../outside", root() / "page" / "out-dir");
    fs::create_symlink("loop.png", root() / "page" / "loop.png");
    fs::create_symlink(fs::canonical(root()) / "page" / "sub" / "y.png",
                       root() / "page" / "abs-in.png");
    fs::create_symlink("../x.png", root() / "page" / "sub" / "up.png");
    fs::create_symlink("link-in.png", root() / "page" / "chain.png");
    fs::create_symlink("../page/x.png", root() / "page" / "out-and-back.png");
    fs::create_symlink("page", root() / "page-link");
    ::mkfifo((root() / "page" / "fifo.png").c_str(), 0600);
  }

  const fs::path& root() const { return dir_.path(); }
  std::string page() const { return (root() / "page").string(); }

 private:
  testing::temp_dir dir_;
};

TEST(IncludableImage, OnlyFilesInsideThePagesFolderAreIncluded) {
  page_folder folder;
  const std::string root = folder.root().string();
  struct source_case {
    std::string src;
    std::optional<std::string> path;
  };
  const std::vector<source_case> cases = {
      {"x.png", "x.png"},
      {"./x.png", "x.png"},
      {"././x.png", "x.png"},
      {"sub/../x.png", "x.png"},
      {"sub/./y.png", "sub/y.png"},
      {"sub//y.png", "sub/y.png"},
      {"x.png?1", "x.png"},
      {"x.png#a", "x.png"},
      {" x.png\n", "x.png"},
      {"%78.png", "x.png"},
      {"UPPER.PNG", "UPPER.PNG"},
      {"a+b_c-d.png", "a+b_c-d.png"},
      // A link inside the tree is written as the file it leads to.
      {"link-in.png", "sub/y.png"},
      {"in-dir/y.png", "sub/y.png"},
      {"abs-in.png", "sub/y.png"},
      {"sub/up.png", "x.png"},
      {"chain.png", "sub/y.png"},
      // Out of the folder, by name or by link.
      {"../outside/secret.png", std::nullopt},
      {"sub/../../outside/secret.png", std::nullopt},
      {"%2e%2e/outside/secret.png", std::nullopt},
      {"%2E%2E%2Foutside%2Fsecret.png", std::nullopt},
      {root + "/outside/secret.png", std::nullopt},
      {root + "/page/x.png", std::nullopt},
      {"file://" + root + "/outside/secret.png", std::nullopt},
      {"link-out.png", std::nullopt},
      {"link-abs.png", std::nullopt},
      {"out-dir/secret.png", std::nullopt},
      // Links are read, not followed: one that leaves the tree is refused
      // before anything outside is looked at, even if it would come back.
      {"out-and-back.png", std::nullopt},
      // Not a regular file, or not there.
      {"loop.png", std::nullopt},
      {"fifo.png", std::nullopt},
      {"dir.png", std::nullopt},
      {"missing.png", std::nullopt},
      {"empty.png", std::nullopt},
      {"sub/", std::nullopt},
      {".", std::nullopt},
      {"", std::nullopt},
      {"x.png%00.txt", std::nullopt},
      // Names graphicx stops on or \includegraphics cannot take.
      {"x.Png", std::nullopt},
      {"Cap.Jpg", std::nullopt},
      {"space%20name.png", std::nullopt},
      {"sub\\y.png", std::nullopt},
      // Remote.
      {"http://example.com/x.png", std::nullopt},
      {"//example.com/x.png", std::nullopt},
      {"data:image/png;base64,AAAA", std::nullopt},
  };
  for (const source_case& c : cases) {
    EXPECT_EQ(includable_image(folder.page(), c.src), c.path) << c.src;
  }
  // The folder may itself be reached through a link.
  EXPECT_EQ(includable_image(root + "/page-link", "x.png"), "x.png");
  EXPECT_EQ(includable_image(root + "/page-link", "../outside/secret.png"),
            std::nullopt);
}

// --- Work
// ---------------------------------------------------------------------

/// The work checking `png` does: reading it and inflating its rows.
std::uint64_t check_work(const std::string& png, std::uint64_t rows) {
  return png.size() + rows;
}

TEST(ImageChecker, ChecksEachFileOnceHoweverThePageNamesIt) {
  testing::temp_dir dir;
  const std::string png = make_png({300, 400, 8, 0, 0, rows_of(400, 300)});
  dir.write("p.png", png);
  fs::create_directories(dir.path() / "sub");
  fs::create_hard_link(dir.path() / "p.png", dir.path() / "hard.png");
  const std::uint64_t budget = 100u << 20;
  image_checker checker(dir.path().string(), budget);
  std::vector<std::string> sources = {"p.png", "./p.png", "././p.png",
                                      "sub/../p.png"};
  for (int i = 0; i < 300; ++i) sources.push_back("p.png?" + std::to_string(i));
  for (const std::string& src : sources) {
    EXPECT_EQ(checker.includable(src), "p.png") << src;
  }
  EXPECT_EQ(checker.includable("hard.png"), "hard.png");
  EXPECT_EQ(checker.budget_left(), budget - check_work(png, 400 * 301));
}

TEST(ImageChecker, PicturesPastTheBudgetAreTheirAltText) {
  testing::temp_dir dir;
  const std::string png = make_png({300, 400, 8, 0, 0, rows_of(400, 300)});
  const std::uint64_t work = check_work(png, 400 * 301);
  for (int i = 0; i < 4; ++i) dir.write("p" + std::to_string(i) + ".png", png);
  // Enough for two, and to read a third.
  image_checker checker(dir.path().string(), 2 * work + png.size());
  EXPECT_EQ(checker.includable("p0.png"), "p0.png");
  EXPECT_EQ(checker.includable("p1.png"), "p1.png");
  EXPECT_EQ(checker.includable("p2.png"), std::nullopt);
  EXPECT_EQ(checker.includable("p3.png"), std::nullopt);
  EXPECT_EQ(checker.includable("./p0.png"), "p0.png");  // checked before
  EXPECT_EQ(checker.budget_left(), 0u);
}

/// The LaTeX html5 mode writes for `html`, pictures looked up in `folder`.
std::string html5_latex(const std::string& html, const std::string& folder) {
  document_options options;
  options.mode = reading_mode::html5;
  options.image_folder = folder;
  std::string latex;
  convert(html, options, latex);
  return latex;
}

std::size_t occurrences(std::string_view text, std::string_view word) {
  std::size_t count = 0;
  for (std::size_t at = text.find(word); at != std::string_view::npos;
       at = text.find(word, at + 1)) {
    ++count;
  }
  return count;
}

// A 250 KiB PNG whose rows inflate to 256 MiB, named 300 times: checked
// once, it is included every time.
TEST(ImageChecker, AnImageBombNamedManyTimesIsInflatedOnce) {
  testing::temp_dir dir;
  dir.write("bomb.png", testing::zero_png(16383, 16384));
  std::string html;
  for (int i = 0; i < 300; ++i) {
    html += "<img src='" +
            std::string(i % 3 == 0   ? "./"
                        : i % 3 == 1 ? "././"
                                     : "") +
            "bomb.png?" + std::to_string(i) + "' alt=b>";
  }
  std::string latex = html5_latex(html, dir.path().string());
  EXPECT_EQ(occurrences(latex, "\\twimage{bomb.png}"), 300u);
}

// Distinct bombs: the page's budget is spent after a few, and the rest
// are their alt text without being inflated.
TEST(ImageChecker, ImageBombsPastThePagesBudgetAreTheirAltText) {
  testing::temp_dir dir;
  const std::string bomb = testing::zero_png(16383, 16384);
  const std::uint64_t work = check_work(bomb, std::uint64_t{16384} * 16384);
  const std::uint64_t fitting = image_work_budget_bytes / work;
  std::string html;
  for (std::uint64_t i = 0; i < fitting + 3; ++i) {
    std::string name = "bomb" + std::to_string(i) + ".png";
    dir.write(name, bomb);
    html += "<img src='" + name + "' alt=b>";
  }
  std::string latex = html5_latex(html, dir.path().string());
  EXPECT_EQ(occurrences(latex, "\\twimage{"), fitting);
  EXPECT_EQ(occurrences(latex, "[b]"), 3u);
}

// --- With pdflatex -----------------------------------------------------------

/// pdflatex's path, or empty when it is not installed.
std::string pdflatex_path() {
  testing::program_call call;
  call.program = "/bin/sh";
  call.args = {"-c", "command -v pdflatex"};
  testing::program_run run = testing::run_program(call);
  std::string path = run.out.substr(0, run.out.find('\n'));
  return run.status == 0 ? path : "";
}

#define SKIP_WITHOUT_PDFLATEX()                                          \
  if (pdflatex_path().empty()) {                                         \
    GTEST_SKIP() << "skipped: pdflatex is not on PATH (install "         \
                    "texlive-latex-base and texlive-latex-recommended)"; \
  }

/// Runs pdflatex on `tex` in `folder`; its exit status, and the first
/// error of its log in `error`.
int run_pdflatex(const fs::path& folder, const std::string& tex,
                 std::string& error) {
  testing::program_call call;
  call.program = pdflatex_path();
  call.args = {"-interaction=nonstopmode", "-halt-on-error", tex};
  call.directory = folder;
  testing::program_run run = testing::run_program(call);
  std::string log = run.out;
  std::size_t at = log.find("\n!");
  error = at == std::string::npos
              ? log.substr(log.size() > 600 ? log.size() - 600 : 0)
              : log.substr(at, 600);
  return run.status;
}

/// A one-page PDF made by pdflatex, with `settings` before its class
/// (pdflatex's own makes a cross-reference stream and object streams;
/// \pdfobjcompresslevel=0 a table).
std::string pdf_made_by_pdflatex(const std::string& settings) {
  testing::temp_dir made;
  made.write("made.tex", settings +
                             "\\documentclass{article}\\pagestyle{empty}"
                             "\\begin{document}A picture.\\end{document}\n");
  std::string error;
  EXPECT_EQ(run_pdflatex(made.path(), "made.tex", error), 0) << error;
  return made.read("made.pdf");
}

/// The pictures of every kind the checks accept.
std::vector<std::pair<std::string, std::string>> accepted_pictures() {
  pdf_parts version_2;
  version_2.header = "%PDF-2.0";
  pdf_parts plain;
  const png_chunk text{"tEXt", std::string("key\0value", 9)};
  std::string wide_row(1 + 1000000 / 8, '\0');
  return {
      {"grey.png", png_with(0, {})},
      {"rgba.png", png_with(6, {})},
      {"indexed-transparent.png", png_with(3, {{"tRNS", "\1"}})},
      {"interlaced.png", make_png({9, 9, 8, 0, 1, adam7_9x9()})},
      {"rgba16.PNG", make_png({2, 2, 16, 6, 0, rows_of(2, 16)})},
      {"ancillary-everywhere.png",
       png_with(6, {text, {"zzZz", "q"}}, {}, {text})},
      {"bytes-after-iend.png", png_with(6, {}) + "more"},
      {"a-million-pixels-wide.png",
       png_of({{"IHDR", png_header_data(1000000, 1, 1, 0)},
               {"pHYs", testing::physical_data(2580000)},
               {"IDAT", testing::stored_zlib(wide_row)},
               {"IEND", ""}})},
      {"jfif-300dpi.jpg", jpeg(9000, 10, {jfif(1, 300, 300)})},
      {"exif-300dpi.JPEG", jpeg(9000, 10, {exif(300, 1)})},
      {"table.pdf", classic_pdf(plain)},
      {"version-2.pdf", classic_pdf(version_2)},
      {"object-streams.pdf", stream_pdf(plain, xref_coding::deflated, true)},
      {"predicted.PDF", stream_pdf(plain, xref_coding::predicted, true)},
      {"updated.pdf",
       updated_pdf(classic_pdf(plain), "<< /Type /Page /Parent 2 0 R >>")},
      {"by-pdflatex.pdf", pdf_made_by_pdflatex("")},
      {"by-pdflatex-table.pdf",
       pdf_made_by_pdflatex("\\pdfobjcompresslevel=0 \\pdfminorversion=4 ")},
  };
}

TEST(IncludableImage, WhatItIncludesCompilesWithPdflatex) {
  SKIP_WITHOUT_PDFLATEX();
  testing::temp_dir dir;
  std::string html;
  auto pictures = accepted_pictures();
  for (const auto& [name, bytes] : pictures) {
    EXPECT_TRUE(is_includable_image(bytes)) << name;
    dir.write(name, bytes);
    html += "<p><img src='" + name + "' alt='" + name + " refused'>";
  }
  std::string latex = html5_latex(html, dir.path().string());
  EXPECT_EQ(occurrences(latex, "\\twimage{"), pictures.size()) << latex;
  dir.write("page.tex", latex);
  std::string error;
  EXPECT_EQ(run_pdflatex(dir.path(), "page.tex", error), 0) << error;
}

/// The pictures of every kind the checks refuse because pdflatex stops on
/// them (the others they refuse only because they cannot be checked).
std::vector<std::pair<std::string, std::string>> pictures_pdflatex_stops_on() {
  const png_chunk text{"tEXt", std::string("key\0value", 9)};
  const png_chunk palette{"PLTE", std::string(6, '\7')};
  std::string wide_row(1 + 1000001 / 8, '\0');
  auto pages = [](std::string p) {
    return classic_pdf(with_pages(std::move(p)));
  };
  std::string whole = classic_pdf(pdf_parts{});
  return {
      {"mixed-case.Png", testing::tiny_png()},
      {"mixed-case.Jpg", jpeg(10, 10, {})},
      {"grey-idat-split.png", png_with(0, {}, {text})},
      {"rgba-idat-split.png", png_with(6, {}, {text})},
      {"unknown-critical.png", png_with(6, {{"ABCD", "x"}})},
      {"second-ihdr.png", png_with(0, {{"IHDR", png_header_data(4, 3, 8, 0)}})},
      {"digit-in-type.png", png_with(0, {{"ab1d", "x"}})},
      {"no-palette.png", png_with(3, {}, {}, {}, false)},
      {"palette-after-data.png", png_with(3, {}, {}, {palette}, false)},
      {"two-palettes.png", png_with(3, {palette})},
      {"palette-of-13.png",
       png_with(3, {{"PLTE", std::string(13, '\1')}}, {}, {}, false)},
      {"empty-palette.png", png_with(3, {{"PLTE", ""}}, {}, {}, false)},
      {"too-wide.png", png_of({{"IHDR", png_header_data(1000001, 1, 1, 0)},
                               {"pHYs", testing::physical_data(2580000)},
                               {"IDAT", testing::stored_zlib(wide_row)},
                               {"IEND", ""}})},
      {"jfif-1dpi.jpg", jpeg(300, 10, {jfif(1, 1, 1)})},
      {"jfif-zero-x.jpg", jpeg(10, 300, {jfif(1, 0, 1)})},
      {"exif-1dpi.jpg", jpeg(300, 10, {exif(1, 1)})},
      {"exif-1dpcm.jpg", jpeg(600, 10, {exif(1, 1, 3)})},
      {"exif-before-jfif.jpg", jpeg(300, 10, {exif(1, 1), jfif(1, 300, 300)})},
      {"nothing.pdf", "%PDF-1.4\nhello\n%%EOF\n"},
      {"startxref-0.pdf",
       "%PDF-1.4\n1 0 obj\n<<>>\nendobj\nstartxref\n0\n%%EOF\n"},
      {"cut.pdf", whole.substr(0, whole.size() / 2) + "\n%%EOF\n"},
      {"no-pages.pdf", pages("<< /Type /Pages /Kids [] /Count 0 >>")},
      {"count-without-kids.pdf", pages("<< /Type /Pages /Kids [] /Count 1 >>")},
      {"own-kid.pdf", pages("<< /Type /Pages /Kids [2 0 R] /Count 1 >>")},
      {"huge-box.pdf", pages("<< /Type /Pages /Kids [3 0 R] /Count 1 "
                             "/MediaBox [0 0 30000 30000] >>")},
      {"empty-box.pdf", pages("<< /Type /Pages /Kids [3 0 R] /Count 1 "
                              "/MediaBox [0 0 0 0] >>")},
  };
}

// Each picture in a folder of its own, with a document that includes it as
// tagweave would: pdflatex must stop on every one, or refusing it was not
// needed (and the table above says why it is refused).
TEST(IncludableImage, WhatItRefusesStopsPdflatex) {
  SKIP_WITHOUT_PDFLATEX();
  testing::temp_dir dir;
  std::string frame = html5_latex("<p>picture:", ".");
  std::size_t end = frame.rfind("\\end{document}");
  ASSERT_NE(end, std::string::npos);
  auto pictures = pictures_pdflatex_stops_on();
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const auto& [name, bytes] = pictures[i];
    fs::path folder = dir.path() / std::to_string(i);
    fs::create_directories(folder);
    dir.write(std::to_string(i) + "/" + name, bytes);
    EXPECT_EQ(includable_image(folder.string(), name), std::nullopt) << name;
    std::string tex = frame;
    tex.insert(end, "\\twimage{" + name + "}\n");
    dir.write(std::to_string(i) + "/doc.tex", tex);
  }
  // All at once: each run mostly waits on reading its files.
  testing::program_call call;
  call.program = "/bin/sh";
  call.args = {"-c",
               "for d in */; do (cd \"$d\" && \"$0\" -interaction=nonstopmode "
               "-halt-on-error doc.tex >/dev/null 2>&1; echo \"${d%/} $?\") & "
               "done; wait",
               pdflatex_path()};
  call.directory = dir.path();
  testing::program_run run = testing::run_program(call);
  ASSERT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.out);
  std::size_t index = 0, seen = 0;
  int status = 0;
  while (lines >> index >> status) {
    ++seen;
    ASSERT_LT(index, pictures.size());
    EXPECT_NE(status, 0) << pictures[index].first << " compiles";
  }
  EXPECT_EQ(seen, pictures.size());
}

}  // namespace
}  // namespace tagweave
