// The HTML standard's tree construction stage, scripting disabled, no
// fragment parsing: a token_sink that builds a document from the tokenizer's
// tokens. The insertion modes are split by family over tree_builder.cpp
// (dispatching, the modes around the head and the document's end),
// tree_insert.cpp (inserting nodes, the generic algorithms), tree_in_body.cpp,
// tree_in_table.cpp (tables and templates), tree_foreign.cpp (SVG and MathML),
// tree_adoption.cpp (the adoption agency algorithm and reconstructing
// formatting elements) and tree_select.cpp (selectedcontent).
//
// Select parsing follows the HTML standard's relaxed select rules, which the
// current html5lib-tests expect: no "in select" modes; select, option,
// optgroup, hr and input have their own "in body" rules, and select bounds
// "has an element in scope" (so that </font> inside a select leaves it be).
//
// Every step is O(1) amortized or bounded by a named constant: the stack of
// open elements answers scope questions without walking (see
// tree_open_elements.h), the list of active formatting elements is bounded
// (tree_formatting.h), and no rule recurses on the input's structure.
#pragma once

#include "html5/tokenizer/token.h"
#include "html5/tokenizer/tokenizer.h"
#include "html5/tree/dom.h"
#include "html5/tree/tree_bounds.h"
#include "html5/tree/tree_formatting.h"
#include "html5/tree/tree_open_elements.h"

#include <cstddef>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tagweave::html5 {

/// No node is inserted deeper than this (the document's children are at
/// depth 1, a template's contents one level below the template), as in a
/// major browser engine, which nests at most 512 levels: a node whose parent
/// would be at this depth goes to the nearest ancestor above it instead,
/// after its last child, so it lands at this depth as a sibling. Elements
/// still go on the stack of open elements as usual; only their place in the
/// tree changes. Two things can still go past it: the adoption agency
/// algorithm, which moves existing subtrees one level down per step as the
/// HTML standard says (their nodes keep the depth they were inserted at),
/// and the empty contents of a template placed at the limit.
inline constexpr std::size_t max_tree_depth = 512;

// The bounds on elements (tree_bounds.cpp). Hostile pages make an element
// and a text node per few bytes, each node 32 bytes and each open element
// a slot of the stack besides; these bounds keep memory a small multiple of
// the input. They drop only start tags of elements that style or group
// text, and act only far beyond real pages and the conformance tests.

/// Past this many open elements such a start tag creates no element. Four
/// times max_tree_depth: what it leaves out would be placed at the depth
/// limit, where a node is a leaf beside the last one and holds no text.
/// Real pages nest about 30 deep.
inline constexpr std::size_t max_open_elements = 4 * max_tree_depth;

/// The element budget: a page may hold this many elements that style or
/// group text, plus one per min_bytes_per_element bytes of its input; past
/// it, their start tags create none. Pages up to 1 MiB are never bounded;
/// the densest real pages hold one per 36 bytes. Past it, a node pair per
/// 4 bytes (<p>x) costs at most 64 / 16 = 4 times the input.
inline constexpr std::size_t element_allowance = std::size_t{1} << 16;
inline constexpr std::size_t min_bytes_per_element = 16;

/// A table row keeps at most this many cells opened without closing the
/// previous one (<td>x<td>y): past it, such a cell start tag continues the
/// open cell after a space. The LaTeX2e writer joins cells past its 40th
/// column into the last one anyway.
inline constexpr std::size_t max_cells_per_row = 4096;

enum class insertion_mode : std::uint8_t {
  initial,
  before_html,
  before_head,
  in_head,
  in_head_noscript,
  after_head,
  in_body,
  text,
  in_table,
  in_table_text,
  in_caption,
  in_column_group,
  in_table_body,
  in_row,
  in_cell,
  in_template,
  after_body,
  in_frameset,
  after_frameset,
  after_after_body,
  after_after_frameset,
};

class tree_builder final : public token_sink {
 public:
  explicit tree_builder(document& doc);
  /// The tokenizer whose state the builder switches (RCDATA after <title>,
  /// and so on); without one, states are not switched (tests).
  void attach(tokenizer* t) { tokenizer_ = t; }
  void take(token& t) override;

 private:
  /// Where a node goes: inside `parent`, before `before` (no_node: at the
  /// end).
  struct location {
    node_id parent = no_node;
    node_id before = no_node;
  };

