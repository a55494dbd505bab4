// Writing a document's body, the records between the frame's two parts.
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

}  // namespace tagweave
