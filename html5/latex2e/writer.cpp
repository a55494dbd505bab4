// Walking the tree and writing LaTeX2e. Every element pushes a frame; a
// frame's opening LaTeX is written only when content first appears inside
// it (so empty elements vanish and no list is ever begun without an item),
// and its closing LaTeX when it is left, if it was opened. White space and
// paragraph breaks are kept pending and written only between pieces of
// content, which collapses them as a browser does.
#include "html5/latex2e/writer.h"

#include "html5/latex2e/content_selection.h"
#include "html5/latex2e/element_roles.h"
#include "html5/latex2e/escape.h"
#include "html5/latex2e/html_text.h"
#include "html5/latex2e/latex_lines.h"
#include "html5/latex2e/links.h"
#include "html5/latex2e/notes.h"
#include "html5/latex2e/preamble.h"
#include "html5/latex2e/preformatted.h"
#include "html5/latex2e/survey.h"
#include "html5/latex2e/table_fit.h"
#include "html5/latex2e/table_plan.h"
#include "html5/latex2e/tree_walk.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tagweave::latex2e {
namespace {

using html5::document;
using html5::no_node;
using html5::node;
using html5::node_id;
using html5::node_kind;
using html5::tag;

constexpr std::size_t npos = static_cast<std::size_t>(-1);

/// TeX allows 255 levels of grouping; inline styles nested deeper than this
/// are written as plain text, leaving room for environments and cells.
constexpr std::size_t max_inline_groups = 40;
/// Per-word wrappers (links, underline, sub- and superscripts) nested
/// deeper than this add nothing a reader would see.
constexpr std::size_t max_wrappers = 6;
/// The counters of enumerate's levels, one per level the preamble sets
/// (max_list_depth).
constexpr std::string_view enumerate_counters[] = {
    "enumi", "enumii", "enumiii", "enumiv",
    "enumv", "enumvi", "enumvii", "enumviii"};
static_assert(std::size(enumerate_counters) == max_list_depth);
/// Escaped a piece at a time, so that a word far longer than a line gets
/// its line ends too; a byte becomes at most 17 bytes of LaTeX. A word
/// (text with no space, across elements) may also break between two such
/// pieces: TeX cannot break a word longer than a line, which then runs off
/// the page, and no word of a language is this long.
constexpr std::size_t word_piece = 64;
/// Words joined by no-break spaces are one word to TeX: past this many
/// bytes without a chance to break the line, a no-break space becomes a
/// space where TeX breaks only if the line cannot be set otherwise, so that
/// a long run of them breaks between two words rather than inside one.
constexpr std::size_t no_break_run = word_piece / 2;
constexpr std::string_view no_break_space = "\xC2\xA0";
/// TeX's time to break a paragraph grows with the square of its forced line
/// breaks (10000 br: 0.8 s; 60000: 23 s): a paragraph is ended, where a
/// line break falls, after this many lines, which TeX sets in a few
/// milliseconds.
constexpr std::size_t max_paragraph_lines = 500;
/// A numbered heading's title also goes to the table of contents and the
/// PDF's bookmarks, and hyperref's conversion of a title to a bookmark
/// takes minutes on a long one: those get the heading's first words, up to
/// about this many bytes of text, as a plain short title.
constexpr std::size_t max_contents_title_bytes = 160;
/// A link whose escaped URL is longer than this is written as its text:
/// \href reads its URL as one argument on one line.
constexpr std::size_t max_url_bytes = 4096;

/// Whether `text` at `at` starts with a space character that HTML does
/// not collapse (no-break, en, em, thin, ideographic, ...): LaTeX glue,
/// which TeX drops at the start of a line.
bool starts_with_kept_space(std::string_view text, std::size_t at) {
  auto byte = [&](std::size_t i) -> unsigned {
    return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
  };
  switch (byte(0)) {
    case 0xC2: return byte(1) == 0xA0;  // U+00A0
    case 0xE2:                          // U+2000-U+200A, U+202F, U+205F
      return (byte(1) == 0x80 && (byte(2) <= 0x8A || byte(2) == 0xAF)) ||
             (byte(1) == 0x81 && byte(2) == 0x9F);
    case 0xE3: return byte(1) == 0x80 && byte(2) == 0x80;  // U+3000
    default: return false;
  }
}

void collapse_into(std::string& out, std::string_view text, bool& space) {
  for (char c : text) {
    if (is_html_space(c)) {
      space = !out.empty();
      continue;
    }
    if (space) out += ' ';
    space = false;
    out += c;
  }
}

/// The text of `element`'s subtree, white space collapsed, cut after about
/// `limit` bytes at a space (or a character's end) with "..." appended.
std::string first_words(const document& doc, node_id element,
                        std::size_t limit) {
  std::string text;
  bool space = false, cut = false;
  std::vector<node_id> pending{element};
  while (!pending.empty() && !cut) {
    node_id n = pending.back();
    pending.pop_back();
    if (doc[n].kind == node_kind::text) {
      doc.for_each_text_piece(n, [&](std::string_view piece) {
        if (text.size() <= limit) collapse_into(text, piece, space);
      });
      cut = text.size() > limit;
      continue;
    }
    if (doc[n].kind != node_kind::element ||
        (n != element && role_of(doc, n) == role::hidden)) {
      continue;
    }
    std::size_t mark = pending.size();
    for (node_id c = doc[n].first_child; c != no_node;
         c = doc[c].next_sibling) {
      pending.push_back(c);
    }
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(mark),
                 pending.end());
  }
  return cut ? first_words_of(text, limit) : text;
}

enum class frame_kind : std::uint8_t {
  plain,         ///< writes nothing of its own
  block,         ///< paragraph breaks around it, nothing else
  inline_group,  ///< open and close text around inline content
  wrapper,       ///< a per-word wrapper (link, underline, sub, sup)
  environment,   ///< \begin ... \end: lists, quote, pre
  item,          ///< \item (of the nearest list)
  heading,       ///< \section* { ... }
  table,         ///< a planned longtable
  flat_table,    ///< a table written as text
  row,
  cell,
  caption,
};

struct frame {
  node_id node = no_node;
  frame_kind kind = frame_kind::plain;
  role element_role = role::plain;
  bool opened = false;
  /// Lists: whether an \item has been written in it.
  bool item_open = false;
  /// Which of the writer's depth counters the frame added to, so that
  /// leaving it takes back exactly that.
  bool counts_enumerate = false, counts_environment = false,
       counts_group = false, restricts = false, pushed_wrapper = false;
  /// A numbered heading: its short title is written when it opens.
  bool short_title = false;
  /// A dd: no paragraph skip between it and the term or definition above,
  /// as browsers set them.
  bool tight_above = false;
  /// A note: the element that is its title, if it has one.
  node_id note_title = no_node;
  /// The nearest list environment at or below this frame, or npos.
  std::size_t list = npos;
  /// The nearest table frame (planned or flat) at or below, or npos.
  std::size_t table = npos;
  std::string open, close;
};

