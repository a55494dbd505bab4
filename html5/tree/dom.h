// The document tree the HTML parser builds: an arena of 32-byte nodes linked
// by 32-bit indices (parent, first child, next sibling, and a previous link
// that closes each family into a ring, so a parent finds its last child
// without a field of its own), with every string kept in two string arenas.
// The document owns the parser's input, and a text node's data is one run
// of it where the text was read straight from it (else of the text arena),
// so text is not copied and the characters that continue a text node extend
// its run; only a text node whose pieces do not follow each other (after a
// character reference, or foster parenting) becomes a chain of runs. Attribute
// lists are shared spans, so cloning an element (the adoption agency algorithm,
// reconstructing formatting elements) copies no attribute.
#pragma once

#include "html5/tree/chunked_vector.h"
#include "html5/tree/string_arena.h"
#include "html5/tree/tree_tags.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tagweave::html5 {

using node_id = std::uint32_t;
inline constexpr node_id no_node = std::numeric_limits<node_id>::max();

enum class node_kind : std::uint8_t {
  document,
  fragment,  ///< a template element's contents
  doctype,
  element,
  text,
  comment,
};

enum class element_namespace : std::uint8_t { html, svg, mathml };

/// The document's mode, set from its DOCTYPE.
enum class quirks_mode : std::uint8_t { no_quirks, limited_quirks, quirks };

/// A run of consecutive attribute records: an element's attribute list.
struct attribute_span {
  std::uint32_t first = 0;
  std::uint32_t count = 0;
};

struct attribute_record {
  string_ref name;  ///< the local name
  string_ref value;
  attribute_namespace space = attribute_namespace::none;
};

struct attribute_view {
  attribute_namespace space;
  std::string_view name;  ///< the local name ("href" of "xlink:href")
  std::string_view value;
};

struct doctype_record {
  string_ref name, public_id, system_id;
  bool has_public_id = false;
  bool has_system_id = false;
};

/// A text node's `count` when its data is a chain of runs.
inline constexpr std::uint32_t chained_text =
    std::numeric_limits<std::uint32_t>::max();

struct node {
  /// The parent; for a template's contents (a fragment), the template,
  /// though the fragment is not among the template's children.
  node_id parent = no_node;
  node_id first_child = no_node;
  node_id next_sibling = no_node;
  /// The previous sibling, except that a first child holds its parent's
  /// last child here. Read through document::prev_sibling and
  /// document::last_child.
  node_id prev_in_ring = no_node;
  tag name = tag::first_unknown;  ///< elements only
  /// Elements: the attribute span. Text: the data's offset and length in
  /// the text arena, or a chain's index and chained_text. Comments: the
  /// data's offset and length. DOCTYPEs: the record's index.
  std::uint32_t first = 0;
  std::uint32_t count = 0;
  node_kind kind = node_kind::element;
  element_namespace space = element_namespace::html;
  /// 1 for a child of the document, one more per level, set when the node
  /// is inserted or moved (a moved node's descendants keep theirs).
  std::uint16_t depth = 0;
};
static_assert(sizeof(node) == 32, "a page has a node per 20 bytes or so");

class document {
 public:
  /// A document that will be parsed from `source`, which it keeps.
  explicit document(std::string source = {});
  /// The text being parsed, as given.
  std::string_view source() const { return text_.source(); }

