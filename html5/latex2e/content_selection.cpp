// The reader view's choice of content. Three passes over the tree, each
// linear and each following the tree's own links instead of recursing: the
// text and link text under every element (bottom-up), the marks that hold
// anywhere and the candidates for main content and chrome (top-down), then
// the choice between them.
#include "html5/latex2e/content_selection.h"

#include "html5/latex2e/element_roles.h"
#include "html5/latex2e/html_text.h"
#include "html5/latex2e/tree_walk.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tagweave::latex2e {
namespace {

using html5::document;
using html5::no_node;
using html5::node_id;
using html5::node_kind;
using html5::tag;

/// A block at the start or end of the body is a list of links when its
/// text is mostly links (mostly_links), it has at least this many links, so
/// that a sentence ending in a link or two is not taken for one...
constexpr std::uint32_t min_link_list_links = 3;
/// ...and its text outside links is at most this many bytes: separators and
/// a few words ("Home | Docs | Blog"), not a paragraph.
constexpr std::uint64_t max_link_list_other_bytes = 200;
/// A permalink mark shows at most this many bytes of text (a symbol or
/// two), and reading it visits at most this many nodes, so that each link
/// costs constant time however large its subtree.
constexpr std::uint64_t max_mark_bytes = 8;
constexpr std::size_t max_read_nodes = 16;
/// A "skip to content" link's text is at most this many bytes.
constexpr std::uint64_t max_skip_link_bytes = 40;

/// The text under a node, white space aside, and how much of it is inside
/// links.
struct text_counts {
  std::uint64_t text = 0;
  std::uint64_t link_text = 0;
  std::uint32_t links = 0;
  std::uint32_t headings = 0;
};

/// Link density, the measure of reader-mode tools (text inside links over
/// all text), at least one half.
bool mostly_links(const text_counts& c) { return c.link_text * 2 >= c.text; }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && is_html_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_html_space(s.back())) s.remove_suffix(1);
  return s;
}

class content_selector {
 public:
  explicit content_selector(const document& doc)
      : doc_(doc), counts_(doc.size()), skipped_(doc.size()) {}

  std::vector<bool> select() {
    count_text();
    mark_everywhere();
    if (!mains_.empty()) {
      keep_only_mains();
    } else {
      drop_chrome();
      drop_link_lists_at_edges();
    }
    if (!marked_ || !keeps_text()) return {};
    return std::move(skipped_);
  }

 private:
  bool is_html(node_id n, tag t) const {
    return doc_[n].kind == node_kind::element &&
           doc_[n].space == html5::element_namespace::html && doc_[n].name == t;
  }
  bool is_heading(node_id n) const {
    if (doc_[n].kind != node_kind::element ||
        doc_[n].space != html5::element_namespace::html) {
      return false;
    }
    int level = heading_level(doc_[n].name);
    return level >= 1 && level <= 6;
  }
  bool shown(node_id n) const {
    return doc_[n].kind == node_kind::element &&
           role_of(doc_, n) != role::hidden;
  }
  /// The first word of the role attribute (the role that applies); empty
  /// without one.
  std::string_view role_word(node_id n) const {
    std::string_view value = trimmed(doc_.attribute(n, "role").value_or(""));
    std::size_t end = 0;
    while (end < value.size() && !is_html_space(value[end])) ++end;
    return value.substr(0, end);
  }
  bool is_main(node_id n) const {
    return is_html(n, tag::main) || equal_ignoring_case(role_word(n), "main");
  }
  bool is_link(node_id n) const {
    return is_html(n, tag::a) && doc_.attribute(n, "href").has_value();
  }
  /// The parts of a table that the table planner counts rows and cells
  /// with: leaving one out would shift the cells after it, so their
  /// contents are left out instead.
  bool is_table_part(node_id n) const {
    for (tag t : {tag::tbody, tag::thead, tag::tfoot, tag::tr, tag::td, tag::th,
                  tag::caption, tag::colgroup, tag::col}) {
      if (is_html(n, t)) return true;
    }
    return false;
  }
  /// Sectioning elements: a header or footer inside one belongs to it, not
  /// to the site.
  bool is_sectioning(node_id n) const {
    return is_html(n, tag::article) || is_html(n, tag::aside) ||
           is_html(n, tag::main) || is_html(n, tag::nav) ||
           is_html(n, tag::section);
  }
  /// Generic blocks that may hold a page's chrome at their start or end.
  bool is_container(node_id n) const {
    return is_html(n, tag::div) || is_html(n, tag::section) ||
           is_html(n, tag::article) || is_html(n, tag::header) ||
           is_html(n, tag::footer) || is_html(n, tag::aside) ||
           is_html(n, tag::center) || is_html(n, tag::form);
  }

