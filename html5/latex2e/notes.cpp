// Recognizing notes by their element, role and class tokens.
#include "html5/latex2e/notes.h"

#include "html5/latex2e/element_roles.h"
#include "html5/latex2e/html_text.h"

#include <array>
#include <utility>

namespace tagweave::latex2e {
namespace {

using html5::document;
using html5::no_node;
using html5::node_id;
using html5::node_kind;
using html5::tag;

/// Class tokens that make a block a note, with the title it gets. Sphinx
/// and docutils write "admonition" and the kind; MkDocs and others the kind
/// alone. "admonition" alone is a note whose title the page gives.
constexpr std::array<std::pair<std::string_view, std::string_view>, 11>
    note_classes{{
        {"note", "Note"},
        {"warning", "Warning"},
        {"tip", "Tip"},
        {"caution", "Caution"},
        {"important", "Important"},
        {"danger", "Danger"},
        {"hint", "Hint"},
        {"attention", "Attention"},
        {"error", "Error"},
        {"seealso", "See also"},
        {"admonition", "Note"},
    }};

std::optional<note_title> title_of_class(std::string_view token) {
  for (const auto& [name, title] : note_classes) {
    if (equal_ignoring_case(token, name)) return title;
  }
  return std::nullopt;
}

/// The title of the first class token that names a kind of note, a token
/// other than "admonition" winning over it.
std::optional<note_title> title_by_class(std::string_view classes) {
  std::optional<note_title> found;
  any_token(classes, [&](std::string_view token) {
    auto title = title_of_class(token);
    if (!title) return false;
    bool generic = equal_ignoring_case(token, "admonition");
    if (!found || !generic) found = title;
    return !generic;
  });
  return found;
}

bool is_title_element(const document& doc, node_id element) {
  if (role_of(doc, element) == role::heading) return true;
  auto classes = doc.attribute(element, "class");
  return classes && any_token(*classes, [](std::string_view token) {
           return equal_ignoring_case(token, "admonition-title") ||
                  equal_ignoring_case(token, "title");
         });
}

bool is_blank_text(const document& doc, node_id text) {
  bool blank = true;
  doc.for_each_text_piece(text, [&](std::string_view piece) {
    for (char c : piece) blank = blank && is_html_space(c);
  });
  return blank;
}

}  // namespace

std::optional<note_title> note_kind_title(const document& doc,
                                          node_id element) {
  const html5::node& n = doc[element];
  if (n.kind != node_kind::element ||
      n.space != html5::element_namespace::html) {
    return std::nullopt;
  }
  if (n.name == tag::aside) return note_title();
  auto role_attribute = doc.attribute(element, "role");
  if (role_attribute && any_token(*role_attribute, [](std::string_view token) {
        return equal_ignoring_case(token, "note");
      })) {
    return note_title("Note");
  }
  auto classes = doc.attribute(element, "class");
  if (!classes) return std::nullopt;
  return title_by_class(*classes);
}

node_id note_title_element(const document& doc, node_id note) {
  for (node_id c = doc[note].first_child; c != no_node;
       c = doc[c].next_sibling) {
    switch (doc[c].kind) {
      case node_kind::text:
        if (!is_blank_text(doc, c)) return no_node;
        continue;
      case node_kind::element:
        if (role_of(doc, c) == role::hidden) continue;
        return is_title_element(doc, c) ? c : no_node;
      default: continue;
    }
  }
  return no_node;
}

}  // namespace tagweave::latex2e
