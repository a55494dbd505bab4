// Escaping text for LaTeX to typeset as text: twelve special characters are
// replaced by fixed sequences, every other byte is copied unchanged. There is
// no character-set handling; multi-byte characters pass byte by byte.
#pragma once

#include "latex/byte_sink.h"

#include <string_view>

namespace tagweave {

/// Writes `chars` to `dest`, escaped.
void write_escaped(byte_sink& dest, std::string_view chars);

}  // namespace tagweave