  void count_text();
  void mark_everywhere();
  void enter_marking(node_id n);
  void leave_marking(node_id n);
  void note_candidates(node_id n);
  bool is_permalink(node_id a, std::string_view href) const;
  bool is_skip_link(node_id a, std::string_view href) const;
  std::string text_of(node_id n, std::uint64_t max_bytes) const;
  void keep_only_mains();
  void drop_chrome();
  void drop_link_lists_at_edges();
  void drop_link_lists_from(bool front);
  bool is_link_list(node_id n) const;
  bool has_heading_child(node_id n) const;
  bool keeps_text() const;
  void leave_out(node_id n);

  const document& doc_;
  std::vector<text_counts> counts_;
  std::vector<bool> skipped_;
  bool marked_ = false;
  node_id body_ = no_node;
  std::vector<node_id> mains_;
  std::vector<node_id> chrome_;
  std::vector<node_id> pending_;

  // The top-down pass's state: where in the tree it is.
  std::unordered_map<std::string_view, std::uint32_t> ids_on_path_;
  std::size_t terms_ = 0;       ///< headings and dt terms around
  std::size_t sectioning_ = 0;  ///< sectioning elements around
  std::size_t mains_around_ = 0;
  std::uint32_t links_seen_ = 0;
};

void content_selector::count_text() {
  walk(
      doc_, document::root(),
      [&](node_id n) {
        switch (doc_[n].kind) {
          case node_kind::text:
            doc_.for_each_text_piece(n, [&](std::string_view piece) {
              for (char c : piece) counts_[n].text += is_html_space(c) ? 0 : 1;
            });
            return true;
          case node_kind::element:
            if (body_ == no_node && is_html(n, tag::body)) body_ = n;
            return role_of(doc_, n) != role::hidden;
          case node_kind::document: return true;
          default: return false;
        }
      },
      [&](node_id n) {
        text_counts& c = counts_[n];
        if (is_link(n)) {
          c.link_text = c.text;
          ++c.links;
        }
        if (is_heading(n)) ++c.headings;
        node_id parent = doc_[n].parent;
        if (parent == no_node) return;
        counts_[parent].text += c.text;
        counts_[parent].link_text += c.link_text;
        counts_[parent].links += c.links;
        counts_[parent].headings += c.headings;
      });
}

void content_selector::mark_everywhere() {
  walk(
      doc_, document::root(),
      [&](node_id n) {
        if (doc_[n].kind == node_kind::document) return true;
        if (!shown(n)) return false;
        auto aria_hidden = doc_.attribute(n, "aria-hidden");
        if (aria_hidden && equal_ignoring_case(trimmed(*aria_hidden), "true")) {
          leave_out(n);
          return false;
        }
        enter_marking(n);
        return true;
      },
      [&](node_id n) {
        if (doc_[n].kind == node_kind::element) leave_marking(n);
      });
}

void content_selector::enter_marking(node_id n) {
  if (auto id = doc_.attribute(n, "id")) ++ids_on_path_[*id];
  if (is_heading(n) || is_html(n, tag::dt)) ++terms_;
  note_candidates(n);
  if (is_sectioning(n)) ++sectioning_;
  if (!is_link(n)) return;
  std::string_view href = trimmed(*doc_.attribute(n, "href"));
  if (is_permalink(n, href) || is_skip_link(n, href)) leave_out(n);
  ++links_seen_;
}

