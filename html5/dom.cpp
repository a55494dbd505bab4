// The document tree's arena: node creation, linking and string storage.
#include "html5/dom.h"

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

document::document() {
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

void document::append_text_data(node_id text, std::string& out) const {
  for (std::uint32_t run = nodes_[text].first; run != no_node;
       run = runs_[run].next) {
    out.append(text_, runs_[run].text.offset, runs_[run].text.length);
  }
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
  return std::string_view(strings_).substr(ref.offset, ref.length);
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

string_ref document::store(std::string_view s) {
  check_room(strings_.size(), s.size());
  string_ref ref{static_cast<std::uint32_t>(strings_.size()),
                 static_cast<std::uint32_t>(s.size())};
  strings_.append(s);
  return ref;
}

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
  return add_node(n);
}

node_id document::create_text(std::string_view data) {
  node n;
  n.kind = node_kind::text;
  n.first = n.count = no_node;
  node_id id = add_node(n);
  append_text(id, data);
  return id;
}

void document::append_text(node_id text, std::string_view data) {
  if (data.empty()) return;
  check_room(text_.size(), data.size());
  node& n = nodes_[text];
  auto offset = static_cast<std::uint32_t>(text_.size());
  auto length = static_cast<std::uint32_t>(data.size());
  text_.append(data);
  if (n.count != no_node) {
    string_ref& last = runs_[n.count].text;
    if (last.offset + last.length == offset) {
      last.length += length;
      return;
    }
  }
  check_room(runs_.size(), 2);
  auto run = static_cast<std::uint32_t>(runs_.size());
  runs_.push_back(text_run{string_ref{offset, length}, no_node});
  if (n.count == no_node) {
    n.first = run;
  } else {
    runs_[n.count].next = run;
  }
  n.count = run;
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

node_id document::create_fragment() {
  node n;
  n.kind = node_kind::fragment;
  return add_node(n);
}

void document::set_template_contents(node_id element, node_id fragment) {
  nodes_[element].contents = fragment;
  // The contents sit one level below the template, as the dump shows them;
  // the fragment's parent link names its template, though it is not one of
  // the template's children.
  nodes_[fragment].parent = element;
  set_depth(fragment);
}

void document::set_depth(node_id child) {
  std::uint16_t parent_depth = nodes_[nodes_[child].parent].depth;
  nodes_[child].depth =
      parent_depth == std::numeric_limits<std::uint16_t>::max()
          ? parent_depth
          : static_cast<std::uint16_t>(parent_depth + 1);
}

void document::append_child(node_id parent, node_id child) {
  node& p = nodes_[parent];
  node& c = nodes_[child];
  c.parent = parent;
  c.prev_sibling = p.last_child;
  c.next_sibling = no_node;
  if (p.last_child == no_node) {
    p.first_child = child;
  } else {
    nodes_[p.last_child].next_sibling = child;
  }
  p.last_child = child;
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
  c.prev_sibling = b.prev_sibling;
  if (b.prev_sibling == no_node) {
    nodes_[parent].first_child = child;
  } else {
    nodes_[b.prev_sibling].next_sibling = child;
  }
  b.prev_sibling = child;
  set_depth(child);
}

void document::detach(node_id child) {
  node& c = nodes_[child];
  if (c.parent == no_node) return;
  node& p = nodes_[c.parent];
  if (c.prev_sibling == no_node) {
    p.first_child = c.next_sibling;
  } else {
    nodes_[c.prev_sibling].next_sibling = c.next_sibling;
  }
  if (c.next_sibling == no_node) {
    p.last_child = c.prev_sibling;
  } else {
    nodes_[c.next_sibling].prev_sibling = c.prev_sibling;
  }
  c.parent = c.prev_sibling = c.next_sibling = no_node;
}

}  // namespace tagweave::html5
