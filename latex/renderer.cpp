#include "latex/renderer.h"

#include "latex/escape.h"

#include <array>
#include <string_view>

namespace tagweave {
namespace {

/// What a tag record writes: its start and end text, and, for the five
/// nesting kinds, the state its nested walk starts in.
struct fragment {
  std::string_view start;
  std::string_view end;
  render_state nested_state = render_state{};  // zero: does not nest
};

constexpr fragment fragment_of(mark_kind kind) {
  switch (kind) {
    case M_PARAGRAPH: return {"\\par ", "\\par "};
    case M_UNUM_LIST:
    case M_MENU: return {"\\begin{itemize}", "\\end{itemize}", S_LIST};
    case M_NUM_LIST: return {"\\begin{enumerate}", "\\end{enumerate}", S_LIST};
    case M_DESC_LIST:
      return {"\\begin{description}", "\\end{description}", S_DESC_LIST};
    case M_LISTING_TEXT:
      return {"\\begin{verbatim}", "\\end{verbatim}", S_VERBATIM};
    case M_LIST_ITEM: return {"\\item ", "\\item "};
    case M_DESC_TITLE: return {"\\item[", "\\item["};
    case M_DESC_TEXT: return {"]", "]"};
    case M_EMPHASIS:
    case M_ITALIC:
    case M_VARIABLE: return {"{\\it ", "}"};
    case M_TELETYPE:
    case M_SAMPLE: return {"{\\tt ", "}"};
    case M_BOLD:
    case M_STRONG: return {"{\\bf ", "}"};
    case M_UNDERLINE: return {"\\underline{", "}"};
    case M_KEYBOARD: return {"{\\tt\\bf ", "}"};
    case M_DEFINITION: return {"{\\bf\\it ", "}"};
    case M_CITATION: return {"{\\sc ", "}"};
    default: return {};  // writes nothing of its own
  }
}

/// The sectioning command of a heading kind, or the empty view.
constexpr std::string_view heading_command(mark_kind kind) {
  switch (kind) {
    case M_HEADER_1: return "\\section";
    case M_HEADER_2: return "\\subsection";
    case M_HEADER_3: return "\\subsubsection";
    case M_HEADER_4: return "\\paragraph";
    case M_HEADER_5:
    case M_HEADER_6: return "\\subparagraph";
    default: return {};
  }
}

/// Both per kind, looked up once per tag rather than worked out by a switch
/// each time (every tag of a document comes here).
struct tag_writing {
  fragment text;
  std::string_view heading;  ///< the sectioning command, or empty
  /// Writes its fragment, if any, and nothing else: no heading, no
  /// nesting, no list label or term. Most tags of a page are such.
  bool only_writes = false;
};

/// True for the kinds whose start and end write their fragment and do
/// nothing else, which render() takes the short way.
constexpr bool only_writes_its_fragment(mark_kind kind) {
  switch (kind) {
    case M_TITLE:
    case M_LIST_ITEM:
    case M_DESC_TITLE:
    case M_DESC_TEXT:
    case M_PARAGRAPH: return false;
    default:
      return heading_command(kind).empty() &&
             fragment_of(kind).nested_state == render_state{};
  }
}

constexpr std::array<tag_writing, M_UNKNOWN + 1> tag_writings = [] {
  std::array<tag_writing, M_UNKNOWN + 1> table{};
  for (std::size_t k = 0; k < table.size(); ++k) {
    auto kind = static_cast<mark_kind>(k);
    table[k] = {fragment_of(kind), heading_command(kind),
                only_writes_its_fragment(kind)};
  }
  return table;
}();

/// \paragraph and \subparagraph run into the text that follows them.
bool is_run_in_heading(mark_kind kind) {
  return kind == M_HEADER_4 || kind == M_HEADER_5 || kind == M_HEADER_6;
}

}  // namespace

void mark_renderer::write_text_run(std::string_view text) {
  if (state_ == S_TITLE) return;
  if (!in_verbatim_) {
    // In a listing too once an end tag inside it has closed its
    // environment: unchanged, the text would be read as LaTeX.
    write_escaped_text(dest_, text);
  } else if (state_ == S_VERBATIM) {
    verbatim_.write(dest_, text);
  } else {
    // A list's or heading's end tag inside a listing left its state but not
    // its environment.
    byte_sink& watched = watched_sink();
    write_escaped_text(watched, text);
    watched.flush();
  }
  if (!text.empty() && !in_term_) list_start_ = list_start::typeset;
}

void mark_renderer::write_escaped_text(byte_sink& out, std::string_view text) {
  if (state_ == S_HEADER || in_term_) {
    // Arguments of \section and \item[...], which cannot hold a blank line.
    write_escaped_argument(out, text, line_);
  } else {
    write_escaped(out, text);
  }
}

byte_sink& mark_renderer::watched_sink() {
  if (!watched_) {
    watched_ = std::make_unique<byte_sink>(
        [this](std::string_view piece) { verbatim_.write(dest_, piece); });
  }
  return *watched_;
}

void mark_renderer::write_out(std::string_view bytes) {
  if (in_verbatim_) {
    verbatim_.write(dest_, bytes);
  } else {
    dest_.write(bytes);
  }
}

void mark_renderer::write_fragment(mark_kind kind, bool is_end,
                                   std::string_view fragment) {
  if (fragment.empty()) return;
  if (kind == M_LISTING_TEXT) {
    write_listing_fragment(is_end, fragment);
  } else {
    write_out(fragment);
  }
  line_ = {};
  // "\item[" opens a term, "]" closes it.
  if (kind == M_DESC_TITLE) in_term_ = true;
  if (kind == M_DESC_TEXT) in_term_ = false;
  follow_list_start(kind);
}

/// A listing's start opens a verbatim environment and its end closes the
/// open one, whatever the innermost state; inside an open environment a
/// start is text.
void mark_renderer::write_listing_fragment(bool is_end,
                                           std::string_view fragment) {
  if (is_end && in_verbatim_) {
    dest_.write(fragment);
    in_verbatim_ = false;
    verbatim_ = {};
    return;
  }
  write_out(fragment);
  if (!is_end) in_verbatim_ = true;
}

/// A heading writes its command (starred unless headings are numbered) and
/// an opening brace; its end writes the closing brace.
void mark_renderer::write_heading(const mark_view& mark,
                                  std::string_view command) {
  if (mark.is_end) {
    write_out("}");
    state_ = S_NORMAL;
    return;
  }
  write_out(command);
  if (!options_.numbered_headings) write_out("*");
  write_out("{");
  state_ = S_HEADER;
}

void mark_renderer::follow_list_start(mark_kind kind) {
  switch (kind) {
    case M_LIST_ITEM:
    case M_DESC_TITLE:
      // A second label typesets the first.
      list_start_ = list_start_ == list_start::begun ? list_start::first_item
                                                     : list_start::typeset;
      break;
    case M_DESC_TEXT:  // the end of a term, which is typeset later
    case M_PARAGRAPH: break;
    default: list_start_ = list_start::typeset;
  }
}

bool mark_renderer::render(const mark_view& mark) {
  if (mark.is_text_run()) {
    write_text_run(mark.text);
    return true;
  }
  if (mark.kind == M_TITLE) {
    state_ = mark.is_end ? S_NORMAL : S_TITLE;
    return true;
  }
  const tag_writing& writing = tag_writings[mark.kind];
  if (writing.only_writes) {
    // What write_fragment does for such a kind.
    std::string_view text = mark.is_end ? writing.text.end : writing.text.start;
    if (!text.empty()) {
      write_out(text);
      line_ = {};
      list_start_ = list_start::typeset;
    }
    return true;
  }
  if (std::string_view command = writing.heading; !command.empty()) {
    // A run-in heading before anything of a list's first item is typeset
    // stops LaTeX: "Something's wrong--perhaps a missing \item". Starting
    // the paragraph typesets the item's label first.
    if (!mark.is_end && list_start_ == list_start::first_item &&
        is_run_in_heading(mark.kind)) {
      write_out("\\leavevmode");
    }
    write_heading(mark, command);
    line_ = {};
    list_start_ = list_start::typeset;
    return true;
  }
  const fragment& text = writing.text;
  write_fragment(mark.kind, mark.is_end, mark.is_end ? text.end : text.start);
  bool opens_list =
      text.nested_state == S_LIST || text.nested_state == S_DESC_LIST;
  if (opens_list && !mark.is_end) list_start_ = list_start::begun;
  if (text.nested_state == render_state{}) return true;
  if (!mark.is_end) {
    outer_states_.push_back(static_cast<std::uint8_t>(state_));
    state_ = text.nested_state;
    return true;
  }
  if (outer_states_.empty()) return false;  // closes nothing: the walk ends
  state_ = static_cast<render_state>(outer_states_.back());
  outer_states_.pop_back();
  return true;
}

const mark_up* render_marks(byte_sink& dest, const mark_list& marks,
                            render_state& state_cell,
                            const document_options& options) {
  mark_renderer walk(dest, state_cell, options);
  for (const mark_up& mark : marks) {
    if (!walk.render(mark.view())) return &mark;
  }
  state_cell = walk.state();
  return nullptr;
}

}  // namespace tagweave
