// The layout of an HTML table as a longtable, worked out before any of it
// is written: how many columns, how wide each is, and where each cell of
// each row starts, with colspan and rowspan applied. The writer then walks
// the same rows in the same order and follows the plan.
#pragma once

#include "html5/dom.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tagweave::latex2e {

/// Columns beyond this are not made: a cell that would start past the last
/// column is written into the row's previous cell, on a line of its own.
/// Narrower than this, a column of a page's text width holds about two
/// characters.
inline constexpr std::size_t max_table_columns = 40;

struct cell_place {
  std::uint32_t column = 0;  ///< the first column it spans
  std::uint32_t span = 1;
  /// Written into the previous cell of its row (past the last column).
  bool continues_previous = false;
};

struct row_plan {
  bool header = false;  ///< a thead row, or a row of th cells only
  std::vector<cell_place> cells;
};

struct table_plan {
  std::size_t columns = 0;
  /// Per column, its share of the line width; they add up to 1.
  std::vector<double> widths;
  /// The table's own rows, in document order (not those of tables inside
  /// its cells, nor hidden ones).
  std::vector<row_plan> rows;
  /// How many rows at the start are header rows, repeated on each page; 0
  /// when every row is one.
  std::size_t header_rows = 0;
};

/// A longtable row cannot break across pages, so a row taller than a page
/// loses what runs off it. A table with a row estimated taller than this
/// many lines (a page holds about 45) is planned with no rows, and the
/// writer writes its cells one after another: such tables lay out a page
/// rather than tabulate data. A cell's lines are its text's length over
/// its column's width, plus a line for each paragraph, item, line break
/// and preformatted line, and an image's height.
inline constexpr double max_row_lines = 35;

/// Plans `table`. Costs the size of its subtree.
table_plan plan_table(const html5::document& doc, html5::node_id table);

}  // namespace tagweave::latex2e