void content_selector::leave_marking(node_id n) {
  if (auto id = doc_.attribute(n, "id")) {
    auto found = ids_on_path_.find(*id);
    if (--found->second == 0) ids_on_path_.erase(found);
  }
  if (is_heading(n) || is_html(n, tag::dt)) --terms_;
  if (is_sectioning(n)) --sectioning_;
  if (is_main(n)) --mains_around_;
}

/// Records the outermost main elements that hold text, and the navigation,
/// banners and footers, which are left out only when there is no main.
void content_selector::note_candidates(node_id n) {
  if (is_main(n)) {
    if (mains_around_ == 0 && counts_[n].text > 0) mains_.push_back(n);
    ++mains_around_;
    return;
  }
  std::string_view role = role_word(n);
  auto is_role = [&](std::string_view name) {
    return equal_ignoring_case(role, name);
  };
  bool navigation = is_html(n, tag::nav) || is_html(n, tag::search) ||
                    is_role("navigation") || is_role("search");
  bool banner =
      (is_html(n, tag::header) && sectioning_ == 0) || is_role("banner");
  bool footer =
      (is_html(n, tag::footer) && sectioning_ == 0) || is_role("contentinfo");
  // A banner with a heading holds the page's title; its navigation is
  // left out on its own.
  if (banner && counts_[n].headings > 0) banner = false;
  if (navigation || banner || footer) chrome_.push_back(n);
}

/// The text under `n`, white space aside, when it is at most `max_bytes`
/// long and found within max_read_nodes nodes; else more than `max_bytes`.
std::string content_selector::text_of(node_id n,
                                      std::uint64_t max_bytes) const {
  std::string text;
  if (counts_[n].text > max_bytes) return std::string(max_bytes + 1, '?');
  std::size_t visited = 0;
  walk(
      doc_, n,
      [&](node_id m) {
        if (++visited > max_read_nodes) return false;
        if (doc_[m].kind == node_kind::text) {
          doc_.for_each_text_piece(
              m, [&](std::string_view piece) { text += piece; });
          return false;
        }
        return m == n || shown(m);
      },
      [](node_id) {});
  if (visited > max_read_nodes) return std::string(max_bytes + 1, '?');
  return text;
}

/// A link in a heading or term to the heading, the term, itself or an
/// element around them, showing no more than a mark.
bool content_selector::is_permalink(node_id a, std::string_view href) const {
  if (terms_ == 0 || href.size() < 2 || href.front() != '#') return false;
  if (ids_on_path_.count(href.substr(1)) == 0) return false;
  std::string text = text_of(a, max_mark_bytes);
  if (text.size() > max_mark_bytes) return false;
  static constexpr std::string_view marks[] = {
      "#",
      "\xC2\xB6" /* pilcrow */,
      "\xC2\xA7" /* section sign */,
      "\xE2\x81\x8B" /* reversed pilcrow */,
      "\xF0\x9F\x94\x97" /* link */,
      "\xE2\x9A\x93" /* anchor */};
  std::string_view rest = text;
  while (!rest.empty()) {
    if (is_html_space(rest.front())) {
      rest.remove_prefix(1);
      continue;
    }
    auto mark =
        std::find_if(std::begin(marks), std::end(marks),
                     [&](std::string_view m) { return rest.starts_with(m); });
    if (mark == std::end(marks)) return false;
    rest.remove_prefix(mark->size());
  }
  return true;
}

/// The page's first link, to a place in the page, offering to skip to it.
bool content_selector::is_skip_link(node_id a, std::string_view href) const {
  if (links_seen_ > 0 || href.empty() || href.front() != '#') return false;
  std::string text = text_of(a, max_skip_link_bytes);
  std::string words;
  bool space = false;
  for (char c : text) {
    if (is_html_space(c)) {
      space = !words.empty();
      continue;
    }
    if (space) words += ' ';
    space = false;
    words += ascii_lower(c);
  }
  std::string_view w = words;
  return w.starts_with("skip to ") || w.starts_with("jump to ") ||
         w == "skip navigation";
}

