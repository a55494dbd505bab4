// Planning a table: one walk over its subtree for rows, cells and the
// length of each cell's text, then columns and widths.
#include "html5/latex2e/table_plan.h"

#include "html5/latex2e/element_roles.h"

#include <algorithm>
#include <charconv>

namespace tagweave::latex2e {
namespace {

using html5::document;
using html5::no_node;
using html5::node_id;
using html5::node_kind;

/// Widths come from the text of the longest cell of each column, counted
/// between these bounds (in bytes), so that an empty column stays readable
/// and a very long cell does not squeeze every other column.
constexpr std::size_t narrowest_column_text = 4;
constexpr std::size_t widest_column_text = 80;

/// colspan and rowspan as the HTML standard reads them: a non-negative
/// integer, else 1; colspan at least 1, rowspan 0 meaning "to the end",
/// which here is one row.
std::uint32_t span_attribute(const document& doc, node_id cell,
                             std::string_view name, std::uint32_t limit) {
  auto value = doc.attribute(cell, name);
  if (!value) return 1;
  std::string_view v = *value;
  while (!v.empty() &&
         (v.front() == ' ' || v.front() == '\t' || v.front() == '\n' ||
          v.front() == '\f' || v.front() == '\r')) {
    v.remove_prefix(1);
  }
  std::uint64_t n = 0;
  auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), n);
  if (error != std::errc() || end == v.data() || n == 0) return 1;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(n, limit));
}

/// What a cell's text needs for the widths and the row heights, kept per
/// placed cell beside the plan while planning.
struct cell_text {
  std::uint32_t bytes = 0;  ///< documents have 32-bit offsets: it fits
  /// Lines the cell takes whatever its width: one per paragraph, item or
  /// line break, one per line of preformatted text, and an image's height.
  /// Whole numbers, exact in a float up to 2^24, far past max_row_lines.
  float forced_lines = 0;
};
using cell_texts = html5::chunked_vector<cell_text, 12>;

/// An image in a cell is at most a quarter of the page's height (the
/// writer's \twimage[0.25]): about this many lines of text.
constexpr double lines_per_cell_image = 12;

/// The lines an element inside a cell starts, whatever its text.
double lines_started_by(role r) {
  switch (r) {
    case role::block:
    case role::heading:
    case role::quotation:
    case role::list_item:
    case role::definition_term:
    case role::definition_description:
    case role::preformatted:
    case role::line_break:
    case role::rule:
    case role::table_row:
    case role::table_caption: return 1;
    case role::image: return lines_per_cell_image;
    case role::note: return 3;  // its rules and its title
    default: return 0;
  }
}

/// The font of the text inside an element of role `r` whose own text is
/// set in `font`, as the writer sets it.
std::uint8_t font_of(role r, std::uint8_t font) {
  switch (r) {
    case role::bold:
    case role::heading:
    case role::definition_term: return font | font_bold;
    case role::monospace:
    case role::preformatted: return font | font_mono;
    case role::italic: return font | font_italic;
    default: return font;
  }
}

/// Whether text on either side of an element of role `r` is two words.
bool ends_word(role r) {
  return lines_started_by(r) > 0 || r == role::table || r == role::table_cell;
}

/// Characters a line of the whole text width holds, about.
constexpr double characters_per_line = 80;

/// The estimated height, in lines, of the tallest row.
double tallest_row(const table_plan& plan, const cell_texts& texts) {
  double tallest = 0;
  std::size_t k = 0;
  plan.for_each_placed_cell([&](std::size_t, const cell_place& c) {
    double width = 0;
    for (std::uint32_t i = c.column; i < c.column + c.span; ++i) {
      width += plan.widths[i];
    }
    const cell_text& t = texts[k++];
    double cell_lines = static_cast<double>(t.forced_lines) +
                        static_cast<double>(t.bytes) /
                            std::max(1.0, width * characters_per_line);
    tallest = std::max(tallest, cell_lines);
  });
  return tallest;
}

/// Lays out each row's cells over the columns, rowspans from above taken.
class grid {
 public:
  void start_row() {
    row_ = rows_started_++;
    next_column_ = 0;
    placed_in_row_ = 0;
  }
  cell_place place(std::uint32_t colspan, std::uint32_t rowspan) {
    while (next_column_ < max_table_columns && occupied(next_column_)) {
      ++next_column_;
    }
    cell_place p;
    if (next_column_ >= max_table_columns) {
      p.column = static_cast<std::uint32_t>(max_table_columns - 1);
      p.continues_previous = placed_in_row_ > 0;
      ++placed_in_row_;
      return p;
    }
    p.column = next_column_;
    p.span = std::min<std::uint32_t>(
        colspan, static_cast<std::uint32_t>(max_table_columns) - p.column);
    for (std::uint32_t c = p.column; c < p.column + p.span; ++c) {
      if (busy_until_.size() <= c) busy_until_.resize(c + 1, 0);
      busy_until_[c] = std::max(busy_until_[c], row_ + rowspan);
    }
    next_column_ = p.column + p.span;
    columns_ = std::max<std::size_t>(columns_, next_column_);
    ++placed_in_row_;
    return p;
  }
  std::size_t columns() const { return columns_; }