struct table_state {
  table_plan plan;
  std::size_t next_row = 0;
  std::size_t column = 0;  ///< the column the writer is in
  bool multicolumn_open = false;
  std::size_t row = npos;  ///< the plan's row being written, if any
  std::size_t next_cell = 0;
  bool ruled = false;  ///< rules between rows and columns, around it
  bool top_rule_written = false;
};

/// The HTML standard's rules for parsing integers, clamped to +-limit.
std::optional<long> parse_integer(std::string_view s, long limit) {
  while (!s.empty() && is_html_space(s.front())) s.remove_prefix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  long value = 0;
  std::size_t digits = 0;
  while (digits < s.size() && s[digits] >= '0' && s[digits] <= '9') {
    value = std::min(limit, value * 10 + (s[digits] - '0'));
    ++digits;
  }
  if (digits == 0) return std::nullopt;
  return negative ? -value : value;
}

std::string decimal(long value) {
  char buffer[24];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  (void)error;
  return std::string(buffer, end);
}

/// An element's id as a link target: its id, or an a element's name.
std::optional<std::string_view> target_id(const document& doc, node_id n) {
  if (doc[n].kind != node_kind::element || doc[n].count == 0) {
    return std::nullopt;
  }
  auto id = doc.attribute(n, "id");
  if (!id && doc[n].name == tag::a) id = doc.attribute(n, "name");
  return id;
}

/// The link targets of a page: the ids that some link points at ("#id")
/// and some element has (only links to those jump), and the element that
/// has each first (only it gets the \\hypertarget). Targets are named by
/// number in the PDF, so that a name stays short however long its id.
struct link_targets {
  std::unordered_map<std::string, std::size_t> numbers;
  std::vector<bool> is_target;  ///< per node; empty when there are none

  std::optional<std::string> name_of(std::string_view id) const {
    auto found = numbers.find(std::string(id));
    if (found == numbers.end()) return std::nullopt;
    return target_name(found->second);
  }
};

/// The id a link jumps to inside the document: "#id", or the page's own
/// file with a fragment.
std::optional<std::string> in_document_id(std::string_view href,
                                          std::string_view page_file) {
  link_kind kind = classify_link(href);
  if (kind == link_kind::in_page) return cleaned_href(href).substr(1);
  if (kind != link_kind::relative) return std::nullopt;
  std::string clean = cleaned_href(href);
  auto fragment = own_page_fragment(clean, page_file);
  if (!fragment) return std::nullopt;
  return std::string(*fragment);
}

/// What the writer passes over, for the surveys before the walk: hidden
/// elements and the subtrees the reader view leaves out.
skip_predicate skips(const std::vector<bool>& left_out) {
  return [&left_out](const document& doc, node_id n) {
    return (!left_out.empty() && left_out[n]) || is_hidden_element(doc, n);
  };
}

/// Per node, whether the walk reaches it: all but the nodes inside a
/// subtree the reader view leaves out (whose root still takes its target);
/// empty when it leaves nothing out.
std::vector<bool> reached_nodes(const document& doc,
                                const std::vector<bool>& left_out) {
  if (left_out.empty()) return {};
  std::vector<bool> reached(doc.size());
  walk(doc, document::root(), [&](node_id n) {
    reached[n] = true;
    return !left_out[n];
  });
  return reached;
}

/// `reached` is reached_nodes' result: a target the walk never reaches
/// would leave its links pointing nowhere, and they are text instead.
link_targets find_link_targets(const document& doc, std::string_view page_file,
                               const std::vector<bool>& reached) {
  std::unordered_set<std::string> wanted;
  for (node_id n = 0; n < doc.size(); ++n) {
    if (doc[n].kind != node_kind::element || doc[n].name != tag::a) continue;
    auto href = doc.attribute(n, "href");
    if (!href) continue;
    if (auto id = in_document_id(*href, page_file)) {
      wanted.insert(std::move(*id));
    }
  }
  link_targets targets;
  if (wanted.empty()) return targets;
  targets.is_target.resize(doc.size());
  for (node_id n = 0; n < doc.size(); ++n) {
    if (!reached.empty() && !reached[n]) continue;
    auto id = target_id(doc, n);
    if (!id) continue;
    std::string key(*id);
    if (wanted.count(key) == 0) continue;
    std::size_t number = targets.numbers.size();
    if (targets.numbers.try_emplace(std::move(key), number).second) {
      targets.is_target[n] = true;
    }
  }
  return targets;
}

class body_writer {
 public:
  body_writer(const document& doc, byte_sink& out,
              const writer_options& options)
      : doc_(doc),
        out_(out),
        options_(options),
        left_out_(options.whole_page ? std::vector<bool>()
                                     : select_content(doc)),
        targets_(find_link_targets(doc, options.page_file,
                                   reached_nodes(doc, left_out_))),
        top_heading_level_(shallowest_heading_level(doc, skips(left_out_))),
        lone_images_(lone_images(doc, skips(left_out_))),
        paragraph_start_(out.written()) {}

  void write();
  std::size_t untypeset() const { return escape_.untypeset; }

 private:
  // --- The walk ---
  void enter(node_id element);
  void leave();
  node_id next_in_walk(node_id n);
  void push(node_id n, frame_kind kind, role r, std::string open = {},
            std::string close = {});
  void enter_by_role(node_id n, role r);

  // --- Pending breaks and lazy opening ---
  void request_paragraph();
  void request_space();
  void open_pending_frames();
  void open_frame(std::size_t i);
  void ensure_item_in(std::size_t list);
  void prepare_content();
  /// Something new begins (a paragraph, an item, a cell, an environment):
  /// no space or paragraph break is due before what comes next.
  void begin_block() {
    at_block_start_ = drop_space_ = true;
    after_line_break_ = false;
    word_bytes_ = 0;
    word_has_part_ = after_joiner_ = false;
    start_paragraph_count();
  }
  void start_paragraph_count() {
    paragraph_start_ = out_.written();
    paragraph_lines_ = 0;
  }
  bool paragraph_too_long() const {
    return out_.written() - paragraph_start_ > max_paragraph_bytes;
  }
  /// At a line break: whether to end the paragraph there instead.
  bool paragraph_full() const {
    return paragraph_too_long() || paragraph_lines_ >= max_paragraph_lines;
  }
  void write_pending_targets();
  void write_paragraph_break();
  bool block_like(frame_kind kind) const;

  // --- Content ---
  void write_text(node_id text);
  void write_flowing(std::string_view piece);
  /// Between two pieces of a long word: a chance to break the line, or a
  /// paragraph's end where the paragraph has grown too long.
  void break_long_word();
  /// "~", or past no_break_run bytes without a chance to break, a space
  /// TeX breaks only where it must.
  void write_no_break_space();
  void end_paragraph_here();
  void write_preformatted(std::string_view piece);
  void flush_pre_newlines();

