// A developer's view of a mark-up list: one entry per record, kind name and
// START or END, with each text run's characters between braces. Nothing on
// the conversion path uses it.
#pragma once

#include "early/reader/mark_up.h"
#include "output/byte_sink.h"

#include <cstdint>

namespace tagweave {

/// Writes the enumerator name of `kind`, or "UNKNOWN <value>" for a value
/// without a name here.
void print_kind(byte_sink& dest, std::uint32_t kind);

/// Writes one entry for every record of `marks`, in order.
void dump_marks(byte_sink& dest, const mark_list& marks);

}  // namespace tagweave