 private:
  bool occupied(std::uint32_t column) const {
    return column < busy_until_.size() && busy_until_[column] > row_;
  }
  std::vector<std::uint32_t> busy_until_;  ///< per column, a row index
  std::uint32_t row_ = 0, rows_started_ = 0, next_column_ = 0;
  std::size_t placed_in_row_ = 0;
  std::size_t columns_ = 0;
};

std::vector<double> column_widths(const table_plan& plan,
                                  const cell_texts& texts) {
  std::vector<std::size_t> longest(plan.columns, narrowest_column_text);
  std::size_t k = 0;
  plan.for_each_placed_cell([&](std::size_t, const cell_place& c) {
    std::size_t bytes = texts[k++].bytes;
    if (c.span != 1) return;
    longest[c.column] =
        std::max(longest[c.column], std::min(bytes, widest_column_text));
  });
  double total = 0;
  for (std::size_t l : longest) total += static_cast<double>(l);
  std::vector<double> widths;
  for (std::size_t l : longest)
    widths.push_back(static_cast<double>(l) / total);
  return widths;
}

/// `shares` made at least as wide as each column's widest word, estimated,
/// dividing the rest as the preamble's \twfit divides the line (where the
/// words do not fit side by side, they are taken as shrunk alike): the
/// row heights are counted with the widths TeX will about give.
void widen_to_words(std::vector<double>& shares, const column_words& words) {
  std::vector<double> least(shares.size());
  double least_total = 0;
  for (std::size_t i = 0; i < shares.size(); ++i) {
    least[i] = words.widest_word(i) / characters_per_line;
    least_total += least[i];
  }
  if (least_total > 1) {
    for (double& l : least) l /= least_total;
    least_total = 1;
  }
  double slack_total = 0;
  for (std::size_t i = 0; i < shares.size(); ++i) {
    slack_total += std::max(shares[i], least[i]) - least[i];
  }
  double rest = std::min(1 - least_total, slack_total);
  for (std::size_t i = 0; i < shares.size(); ++i) {
    double slack = std::max(shares[i], least[i]) - least[i];
    shares[i] = least[i] + (slack_total > 0 ? slack * rest / slack_total : 0.0);
  }
}

bool is_element(const document& doc, node_id n, html5::tag name) {
  return n != no_node && doc[n].kind == node_kind::element &&
         doc[n].name == name;
}

/// Whether a row, cell or caption sits where the tree builder puts it: a
/// row in the table or in its thead, tbody or tfoot, a cell in a row, a
/// caption in the table. Only at the parser's depth limit, where elements
/// are inserted as siblings instead of children, can they sit elsewhere;
/// such a table is written as text, since its rows cannot be followed.
bool nested_as_built(const document& doc, node_id n, role r, node_id table) {
  node_id parent = doc[n].parent;
  switch (r) {
    case role::table_row:
      if (parent == table) return true;
      return (is_element(doc, parent, html5::tag::thead) ||
              is_element(doc, parent, html5::tag::tbody) ||
              is_element(doc, parent, html5::tag::tfoot)) &&
             doc[parent].parent == table;
    case role::table_cell: return is_element(doc, parent, html5::tag::tr);
    case role::table_caption: return parent == table;
    default: return true;
  }
}

}  // namespace

cell_place table_plan::cell(std::size_t row, std::size_t i) const {
  const row_record& r = rows_[row];
  if (i >= r.placed) {
    return cell_place{static_cast<std::uint32_t>(max_table_columns - 1), 1,
                      true};
  }
  const placed_cell& c = cells_[r.first_cell + i];
  return cell_place{c.column, c.span, false};
}

void table_plan::add_row() {
  row_record r;
  r.first_cell = static_cast<std::uint32_t>(cells_.size());
  rows_.push_back(r);
}

void table_plan::add_cell(const cell_place& place) {
  if (place.continues_previous) {
    ++rows_.back().past_last_column;
    return;
  }
  cells_.push_back(placed_cell{static_cast<std::uint8_t>(place.column),
                               static_cast<std::uint8_t>(place.span)});
  ++rows_.back().placed;
}