  // --- Output lines (latex_lines) ---
  void write_latex(std::string_view latex) { out_.write_latex(latex); }
  void write_latex(char latex) { write_latex(std::string_view(&latex, 1)); }
  void end_long_line() { out_.end_long_line(); }
  void write_space() { out_.write_space(); }
  void open_wrappers();
  void close_wrappers();
  /// Before a picture or its alt text: lines may break on either side of
  /// one, as browsers break them, and a row of pictures fills paragraphs
  /// that TeX's memory holds.
  void start_image();
  void write_image(node_id img);
  void write_line_break();
  void write_rule();
  void write_alt_text(std::string_view alt);
  void write_short_title(node_id heading);
  void note_target(node_id element);

  // --- Elements ---
  void enter_heading(node_id n);
  std::string sectioning_command(node_id heading) const;
  void enter_note(node_id n);
  void enter_block(node_id n);
  void enter_list(node_id n, role r);
  void enter_list_item(node_id n, role r);
  void enter_preformatted(node_id n);
  void enter_link(node_id n);
  bool footnote_fits();
  /// After a link to the web whose text does not show its URL: the URL in
  /// a footnote, for paper.
  void write_url_footnote();
  void write_url_as_text(std::string_view url);
  /// Keeps what a link's text needs for text_shows_url.
  void note_link_text(std::string_view text);
  void enter_wrapper(node_id n, std::string open, bool underline);
  void enter_inline_group(node_id n, role r, std::string open);
  void enter_table(node_id n);
  void enter_row(node_id n);
  void enter_cell(node_id n);
  void enter_caption(node_id n);
  void leave_row();
  void close_open_multicolumn(table_state& t);
  /// Before a planned table's first row: its top rule, if it has rules.
  void write_top_rule(table_state& t);
  /// Whether the text being written may break after the characters that
  /// join the parts of a word (a planned table's cell).
  bool breaks_word_parts();
  /// Writes the chance to break a word after its parts' joiners, where due,
  /// and returns where the run of `piece` from `at` to `end` is to stop:
  /// after the next joiners.
  std::size_t break_word_parts(std::string_view piece, std::size_t at,
                               std::size_t end);

  std::size_t current_list() const {
    return frames_.empty() ? npos : frames_.back().list;
  }
  std::size_t current_table() const {
    return frames_.empty() ? npos : frames_.back().table;
  }
  bool restricted() const { return restricted_ > 0; }
  table_state* planned_table() {
    std::size_t t = current_table();
    if (t == npos || frames_[t].kind != frame_kind::table) return nullptr;
    return &tables_[frames_[t].node];
  }

  const document& doc_;
  latex_lines out_;
  const writer_options& options_;
  /// Per node, where a subtree the reader view leaves out begins; empty
  /// for the whole page.
  const std::vector<bool> left_out_;
  const link_targets targets_;
  /// The heading level set as the top sectioning command.
  const int top_heading_level_;
  /// Pictures alone in their paragraph or figure: centred.
  const std::unordered_set<node_id> lone_images_;
  escape_state escape_;

  std::vector<frame> frames_;
  std::size_t first_unopened_ = 0;

  bool pending_paragraph_ = false;
  bool pending_space_ = false;
  /// Nothing written since a paragraph, item, cell or environment began:
  /// a paragraph break there would add nothing.
  bool at_block_start_ = true;
  /// Like at_block_start_, and also after a line break: a space there is
  /// dropped.
  bool drop_space_ = true;
  /// Nothing written since a line break: TeX drops the glue of a no-break
  /// space at the start of the line, unless a box comes first.
  bool after_line_break_ = false;
  std::vector<std::string> pending_targets_;
  std::size_t paragraph_start_ = 0;  ///< out_.written() when it began
  std::size_t paragraph_lines_ = 0;  ///< line breaks written in it
  /// Bytes of the current word since it began or could last break.
  std::size_t word_bytes_ = 0;
  /// In a cell: the current word has a character that joins no parts, and
  /// the last character written joins parts (see joins_word_parts).
  bool word_has_part_ = false, after_joiner_ = false;
  std::size_t monospace_groups_ = 0;  ///< code, kbd, samp, tt open

  std::size_t restricted_ = 0;  ///< inside a heading's argument
  std::size_t inline_groups_ = 0;
  std::size_t enumerate_depth_ = 0, list_environments_ = 0;
  std::size_t cells_ = 0;  ///< planned table cells and captions open

  struct wrapper {
    std::string open;
    bool underline;
  };
  std::vector<wrapper> wrappers_;
  bool wrappers_written_ = false;
  bool in_link_ = false;
  /// The link being written: its text (the first bytes, collapsed), where
  /// its LaTeX began, and its URL when a footnote may show it.
  std::string link_text_;
  std::size_t link_start_ = 0;
  std::string link_url_;
  std::size_t captions_ = 0;  ///< table captions open

  std::size_t pre_depth_ = 0;
  std::size_t pre_newlines_ = 0;
  pre_line pre_line_;

  std::unordered_map<node_id, table_state> tables_;
};

// --- The walk ---

// The walk follows the tree's own links, so it holds nothing per node: an
// element with a frame is descended into, and left on the way back up.
void body_writer::write() {
  node_id n = doc_[document::root()].first_child;
  while (n != no_node) {
    if (!left_out_.empty() && left_out_[n]) {
      // A permalink mark may be the target its heading's links point at.
      if (doc_[n].kind == node_kind::element) note_target(n);
      n = next_in_walk(n);
      continue;
    }
    if (doc_[n].kind == node_kind::text) write_text(n);
    if (doc_[n].kind == node_kind::element) {
      std::size_t depth = frames_.size();
      enter(n);
      bool has_frame = frames_.size() > depth;  // hidden or void: none
      if (has_frame && doc_[n].first_child != no_node) {
        n = doc_[n].first_child;
        continue;
      }
      if (has_frame) leave();
    }
    n = next_in_walk(n);
  }
  close_wrappers();
  while (!frames_.empty()) leave();
}

// The node after `n` and its subtree, leaving each element climbed out of.
node_id body_writer::next_in_walk(node_id n) {
  while (doc_[n].next_sibling == no_node) {
    n = doc_[n].parent;
    if (n == document::root()) return no_node;
    leave();
  }
  return doc_[n].next_sibling;
}

void body_writer::enter(node_id element) {
  role r = role_of(doc_, element);
  if (r == role::hidden) return;
  note_target(element);
  switch (r) {
    case role::image: write_image(element); return;
    case role::line_break: write_line_break(); return;
    case role::word_break:
      if (!drop_space_ && !restricted()) {
        prepare_content();
        write_latex("\\allowbreak{}");
      }
      return;
    case role::rule: write_rule(); return;
    default: enter_by_role(element, r); return;
  }
}

