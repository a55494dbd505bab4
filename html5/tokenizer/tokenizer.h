// The HTML standard's tokenizer: turns the preprocessed input stream (UTF-8,
// no CR) into tokens handed one by one to a token_sink. It works on bytes:
// every character its states test is ASCII, so the bytes of other
// characters fall under "anything else" and are copied through unchanged.
// One pass, no step looks back at text already consumed, so tokenizing is
// linear in the input on every input.
#pragma once

#include "html5/tokenizer/token.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace tagweave::html5 {

namespace tokenizer_bytes {
class byte_set;
}

/// The states a caller may start in or switch to.
enum class tokenizer_state {
  data,
  rcdata,
  rawtext,
  script_data,
  plaintext,
  cdata_section
};

/// The state named as html5lib-tests and tagweave-dump name them: "Data state",
/// "PLAINTEXT state", "RCDATA state", "RAWTEXT state", "Script data state",
/// "CDATA section state"; nullopt for any other name.
std::optional<tokenizer_state> tokenizer_state_named(std::string_view name);

class tokenizer {
 public:
  /// `input` must outlive the tokenizer; `sink` receives every token.
  tokenizer(std::string_view input, token_sink& sink);
  tokenizer(const tokenizer&) = delete;
  tokenizer& operator=(const tokenizer&) = delete;

  /// For the tree builder, during token_sink::take(): the state to go on in.
  void set_state(tokenizer_state state);
  /// The last start tag's name, for "appropriate end tag" checks (a tree
  /// builder's start tags set it automatically as they are emitted; tests set
  /// it).
  void set_last_start_tag(std::string_view name);
  /// Whether "<![CDATA[" opens a CDATA section: the tree builder says, after
  /// each token, whether there is an adjusted current node not in the HTML
  /// namespace.
  void set_cdata_allowed(bool allowed);

  /// Tokenizes to the end of the input; the last token is end_of_file.
  void run();

 private:
  // The HTML standard's tokenizer states, named as it names them. A few
  // chains of states that emit nothing and cannot be switched away from until
  // their last step run as one step and have no enumerator: the end tag open
  // and end tag name states of RCDATA, RAWTEXT, script data and script data
  // escaped; the script data double escape start and end states; and, after
  // the character reference state, the named, ambiguous ampersand and numeric
  // character reference states.
  enum class state : std::uint8_t {
    data,
    rcdata,
    rawtext,
    script_data,
    plaintext,
    tag_open,
    end_tag_open,
    tag_name,
    rcdata_less_than_sign,
    rawtext_less_than_sign,
    script_data_less_than_sign,
    script_data_escape_start,
    script_data_escape_start_dash,
    script_data_escaped,
    script_data_escaped_dash,
    script_data_escaped_dash_dash,
    script_data_escaped_less_than_sign,
    script_data_double_escaped,
    script_data_double_escaped_dash,
    script_data_double_escaped_dash_dash,
    script_data_double_escaped_less_than_sign,
    before_attribute_name,
    attribute_name,
    after_attribute_name,
    before_attribute_value,
    attribute_value_double_quoted,
    attribute_value_single_quoted,
    attribute_value_unquoted,
    after_attribute_value_quoted,
    self_closing_start_tag,
    bogus_comment,
    markup_declaration_open,
    comment_start,
    comment_start_dash,
    comment,
    comment_less_than_sign,
    comment_less_than_sign_bang,
    comment_less_than_sign_bang_dash,
    comment_less_than_sign_bang_dash_dash,
    comment_end_dash,
    comment_end,
    comment_end_bang,
    doctype,
    before_doctype_name,
    doctype_name,
    after_doctype_name,
    after_doctype_public_keyword,
    before_doctype_public_identifier,
    doctype_public_identifier_double_quoted,
    doctype_public_identifier_single_quoted,
    after_doctype_public_identifier,
    between_doctype_public_and_system_identifiers,
    after_doctype_system_keyword,
    before_doctype_system_identifier,
    doctype_system_identifier_double_quoted,
    doctype_system_identifier_single_quoted,
    after_doctype_system_identifier,
    bogus_doctype,
    cdata_section,
    cdata_section_bracket,
    cdata_section_end,
    character_reference,
  };

  // --- Reading the input (tokenizer.cpp) ---
  bool at_end() const { return pos_ == input_.size(); }
  char current() const { return input_[pos_]; }
  /// Consumes and returns the next byte; the caller checked at_end().
  char consume() { return input_[pos_++]; }
  /// Consumes the bytes from pos_ up to the first one in `stops` (or the
  /// end) and returns them.
  std::string_view consume_run(const tokenizer_bytes::byte_set& stops);
  /// Skips the tokenizer's white space; true if the input ended.
  bool skip_whitespace();
  /// Consumes `text` if the input goes on with it; ASCII letters of the
  /// input match either case when `any_case`.
  bool consume_if_next(std::string_view text, bool any_case);

