// Writing a document's body, the records between the frame's two parts. A
// large document is written in two halves side by side: the calling thread
// reads and writes the first half, a helper thread reads and writes the
// second into a bounded queue, and the calling thread passes that on once
// its own half is done. The second half starts at a tag after the middle,
// and its output is kept only when the first half's split and walk end
// there exactly as a new split and walk begin: then both halves write what
// one walk over the whole would. Otherwise the helper is stopped and the
// calling thread goes on alone, as it does for small documents.
#pragma once

#include "early/reader/splitter.h"
#include "output/byte_sink.h"

#include <tagweave/tagweave.h>

#include <string>

namespace tagweave {

struct body_status {
  split_status split = split_status::complete;
  bool ended_early = false;  ///< a stray end tag of a list ended the walk
};

/// Splits `text` (working space: its runs are decoded where they stand) and
/// writes its records to `dest`, starting in the normal render state.
body_status write_body(std::string& text, byte_sink& dest,
                       const document_options& options);

/// write_body with the second half starting at `start`, a '<' that may
/// begin a tag, whatever the document's size: what write_body does once it
/// has chosen where, and what the tests try everywhere.
body_status write_body_in_halves(std::string& text, byte_sink& dest,
                                 const document_options& options,
                                 std::size_t start);

/// The same, always on the calling thread alone.
body_status write_body_serially(std::string& text, byte_sink& dest,
                                const document_options& options);

/// Where write_body would start the second half of `text`: a start tag of
/// a heading or paragraph at or after the middle, not far after it; npos
/// when the text is too small to be worth two threads, or has none there.
std::size_t second_half_start(std::string_view text);

}  // namespace tagweave
