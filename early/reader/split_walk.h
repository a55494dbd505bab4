// The splitter itself, for callers that hand each record to a consumer
// type of their own (see split_document_to); early/reader/splitter.h is the
// interface everyone else uses.
#pragma once

#include "early/reader/char_class.h"
#include "early/reader/char_refs.h"
#include "early/reader/splitter.h"
#include "early/reader/tag_reader.h"

#include <string>
#include <string_view>

namespace tagweave {

namespace split_walk {

inline constexpr std::size_t npos = std::string_view::npos;

/// How the run after the last tag ends.
enum class run_mode {
  ordinary,  ///< at the next place where a tag may begin
  raw,       ///< at the next end tag of an example or listing
  rest,      ///< at the end of the text
};

/// True when a tag may begin at `position` (which holds '<'): a letter, a
/// '/' and a letter, or '!' follows. Any other '<' is text.
inline bool may_begin_tag(std::string_view text, std::size_t position) {
  std::size_t after = position + 1;
  if (after >= text.size()) return false;
  char next = text[after];
  if (is_ascii_letter(next) || next == '!') return true;
  return next == '/' && after + 1 < text.size() &&
         is_ascii_letter(text[after + 1]);
}

inline bool is_raw_kind(mark_kind kind) {
  return kind == M_PLAIN_TEXT || kind == M_LISTING_TEXT;
}

/// A '<' that the end-tag search looks at: followed by a letter, or by '/'
/// and a letter. Comments are no candidates there.
inline bool is_end_search_candidate(std::string_view text, std::size_t lt) {
  if (lt + 1 >= text.size()) return false;
  if (is_ascii_letter(text[lt + 1])) return true;
  return text[lt + 1] == '/' && lt + 2 < text.size() &&
         is_ascii_letter(text[lt + 2]);
}

/// Finds where example and listing content ends. Every candidate '<' is
/// identified as a tag would be, but the search resumes right after that
/// '<' rather than after the tag's '>', so a candidate whose text reaches
/// over the closing tag does not hide it. To stay linear it never copies a
/// candidate's text: it decodes only as much as can hold a tag name, and
/// keeps two cursors that only move forward, the next '>' and the last ';'
/// before it (which tells open references from terminated ones).
class end_tag_search {
 public:
  explicit end_tag_search(std::string_view text) : text_(text) {}

  /// The position of the closing tag's '<' at or after `from`, or the end of
  /// the text when the content is never closed.
  std::size_t find_from(std::size_t from) {
    for (std::size_t lt = text_.find('<', from); lt != npos;
         lt = text_.find('<', lt + 1)) {
      if (is_end_search_candidate(text_, lt) && closes_raw_content(lt)) {
        return lt;
      }
    }
    return text_.size();
  }

 private:
  bool closes_raw_content(std::size_t lt) {
    std::size_t close = next_close(lt);
    if (close == npos) return false;  // unterminated: the '<' is text
    std::string_view written = text_.substr(lt + 1, close - lt - 1);
    bool semicolon_inside = last_semicolon_ != npos && last_semicolon_ > lt;
    tag_identity tag = identify_tag(decoded_name_prefix(
        written, semicolon_inside ? last_semicolon_ - (lt + 1) : npos));
    return tag.is_end && is_raw_kind(tag.kind);
  }

  std::size_t next_close(std::size_t lt) {
    if (no_more_closes_) return npos;
    if (close_ <= lt) {
      close_ = text_.find('>', lt + 1);
      if (close_ == npos) {
        no_more_closes_ = true;
        return npos;
      }
      sweep_semicolons_to(close_);
    }
    return close_;
  }

  void sweep_semicolons_to(std::size_t end) {
    if (end <= swept_) return;
    std::size_t found = text_.substr(swept_, end - swept_).rfind(';');
    if (found != npos) last_semicolon_ = swept_ + found;
    swept_ = end;
  }

