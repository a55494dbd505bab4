// Which images of an --html5 page pdflatex can include: a local file, named
// by a relative (or absolute) path of plain characters, that really is a
// PNG, JPEG or PDF file pdflatex reads. Anything else (a remote URL, an SVG
// or GIF, a missing or damaged file) is written as its alt text, since a
// file pdflatex cannot read would stop the whole document.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tagweave {

/// The path to write in \includegraphics for `src`, resolved against
/// `folder`, or nothing when it cannot be included.
std::optional<std::string> includable_image(std::string_view folder,
                                            std::string_view src);

/// Whether `bytes` (a whole file) look like an image pdflatex reads
/// without error: a PNG whose chunks are whole, with valid CRCs and an
/// IHDR it supports, whose data inflates to exactly its rows, each with a
/// valid filter type; a baseline or progressive 8-bit JPEG; a PDF with its
/// header and trailer. PNG and JPEG pictures must also be small enough, at
/// their own resolution, for TeX to measure.
bool is_includable_image(std::string_view bytes);

}  // namespace tagweave