void body_writer::enter_by_role(node_id n, role r) {
  switch (r) {
    case role::block: enter_block(n); return;
    case role::note: enter_note(n); return;
    case role::heading: enter_heading(n); return;
    case role::quotation:
      request_paragraph();
      if (!restricted() && list_environments_ < max_list_depth) {
        push(n, frame_kind::environment, r, "\\begin{quote}\n",
             "\n\\end{quote}\n");
        frames_.back().counts_environment = true;
        ++list_environments_;
      } else {
        push(n, frame_kind::block, r);
      }
      return;
    case role::unordered_list:
    case role::ordered_list:
    case role::definition_list: enter_list(n, r); return;
    case role::list_item:
    case role::definition_term:
    case role::definition_description: enter_list_item(n, r); return;
    case role::preformatted: enter_preformatted(n); return;
    case role::monospace: enter_inline_group(n, r, "{\\ttfamily "); return;
    case role::bold: enter_inline_group(n, r, "{\\bfseries "); return;
    case role::italic: enter_inline_group(n, r, "{\\itshape "); return;
    case role::small: enter_inline_group(n, r, "{\\small "); return;
    case role::inline_quote:
      push(n, frame_kind::inline_group, r, "\\textquotedblleft{}",
           "\\textquotedblright{}");
      return;
    case role::underline:
      enter_wrapper(n, restricted() ? std::string() : "\\underline{", true);
      return;
    case role::subscript: enter_wrapper(n, "\\textsubscript{", false); return;
    case role::superscript:
      enter_wrapper(n, "\\textsuperscript{", false);
      return;
    case role::link: enter_link(n); return;
    case role::table: enter_table(n); return;
    case role::table_row: enter_row(n); return;
    case role::table_cell: enter_cell(n); return;
    case role::table_caption: enter_caption(n); return;
    default: push(n, frame_kind::plain, r); return;
  }
}

void body_writer::push(node_id n, frame_kind kind, role r, std::string open,
                       std::string close) {
  frame f;
  f.node = n;
  f.kind = kind;
  f.element_role = r;
  f.list = current_list();
  f.table = current_table();
  f.open = std::move(open);
  f.close = std::move(close);
  frames_.push_back(std::move(f));
}

void body_writer::leave() {
  close_wrappers();
  frame& f = frames_.back();
  switch (f.kind) {
    case frame_kind::row: leave_row(); break;
    case frame_kind::cell: --cells_; break;
    case frame_kind::caption:
      --cells_;
      --captions_;
      break;
    default: break;
  }
  if (f.element_role == role::preformatted &&
      f.kind == frame_kind::environment) {
    --pre_depth_;
    pre_newlines_ = 0;
  }
  if (f.opened && !f.close.empty()) {
    if (block_like(f.kind) && !restricted()) pending_space_ = false;
    write_latex(f.close);
    escape_.ligature_start = 0;
  }
  bool was_block = block_like(f.kind) && f.kind != frame_kind::item;
  if (f.pushed_wrapper) wrappers_.pop_back();
  if (f.pushed_wrapper && f.element_role == role::link) {
    in_link_ = false;
    write_url_footnote();
  }
  if (f.counts_group) --inline_groups_;
  if (f.counts_group && f.element_role == role::monospace) --monospace_groups_;
  if (f.restricts) --restricted_;
  if (f.counts_enumerate) --enumerate_depth_;
  if (f.counts_environment) --list_environments_;
  if (f.kind == frame_kind::table) tables_.erase(f.node);
  bool was_opened_heading = f.kind == frame_kind::heading &&
                            f.element_role == role::heading && f.opened;
  frames_.pop_back();
  first_unopened_ = std::min(first_unopened_, frames_.size());
  if (was_block) request_paragraph();
  if (was_opened_heading) begin_block();
}

// --- Pending breaks and lazy opening ---

bool body_writer::block_like(frame_kind kind) const {
  switch (kind) {
    case frame_kind::block:
    case frame_kind::environment:
    case frame_kind::item:
    case frame_kind::heading:
    case frame_kind::table:
    case frame_kind::flat_table:
    case frame_kind::row:
    case frame_kind::cell:
    case frame_kind::caption: return true;
    default: return false;
  }
}

void body_writer::request_paragraph() {
  if (restricted()) {
    request_space();
    return;
  }
  pending_paragraph_ = true;
  pending_space_ = false;
}

void body_writer::request_space() { pending_space_ = true; }

void body_writer::write_paragraph_break() {
  if (pending_paragraph_ && !at_block_start_) {
    write_latex("\n\n");
    begin_block();
    escape_.ligature_start = 0;
  }
  pending_paragraph_ = false;
}

void body_writer::ensure_item_in(std::size_t list) {
  if (list == npos || frames_[list].item_open || !frames_[list].opened) {
    return;
  }
  write_latex("\\item[] ");
  frames_[list].item_open = true;
  begin_block();
  pending_paragraph_ = false;
}

void body_writer::open_frame(std::size_t i) {
  frame& f = frames_[i];
  if (f.kind != frame_kind::item) {
    ensure_item_in(i > 0 ? frames_[i - 1].list : npos);
  }
  if (block_like(f.kind)) {
    bool broke = pending_paragraph_ && !at_block_start_;
    write_paragraph_break();
    // A list opening the block keeps its own space: taking the paragraph
    // skip too would set its first item over the line above.
    bool list_follows = i + 1 < frames_.size() && frames_[i + 1].list == i + 1;
    if (broke && f.tight_above && !list_follows) {
      write_latex("\\vspace{-\\parskip}");
    }
    if (!restricted()) pending_space_ = false;
  } else if (pending_space_ && !f.open.empty()) {
    if (!drop_space_) write_space();
    pending_space_ = false;
    escape_.ligature_start = 0;
  }
  f.opened = true;
  // A heading's targets go before it: \hypertarget breaks the moving
  // argument of a numbered \section.
  if (f.restricts) write_pending_targets();
  if (f.open.empty()) return;
  write_latex(f.open);
  if (f.short_title) write_short_title(f.node);
  escape_.ligature_start = 0;
  if (f.kind == frame_kind::item && f.list != npos) {
    frames_[f.list].item_open = true;
  }
  if (block_like(f.kind)) {
    begin_block();
  } else {
    drop_space_ = false;
    at_block_start_ = false;
  }
}

void body_writer::open_pending_frames() {
  for (std::size_t i = first_unopened_; i < frames_.size(); ++i) {
    if (!frames_[i].opened) open_frame(i);
  }
  first_unopened_ = frames_.size();
}

void body_writer::write_pending_targets() {
  for (const std::string& name : pending_targets_) {
    write_latex("\\hypertarget{");
    out_.write(name);
    out_.write("}{}");
  }
  pending_targets_.clear();
}