  // --- Emitting (tokenizer.cpp) ---
  /// Pending characters stay a view of the input while they are one
  /// stretch of it (most text between tags), and are copied into a buffer
  /// only once something else joins them.
  void emit_text(std::string_view text);
  void emit_text(char c) { pending_text_buffer().push_back(c); }
  std::string& pending_text_buffer();
  bool is_in_input(std::string_view text) const;
  void emit_replacement_character();
  void flush_text();
  /// Hands `current_` to the sink after any pending text.
  void emit_current();
  void emit_tag();
  void emit_end_of_file();
  void start_tag_token(token_kind kind);
  void start_comment(std::string_view data);
  void start_doctype();
  void emit_doctype_with_force_quirks();

  // --- The states (tokenizer.cpp and its companions) ---
  void step();
  void text_state(state self);
  void tag_open_state();
  void end_tag_open_state();
  void tag_name_state();
  void text_less_than_sign_state(state text);
  void raw_end_tag(state text);
  bool is_appropriate_end_tag(std::string_view name) const;

  // Script data (tokenizer_script.cpp).
  void script_data_less_than_sign_state();
  void script_data_escape_start_state(state next_on_dash);
  void script_data_escaped_state(state self);
  void script_data_escaped_less_than_sign_state();
  void script_data_double_escape(state on_script, state otherwise);
  void script_data_double_escaped_state(state self);
  void script_data_double_escaped_less_than_sign_state();

  // Attributes and the end of tags (tokenizer_attributes.cpp).
  void before_attribute_name_state();
  void attribute_name_state();
  void after_attribute_name_state();
  void before_attribute_value_state();
  void attribute_value_quoted_state(char quote);
  void attribute_value_unquoted_state();
  void after_attribute_value_quoted_state();
  void self_closing_start_tag_state();
  void start_attribute(std::string_view name);
  void leave_attribute_name();
  void drop_duplicate_attribute();
  bool is_duplicate_attribute_name();
  std::string& attribute_value() { return current_.attributes.back().value; }
  bool in_attribute_value() const;

  // Comments, markup declarations and CDATA (tokenizer_comments.cpp).
  void bogus_comment_state();
  void markup_declaration_open_state();
  void comment_start_state();
  void comment_start_dash_state();
  void comment_state();
  void comment_less_than_sign_state();
  void comment_less_than_sign_bang_state();
  void comment_less_than_sign_bang_dash_state();
  void comment_less_than_sign_bang_dash_dash_state();
  void comment_end_dash_state();
  void comment_end_state();
  void comment_end_bang_state();
  void eof_in_comment();
  void cdata_section_state();
  void cdata_section_bracket_state();
  void cdata_section_end_state();

  // DOCTYPE (tokenizer_doctype.cpp).
  void doctype_state();
  void before_doctype_name_state();
  void doctype_name_state();
  void after_doctype_name_state();
  void after_doctype_keyword_state(bool is_public);
  void before_doctype_identifier_state(bool is_public);
  void doctype_identifier_state(bool is_public, char quote);
  void after_doctype_public_identifier_state();
  void between_doctype_identifiers_state();
  void after_doctype_system_identifier_state();
  void bogus_doctype_state();
  void start_doctype_identifier(bool is_public, char quote);
  void emit_doctype();
  void eof_in_doctype();

  // Character references (tokenizer_char_refs.cpp).
  void character_reference_state();
  void named_character_reference();
  void numeric_character_reference();
  /// The HTML standard's "flush code points consumed as a character reference".
  void flush_reference_text(std::string_view text);

  std::string_view input_;
  std::size_t pos_ = 0;
  token_sink& sink_;
  state state_ = state::data;
  /// Where the character reference states go back to.
  state return_state_ = state::data;
  bool finished_ = false;
  bool cdata_allowed_ = false;
  /// Empty while no start tag has been emitted: tag names are never empty.
  std::string last_start_tag_;

  /// The tag, comment or DOCTYPE being built, and end of file.
  token current_;
  /// Pending character tokens, merged into one run until another token:
  /// pending_run_ while they are a view of the input, else text_.data.
  token text_;
  std::string_view pending_run_;
  /// The attribute being read repeats an earlier name: it is dropped once
  /// its value has been read.
  bool attribute_is_duplicate_ = false;
  /// A tag's names, once it has more attributes than a linear comparison
  /// handles cheaply: indices into current_.attributes, ordered by name.
  struct attribute_name_order {
    const token* tag;
    bool operator()(std::size_t a, std::size_t b) const {
      return tag->attributes[a].name < tag->attributes[b].name;
    }
  };
  std::set<std::size_t, attribute_name_order> attribute_names_{
      attribute_name_order{&current_}};
};

}  // namespace tagweave::html5
