// Customizable select: a select's selectedcontent element shows a copy of
// the select's selected option (the last one with a selected attribute, else
// the first). The parser notes each part against the select open when it is
// inserted, in O(1), and copies the option's contents once, when parsing
// stops, so the tree ends as the HTML standard's option and selectedcontent
// steps leave it.
//
// Selects nested through tables would copy one another's copies; the copies
// are cut short once they add as many nodes as the tree had (a deviation
// only such nesting can show), so the tree at most doubles.
#include "html5/tree/tree_builder.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tagweave::html5 {

void tree_builder::note_select_part(node_id element, const token& t) {
  std::size_t select = open_.topmost(tag::select);
  if (select == open_elements::npos) return;
  auto [at, added] =
      select_index_.try_emplace(open_.node_at(select), selects_.size());
  if (added) selects_.push_back(select_parts{open_.node_at(select)});
  select_parts& parts = selects_[at->second];
  if (token_tag_ == tag::selectedcontent) {
    if (parts.selected_content == no_node) parts.selected_content = element;
    return;
  }
  if (parts.first_option == no_node) parts.first_option = element;
  for (const attribute& a : t.attributes) {
    if (a.name == "selected") parts.last_selected = element;
  }
}

void tree_builder::fill_selected_content() {
  std::size_t budget = doc_.size();
  for (const select_parts& parts : selects_) {
    node_id option = parts.last_selected != no_node ? parts.last_selected
                                                    : parts.first_option;
    if (parts.selected_content == no_node || option == no_node) continue;
    while (doc_[parts.selected_content].first_child != no_node) {
      doc_.detach(doc_[parts.selected_content].first_child);
    }
    clone_children(option, parts.selected_content, budget);
  }
}

// A deep copy of `from`'s children into `to`, walked with an explicit stack.
void tree_builder::clone_children(node_id from, node_id to,
                                  std::size_t& budget) {
  std::vector<std::pair<node_id, node_id>> pending;  // (source, new parent)
  auto push_children = [&](node_id source, node_id parent) {
    std::size_t mark = pending.size();
    for (node_id c = doc_[source].first_child; c != no_node;
         c = doc_[c].next_sibling) {
      pending.emplace_back(c, parent);
    }
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(mark),
                 pending.end());
  };
  push_children(from, to);
  while (!pending.empty() && budget > 0) {
    --budget;
    auto [source, parent] = pending.back();
    pending.pop_back();
    node_id copy = no_node;
    switch (doc_[source].kind) {
      case node_kind::element: copy = clone_element(source); break;
      case node_kind::text:
        copy = doc_.create_text(doc_.text_data(source));
        break;
      case node_kind::comment:
        copy = doc_.create_comment(doc_.comment_data(source));
        break;
      default: continue;
    }
    doc_.append_child(parent, copy);
    if (doc_[source].kind == node_kind::element) push_children(source, copy);
  }
}

}  // namespace tagweave::html5
