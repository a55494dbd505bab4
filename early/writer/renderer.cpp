#include "early/writer/renderer.h"

#include "early/writer/escape.h"

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

/// What `fragment` does to the arguments TeX reads.
constexpr argument_effect argument_effect_of(std::string_view fragment) {
  if (fragment == "\\item ") return argument_effect::starts_item;
  if (fragment == "\\item[") return argument_effect::opens_term;
  if (fragment == "]") return argument_effect::closes_term;
  if (fragment == "\\underline{") return argument_effect::opens_argument;
  if (fragment == "}") return argument_effect::closes_group;
  if (fragment.starts_with('{')) return argument_effect::opens_group;
  return argument_effect::balanced;
}

/// How many times `byte` stands in `bytes`.
constexpr std::ptrdiff_t count_of(std::string_view bytes, char byte) {
  std::ptrdiff_t count = 0;
  for (char c : bytes) count += c == byte ? 1 : 0;
  return count;
}

/// True when `effect` accounts for every brace and bracket `fragment`
/// writes, so that a fragment added later cannot open an argument unseen.
constexpr bool accounts_for(std::string_view fragment, argument_effect effect) {
  std::ptrdiff_t opened = count_of(fragment, '{') - count_of(fragment, '}');
  std::ptrdiff_t brackets = count_of(fragment, '[') + count_of(fragment, ']');
  switch (effect) {
    case argument_effect::balanced: return opened == 0 && brackets == 0;
    case argument_effect::opens_group:
    case argument_effect::opens_argument: return opened == 1 && brackets == 0;
    case argument_effect::closes_group: return opened == -1 && brackets == 0;
    case argument_effect::opens_term:
    case argument_effect::closes_term: return opened == 0 && brackets == 1;
    case argument_effect::starts_item: return opened == 0 && brackets == 0;
  }
  return false;
}

constexpr bool every_fragment_accounted_for() {
  for (std::uint32_t k = M_NONE; k <= M_UNKNOWN; ++k) {
    fragment text = fragment_of(static_cast<mark_kind>(k));
    for (std::string_view bytes : {text.start, text.end}) {
      if (!accounts_for(bytes, argument_effect_of(bytes))) return false;
    }
  }
  return true;
}
static_assert(every_fragment_accounted_for());

/// Both per kind, looked up once per tag rather than worked out by a switch
/// each time (every tag of a document comes here).
struct tag_writing {
  fragment text;
  std::string_view heading;  ///< the sectioning command, or empty
  /// Writes its fragment, if any, and nothing else: no heading, no
  /// nesting, no list label or term. Most tags of a page are such.
  bool only_writes = false;
  /// What its start's and its end's fragments do to the arguments TeX reads.
  argument_effect start_effect = argument_effect::balanced;
  argument_effect end_effect = argument_effect::balanced;

  std::string_view written(bool is_end) const {
    return is_end ? text.end : text.start;
  }
  argument_effect effect(bool is_end) const {
    return is_end ? end_effect : start_effect;
  }
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
    fragment text = fragment_of(kind);
    table[k] = {text, heading_command(kind), only_writes_its_fragment(kind),
                argument_effect_of(text.start), argument_effect_of(text.end)};
  }
  return table;
}();

/// \paragraph and \subparagraph run into the text that follows them.
bool is_run_in_heading(mark_kind kind) {
  return kind == M_HEADER_4 || kind == M_HEADER_5 || kind == M_HEADER_6;
}

}  // namespace

void argument_reader::follow_effect(argument_effect effect) {
  // No fragment starts with "[": whatever one writes after "\item " is not
  // its optional argument.
  if (reading_ == reading::item_start) reading_ = reading::nothing;
  switch (effect) {
    case argument_effect::balanced: break;
    case argument_effect::opens_group:
      if (reading_ != reading::nothing) ++depth_;
      break;
    case argument_effect::closes_group: close_group(); break;
    case argument_effect::opens_argument:
      if (reading_ == reading::nothing) reading_ = reading::braced;
      ++depth_;
      break;
    case argument_effect::opens_term:
      // Inside an argument, "[" is one more token of it.
      if (reading_ == reading::nothing) reading_ = reading::option;
      break;
    case argument_effect::closes_term:
      if (reading_ == reading::option && depth_ == 0) {
        reading_ = reading::nothing;
      }
      break;
    case argument_effect::starts_item:
      if (reading_ != reading::nothing) break;
      reading_ = reading::item_start;
      line_ended_ = false;
      after_cr_ = false;
      break;
  }
}

void argument_reader::close_group() {
  // A "}" outside the argument's groups: TeX ends an optional argument
  // there with an error, which is counted as still reading it.
  if (depth_ == 0) return;
  if (--depth_ == 0 && reading_ == reading::braced) {
    reading_ = reading::nothing;
  }
}

void argument_reader::follow_text(std::string_view bytes) {
  if (reading_ == reading::item_start) bytes = follow_item_start(bytes);
  // Escaped text opens no group but "{}" pairs, which hold no "]" ("\{" is
  // a character): any "]" in it stands outside the argument's groups.
  if (reading_ == reading::option && depth_ == 0 &&
      bytes.find(']') != std::string_view::npos) {
    reading_ = reading::nothing;
  }
}

