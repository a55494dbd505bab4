// The layout of an HTML table as a longtable, worked out before any of it
// is written: how many columns, how wide each is, and where each cell of
// each row starts, with colspan and rowspan applied. The writer then walks
// the same rows in the same order and follows the plan.
#pragma once

#include "html5/latex2e/table_fit.h"
#include "html5/tree/chunked_vector.h"
#include "html5/tree/dom.h"

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

/// The plan keeps a few bytes per row and per cell, in chunks that never
/// move: a table of a million rows costs about its size in the input, not
/// several times it. Cells past the last column are only counted.
class table_plan {
 public:
  std::size_t columns = 0;
  /// Per column, its share of the line width; they add up to 1.
  std::vector<double> widths;
  /// How many rows at the start are header rows, repeated on each page; 0
  /// when every row is one.
  std::size_t header_rows = 0;
  /// Each column's longest words, for TeX to measure.
  column_words words;

  /// The table's own rows, in document order (not those of tables inside
  /// its cells, nor hidden ones).
  std::size_t row_count() const { return rows_.size(); }
  /// A thead row, or a row of th cells only.
  bool is_header(std::size_t row) const { return rows_[row].header; }
  std::size_t cell_count(std::size_t row) const {
    return rows_[row].placed + rows_[row].past_last_column;
  }
  cell_place cell(std::size_t row, std::size_t i) const;

  // Building (plan_table).
  void add_row();
  void set_not_header() { rows_.back().header = false; }
  void add_cell(const cell_place& place);
  /// Leaves the plan with no rows: the table is written as text.
  void drop_rows() { rows_ = {}; }
  /// Calls `f(row, place)` with each cell that has a place of its own (not
  /// those past the last column), in order.
  template <typename F>
  void for_each_placed_cell(F&& f) const;

 private:
  struct row_record {
    std::uint32_t first_cell = 0;  ///< in cells_
    std::uint32_t placed = 0;
    std::uint32_t past_last_column = 0;
    bool header = true;
  };
  /// Columns and spans are at most max_table_columns: a byte each.
  struct placed_cell {
    std::uint8_t column, span;
  };
  static_assert(max_table_columns <= 255);

  html5::chunked_vector<row_record, 10> rows_;
  html5::chunked_vector<placed_cell, 12> cells_;
};

template <typename F>
void table_plan::for_each_placed_cell(F&& f) const {
  for (std::size_t r = 0; r < rows_.size(); ++r) {
    for (std::uint32_t i = 0; i < rows_[r].placed; ++i) {
      f(r, cell(r, i));
    }
  }
}

/// A longtable row cannot break across pages, so a row taller than a page
/// loses what runs off it. A table with a row estimated taller than this
/// many lines (a page holds about 45) is planned with no rows, and the
/// writer writes its cells one after another: such tables lay out a page
/// rather than tabulate data. A cell's lines are its text's length over
/// its column's width, plus a line for each paragraph, item, line break
/// and preformatted line, and an image's height.
inline constexpr double max_row_lines = 35;

/// Plans `table`. Costs the size of its subtree. `left_out` marks the
/// subtrees the writer passes over (content_selection.h); empty for none.
table_plan plan_table(const html5::document& doc, html5::node_id table,
                      const std::vector<bool>& left_out = {});

}  // namespace tagweave::latex2e
