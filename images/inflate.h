// Inflating a zlib stream (RFC 1950) of deflate blocks (RFC 1951) to check
// it, not to keep it: a PNG's image data is decoded by pdflatex, which stops
// on data that does not inflate, so an image is included only when its data
// inflates whole, its checksum agrees and every row starts with a valid
// filter. The output passes through a 32 KiB window and is handed on in
// pieces; nothing grows with the image.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace tagweave {

/// Receives the inflated bytes in order, a piece at a time; returns false
/// to stop the inflating (the stream then counts as bad).
using inflated_piece_sink = std::function<bool(std::string_view piece)>;

/// Inflates `stream`, a whole zlib stream, handing its output to `take`.
/// True only when the stream is well formed to its last block, its Adler-32
/// checksum matches the output, at most `max_output` bytes came out and
/// `take` accepted every piece. Bytes after the checksum are not looked at.
bool inflate_zlib(std::string_view stream, std::uint64_t max_output,
                  const inflated_piece_sink& take);

}  // namespace tagweave