  // Dispatch (tree_builder.cpp).
  void process(token& t);
  void process_characters(std::string_view text);
  bool uses_foreign_rules(const token* t) const;
  /// Each mode's rules for a token that is not characters: true when done,
  /// false to reprocess in the (new) insertion mode.
  bool process_in(insertion_mode mode, token& t);
  /// What the foreign content rules ask for after a token: nothing more, or
  /// the rules of the current insertion mode "in HTML content".
  enum class foreign_result { done, use_insertion_mode };
  /// Each mode's rules for characters: consumes a prefix of `text`.
  void characters_in(insertion_mode mode, std::string_view& text);

  // The modes of tree_builder.cpp.
  bool initial(token& t);
  bool before_html(token& t);
  bool before_head(token& t);
  bool in_head(token& t);
  bool in_head_noscript(token& t);
  bool after_head(token& t);
  bool text_mode(token& t);
  bool after_body(token& t);
  bool in_frameset(token& t);
  bool after_frameset(token& t);
  bool after_after_body(token& t);
  bool after_after_frameset(token& t);
  void characters_before_body(insertion_mode mode, std::string_view& text);
  void characters_after_body(insertion_mode mode, std::string_view& text);

  // "in body" (tree_in_body.cpp), one handler per group of tags.
  bool in_body(token& t);
  void in_body_characters(std::string_view& text);
  void in_body_start(token& t);
  void in_body_end(token& t);
  bool in_body_start_structure(token& t);
  bool in_body_start_block(token& t);
  bool in_body_start_list_item(token& t);
  bool in_body_start_phrasing(token& t);
  bool in_body_start_form_control(token& t);
  bool in_body_start_raw(token& t);
  bool in_body_end_block(token& t);
  bool in_body_end_list_or_heading(token& t);
  void in_body_end_other(tag name);
  void in_body_eof();
  void close_list_items_for(tag name);
  void close_select_contents(bool thorough);

  // Tables and templates (tree_in_table.cpp).
  bool in_table(token& t);
  void in_table_characters(std::string_view& text);
  void in_table_text_characters(std::string_view& text);
  void flush_table_text();
  bool in_table_anything_else(token& t);
  bool in_caption(token& t);
  bool in_column_group(token& t);
  void in_column_group_characters(std::string_view& text);
  bool in_table_body(token& t);
  bool in_row(token& t);
  bool in_cell(token& t);
  bool in_template(token& t);
  void clear_stack_to_context(std::initializer_list<tag> context);
  void close_cell();
  bool end_table();

  // Foreign content (tree_foreign.cpp).
  foreign_result foreign_token(token& t);
  void foreign_characters(std::string_view& text);
  foreign_result foreign_start_tag(token& t);
  foreign_result foreign_end_tag();
  void pop_to_html_content();
  bool is_html_integration_point(std::size_t i) const;
  bool is_mathml_text_integration_point(std::size_t i) const;
  node_id insert_foreign_element(token& t, element_namespace space);

  // The adoption agency algorithm and reconstruction (tree_adoption.cpp).
  /// Runs the adoption agency algorithm; false when the token must be
  /// handled as "any other end tag".
  bool adoption_agency(tag subject);
  void reconstruct_formatting();
  node_id clone_element(node_id original);

  // Customizable select (tree_select.cpp): the option a select shows is
  // cloned into its selectedcontent element when parsing stops.
  void note_select_part(node_id element, const token& t);
  void fill_selected_content();
  /// Copies at most `budget` nodes, counting them down.
  void clone_children(node_id from, node_id to, std::size_t& budget);

  // Inserting nodes (tree_insert.cpp).
  location appropriate_place(node_id target) const;
  location appropriate_place() const;
  location clamp_depth(location where) const;
  void insert_at(location where, node_id child);
  attribute_span store_attributes(const token& t, element_namespace space);
  node_id create_element_for(token& t, element_namespace space, tag name);
  node_id insert_html_element(token& t);
  /// Inserts an HTML element with no attributes, as for a start tag the
  /// rules imply.
  node_id insert_implied(tag name);
  void insert_characters(std::string_view text);
  void insert_comment(std::string_view data, location where);
  void insert_comment(std::string_view data);
  void push_formatting(node_id element, tag name);
  void add_missing_attributes(node_id element, const token& t);

