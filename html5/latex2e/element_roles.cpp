// The element table of the LaTeX2e writer.
#include "html5/latex2e/element_roles.h"

#include "html5/latex2e/notes.h"

namespace tagweave::latex2e {
namespace {

using html5::tag;

role html_role(tag name) {
  switch (name) {
    case tag::head:
    case tag::title:
    case tag::script:
    case tag::style:
    case tag::template_:
    case tag::noscript:
    case tag::noembed:
    case tag::noframes:
    case tag::iframe:
    case tag::frameset:
    case tag::frame:
    case tag::object:
    case tag::embed:
    case tag::applet:
    case tag::param:
    case tag::source:
    case tag::track:
    case tag::area:
    case tag::input:
    case tag::select:
    case tag::selectedcontent:
    case tag::option:
    case tag::optgroup:
    case tag::textarea:
    case tag::button:
    case tag::keygen:
    case tag::meta:
    case tag::link:
    case tag::base:
    case tag::basefont:
    case tag::bgsound:
    case tag::rp:
    case tag::slot: return role::hidden;
    case tag::address:
    case tag::article:
    case tag::aside:
    case tag::body:
    case tag::center:
    case tag::details:
    case tag::dialog:
    case tag::div:
    case tag::fieldset:
    case tag::figcaption:
    case tag::figure:
    case tag::footer:
    case tag::form:
    case tag::header:
    case tag::hgroup:
    case tag::html:
    case tag::main:
    case tag::nav:
    case tag::p:
    case tag::search:
    case tag::section:
    case tag::summary:
    case tag::marquee: return role::block;
    case tag::h1:
    case tag::h2:
    case tag::h3:
    case tag::h4:
    case tag::h5:
    case tag::h6: return role::heading;
    case tag::blockquote: return role::quotation;
    case tag::ul:
    case tag::menu:
    case tag::dir: return role::unordered_list;
    case tag::ol: return role::ordered_list;
    case tag::dl: return role::definition_list;
    case tag::li: return role::list_item;
    case tag::dt: return role::definition_term;
    case tag::dd: return role::definition_description;
    case tag::pre:
    case tag::listing:
    case tag::xmp:
    case tag::plaintext: return role::preformatted;
    case tag::code:
    case tag::tt: return role::monospace;
    case tag::b:
    case tag::strong: return role::bold;
    case tag::i:
    case tag::em:
    case tag::var: return role::italic;
    case tag::u: return role::underline;
    case tag::sub: return role::subscript;
    case tag::sup: return role::superscript;
    case tag::small: return role::small;
    case tag::a: return role::link;
    case tag::img:
    case tag::image: return role::image;
    case tag::br: return role::line_break;
    case tag::wbr: return role::word_break;
    case tag::hr: return role::rule;
    case tag::table: return role::table;
    case tag::tr: return role::table_row;
    case tag::td:
    case tag::th: return role::table_cell;
    case tag::caption: return role::table_caption;
    case tag::colgroup:
    case tag::col: return role::hidden;
    default: return role::plain;
  }
}

/// Tags the parser does not know by an ID of their own but that are shown
/// in a style of their own.
role unknown_html_role(std::string_view name) {
  if (name == "kbd" || name == "samp") return role::monospace;
  if (name == "dfn" || name == "cite") return role::italic;
  if (name == "ins") return role::underline;
  if (name == "q") return role::inline_quote;
  if (name == "canvas" || name == "datalist" || name == "video" ||
      name == "audio" || name == "map" || name == "picture" ||
      name == "progress" || name == "meter") {
    return role::hidden;
  }
  if (name == "legend" || name == "figcaption") return role::block;
  return role::plain;
}

bool has_attribute(const html5::document& doc, html5::node_id element,
                   std::string_view name) {
  return doc.attribute(element, name).has_value();
}

}  // namespace

role role_of(const html5::document& doc, html5::node_id element) {
  const html5::node& n = doc[element];
  if (n.space == html5::element_namespace::svg) return role::hidden;
  if (n.space == html5::element_namespace::mathml) return role::plain;
  role r = n.name < tag::first_unknown ? html_role(n.name)
                                       : unknown_html_role(doc.name_of(n.name));
  if (r == role::hidden) return r;
  if (has_attribute(doc, element, "hidden")) {
    return role::hidden;
  }
  if (n.name == tag::dialog && !has_attribute(doc, element, "open")) {
    return role::hidden;
  }
  if (r == role::block && note_kind_title(doc, element)) return role::note;
  return r;
}

int heading_level(html5::tag name) {
  return static_cast<int>(name) - static_cast<int>(tag::h1) + 1;
}

}  // namespace tagweave::latex2e