  std::string_view text_;
  std::size_t close_ = 0;
  bool no_more_closes_ = false;
  std::size_t swept_ = 0;
  std::size_t last_semicolon_ = npos;
};

/// The working state of one split: where the scan stands
/// and what the last tag asked for. `Consumer` has take(const mark_view&):
/// the converter passes its own type, so that handing a record on is a
/// direct call the compiler may inline; the lists go through mark_consumer.
template <class Consumer>
class splitter {
  /// Where a run ends, and whether it may hold a reference: a run without
  /// an '&' has nothing to decode.
  struct run_extent {
    std::size_t end;
    bool has_ampersand;
  };

 public:
  splitter(std::string& source, Consumer& consumer)
      : data_(source.data()),
        text_(source),
        end_search_(text_),
        consumer_(consumer) {}

  split_status run() {
    while (pos_ < text_.size()) {
      if (mode_ == run_mode::rest) {
        emit_run(text_.substr(pos_));
        break;
      }
      run_extent run = next_run_extent();
      if (run.end > pos_) emit_decoded_run(pos_, run);
      if (run.end == text_.size()) break;
      if (!take_tag(run.end)) return split_status::unterminated_tag;
    }
    return split_status::complete;
  }

 private:
  /// The extent of the run at pos_. Raw runs are decoded without looking
  /// for an '&' first.
  run_extent next_run_extent() {
    return mode_ == run_mode::raw
               ? run_extent{end_search_.find_from(pos_), true}
               : find_ordinary_run_end(pos_);
  }

  /// An ordinary run's extent, the '&' noted on the way to its end.
  run_extent find_ordinary_run_end(std::size_t from) const {
    bool has_ampersand = false;
    for (std::size_t at = from;;) {
      at = has_ampersand ? find_byte(text_, '<', at)
                         : find_either(text_, '<', '&', at);
      if (at == npos) return {text_.size(), has_ampersand};
      if (text_[at] == '&') {
        has_ampersand = true;
      } else if (may_begin_tag(text_, at)) {
        return {at, has_ampersand};
      }
      ++at;
    }
  }

  void emit(const mark_view& rec) {
    if (!is_dropped_blank_run(rec, keep_blanks_)) consumer_.take(rec);
  }

  void emit_run(std::string_view text) { emit(mark_view{M_NONE, false, text}); }

  /// Decodes the run in place: decoding only shortens, and the splitter
  /// never reads a run again once it has handed it on, so no copy is
  /// needed.
  void emit_decoded_run(std::size_t begin, run_extent run) {
    std::size_t length = run.has_ampersand
                             ? decode_entities(data_ + begin, run.end - begin)
                             : run.end - begin;
    emit_run(std::string_view(data_ + begin, length));
  }

  /// Reads the tag at `lt` and lets it take effect. False when it is never
  /// closed.
  bool take_tag(std::size_t lt) {
    tag_read tag = read_tag(text_, lt);
    if (tag.status != tag_status::read) return false;
    pos_ = tag.end + 1;
    apply_tag_effect(tag.mark);
    emit(tag.mark);
    return true;
  }

  void apply_tag_effect(const mark_view& tag) {
    mode_ = run_mode::ordinary;
    if (tag.kind == M_PREFORMATTED) keep_blanks_ = !tag.is_end;
    if (tag.is_end) return;
    switch (tag.kind) {
      case M_PLAIN_TEXT:
      case M_LISTING_TEXT: mode_ = run_mode::raw; break;
      case M_PLAIN_REST: mode_ = run_mode::rest; break;
      case M_PREFORMATTED: break;
      default: return;
    }
    // These four start tags swallow one line feed right after their '>'.
    if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
  }

  char* data_;             // the text, where runs are decoded in place
  std::string_view text_;  // the same text, for reading
  end_tag_search end_search_;
  std::size_t pos_ = 0;
  bool keep_blanks_ = false;
  run_mode mode_ = run_mode::ordinary;
  Consumer& consumer_;
};

}  // namespace split_walk

/// split_document for a consumer type known here, whose take() is called
/// directly.
template <class Consumer>
split_status split_document_to(std::string& source, Consumer& consumer) {
  return split_walk::splitter<Consumer>(source, consumer).run();
}

}  // namespace tagweave
