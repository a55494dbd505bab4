// Writing the body of a document: one fixed LaTeX fragment for each tag and
// the text of each run, in document order. A small render state decides how
// text is written: escaped (without blank lines inside a heading or a
// description term), unchanged (in listings) or not at all (in the title).
// Lists and listings nest; any end tag of a nesting kind closes the innermost
// one.
#pragma once

#include "html/mark_up.h"
#include "latex/escape.h"
#include "output/byte_sink.h"

#include <tagweave/tagweave.h>

#include <cstdint>
#include <vector>

namespace tagweave {

enum render_state : int {
  S_NORMAL = 1,  ///< text escaped
  S_TITLE,       ///< text dropped
  S_HEADER,      ///< inside a heading; text escaped
  S_LIST,        ///< inside an unordered, ordered or menu list
  S_DESC_LIST,   ///< inside a description list
  S_VERBATIM,    ///< inside a listing; text written unchanged
};

/// The walk over one document's records, fed one record at a time, so that
/// a document can be written while it is being read. Nesting depth is limited
/// only by memory: the walk keeps its own stack of the states that open lists
/// interrupted, rather than calling itself.
class mark_renderer {
 public:
  mark_renderer(byte_sink& dest, render_state start,
                const document_options& options)
      : dest_(dest), options_(options), state_(start) {}

  /// Writes `mark`. False when `mark` is an end tag of a nesting kind with no
  /// list open: its end text is written and the walk is over, so no further
  /// record may be given.
  bool render(const mark_view& mark);

  /// The current state: the innermost open list's.
  render_state state() const { return state_; }

  /// True when the walk stands where a new walk started in S_NORMAL does,
  /// so that what follows is written alike by either: the second half of a
  /// document may then be written by a walk of its own.
  bool is_as_new() const {
    return state_ == S_NORMAL && outer_states_.empty() && !in_term_ &&
           list_start_ == list_start::typeset && !line_.blank &&
           !line_.after_cr;
  }

 private:
  void write_text_run(std::string_view text);
  /// Writes the fragment of a tag of `kind` and notes what it opens.
  void write_fragment(mark_kind kind, std::string_view fragment);
  void follow_list_start(mark_kind kind);

  byte_sink& dest_;
  const document_options& options_;
  render_state state_;
  /// The states open lists interrupted, innermost last, a byte each: the
  /// only memory a walk takes that grows with the input, as nesting does.
  std::vector<std::uint8_t> outer_states_;
  /// Between a description term's "\item[" and its "]".
  bool in_term_ = false;
  /// How far the latest list has come while nothing in it is typeset, as
  /// LaTeX's \if@newlist follows it: only its first "\item " or "\item[",
  /// the term, "]", paragraph breaks and tags that write nothing so far.
  enum class list_start { typeset, begun, first_item };
  list_start list_start_ = list_start::typeset;
  /// Where the output stands in its line, kept for text inside a heading or
  /// a term, which must not hold a blank line.
  line_position line_;
};

/// Writes `marks` to `dest`, starting in the state held by `state_cell`.
/// When the walk reaches the end of the list it stores its final state there
/// and returns null. An end tag of a nesting kind with no list open ends the
/// walk early: its end text is written, it is returned, and `state_cell` is
/// left alone.
const mark_up* render_marks(byte_sink& dest, const mark_list& marks,
                            render_state& state_cell,
                            const document_options& options);

}  // namespace tagweave
