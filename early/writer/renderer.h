// Writing the body of a document: one fixed LaTeX fragment for each tag and
// the text of each run, in document order. A small render state decides how
// text is written: escaped (without blank lines inside a heading or a
// description term), unchanged (in listings) or not at all (in the title).
// Lists and listings nest; any end tag of a nesting kind closes the innermost
// one. Whatever a listing's verbatim environment holds is shown as text:
// nothing written into it can end it. Inside a command's argument, where
// no verbatim environment works, a listing opens none: its text is escaped.
#pragma once

#include "early/reader/mark_up.h"
#include "early/writer/escape.h"
#include "output/byte_sink.h"

#include <tagweave/tagweave.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace tagweave {

enum render_state : int {
  S_NORMAL = 1,        ///< text escaped
  S_TITLE,             ///< text dropped
  S_HEADER,            ///< inside a heading; text escaped
  S_LIST,              ///< inside an unordered, ordered or menu list
  S_DESC_LIST,         ///< inside a description list
  S_VERBATIM,          ///< inside a listing; text written unchanged, while its
                       ///< verbatim environment is open
  S_ARGUMENT_LISTING,  ///< inside a listing that began inside a command's
                       ///< argument; text escaped as the argument's
};

/// What a fragment written outside a verbatim environment does to the
/// command arguments TeX is reading. The first three change nothing while
/// none is read.
enum class argument_effect : std::uint8_t {
  balanced,        ///< opens and closes nothing: "\par ", "\begin{itemize}"
  opens_group,     ///< "{\it "
  closes_group,    ///< "}"
  opens_argument,  ///< "\underline{", a heading's "{"
  opens_term,      ///< "\item[": an optional argument, up to its "]"
  closes_term,     ///< "]"
  starts_item,     ///< "\item ": a "[" next opens its optional argument
};

/// Follows, from the output written outside verbatim environments, whether
/// TeX is reading a command's argument: a listing's verbatim environment
/// does not work there, and its text would be read as LaTeX. It errs only
/// towards an argument: where TeX ends one early with an error (at a
/// paragraph's end, an extra brace), it still counts as being read.
class argument_reader {
 public:
  /// True while TeX reads an argument.
  bool in_argument() const {
    return reading_ == reading::braced || reading_ == reading::option;
  }
  /// True when written text may start or end an argument: follow_text()
  /// must then see it.
  bool follows_text() const {
    return reading_ == reading::item_start ||
           (reading_ == reading::option && depth_ == 0);
  }

  /// Follows a fragment just written.
  void follow(argument_effect effect) {
    if (reading_ == reading::nothing &&
        effect <= argument_effect::closes_group) {
      return;
    }
    follow_effect(effect);
  }
  /// Follows `bytes`, text just written as it was written (escaped).
  void follow_text(std::string_view bytes);

 private:
  enum class reading : std::uint8_t {
    nothing,
    item_start,  ///< after "\item ", before anything but spaces and a
                 ///< line end
    braced,      ///< up to the brace that closes the opening one
    option,      ///< up to a "]" outside groups
  };

  void follow_effect(argument_effect effect);
  void close_group();
  std::string_view follow_item_start(std::string_view bytes);
  bool skips_before_option(char byte);

  reading reading_ = reading::nothing;
  /// The groups open inside the argument; a braced one's own brace counts.
  std::size_t depth_ = 0;
  /// After "\item ": a line has ended since, and the last byte ended one
  /// with a CR, which a LF next completes. Two line ends make a blank line,
  /// which TeX reads as \par.
  bool line_ended_ = false;
  bool after_cr_ = false;
};

/// The walk over one document's records, fed one record at a time, so that
/// a document can be written while it is being read. Nesting depth is limited
/// only by memory: the walk keeps its own stack of the states that open lists
/// interrupted, rather than calling itself.
class mark_renderer {
 public:
  mark_renderer(byte_sink& dest, render_state start,
                const document_options& options)
      : dest_(dest),
        options_(options),
        state_(start),
        in_verbatim_(start == S_VERBATIM) {}
  // The sink for escaped text inside a verbatim environment writes through
  // this object.
  mark_renderer(const mark_renderer&) = delete;
  mark_renderer& operator=(const mark_renderer&) = delete;

  /// Writes `mark`. False when `mark` is an end tag of a nesting kind with no
  /// list open: its end text is written and the walk is over, so no further
  /// record may be given.
  bool render(const mark_view& mark);

  /// The current state: the innermost open list's.
  render_state state() const { return state_; }

 private:
  void write_text_run(std::string_view text);
  void write_escaped_text(byte_sink& out, std::string_view text);
  /// Writes escaped text through followed_sink(), for arguments_ to see.
  void write_followed_text(std::string_view text);
  byte_sink& watched_sink();
  byte_sink& followed_sink();
  /// Writes a tag's output, through verbatim_ while a verbatim environment
  /// is open, else following what it does to arguments.
  void write_out(std::string_view bytes, argument_effect effect);
  bool is_listing_in_argument(bool is_end) const;
  /// Writes the fragment of a tag of `kind` and notes what it opens.
  void write_fragment(mark_kind kind, bool is_end);
  void write_listing_fragment(bool is_end, std::string_view fragment);
  void write_heading(const mark_view& mark, std::string_view command);
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
  /// True while LaTeX reads the output as a verbatim environment's text:
  /// from a listing's "\begin{verbatim}" to the next listing end's
  /// "\end{verbatim}", which may close it from inside a list or a heading,
  /// leaving the listing's state with no environment open.
  bool in_verbatim_;
  /// Everything written while the environment is open, tags' output
  /// included, goes through it.
  verbatim_writer verbatim_;
  /// Hands escaped text inside the environment to verbatim_; made when
  /// first needed.
  std::unique_ptr<byte_sink> watched_;
  /// Whether TeX reads a command's argument where the output stands.
  argument_reader arguments_;
  /// Hands escaped text to arguments_ and on to dest_, while it may start
  /// or end an argument; made when first needed.
  std::unique_ptr<byte_sink> followed_;
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
