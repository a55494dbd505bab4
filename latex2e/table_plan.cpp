// Planning a table: one walk over its subtree for rows, cells and the
// length of each cell's text, then columns and widths.
#include "latex2e/table_plan.h"

#include "latex2e/element_roles.h"

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

struct cell_text {
  std::uint32_t column, span;
  std::size_t row;
  std::size_t bytes = 0;
  /// Lines the cell takes whatever its width: one per paragraph, item or
  /// line break, one per line of preformatted text, and an image's height.
  double forced_lines = 0;
};

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
    default: return 0;
  }
}

/// Characters a line of the whole text width holds, about.
constexpr double characters_per_line = 80;

/// The estimated height, in lines, of the tallest row.
double tallest_row(const std::vector<cell_text>& cells,
                   const std::vector<double>& widths) {
  std::vector<double> lines;
  for (const cell_text& c : cells) {
    double width = 0;
    for (std::uint32_t k = c.column; k < c.column + c.span; ++k) {
      width += widths[k];
    }
    double cell_lines =
        c.forced_lines + static_cast<double>(c.bytes) /
                             std::max(1.0, width * characters_per_line);
    if (lines.size() <= c.row) lines.resize(c.row + 1, 0);
    lines[c.row] = std::max(lines[c.row], cell_lines);
  }
  return lines.empty() ? 0 : *std::max_element(lines.begin(), lines.end());
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

std::vector<double> column_widths(const std::vector<cell_text>& cells,
                                  std::size_t columns) {
  std::vector<std::size_t> longest(columns, narrowest_column_text);
  for (const cell_text& c : cells) {
    if (c.span != 1) continue;
    longest[c.column] =
        std::max(longest[c.column], std::min(c.bytes, widest_column_text));
  }
  double total = 0;
  for (std::size_t l : longest) total += static_cast<double>(l);
  std::vector<double> widths;
  for (std::size_t l : longest)
    widths.push_back(static_cast<double>(l) / total);
  return widths;
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

table_plan plan_table(const document& doc, node_id table) {
  table_plan plan;
  grid layout;
  std::vector<cell_text> cells;
  // The walk: tables inside cells add to their cell's text but make no
  // rows; a step's `cell` is the cell whose text it counts toward.
  struct step {
    node_id node;
    std::size_t nested_tables;
    std::size_t cell;
    bool preformatted;  ///< inside pre: each line end is a line
  };
  constexpr std::size_t no_cell = static_cast<std::size_t>(-1);
  std::vector<step> pending;
  for (node_id c = doc[table].first_child; c != no_node;
       c = doc[c].next_sibling) {
    pending.push_back({c, 0, no_cell, false});
  }
  std::reverse(pending.begin(), pending.end());
  bool in_thead = false;
  while (!pending.empty()) {
    step s = pending.back();
    pending.pop_back();
    const html5::node& n = doc[s.node];
    if (n.kind == node_kind::text) {
      if (s.cell != no_cell) {
        doc.for_each_text_piece(s.node, [&](std::string_view piece) {
          cells[s.cell].bytes += piece.size();
          if (s.preformatted) {
            cells[s.cell].forced_lines += static_cast<double>(
                std::count(piece.begin(), piece.end(), '\n'));
          }
        });
      }
      continue;
    }
    if (n.kind != node_kind::element) continue;
    role r = role_of(doc, s.node);
    if (r == role::hidden) continue;
    std::size_t nested = s.nested_tables;
    std::size_t cell = s.cell;
    if (cell != no_cell) cells[cell].forced_lines += lines_started_by(r);
    if (nested == 0 && !nested_as_built(doc, s.node, r, table)) {
      plan.rows.clear();
      return plan;
    }
    if (nested == 0) {
      if (r == role::table) {
        nested = 1;
      } else if (r == role::table_row) {
        in_thead = n.parent != no_node &&
                   doc[n.parent].kind == node_kind::element &&
                   doc[n.parent].name == html5::tag::thead;
        plan.rows.push_back(row_plan{true, {}});
        layout.start_row();
      } else if (r == role::table_cell && !plan.rows.empty()) {
        cell_place p =
            layout.place(span_attribute(doc, s.node, "colspan", 1000),
                         span_attribute(doc, s.node, "rowspan", 65534));
        plan.rows.back().cells.push_back(p);
        if (n.name != html5::tag::th && !in_thead) {
          plan.rows.back().header = false;
        }
        if (p.continues_previous) {
          // Written into the row's previous cell, on a line of its own.
          cell = cells.size() - 1;
          cells[cell].forced_lines += 1;
        } else {
          cells.push_back(cell_text{p.column, p.span, plan.rows.size() - 1, 0});
          cell = cells.size() - 1;
        }
      }
    } else if (r == role::table) {
      ++nested;
    }
    std::size_t mark = pending.size();
    for (node_id c = n.first_child; c != no_node; c = doc[c].next_sibling) {
      pending.push_back(
          {c, nested, cell, s.preformatted || r == role::preformatted});
    }
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(mark),
                 pending.end());
  }
  plan.columns = std::max<std::size_t>(layout.columns(), 1);
  plan.widths = column_widths(cells, plan.columns);
  if (tallest_row(cells, plan.widths) > max_row_lines) {
    plan.rows.clear();
    return plan;
  }
  while (plan.header_rows < plan.rows.size() &&
         plan.rows[plan.header_rows].header &&
         !plan.rows[plan.header_rows].cells.empty()) {
    ++plan.header_rows;
  }
  if (plan.header_rows == plan.rows.size()) plan.header_rows = 0;
  return plan;
}

}  // namespace tagweave::latex2e