// The walk follows the tree's links and keeps a record per level it is
// inside, not per node it has yet to visit: tables inside cells add to
// their cell's text but make no rows; a level's `cell` is the cell whose
// text its nodes count toward.
table_plan plan_table(const document& doc, node_id table,
                      const std::vector<bool>& left_out) {
  table_plan plan;
  grid layout;
  cell_texts texts;
  constexpr std::size_t no_cell = static_cast<std::size_t>(-1);
  struct level {
    node_id element;
    std::size_t nested_tables;
    std::size_t cell;
    bool preformatted;  ///< inside pre: each line end is a line
    std::uint8_t font;  ///< font_bits its text is set in
  };
  std::vector<level> levels{{table, 0, no_cell, false, 0}};
  // The node after `n` and its subtree, within the table.
  auto next_in_walk = [&](node_id n) {
    while (doc[n].next_sibling == no_node) {
      n = levels.back().element;
      levels.pop_back();
      if (levels.empty()) return no_node;
    }
    return doc[n].next_sibling;
  };
  bool in_thead = false;
  for (node_id at = doc[table].first_child; at != no_node;) {
    const level s = levels.back();
    const html5::node& n = doc[at];
    if (!left_out.empty() && left_out[at]) {  // the writer passes over it too
      at = next_in_walk(at);
      continue;
    }
    if (n.kind == node_kind::text) {
      if (s.cell != no_cell) {
        cell_text& t = texts[s.cell];
        bool preformatted = s.preformatted;
        doc.for_each_text_piece(at, [&](std::string_view piece) {
          plan.words.add_text(piece, s.font);
          t.bytes += static_cast<std::uint32_t>(piece.size());
          if (preformatted) {
            t.forced_lines += static_cast<float>(
                std::count(piece.begin(), piece.end(), '\n'));
          }
        });
      }
      at = next_in_walk(at);
      continue;
    }
    role r = n.kind == node_kind::element ? role_of(doc, at) : role::hidden;
    if (r == role::hidden) {
      at = next_in_walk(at);
      continue;
    }
    std::size_t nested = s.nested_tables;
    std::size_t cell = s.cell;
    std::uint8_t font = font_of(r, s.font);
    if (cell != no_cell) {
      texts[cell].forced_lines += static_cast<float>(lines_started_by(r));
      if (ends_word(r)) plan.words.end_word();
    }
    if (nested == 0 && !nested_as_built(doc, at, r, table)) {
      plan.drop_rows();
      return plan;
    }
    if (nested == 0) {
      if (r == role::table) {
        nested = 1;
      } else if (r == role::table_row) {
        in_thead = n.parent != no_node &&
                   doc[n.parent].kind == node_kind::element &&
                   doc[n.parent].name == html5::tag::thead;
        plan.add_row();
        layout.start_row();
        plan.words.start_cell(column_words::no_column);
      } else if (r == role::table_cell && plan.row_count() > 0) {
        cell_place p = layout.place(span_attribute(doc, at, "colspan", 1000),
                                    span_attribute(doc, at, "rowspan", 65534));
        plan.add_cell(p);
        if (n.name != html5::tag::th && !in_thead) plan.set_not_header();
        // A header row is set in bold; a th elsewhere is measured so too.
        bool header_cell = n.name == html5::tag::th || in_thead;
        font = header_cell ? std::uint8_t{font_bold} : std::uint8_t{0};
        plan.words.start_cell(p.span == 1 ? p.column : column_words::no_column);
        if (p.continues_previous) {
          // Written into the row's previous cell, on a line of its own.
          cell = texts.size() - 1;
          texts[cell].forced_lines += 1;
        } else {
          texts.push_back(cell_text{});
          cell = texts.size() - 1;
        }
      }
    } else if (r == role::table) {
      ++nested;
    }
    if (n.first_child == no_node) {
      at = next_in_walk(at);
      continue;
    }
    levels.push_back(
        {at, nested, cell, s.preformatted || r == role::preformatted, font});
    at = n.first_child;
  }
  plan.words.end_word();
  plan.columns = std::max<std::size_t>(layout.columns(), 1);
  plan.widths = column_widths(plan, texts);
  widen_to_words(plan.widths, plan.words);
  if (tallest_row(plan, texts) > max_row_lines) {
    plan.drop_rows();
    return plan;
  }
  while (plan.header_rows < plan.row_count() &&
         plan.is_header(plan.header_rows) &&
         plan.cell_count(plan.header_rows) > 0) {
    ++plan.header_rows;
  }
  if (plan.header_rows == plan.row_count()) plan.header_rows = 0;
  return plan;
}

}  // namespace tagweave::latex2e
