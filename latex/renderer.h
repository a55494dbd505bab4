// Writing the body of a document: one fixed LaTeX fragment for each tag and
// the text of each run, in document order. A small render state decides how
// text is written: escaped, unchanged (in listings) or not at all (in the
// title). Lists and listings nest; any end tag of a nesting kind closes the
// innermost one.
#pragma once

#include "driver/run_options.h"
#include "html/mark_up.h"
#include "latex/byte_sink.h"

namespace tagweave {

enum render_state : int {
  S_NORMAL = 1,  ///< text escaped
  S_TITLE,       ///< text dropped
  S_HEADER,      ///< inside a heading; text escaped
  S_LIST,        ///< inside an unordered, ordered or menu list
  S_DESC_LIST,   ///< inside a description list
  S_VERBATIM,    ///< inside a listing; text written unchanged
};

/// Writes `marks` to `dest`. The walk starts in the state held by
/// `state_cell`. When it reaches the end of the list it stores its final
/// state there (the innermost open list's) and returns null. An end tag of a
/// nesting kind with no list open ends the walk early: its end text is
/// written, it is returned, and `state_cell` is left alone. Nesting depth is
/// limited only by memory: the walk keeps its own stack of saved states.
const mark_up* render_marks(byte_sink& dest, const mark_list& marks,
                            render_state& state_cell,
                            const RunOptions& options);

}  // namespace tagweave
