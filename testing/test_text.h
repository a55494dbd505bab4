// Test support: the texts that many tests compare against or print.
#pragma once

#include "diag/dump.h"
#include "early/reader/mark_up.h"
#include "output/byte_sink.h"

#include <tagweave/tagweave.h>

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace tagweave::testing {

/// The banner that opens every converted document.
inline const std::string banner =
    "% This file was converted from HTML to LaTeX with Quenby's\n"
    "% tagweave program\n"
    "% Version " +
    std::string(version()) + "\n";

/// The preamble and closing written with no options.
inline const std::string default_preamble =
    banner + "\\documentstyle{article}\n\\begin{document}\n";
inline constexpr std::string_view default_closing = "\\end{document}\n";

/// A whole document, converted with no options, around `body`.
inline std::string default_document(std::string_view body) {
  return default_preamble + std::string(body) + std::string(default_closing);
}

/// The dump of `marks`, as tagweave-dump prints it.
inline std::string dump_of(const mark_list& marks) {
  byte_sink sink;
  dump_marks(sink, marks);
  return sink.contents();
}

/// `text` as a C string literal, control bytes and bytes above 127 as
/// escapes, so that a failing input can be pasted back into a test.
inline std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      default:
        if (byte < 32 || byte > 126) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02x", byte);
          out += hex;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

/// Drops single bytes from an input that `fails` for as long as it still
/// fails, so that a report shows a minimal case.
inline std::string shrunk(
    std::string text, const std::function<bool(const std::string&)>& fails) {
  for (std::size_t i = 0; i < text.size();) {
    std::string shorter = text.substr(0, i) + text.substr(i + 1);
    if (fails(shorter)) {
      text = std::move(shorter);
    } else {
      ++i;
    }
  }
  return text;
}

}  // namespace tagweave::testing