  // The bounds on elements (tree_bounds.cpp). Each check is a comparison
  // or two while the bounds are far: it runs for most start tags.
  /// Whether the bounds drop the start tag being processed; a dropped one
  /// that separates words leaves a space in its place.
  bool drop_start_tag(const token& t) {
    if (!below_bounds()) return drop_start_tag_past_bounds(t);
    if (text_role_of(token_tag_) != text_role::kept) --element_budget_;
    return false;
  }
  bool drop_start_tag_past_bounds(const token& t);
  /// The same for "any other start tag", which past max_open_elements also
  /// drops elements that would land at the depth limit, where they would
  /// hold nothing (unknown tags, hidden ones).
  bool drop_other_start_tag(const token& t) {
    if (!below_bounds()) return drop_other_start_tag_past_bounds(t);
    if (text_role_of(token_tag_) != text_role::kept) --element_budget_;
    return false;
  }
  bool drop_other_start_tag_past_bounds(const token& t);
  /// The same for a start tag in foreign content, in namespace `space`:
  /// only past max_open_elements, where the element would land at the
  /// depth limit, and not for the elements that hold HTML.
  bool drop_foreign_start_tag(element_namespace space);
  /// Whether an element inserted now would land at the depth limit, a leaf.
  bool lands_at_depth_limit() const;
  /// The same for the p element an unmatched </p> implies.
  bool drop_implied_p();
  /// Whether reconstructing the formatting elements may clone `original`
  /// (formatting elements all style text; a hidden one is always cloned).
  bool may_clone(node_id original) {
    return within_element_bounds() || doc_.attribute(original, "hidden");
  }
  /// Counts a cell the row `row` gets.
  void count_cell(node_id row) {
    if (row != counted_row_) {
      counted_row_ = row;
      cells_in_row_ = 0;
    }
    ++cells_in_row_;
  }
  /// Whether a cell start tag inside a cell continues it instead, the row
  /// being full (max_cells_per_row).
  bool drop_cell_start_tag();
  /// Whether a row start tag inside a cell continues it instead, or one
  /// right after an empty row is dropped, past the element budget.
  bool drop_row_start_tag();
  bool below_bounds() const {
    return open_.size() < max_open_elements && element_budget_ > 0;
  }
  /// Whether one more element that styles or groups text fits; takes it
  /// from the budget when it does.
  bool within_element_bounds() {
    if (!below_bounds()) return false;
    --element_budget_;
    return true;
  }
  void leave_separating_space();

  // The generic algorithms.
  tag tag_of(const token& t);
  void generic_text_element(token& t, tokenizer_state state);
  void generate_implied_end_tags(tag except = tag::first_unknown);
  void generate_all_implied_end_tags_thoroughly();
  void pop_until(tag name);
  void pop_until_one_of(std::initializer_list<tag> names);
  void close_p();
  void close_p_in_button_scope();
  void reset_insertion_mode();
  void stop_parsing();
  void switch_tokenizer(tokenizer_state state);
  bool template_on_stack() const {
    return open_.topmost(tag::template_) != open_elements::npos;
  }

  document& doc_;
  tokenizer* tokenizer_ = nullptr;
  open_elements open_;
  active_formatting formatting_;
  std::vector<insertion_mode> template_modes_;
  insertion_mode mode_ = insertion_mode::initial;
  insertion_mode original_mode_ = insertion_mode::initial;
  node_id head_ = no_node;
  node_id form_ = no_node;
  bool frameset_ok_ = true;
  bool foster_parenting_ = false;
  bool skip_newline_ = false;
  /// The tag ID of the token being processed (start and end tags).
  tag token_tag_ = tag::first_unknown;
  bool stopped_ = false;
  /// Elements that style or group text still allowed (the budget).
  std::size_t element_budget_;
  /// The row whose cells are counted, and how many it has.
  node_id counted_row_ = no_node;
  std::size_t cells_in_row_ = 0;
  /// "Pending table character tokens", and whether any is not whitespace.
  std::string table_text_;
  bool table_text_has_content_ = false;
  /// annotation-xml elements whose encoding makes them HTML integration
  /// points.
  std::unordered_set<node_id> html_annotations_;
  /// Per select, in the order they were opened: its first selectedcontent
  /// element, its first option and its last option with a selected
  /// attribute.
  struct select_parts {
    node_id select = no_node;
    node_id selected_content = no_node;
    node_id first_option = no_node;
    node_id last_selected = no_node;
  };
  std::vector<select_parts> selects_;
  std::unordered_map<node_id, std::size_t> select_index_;
};

}  // namespace tagweave::html5
