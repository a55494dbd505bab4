#include "diag/token_dump.h"

#include <cstdio>

namespace tagweave::html5 {
namespace {

/// Writes every token's line; character tokens wait until another token
/// comes, so adjacent runs come out merged.
class dump_sink : public token_sink {
 public:
  explicit dump_sink(std::string& out) : out_(out) {}

  void take(token& t) override {
    if (t.kind == token_kind::characters) {
      pending_text_.append(t.characters);
      return;
    }
    flush_text();
    append_token_line(out_, t);
  }

 private:
  void flush_text() {
    if (pending_text_.empty()) return;
    text_.characters = pending_text_;
    append_token_line(out_, text_);
    pending_text_.clear();
  }

  std::string& out_;
  std::string pending_text_;
  token text_;  // kind: characters
};

/// The HTML standard's newline normalization of the input stream: CR LF and
/// a lone CR become LF.
std::string normalize_newlines(std::string_view input) {
  std::string out;
  out.reserve(input.size());
  for (std::size_t i = 0; i < input.size(); ++i) {
    if (input[i] != '\r') {
      out += input[i];
    } else {
      out += '\n';
      if (i + 1 < input.size() && input[i + 1] == '\n') ++i;
    }
  }
  return out;
}

void append_optional_string(std::string& out, bool present,
                            std::string_view text) {
  if (present) {
    append_json_string(out, text);
  } else {
    out += "null";
  }
}

void append_attributes(std::string& out, const token& t) {
  out += '{';
  for (std::size_t i = 0; i < t.attributes.size(); ++i) {
    if (i != 0) out += ", ";
    append_json_string(out, t.attributes[i].name);
    out += ": ";
    append_json_string(out, t.attributes[i].value);
  }
  out += '}';
}

}  // namespace

void append_json_string(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\f': out += "\\f"; break;
      case '\b': out += "\\b"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04X",
                        static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += escape;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

void append_token_line(std::string& out, const token& t) {
  switch (t.kind) {
    case token_kind::doctype:
      out += "[\"DOCTYPE\", ";
      append_optional_string(out, t.has_name, t.name);
      out += ", ";
      append_optional_string(out, t.has_public_id, t.public_id);
      out += ", ";
      append_optional_string(out, t.has_system_id, t.system_id);
      out += t.force_quirks ? ", false]\n" : ", true]\n";
      break;
    case token_kind::start_tag:
      out += "[\"StartTag\", ";
      append_json_string(out, t.name);
      out += ", ";
      append_attributes(out, t);
      out += t.self_closing ? ", true]\n" : "]\n";
      break;
    case token_kind::end_tag:
      out += "[\"EndTag\", ";
      append_json_string(out, t.name);
      out += "]\n";
      break;
    case token_kind::comment:
      out += "[\"Comment\", ";
      append_json_string(out, t.data);
      out += "]\n";
      break;
    case token_kind::characters:
      out += "[\"Character\", ";
      append_json_string(out, t.characters);
      out += "]\n";
      break;
    case token_kind::end_of_file: break;
  }
}

void dump_tokens(std::string_view input, tokenizer_state start,
                 std::string_view last_start_tag, std::string& out) {
  std::string stream = normalize_newlines(input);
  dump_sink sink(out);
  tokenizer t(stream, sink);
  t.set_state(start);
  t.set_last_start_tag(last_start_tag);
  t.run();
}

}  // namespace tagweave::html5