void body_writer::prepare_content() {
  if (first_unopened_ < frames_.size()) open_pending_frames();
  if (pending_paragraph_) write_paragraph_break();
  // Targets inside a heading wait until after it (see open_frame).
  if (!pending_targets_.empty() && !restricted()) {
    ensure_item_in(current_list());
    write_pending_targets();
  }
  ensure_item_in(current_list());
  if (pending_space_ && !drop_space_) {
    write_space();
    escape_.ligature_start = 0;
  }
  pending_space_ = false;
  at_block_start_ = drop_space_ = false;
}

// --- Content ---

void body_writer::write_text(node_id text) {
  doc_.for_each_text_piece(text, [&](std::string_view piece) {
    if (pre_depth_ > 0 && !restricted()) {
      write_preformatted(piece);
    } else {
      write_flowing(piece);
    }
  });
  close_wrappers();
}

void body_writer::write_flowing(std::string_view piece) {
  std::size_t at = 0;
  while (at < piece.size()) {
    if (is_html_space(piece[at])) {
      pending_space_ = true;
      word_bytes_ = 0;
      word_has_part_ = after_joiner_ = false;
      ++at;
      continue;
    }
    if (paragraph_too_long()) {
      if (restricted()) {  // a heading's argument: the word is dropped
        while (at < piece.size() && !is_html_space(piece[at])) ++at;
        continue;
      }
      end_paragraph_here();
    }
    if (pending_space_ && wrappers_written_) {
      bool underline = false;
      for (const wrapper& w : wrappers_) underline = underline || w.underline;
      if (underline) close_wrappers();
    }
    if (pending_space_ && !link_text_.empty()) note_link_text(" ");
    if (pending_space_ || at_block_start_ || drop_space_ ||
        pending_paragraph_ || first_unopened_ < frames_.size() ||
        !pending_targets_.empty()) {
      prepare_content();
    }
    if (!wrappers_written_) open_wrappers();
    bool parts = breaks_word_parts();
    if (after_line_break_ && starts_with_kept_space(piece, at)) {
      write_latex("\\mbox{}");
    }
    after_line_break_ = false;
    while (at < piece.size() && !is_html_space(piece[at])) {
      if (word_bytes_ >= word_piece) break_long_word();
      std::size_t end = std::min(piece.size(), at + word_piece - word_bytes_);
      while (end < piece.size() && (piece[end] & 0xC0) == 0x80) ++end;
      std::size_t nbsp = piece.substr(0, end).find(no_break_space, at);
      if (nbsp == at) {
        write_no_break_space();
        at += no_break_space.size();
        continue;
      }
      end = std::min(end, nbsp);
      if (parts) end = break_word_parts(piece, at, end);
      end_long_line();
      std::size_t from = at;
      at = write_escaped_word(out_.sink(), piece.substr(0, end), at, escape_);
      word_bytes_ += at - from;
      note_link_text(piece.substr(from, at - from));
      if (!parts && at > from) {
        // The word goes on in code or a cell: a break there may follow
        // only a joiner the word has just written.
        word_has_part_ = true;
        after_joiner_ = joins_word_parts(piece[at - 1]);
      }
    }
  }
}

void body_writer::write_no_break_space() {
  end_long_line();
  word_has_part_ = after_joiner_ = false;  // a space between two words
  if (word_bytes_ < no_break_run) {
    out_.put('~');
    word_bytes_ += no_break_space.size();
  } else {
    out_.write("\\penalty9999\\ ");
    word_bytes_ = 0;
  }
  escape_.ligature_start = 0;
}

// In a table's cells, and in code anywhere: an identifier or a URL set in
// monospace is often wider than what is left of the line, and may break
// after its "_ . / - :" as code is read.
bool body_writer::breaks_word_parts() {
  return pre_depth_ == 0 && !restricted() &&
         ((cells_ > 0 && planned_table() != nullptr) || monospace_groups_ > 0);
}

// The same points as column_words::add_text measures the parts between:
// after a run of joiners that follows some other character of the word and
// comes before another.
std::size_t body_writer::break_word_parts(std::string_view piece,
                                          std::size_t at, std::size_t end) {
  if (after_joiner_ && word_has_part_ && !joins_word_parts(piece[at])) {
    write_latex("\\twb{}");
    escape_.ligature_start = 0;
  }
  std::size_t stop = at;
  while (stop < end && !is_html_space(piece[stop])) {
    char c = piece[stop++];
    bool joiner = joins_word_parts(c);
    if (after_joiner_ && !joiner && word_has_part_ && stop - 1 > at) {
      return stop - 1;  // the next run starts with a break
    }
    word_has_part_ = word_has_part_ || !joiner;
    after_joiner_ = joiner;
  }
  return stop;
}

void body_writer::break_long_word() {
  word_bytes_ = 0;
  if (!paragraph_too_long() || restricted()) {
    write_latex("\\allowbreak{}");
    escape_.ligature_start = 0;
    return;
  }
  end_paragraph_here();
  prepare_content();
  open_wrappers();
}

void body_writer::end_paragraph_here() {
  close_wrappers();
  write_latex("\n\n");
  begin_block();
  pending_space_ = false;
  escape_.ligature_start = 0;
}

void body_writer::flush_pre_newlines() {
  close_wrappers();
  for (; pre_newlines_ > 0; --pre_newlines_) {
    // \leavevmode: a list or table inside the pre may have ended the
    // paragraph, and \newline has no line to end then.
    write_latex(pre_line_.empty() ? "\\mbox{}" : "\\leavevmode");
    if (paragraph_full()) {
      out_.write("\\par\n");  // twpre has no paragraph skip: looks the same
      start_paragraph_count();
    } else {
      out_.write("\\newline\n");
      ++paragraph_lines_;
    }
    pre_line_.start();
  }
  escape_.ligature_start = 0;
}

void body_writer::write_preformatted(std::string_view piece) {
  std::size_t at = 0;
  while (at < piece.size()) {
    char c = piece[at];
    if (c == '\n') {
      ++pre_newlines_;
      ++at;
      continue;
    }
    if (pre_newlines_ > 0) flush_pre_newlines();
    if (at_block_start_ || pending_paragraph_ ||
        first_unopened_ < frames_.size() || !pending_targets_.empty()) {
      // A block begun inside the pre (a list, a paragraph) starts a line;
      // an inline element does not.
      bool new_line = at_block_start_ || pending_paragraph_;
      prepare_content();
      if (new_line) pre_line_.start();
    }
    if (!wrappers_written_) open_wrappers();
    if (c == ' ' || c == '\t' || c == '\f') {
      write_latex(pre_line_.space(c));
      escape_.ligature_start = 0;
      ++at;
      continue;
    }
    // Characters that stand for themselves go out together, up to the next
    // break point; any other one alone.
    std::size_t run_end = at;
    std::string_view due =
        pre_line_.before_characters(piece, at, piece.size(), run_end);
    if (!due.empty()) {
      write_latex(due);
      escape_.ligature_start = 0;
    }
    std::size_t plain_end = plain_run_end(piece, at, run_end);
    if (plain_end > at) {
      write_latex(piece.substr(at, plain_end - at));
      escape_.ligature_start = 0;
      pre_line_.wrote(plain_end - at, piece[plain_end - 1]);
      at = plain_end;
    } else {
      end_long_line();
      pre_line_.wrote(1, c);
      at = write_escaped_character(out_.sink(), piece, at, escape_);
    }
  }
}

