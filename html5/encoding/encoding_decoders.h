// The Encoding standard's decoders for the encodings we read, each fused
// with the input stream's preprocessing so that a file is decoded in one
// pass: the output is UTF-8 in which every CR LF and lone CR is LF.
#pragma once

#include "html5/encoding/encoding.h"

#include <string>
#include <string_view>

namespace tagweave::html5 {

/// Appends `bytes` (no byte order mark: the caller has removed it) decoded
/// as `e` to `out`. Errors become U+FFFD as the Encoding standard's decoder
/// for `e` emits them.
void decode_to_utf8(encoding e, std::string_view bytes, std::string& out);

}  // namespace tagweave::html5
