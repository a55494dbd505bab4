// The html5lib-tests tree dump, walked with an explicit stack.
#include "diag/tree_dump.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tagweave::html5 {
namespace {

void indent(std::string& out, std::size_t level) {
  out += "| ";
  out.append(2 * level, ' ');
}

std::string attribute_name(const attribute_view& a) {
  switch (a.space) {
    case attribute_namespace::xlink: return "xlink " + std::string(a.name);
    case attribute_namespace::xml: return "xml " + std::string(a.name);
    // html5lib's format names the prefix, so the xmlns attribute itself
    // prints as "xmlns xmlns".
    case attribute_namespace::xmlns: return "xmlns " + std::string(a.name);
    case attribute_namespace::none: break;
  }
  return std::string(a.name);
}

void dump_element(const document& doc, node_id id, std::size_t level,
                  std::string& out) {
  indent(out, level);
  out += '<';
  switch (doc[id].space) {
    case element_namespace::svg: out += "svg "; break;
    case element_namespace::mathml: out += "math "; break;
    case element_namespace::html: break;
  }
  out += doc.tag_name(id);
  out += ">\n";
  std::vector<std::pair<std::string, std::string_view>> attributes;
  for (const attribute_view& a : doc.attributes(id)) {
    attributes.emplace_back(attribute_name(a), a.value);
  }
  std::sort(attributes.begin(), attributes.end());
  for (const auto& [name, value] : attributes) {
    indent(out, level + 1);
    out += name;
    out += "=\"";
    out += value;
    out += "\"\n";
  }
}

void dump_doctype(const document& doc, node_id id, std::string& out) {
  const doctype_record& d = doc.doctype(id);
  indent(out, 0);
  out += "<!DOCTYPE ";
  out += doc.view(d.name);
  if (d.has_public_id || d.has_system_id) {
    out += " \"";
    out += doc.view(d.public_id);
    out += "\" \"";
    out += doc.view(d.system_id);
    out += '"';
  }
  out += ">\n";
}

}  // namespace

void dump_tree(const document& doc, std::string& out) {
  // Each frame is a node to write and its level; children are pushed in
  // reverse so they come off the stack in order.
  std::vector<std::pair<node_id, std::size_t>> pending;
  auto push_children = [&](node_id parent, std::size_t level) {
    std::size_t mark = pending.size();
    for (node_id c = doc[parent].first_child; c != no_node;
         c = doc[c].next_sibling) {
      pending.emplace_back(c, level);
    }
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(mark),
                 pending.end());
  };
  push_children(document::root(), 0);
  while (!pending.empty()) {
    auto [id, level] = pending.back();
    pending.pop_back();
    const node& n = doc[id];
    switch (n.kind) {
      case node_kind::doctype: dump_doctype(doc, id, out); break;
      case node_kind::comment:
        indent(out, level);
        out += "<!-- ";
        out += doc.comment_data(id);
        out += " -->\n";
        break;
      case node_kind::text:
        indent(out, level);
        out += '"';
        doc.append_text_data(id, out);
        out += "\"\n";
        break;
      case node_kind::element:
        dump_element(doc, id, level, out);
        push_children(id, level + 1);
        // A template's children, which only scripts could add, follow its
        // contents.
        if (node_id contents = doc.template_contents(id); contents != no_node) {
          pending.emplace_back(contents, level + 1);
        }
        break;
      case node_kind::fragment:
        indent(out, level);
        out += "content\n";
        push_children(id, level + 1);
        break;
      case node_kind::document: break;
    }
  }
}

}  // namespace tagweave::html5