void body_writer::open_wrappers() {
  for (const wrapper& w : wrappers_) {
    // A heading's title is also written to the .aux and .toc files, where
    // fragile commands such as \hyperlink and \href break unprotected.
    if (restricted()) write_latex("\\protect");
    write_latex(w.open);
  }
  wrappers_written_ = !wrappers_.empty();
  if (wrappers_written_) escape_.ligature_start = 0;
}

void body_writer::close_wrappers() {
  if (!wrappers_written_) return;
  for (std::size_t i = 0; i < wrappers_.size(); ++i) out_.put('}');
  wrappers_written_ = false;
  escape_.ligature_start = 0;
}

void body_writer::start_image() {
  prepare_content();
  after_line_break_ = false;
  if (paragraph_too_long() && !restricted()) {
    end_paragraph_here();
    prepare_content();
  } else if (word_bytes_ > 0) {
    write_latex("\\allowbreak{}");
  }
  word_bytes_ = 0;
}

void body_writer::write_alt_text(std::string_view alt) {
  std::string collapsed;
  bool space = false;
  collapse_into(collapsed, alt, space);
  if (collapsed.empty()) return;
  start_image();
  write_latex('[');
  write_flowing(collapsed);
  close_wrappers();  // as after any text: a paragraph may follow
  write_latex(']');
  word_bytes_ = 1;
}

void body_writer::write_image(node_id img) {
  close_wrappers();
  auto src = doc_.attribute(img, "src");
  std::optional<std::string> path;
  if (src && options_.images && !restricted()) path = options_.images(*src);
  if (!path) {
    write_alt_text(doc_.attribute(img, "alt").value_or(""));
    return;
  }
  start_image();
  // Alone in its paragraph or figure, as a page shows a figure: centred,
  // the paragraph ending in the group that centres it.
  bool centred = lone_images_.count(img) > 0 && cells_ == 0 && pre_depth_ == 0;
  if (centred) write_latex("{\\centering");
  // In a table cell an image may take a quarter of the page's height, as
  // table_plan counts it (lines_per_cell_image): its row must fit a page.
  write_latex(cells_ > 0 ? "\\twimage[0.25]{" : "\\twimage{");
  out_.write(*path);
  out_.put('}');
  if (centred) out_.write("\\par}");
  word_bytes_ = 1;
  escape_.ligature_start = 0;
}

/// "[words]{" after a numbered sectioning command: plain text, so that
/// the contents and bookmarks get no fragile command and no long title.
void body_writer::write_short_title(node_id heading) {
  std::string words = first_words(doc_, heading, max_contents_title_bytes);
  escape_state state;  // its characters are counted in the title proper
  out_.put('[');
  for (std::size_t at = 0; at < words.size();) {
    if (words[at] == ']') {  // would end the optional argument
      out_.write("{]}");
      state.ligature_start = 0;
      ++at;
    } else {
      at = write_escaped_character(out_.sink(), words, at, state);
    }
  }
  out_.write("]{");
}

void body_writer::write_line_break() {
  close_wrappers();
  if (restricted()) {
    request_space();
    return;
  }
  if (pre_depth_ > 0) {
    ++pre_newlines_;
    return;
  }
  pending_space_ = false;
  prepare_content();
  word_bytes_ = 0;
  if (paragraph_full()) {
    // The next paragraph starts without its skip: it looks like a new line.
    write_latex("\\mbox{}\\par\\vspace{-\\parskip}\n");
    start_paragraph_count();
  } else {
    write_latex("\\mbox{}\\newline\n");
    ++paragraph_lines_;
  }
  drop_space_ = after_line_break_ = true;
  escape_.ligature_start = 0;
}

void body_writer::write_rule() {
  close_wrappers();
  if (restricted()) {
    request_space();
    return;
  }
  request_paragraph();
  pending_space_ = false;
  prepare_content();
  write_latex("\\noindent\\rule{\\linewidth}{0.4pt}");
  request_paragraph();
}

void body_writer::note_target(node_id element) {
  if (targets_.is_target.empty() || !targets_.is_target[element]) return;
  pending_targets_.push_back(*targets_.name_of(*target_id(doc_, element)));
}

// --- Elements ---

void body_writer::enter_heading(node_id n) {
  bool sectioning = !restricted() && cells_ == 0 && current_list() == npos &&
                    list_environments_ == 0 && pre_depth_ == 0;
  if (restricted()) {
    request_space();
    push(n, frame_kind::plain, role::heading);
    return;
  }
  request_paragraph();
  if (!sectioning) {
    push(n, frame_kind::heading, role::block, "{\\bfseries ", "}");
    return;
  }
  std::string open = sectioning_command(n);
  if (!options_.numbered_headings) open += '*';
  push(n, frame_kind::heading, role::heading, std::move(open), "}\n");
  if (options_.numbered_headings) {
    frames_.back().short_title = true;
  } else {
    frames_.back().open += '{';
  }
  frames_.back().restricts = true;
  ++restricted_;
}

/// The page's shallowest heading level is the top sectioning command
/// (\chapter where the class has chapters), each deeper level one below.
std::string body_writer::sectioning_command(node_id heading) const {
  static constexpr std::string_view article_commands[] = {
      "section",   "subsection",   "subsubsection",
      "paragraph", "subparagraph", "twsubsubparagraph"};
  static constexpr std::string_view chapter_commands[] = {
      "chapter",       "section",   "subsection",
      "subsubsection", "paragraph", "subparagraph"};
  int top = std::max(top_heading_level_, 1);
  int step = std::clamp(heading_level(doc_[heading].name) - top, 0, 5);
  std::string command = "\\";
  command +=
      options_.chapters ? chapter_commands[step] : article_commands[step];
  return command;
}

void body_writer::enter_list(node_id n, role r) {
  request_paragraph();
  if (restricted()) {
    push(n, frame_kind::plain, r);
    return;
  }
  bool ordered = r == role::ordered_list;
  bool unordered = r == role::unordered_list;
  if (list_environments_ >= max_list_depth) {
    push(n, frame_kind::block, r);  // its items join the enclosing list
    return;
  }
  std::string open, close;
  if (ordered) {
    open = "\\begin{enumerate}";
    auto start =
        parse_integer(doc_.attribute(n, "start").value_or(""), 1000000000L);
    if (start && *start != 1) {
      open += "\\setcounter{";
      open += enumerate_counters[enumerate_depth_];
      open += "}{";
      open += decimal(*start - 1);
      open += '}';
    }
    open += '\n';
    close = "\n\\end{enumerate}\n";
  } else if (unordered) {
    open = "\\begin{itemize}\n";
    close = "\n\\end{itemize}\n";
  } else {
    open = "\\begin{description}\n";
    close = "\n\\end{description}\n";
  }
  push(n, frame_kind::environment, r, std::move(open), std::move(close));
  frame& f = frames_.back();
  f.list = frames_.size() - 1;
  f.counts_environment = true;
  f.counts_enumerate = ordered;
  ++list_environments_;
  if (ordered) ++enumerate_depth_;
}

