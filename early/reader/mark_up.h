// The record for one piece of a document between reading and writing: a run
// of text or one tag. The splitter makes them in document order and hands
// them on one by one as views into the text it reads: the converter writes
// each at once, copying nothing, while the dump and the tests collect them
// into a list of records that own their text.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace tagweave {

/// What a record stands for. The values are part of the dump's output.
enum mark_kind : std::uint32_t {
  M_NONE = 1,  ///< a text run
  M_TITLE,
  M_HEADER_1,
  M_HEADER_2,
  M_HEADER_3,
  M_HEADER_4,
  M_HEADER_5,
  M_HEADER_6,
  M_ANCHOR,
  M_PARAGRAPH,
  M_ADDRESS,
  M_PLAIN_TEXT,
  M_UNUM_LIST,
  M_LIST_ITEM,
  M_DESC_LIST,
  M_DESC_TITLE,
  M_DESC_TEXT,
  M_PREFORMATTED,
  M_PLAIN_REST,
  M_LISTING_TEXT,
  M_INDEX,
  M_MENU,
  M_DIRECTORY,
  M_IMAGE,
  M_NUM_LIST,
  M_EMPHASIS,
  M_TELETYPE,
  M_BOLD,
  M_ITALIC,
  M_UNDERLINE,
  M_STRONG,
  M_CODE,
  M_SAMPLE,
  M_KEYBOARD,
  M_VARIABLE,
  M_DEFINITION,
  M_CITATION,
  M_UNKNOWN,  ///< a tag whose name is not in the tag table
};

/// One record as the splitter hands it on, valid only during the call. A
/// text run's view holds its decoded characters; a tag's holds its text
/// between '<' and '>' as written, references not yet decoded, since only
/// the dump and the tests read it (mark_up holds it decoded).
struct mark_view {
  mark_kind kind = M_NONE;
  bool is_end = false;
  std::string_view text;

  bool is_text_run() const { return kind == M_NONE; }
};

/// One text run or one tag. A text run has kind M_NONE and holds its
/// (decoded) characters; a tag holds its text between '<' and '>', attributes
/// included, which nothing downstream interprets.
struct mark_up {
  mark_kind kind = M_NONE;
  bool is_end = false;  ///< an end tag: its text begins with '/'
  std::string text;     ///< run text, or the start or end tag's text

  bool is_text_run() const { return kind == M_NONE; }
  /// The record as a view, for walks over a list; a tag's text in it is
  /// the decoded text this record keeps.
  mark_view view() const { return {kind, is_end, text}; }
};

/// A whole document in order. Each record owns its strings; nothing points
/// into the loaded text, so that can be released independently.
using mark_list = std::deque<mark_up>;

/// Receives a document's records in order, as they are read, so that a
/// document can be written while it is being read instead of held whole.
class mark_consumer {
 public:
  virtual ~mark_consumer() = default;
  virtual void take(const mark_view& rec) = 0;
};

}  // namespace tagweave
