// The tokens of the HTML standard's tokenizer, as the tree builder and the
// token dump receive them, and the sink interface they are handed through.
// All text is UTF-8, after the input stream's preprocessing (no CR).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tagweave::html5 {

enum class token_kind {
  doctype,
  start_tag,
  end_tag,
  comment,
  characters,  ///< a run of character tokens, merged
  end_of_file,
};

struct attribute {
  std::string name;  ///< lowercase ASCII as the tokenizer produces it
  std::string value;
};

/// One token. The tokenizer reuses one object for every token, so a sink
/// that keeps anything copies it out.
struct token {
  token_kind kind = token_kind::characters;
  /// Tag name (lowercased) or DOCTYPE name.
  std::string name;
  std::vector<attribute> attributes;  ///< duplicates already dropped
  bool self_closing = false;
  /// Comment data; for the tokenizer, also the buffer of a character run.
  std::string data;
  /// A characters token's run: a view of the input when the run is one
  /// stretch of it, else of `data`. It may hold U+0000 where the HTML
  /// standard emits it; the tree builder deals with it.
  std::string_view characters;
  // DOCTYPE only: whether each part was present, and force-quirks.
  bool has_name = false;
  bool has_public_id = false;
  bool has_system_id = false;
  std::string public_id;
  std::string system_id;
  bool force_quirks = false;
};

/// Receives tokens in order. During take() a sink may change the
/// tokenizer's state (the tree builder switches to RCDATA after <title>,
/// say); the tokenizer continues from the new state.
class token_sink {
 public:
  virtual ~token_sink() = default;
  virtual void take(token& t) = 0;
};

}  // namespace tagweave::html5