void body_writer::enter_list_item(node_id n, role r) {
  if (restricted()) {
    request_space();
    push(n, frame_kind::plain, r);
    return;
  }
  std::size_t list = current_list();
  if (r == role::definition_description) {
    request_paragraph();
    push(n, frame_kind::block, r);
    frames_.back().tight_above = list != npos;
    return;
  }
  if (list == npos) {  // an item outside any list: a paragraph of its own
    request_paragraph();
    push(n, frame_kind::block, r,
         r == role::list_item ? "\\textbullet~" : "{\\bfseries ",
         r == role::list_item ? "" : "}");
    frames_.back().kind = frame_kind::item;
    return;
  }
  request_paragraph();
  if (r == role::definition_term) {
    push(n, frame_kind::item, r, "\\item[] {\\bfseries ", "}");
  } else {
    // \relax: text starting with "[" must not become the item's label.
    push(n, frame_kind::item, r, "\\item\\relax ");
  }
}

/// A note is a twnote environment, nested like a list; its title is its
/// own title element, set in bold, else the title of its kind.
void body_writer::enter_note(node_id n) {
  request_paragraph();
  if (restricted() || list_environments_ >= max_list_depth) {
    push(n, frame_kind::block, role::note);
    return;
  }
  node_id title = note_title_element(doc_, n);
  std::string open = "\\begin{twnote}{";
  if (title == no_node) open += note_kind_title(doc_, n).value_or("");
  open += "}\n";
  push(n, frame_kind::environment, role::note, std::move(open),
       "\n\\end{twnote}\n");
  frames_.back().counts_environment = true;
  frames_.back().note_title = title;
  ++list_environments_;
}

/// A block; a note's title in bold, a figure's caption centred and small,
/// their groups counted with the inline ones, which a page may nest.
void body_writer::enter_block(node_id n) {
  request_paragraph();
  bool note_title = !frames_.empty() && frames_.back().note_title == n;
  bool caption = doc_[n].name == tag::figcaption;
  if (restricted() || (!note_title && !caption) ||
      inline_groups_ >= max_inline_groups) {
    push(n, frame_kind::block, role::block);
    return;
  }
  if (note_title) {
    push(n, frame_kind::block, role::block, "{\\bfseries ", "}");
  } else {
    push(n, frame_kind::block, role::block, "{\\centering\\small ", "\\par}");
  }
  frames_.back().counts_group = true;
  ++inline_groups_;
}

void body_writer::enter_preformatted(node_id n) {
  if (restricted() || pre_depth_ > 0) {
    enter_inline_group(n, role::monospace, "{\\ttfamily ");
    return;
  }
  request_paragraph();
  push(n, frame_kind::environment, role::preformatted,
       twpre_begin(longest_line(doc_, n)), "\\end{twpre}\n");
  ++pre_depth_;
  pre_newlines_ = 0;
  pre_line_.start();
}

void body_writer::enter_link(node_id n) {
  std::string_view href = doc_.attribute(n, "href").value_or("");
  link_kind kind = classify_link(href);
  if (kind == link_kind::text || in_link_) {
    push(n, frame_kind::plain, role::plain);
    return;
  }
  std::string target = cleaned_href(href);
  std::string open;
  auto id = in_document_id(target, options_.page_file);
  auto name = id ? targets_.name_of(*id) : std::nullopt;
  if (kind == link_kind::in_page && !name) {
    push(n, frame_kind::plain, role::plain);
    return;
  }
  if (name) {
    open = "\\hyperlink{" + *name + "}{";
  } else {
    std::string url = escape_url(target);
    if (url.size() > max_url_bytes) {
      push(n, frame_kind::plain, role::plain);
      return;
    }
    // \href would make a relative link a GoToR action opening a local
    // file; \twlink makes it a URI, as a browser follows it.
    open = kind == link_kind::web ? "\\href{" : "\\twlink{";
    open += url;
    open += "}{";
  }
  enter_wrapper(n, std::move(open), false);
  frames_.back().element_role = role::link;
  if (!frames_.back().pushed_wrapper) return;
  in_link_ = true;
  link_text_.clear();
  link_start_ = out_.written();
  link_url_ = kind == link_kind::web && !name ? target : std::string();
}

void body_writer::note_link_text(std::string_view text) {
  // Enough to compare with the URL; a longer text is not the URL.
  if (!in_link_ || link_url_.empty() ||
      link_text_.size() > link_url_.size() + 8) {
    return;
  }
  link_text_ += text;
}

// Escaped like any text, in lines like any text, with a chance to break
// after each "/", ".", "?", "&", "=", "#", "-" and "_": a URL has no spaces.
void body_writer::write_url_as_text(std::string_view url) {
  constexpr std::string_view break_after = "/.?&=#-_";
  escape_state state;  // the URL's characters are the page's link, not text
  for (std::size_t at = 0; at < url.size();) {
    char c = url[at];
    out_.end_long_line();
    at = write_escaped_character(out_.sink(), url, at, state);
    if (break_after.find(c) != std::string_view::npos && at < url.size()) {
      out_.write("\\allowbreak{}");
      state.ligature_start = 0;
    }
  }
}

bool body_writer::footnote_fits() {
  // A heading's argument moves to the contents; a header row repeats on
  // every page and a caption is a \multicolumn: no footnote there.
  const table_state* t = planned_table();
  return !restricted() && captions_ == 0 &&
         (t == nullptr || (t->row != npos && !t->plan.is_header(t->row)));
}

void body_writer::write_url_footnote() {
  bool due = options_.url_footnotes && !link_url_.empty() &&
             out_.written() > link_start_ && footnote_fits() &&
             !text_shows_url(link_text_, link_url_);
  if (!due) return;
  write_latex("\\footnote{\\href{");
  out_.write(escape_url(link_url_));
  out_.write("}{");
  write_url_as_text(link_url_);
  out_.write("}}");
  escape_.ligature_start = 0;
}

void body_writer::enter_wrapper(node_id n, std::string open, bool underline) {
  close_wrappers();
  push(n, frame_kind::wrapper, role::plain);
  if (open.empty() || wrappers_.size() >= max_wrappers) return;
  for (const wrapper& w : wrappers_) {
    if (w.open == open) return;  // the same style twice adds nothing
  }
  wrappers_.push_back(wrapper{std::move(open), underline});
  frames_.back().pushed_wrapper = true;
}