/// Leaves out everything beside the path from the root to each main.
void content_selector::keep_only_mains() {
  std::vector<bool> on_path(doc_.size()), kept(doc_.size());
  for (node_id m : mains_) {
    kept[m] = true;
    for (node_id n = doc_[m].parent; n != no_node && !on_path[n];
         n = doc_[n].parent) {
      on_path[n] = true;
    }
  }
  for (node_id n = 0; n < doc_.size(); ++n) {
    if (!on_path[n]) continue;
    for (node_id c = doc_[n].first_child; c != no_node;
         c = doc_[c].next_sibling) {
      if (!on_path[c] && !kept[c]) leave_out(c);
    }
  }
}

/// Navigation, banners and footers, unless one holds most of the page's
/// text: a page wrapped whole in one is all content.
void content_selector::drop_chrome() {
  std::uint64_t page_text = counts_[document::root()].text;
  for (node_id n : chrome_) {
    if (counts_[n].text * 2 <= page_text) leave_out(n);
  }
}

void content_selector::drop_link_lists_at_edges() {
  if (body_ == no_node) return;
  // A page of links (an index, a table of contents) is its own content.
  if (mostly_links(counts_[body_])) return;
  drop_link_lists_from(true);
  drop_link_lists_from(false);
}

/// A list of links, and not most of the page (then it is the content) nor
/// a section with a heading (an index at a manual's end).
bool content_selector::is_link_list(node_id n) const {
  const text_counts& c = counts_[n];
  return c.links >= min_link_list_links && c.headings == 0 &&
         c.text * 2 < counts_[body_].text && mostly_links(c) &&
         c.text - c.link_text <= max_link_list_other_bytes;
}

/// From the body's start (or end), leaves out each list of links until the
/// first text or block that is not one, going into generic containers on
/// the way (a page's wrapper, its header or footer).
void content_selector::drop_link_lists_from(bool front) {
  node_id container = body_;
  node_id c = front ? doc_[container].first_child : doc_.last_child(container);
  while (c != no_node) {
    node_id next = front ? doc_[c].next_sibling : doc_.prev_sibling(c);
    if (skipped_[c] || counts_[c].text == 0 ||
        (doc_[c].kind == node_kind::element && !shown(c))) {
      c = next;
      continue;
    }
    if (doc_[c].kind != node_kind::element) return;  // text of the body's own
    if (is_link_list(c)) {
      leave_out(c);
      c = next;
      continue;
    }
    if (!is_container(c)) return;
    // A section of links (an index) ends with its own content; from the
    // start, its heading stops the walk anyway.
    if (!front && mostly_links(counts_[c]) && has_heading_child(c)) return;
    container = c;
    c = front ? doc_[container].first_child : doc_.last_child(container);
  }
}

bool content_selector::has_heading_child(node_id n) const {
  for (node_id c = doc_[n].first_child; c != no_node;
       c = doc_[c].next_sibling) {
    if (is_heading(c)) return true;
  }
  return false;
}

/// Whether any text is left: a page is never emptied.
bool content_selector::keeps_text() const {
  bool kept = false;
  walk(
      doc_, document::root(),
      [&](node_id n) {
        if (kept || skipped_[n]) return false;
        if (doc_[n].kind == node_kind::text) {
          kept = counts_[n].text > 0;
          return false;
        }
        return doc_[n].kind == node_kind::document || shown(n);
      },
      [](node_id) {});
  return kept || counts_[document::root()].text == 0;
}

void content_selector::leave_out(node_id n) {
  pending_.push_back(n);
  while (!pending_.empty()) {
    node_id m = pending_.back();
    pending_.pop_back();
    if (!is_table_part(m)) {
      skipped_[m] = true;
      marked_ = true;
      continue;
    }
    for (node_id c = doc_[m].first_child; c != no_node;
         c = doc_[c].next_sibling) {
      pending_.push_back(c);
    }
  }
}

}  // namespace

std::vector<bool> select_content(const document& doc) {
  return content_selector(doc).select();
}

}  // namespace tagweave::latex2e
