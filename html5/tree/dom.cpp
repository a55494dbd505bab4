// The document tree's arena: node creation, linking and string storage.
#include "html5/tree/dom.h"

#include <stdexcept>

namespace tagweave::html5 {
namespace {

// Every offset and index is 32 bits: a document whose buffers would outgrow
// them is refused rather than silently wrapped.
constexpr std::size_t max_buffer_size =
    std::numeric_limits<std::uint32_t>::max();

void check_room(std::size_t used, std::size_t more) {
  if (more > max_buffer_size - used) {
    throw std::length_error("html5 document exceeds 32-bit indices");
  }
}

}  // namespace

document::document(std::string source) {
  text_.adopt_source(std::move(source));
  node doc;
  doc.kind = node_kind::document;
  nodes_.push_back(doc);
}

std::string_view document::name_of(tag t) const {
  if (t < tag::first_unknown) return known_tag_name(t);
  return unknown_tag_names_[static_cast<std::size_t>(t) -
                            static_cast<std::size_t>(tag::first_unknown)];
}

std::string_view document::tag_name(node_id element) const {
  const node& n = nodes_[element];
  std::string_view name = name_of(n.name);
  return n.space == element_namespace::svg ? adjusted_svg_tag_name(name) : name;
}

node_id document::last_child(node_id parent) const {
  node_id first = nodes_[parent].first_child;
  return first == no_node ? no_node : nodes_[first].prev_in_ring;
}

node_id document::prev_sibling(node_id child) const {
  const node& c = nodes_[child];
  if (c.parent == no_node || nodes_[c.parent].first_child == child) {
    return no_node;
  }
  return c.prev_in_ring;
}

node_id document::template_contents(node_id element) const {
  const node& n = nodes_[element];
  bool is_template = n.kind == node_kind::element &&
                     n.space == element_namespace::html &&
                     n.name == tag::template_;
  return is_template ? element + 1 : no_node;
}

void document::append_text_data(node_id text, std::string& out) const {
  for_each_text_piece(text, [&](std::string_view piece) { out += piece; });
}

std::string document::text_data(node_id text) const {
  std::string out;
  append_text_data(text, out);
  return out;
}

std::string_view document::comment_data(node_id comment) const {
  const node& n = nodes_[comment];
  return view(string_ref{n.first, n.count});
}

const doctype_record& document::doctype(node_id doctype_node) const {
  return doctypes_[nodes_[doctype_node].first];
}

std::string_view document::view(string_ref ref) const {
  return strings_.view(ref);
}

attribute_span document::attribute_list(node_id element) const {
  return attribute_span{nodes_[element].first, nodes_[element].count};
}

std::vector<attribute_view> document::attributes_in(attribute_span span) const {
  std::vector<attribute_view> out;
  out.reserve(span.count);
  for (std::uint32_t i = 0; i < span.count; ++i) {
    const attribute_record& r = attributes_[span.first + i];
    out.push_back(attribute_view{r.space, view(r.name), view(r.value)});
  }
  return out;
}

std::vector<attribute_view> document::attributes(node_id element) const {
  std::vector<attribute_view> out;
  auto add = [&](const attribute_record& r) {
    out.push_back(attribute_view{r.space, view(r.name), view(r.value)});
  };
  const node& n = nodes_[element];
  for (std::uint32_t i = 0; i < n.count; ++i) add(attributes_[n.first + i]);
  if (late_names_.count(element) != 0) {
    for (const late_attribute& late : late_attributes_) {
      if (late.owner == element) add(late.record);
    }
  }
  return out;
}

std::optional<std::string_view> document::attribute(
    node_id element, std::string_view name) const {
  const node& n = nodes_[element];
  for (std::uint32_t i = 0; i < n.count; ++i) {
    const attribute_record& r = attributes_[n.first + i];
    // The stored length rules out most names before any byte is compared.
    if (r.name.length == name.size() && r.space == attribute_namespace::none &&
        view(r.name) == name) {
      return view(r.value);
    }
  }
  // Only <html> and <body> are given attributes late.
  bool may_have_late = n.name == tag::html || n.name == tag::body;
  if (may_have_late && late_names_.count(element) != 0) {
    for (const late_attribute& late : late_attributes_) {
      if (late.owner == element && view(late.record.name) == name) {
        return view(late.record.value);
      }
    }
  }
  return std::nullopt;
}

tag document::intern_tag(std::string_view lowercase_name) {
  if (auto known = find_known_tag(lowercase_name)) return *known;
  std::string key(lowercase_name);
  auto found = unknown_tags_.find(key);
  if (found != unknown_tags_.end()) return found->second;
  check_room(static_cast<std::size_t>(tag::first_unknown),
             unknown_tag_names_.size() + 1);
  tag id = static_cast<tag>(static_cast<std::size_t>(tag::first_unknown) +
                            unknown_tag_names_.size());
  unknown_tag_names_.push_back(key);
  unknown_tags_.emplace(std::move(key), id);
  return id;
}

string_ref document::store(std::string_view s) { return strings_.append(s); }

void document::add_attribute(std::string_view name, std::string_view value,
                             attribute_namespace space) {
  check_room(attributes_.size(), 1);
  attributes_.push_back(attribute_record{store(name), store(value), space});
}

attribute_span document::take_attributes() {
  auto end = static_cast<std::uint32_t>(attributes_.size());
  attribute_span span{pending_attributes_, end - pending_attributes_};
  pending_attributes_ = end;
  return span;
}

void document::add_late_attribute(node_id element, std::string_view name,
                                  std::string_view value) {
  auto [names, first_time] = late_names_.try_emplace(element);
  if (first_time) {
    const node& n = nodes_[element];
    for (std::uint32_t i = 0; i < n.count; ++i) {
      names->second.emplace(view(attributes_[n.first + i].name));
    }
  }
  if (!names->second.emplace(name).second) return;
  late_attributes_.push_back(late_attribute{
      element,
      attribute_record{store(name), store(value), attribute_namespace::none}});
}

node_id document::add_node(const node& n) {
  check_room(nodes_.size(), 2);  // no_node stays free
  nodes_.push_back(n);
  return static_cast<node_id>(nodes_.size() - 1);
}

node_id document::create_element(tag name, element_namespace space,
                                 attribute_span attributes) {
  node n;
  n.kind = node_kind::element;
  n.space = space;
  n.name = name;
  n.first = attributes.first;
  n.count = attributes.count;
  node_id element = add_node(n);
  if (template_contents(element) != no_node) {
    // The contents sit one level below the template, as the dump shows
    // them; the fragment's parent link names its template, though it is
    // not one of the template's children.
    node contents;
    contents.kind = node_kind::fragment;
    contents.parent = element;
    add_node(contents);
  }
  return element;
}

node_id document::create_text(std::string_view data) {
  node n;
  n.kind = node_kind::text;
  string_ref ref = place_text(data);
  n.first = ref.offset;
  n.count = ref.length;
  return add_node(n);
}

std::uint32_t document::add_run(string_ref text) {
  check_room(runs_.size(), 2);
  runs_.push_back(text_run{text, no_node});
  return static_cast<std::uint32_t>(runs_.size() - 1);
}

// Turns a one-run text node into a chain of its run and `second_run`.
void document::start_chain(node& text, string_ref second_run) {
  std::uint32_t first = add_run(string_ref{text.first, text.count});
  std::uint32_t second = add_run(second_run);
  runs_[first].next = second;
  check_room(chains_.size(), 1);
  chains_.push_back(text_chain{first, second});
  text.first = static_cast<std::uint32_t>(chains_.size() - 1);
  text.count = chained_text;
}

string_ref document::place_text(std::string_view data) {
  std::optional<string_ref> in_source = text_.locate(data);
  return in_source ? *in_source : text_.append(data);
}

// A piece of text that does not continue the last run, and is no longer
// than a run's record, is copied into the text arena: pieces copied one
// after another there make one run, so text cut into short pieces (by
// character references, or by tags the bounds on elements drop) costs about
// its own size instead of a record per piece.
string_ref document::place_appended_text(string_ref last,
                                         std::string_view data) {
  std::optional<string_ref> in_source = text_.locate(data);
  if (in_source &&
      (data.size() > sizeof(text_run) || text_.adjacent(last, *in_source))) {
    return *in_source;
  }
  return text_.append(data);
}

void document::append_text(node_id text, std::string_view data) {
  if (data.empty()) return;
  node& n = nodes_[text];
  if (n.count != chained_text) {
    string_ref only{n.first, n.count};
    string_ref piece = place_appended_text(only, data);
    if (text_.adjacent(only, piece)) {
      n.count += piece.length;
    } else {
      start_chain(n, piece);
    }
    return;
  }
  text_chain& chain = chains_[n.first];
  string_ref& last = runs_[chain.last_run].text;
  string_ref piece = place_appended_text(last, data);
  if (text_.adjacent(last, piece)) {
    last.length += piece.length;
    return;
  }
  std::uint32_t run = add_run(piece);
  runs_[chain.last_run].next = run;
  chain.last_run = run;
}

node_id document::create_comment(std::string_view data) {
  node n;
  n.kind = node_kind::comment;
  string_ref ref = store(data);
  n.first = ref.offset;
  n.count = ref.length;
  return add_node(n);
}

node_id document::create_doctype(const doctype_record& record) {
  node n;
  n.kind = node_kind::doctype;
  n.first = static_cast<std::uint32_t>(doctypes_.size());
  doctypes_.push_back(record);
  return add_node(n);
}

// Sets the depth of a node just placed, and of a template's contents.
void document::set_depth(node_id child) {
  for (node_id n = child; n != no_node; n = template_contents(n)) {
    std::uint16_t parent_depth = nodes_[nodes_[n].parent].depth;
    nodes_[n].depth = parent_depth == std::numeric_limits<std::uint16_t>::max()
                          ? parent_depth
                          : static_cast<std::uint16_t>(parent_depth + 1);
  }
}

void document::append_child(node_id parent, node_id child) {
  node& p = nodes_[parent];
  node& c = nodes_[child];
  c.parent = parent;
  c.next_sibling = no_node;
  if (p.first_child == no_node) {
    p.first_child = child;
    c.prev_in_ring = child;
  } else {
    node& first = nodes_[p.first_child];
    c.prev_in_ring = first.prev_in_ring;
    nodes_[first.prev_in_ring].next_sibling = child;
    first.prev_in_ring = child;
  }
  set_depth(child);
}

void document::insert_before(node_id parent, node_id child, node_id before) {
  if (before == no_node) {
    append_child(parent, child);
    return;
  }
  node& c = nodes_[child];
  node& b = nodes_[before];
  c.parent = parent;
  c.next_sibling = before;
  c.prev_in_ring = b.prev_in_ring;
  if (nodes_[parent].first_child == before) {
    nodes_[parent].first_child = child;
  } else {
    nodes_[b.prev_in_ring].next_sibling = child;
  }
  b.prev_in_ring = child;
  set_depth(child);
}

void document::detach(node_id child) {
  node& c = nodes_[child];
  if (c.parent == no_node) return;
  node& p = nodes_[c.parent];
  node_id last = last_child(c.parent);
  if (p.first_child == child) {
    p.first_child = c.next_sibling;
    if (c.next_sibling != no_node) nodes_[c.next_sibling].prev_in_ring = last;
  } else {
    nodes_[c.prev_in_ring].next_sibling = c.next_sibling;
    node_id after = c.next_sibling == no_node ? p.first_child : c.next_sibling;
    nodes_[after].prev_in_ring = c.prev_in_ring;
  }
  c.parent = c.prev_in_ring = c.next_sibling = no_node;
}

}  // namespace tagweave::html5