void body_writer::enter_inline_group(node_id n, role r, std::string open) {
  if (inline_groups_ >= max_inline_groups) {
    push(n, frame_kind::plain, r);
    return;
  }
  push(n, frame_kind::inline_group, r, std::move(open), "}");
  frames_.back().counts_group = true;
  ++inline_groups_;
  if (r == role::monospace) ++monospace_groups_;
}

void body_writer::enter_table(node_id n) {
  bool flat =
      restricted() || pre_depth_ > 0 || cells_ > 0 || options_.tables_as_text;
  table_plan plan;
  if (!flat) {
    plan = plan_table(doc_, n, left_out_);
    flat = plan.row_count() == 0;
  }
  request_paragraph();
  if (flat) {
    push(n, frame_kind::flat_table, role::table);
    frames_.back().table = frames_.size() - 1;
    return;
  }
  bool ruled = draws_rules(doc_, n);
  push(n, frame_kind::table, role::table,
       table_opening(plan.words, plan.widths, ruled),
       std::string(table_closing));
  frames_.back().table = frames_.size() - 1;
  frames_.back().list = npos;
  plan.words = column_words();  // measured: no longer needed
  table_state& t = tables_[n];
  t.plan = std::move(plan);
  t.ruled = ruled;
}

void body_writer::write_top_rule(table_state& t) {
  if (!t.ruled || t.top_rule_written) return;
  write_latex("\\hline\n");
  t.top_rule_written = true;
}

void body_writer::enter_row(node_id n) {
  table_state* t = planned_table();
  if (t == nullptr) {
    request_paragraph();
    push(n, frame_kind::block, role::table_row);
    return;
  }
  t->row = t->next_row < t->plan.row_count() ? t->next_row : npos;
  ++t->next_row;
  t->column = 0;
  t->next_cell = 0;
  t->multicolumn_open = false;
  push(n, frame_kind::row, role::table_row);
  frames_.back().opened = true;
}

void body_writer::close_open_multicolumn(table_state& t) {
  if (t.multicolumn_open) out_.put('}');
  t.multicolumn_open = false;
}

void body_writer::leave_row() {
  table_state* t = planned_table();
  if (t == nullptr) return;
  open_pending_frames();
  if (t->next_cell == 0) write_top_rule(*t);
  close_open_multicolumn(*t);
  for (; t->column + 1 < t->plan.columns; ++t->column) write_latex('&');
  write_latex(t->ruled ? "\\tabularnewline\\hline\n" : "\\tabularnewline\n");
  if (t->next_row == t->plan.header_rows && t->plan.header_rows > 0) {
    // A ruled table has its rule under the header already.
    write_latex(t->ruled ? "\\endhead\n" : "\\hline\n\\endhead\n");
  }
  pending_paragraph_ = pending_space_ = false;
  begin_block();
  pending_targets_.clear();
}

void body_writer::enter_cell(node_id n) {
  table_state* t = planned_table();
  bool in_row = t != nullptr && !frames_.empty() &&
                frames_.back().kind == frame_kind::row && t->row != npos &&
                t->next_cell < t->plan.cell_count(t->row);
  if (!in_row) {
    request_space();
    push(n, frame_kind::plain, role::table_cell);
    return;
  }
  cell_place place = t->plan.cell(t->row, t->next_cell++);
  close_wrappers();
  open_pending_frames();
  if (t->next_cell == 1) write_top_rule(*t);
  if (place.continues_previous) {
    write_latex("\\leavevmode\\newline ");
  } else {
    close_open_multicolumn(*t);
    for (; t->column < place.column; ++t->column) write_latex('&');
    t->column = place.column + place.span - 1;
    if (place.span > 1) {
      write_latex("\\multicolumn{");
      out_.write(decimal(place.span));
      out_.write(t->ruled && place.column == 0 ? "}{|" : "}{");
      out_.write(">{\\raggedright\\arraybackslash}p{");
      out_.write(spanned_width(place.column, place.span,
                               t->ruled ? place.span - 1 : 0));
      out_.write(t->ruled ? "}|}{" : "}}{");
      t->multicolumn_open = true;
    }
    // {}: a first cell starting with "[" must not be read as the optional
    // argument of the \tabularnewline before it.
    if (place.column == 0 && place.span == 1) write_latex("{}");
    if (t->plan.is_header(t->row)) write_latex("\\bfseries ");
  }
  push(n, frame_kind::cell, role::table_cell);
  frames_.back().opened = true;
  frames_.back().list = npos;
  ++cells_;
  first_unopened_ = frames_.size();
  pending_paragraph_ = pending_space_ = false;
  begin_block();
  escape_.ligature_start = 0;
}

void body_writer::enter_caption(node_id n) {
  table_state* t = planned_table();
  if (t == nullptr || frames_.back().kind != frame_kind::table) {
    request_paragraph();
    push(n, frame_kind::block, role::table_caption);
    return;
  }
  close_wrappers();
  open_pending_frames();
  // Without rules at its sides: it is a title over the table.
  std::string open =
      "\\multicolumn{" + decimal(static_cast<long>(t->plan.columns)) +
      "}{>{\\centering\\arraybackslash}p{" +
      spanned_width(0, t->plan.columns, t->ruled ? t->plan.columns + 1 : 0) +
      "}}{\\itshape ";
  write_latex(open);
  push(n, frame_kind::caption, role::table_caption, {}, "}\\tabularnewline\n");
  frames_.back().opened = true;
  frames_.back().list = npos;
  ++cells_;
  ++captions_;
  first_unopened_ = frames_.size();
  pending_paragraph_ = pending_space_ = false;
  begin_block();
}

}  // namespace

writer_report write_body(const document& doc, byte_sink& out,
                         const writer_options& options) {
  body_writer writer(doc, out, options);
  writer.write();
  return writer_report{writer.untypeset()};
}

page_metadata read_metadata(const document& doc) {
  page_metadata meta;
  bool title_found = false, author_found = false;
  for (node_id n = 0; n < doc.size() && !(title_found && author_found); ++n) {
    const node& e = doc[n];
    if (e.kind != node_kind::element ||
        e.space != html5::element_namespace::html) {
      continue;
    }
    if (e.name == tag::title && !title_found) {
      title_found = true;
      bool space = false;
      for (node_id c = e.first_child; c != no_node; c = doc[c].next_sibling) {
        if (doc[c].kind != node_kind::text) continue;
        doc.for_each_text_piece(c, [&](std::string_view piece) {
          collapse_into(meta.title, piece, space);
        });
      }
    } else if (e.name == tag::meta && !author_found) {
      auto name = doc.attribute(n, "name");
      auto content = doc.attribute(n, "content");
      if (!name || !content || name->size() != 6) continue;
      bool is_author =
          std::equal(name->begin(), name->end(), "author",
                     [](char a, char b) { return (a | 0x20) == b; });
      if (!is_author) continue;
      author_found = true;
      bool space = false;
      collapse_into(meta.author, *content, space);
    }
  }
  return meta;
}

}  // namespace tagweave::latex2e