/// Follows the text after "\item " as \item reads it, looking past spaces
/// for a "[": the bytes after a "[" that opens an optional argument, or
/// none once anything else has come.
std::string_view argument_reader::follow_item_start(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    if (bytes[at] == '[') {
      reading_ = reading::option;
      return bytes.substr(at + 1);
    }
    if (!skips_before_option(bytes[at])) {
      reading_ = reading::nothing;
      return {};
    }
  }
  return {};
}

/// True when `byte`, after "\item ", leaves \item looking for a "[":
/// spaces, tabs and NUL (which TeX drops), and a line end that does not end
/// a blank line (which TeX reads as \par).
bool argument_reader::skips_before_option(char byte) {
  switch (byte) {
    case ' ':
    case '\t':
    case '\0': after_cr_ = false; return true;
    case '\n':
      if (after_cr_) {  // completes a CR line end
        after_cr_ = false;
        return true;
      }
      [[fallthrough]];
    case '\r':
      if (line_ended_) return false;
      line_ended_ = true;
      after_cr_ = byte == '\r';
      return true;
    default: return false;
  }
}

void mark_renderer::write_text_run(std::string_view text) {
  if (state_ == S_TITLE) return;
  if (!in_verbatim_) {
    // In a listing too once an end tag inside it has closed its
    // environment, or when it began inside an argument: unchanged, the
    // text would be read as LaTeX.
    if (arguments_.follows_text()) {
      write_followed_text(text);
    } else {
      write_escaped_text(dest_, text);
    }
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
  if (state_ == S_HEADER || state_ == S_ARGUMENT_LISTING || in_term_) {
    // Arguments of \section, \item[...] and the like, which cannot hold a
    // blank line.
    write_escaped_argument(out, text, line_);
  } else {
    write_escaped(out, text);
  }
}

void mark_renderer::write_followed_text(std::string_view text) {
  byte_sink& followed = followed_sink();
  write_escaped_text(followed, text);
  followed.flush();
}

byte_sink& mark_renderer::watched_sink() {
  if (!watched_) {
    watched_ = std::make_unique<byte_sink>(
        [this](std::string_view piece) { verbatim_.write(dest_, piece); });
  }
  return *watched_;
}

byte_sink& mark_renderer::followed_sink() {
  if (!followed_) {
    followed_ = std::make_unique<byte_sink>([this](std::string_view piece) {
      arguments_.follow_text(piece);
      dest_.write(piece);
    });
  }
  return *followed_;
}

void mark_renderer::write_out(std::string_view bytes, argument_effect effect) {
  if (in_verbatim_) {
    verbatim_.write(dest_, bytes);
  } else {
    dest_.write(bytes);
    arguments_.follow(effect);
  }
}

/// True when a listing's start stands inside a command's argument, or its
/// end closes a listing that began in one: LaTeX's verbatim environment
/// cannot work there, so neither writes anything, and the text between is
/// escaped.
bool mark_renderer::is_listing_in_argument(bool is_end) const {
  if (in_verbatim_) return false;
  return is_end ? state_ == S_ARGUMENT_LISTING : arguments_.in_argument();
}

void mark_renderer::write_fragment(mark_kind kind, bool is_end) {
  const tag_writing& writing = tag_writings[kind];
  std::string_view fragment = writing.written(is_end);
  if (fragment.empty()) return;
  if (kind == M_LISTING_TEXT) {
    write_listing_fragment(is_end, fragment);
  } else {
    write_out(fragment, writing.effect(is_end));
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
  write_out(fragment, argument_effect::balanced);
  if (!is_end) in_verbatim_ = true;
}

/// A heading writes its command (starred unless headings are numbered) and
/// an opening brace; its end writes the closing brace.
void mark_renderer::write_heading(const mark_view& mark,
                                  std::string_view command) {
  if (mark.is_end) {
    write_out("}", argument_effect::closes_group);
    state_ = S_NORMAL;
    return;
  }
  write_out(command, argument_effect::balanced);
  if (!options_.numbered_headings) write_out("*", argument_effect::balanced);
  write_out("{", argument_effect::opens_argument);
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
    std::string_view text = writing.written(mark.is_end);
    if (!text.empty()) {
      write_out(text, writing.effect(mark.is_end));
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
      write_out("\\leavevmode", argument_effect::balanced);
    }
    write_heading(mark, command);
    line_ = {};
    list_start_ = list_start::typeset;
    return true;
  }
  const fragment& text = writing.text;
  bool listing_in_argument =
      mark.kind == M_LISTING_TEXT && is_listing_in_argument(mark.is_end);
  if (!listing_in_argument) write_fragment(mark.kind, mark.is_end);
  bool opens_list =
      text.nested_state == S_LIST || text.nested_state == S_DESC_LIST;
  if (opens_list && !mark.is_end) list_start_ = list_start::begun;
  if (text.nested_state == render_state{}) return true;
  if (!mark.is_end) {
    outer_states_.push_back(static_cast<std::uint8_t>(state_));
    state_ = listing_in_argument ? S_ARGUMENT_LISTING : text.nested_state;
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