  // Reading.
  static constexpr node_id root() { return 0; }
  const node& operator[](node_id id) const { return nodes_[id]; }
  std::size_t size() const { return nodes_.size(); }
  quirks_mode mode() const { return mode_; }
  node_id last_child(node_id parent) const;
  node_id prev_sibling(node_id child) const;
  /// A template element's contents (a fragment node), else no_node.
  node_id template_contents(node_id element) const;
  /// An element's qualified tag name, SVG case adjustments applied.
  std::string_view tag_name(node_id element) const;
  /// The name of a tag ID (lowercase, as the tokenizer gave it).
  std::string_view name_of(tag t) const;
  /// Calls `f` with each piece of a text node's data, in order.
  template <typename F>
  void for_each_text_piece(node_id text, F&& f) const;
  /// A text node's data, appended to `out`.
  void append_text_data(node_id text, std::string& out) const;
  std::string text_data(node_id text) const;
  std::string_view comment_data(node_id comment) const;
  const doctype_record& doctype(node_id doctype_node) const;
  std::string_view view(string_ref ref) const;
  /// An element's attributes in source order (those added later by a second
  /// <html> or <body> start tag last).
  std::vector<attribute_view> attributes(node_id element) const;
  /// The value of an element's attribute without a namespace, if it has
  /// one; allocates nothing.
  std::optional<std::string_view> attribute(node_id element,
                                            std::string_view name) const;
  attribute_span attribute_list(node_id element) const;
  std::vector<attribute_view> attributes_in(attribute_span span) const;

  // Building (the tree builder's interface).
  void set_mode(quirks_mode m) { mode_ = m; }
  /// The ID of a tag name, given one if new.
  tag intern_tag(std::string_view lowercase_name);
  string_ref store(std::string_view s);
  void add_attribute(std::string_view name, std::string_view value,
                     attribute_namespace space);
  /// The attributes added since the last call, as one span.
  attribute_span take_attributes();
  /// Adds an attribute to an element that already has its list, unless it
  /// has one of that name (a second <html> or <body> start tag). A hash set
  /// of the names keeps this constant time however many tags repeat.
  void add_late_attribute(node_id element, std::string_view name,
                          std::string_view value);
  /// Creates an element; an HTML template gets its contents, a fragment
  /// node, right after it.
  node_id create_element(tag name, element_namespace space,
                         attribute_span attributes);
  node_id create_text(std::string_view data);
  /// Appends to a text node, extending its last run when `data` follows it
  /// (in the source, or in the text arena).
  void append_text(node_id text, std::string_view data);
  node_id create_comment(std::string_view data);
  node_id create_doctype(const doctype_record& record);
  void append_child(node_id parent, node_id child);
  void insert_before(node_id parent, node_id child, node_id before);
  /// Removes a node from its parent (the node keeps its children).
  void detach(node_id child);

 private:
  struct text_run {
    string_ref text;
    std::uint32_t next = no_node;
  };
  struct text_chain {
    std::uint32_t first_run, last_run;
  };
  struct late_attribute {
    node_id owner;
    attribute_record record;
  };

  node_id add_node(const node& n);
  void set_depth(node_id child);
  std::uint32_t add_run(string_ref text);
  /// Where text data lies: in the source when it is a view of it, else
  /// copied into the text arena.
  string_ref place_text(std::string_view data);
  /// Where data appended after the run `last` lies.
  string_ref place_appended_text(string_ref last, std::string_view data);
  void start_chain(node& text, string_ref second_run);

  chunked_vector<node> nodes_;
  string_arena strings_;  ///< names, values, comment and DOCTYPE data
  string_arena text_;     ///< the source, and text data not from it
  chunked_vector<text_run> runs_;
  chunked_vector<text_chain> chains_;
  chunked_vector<attribute_record> attributes_;
  std::uint32_t pending_attributes_ = 0;
  std::vector<late_attribute> late_attributes_;
  /// The elements given late attributes (<html> and <body> only), and the
  /// names each has.
  std::unordered_map<node_id, std::unordered_set<std::string>> late_names_;
  std::vector<doctype_record> doctypes_;
  std::vector<std::string> unknown_tag_names_;
  std::unordered_map<std::string, tag> unknown_tags_;
  quirks_mode mode_ = quirks_mode::no_quirks;
};

template <typename F>
void document::for_each_text_piece(node_id text, F&& f) const {
  const node& n = nodes_[text];
  if (n.count != chained_text) {
    f(text_.view(string_ref{n.first, n.count}));
    return;
  }
  for (std::uint32_t run = chains_[n.first].first_run; run != no_node;
       run = runs_[run].next) {
    f(text_.view(runs_[run].text));
  }
}

}  // namespace tagweave::html5
