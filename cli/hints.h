// What a person at a terminal may have meant instead of what the command
// line says: each is a one-line hint on standard error, shown only when
// standard error is a terminal, so that scripts see the same bytes as ever.
#pragma once

#include <string_view>

namespace tagweave {

/// Whether a style given to -o looks like the output file's name instead:
/// it ends in ".tex".
bool looks_like_tex_file(std::string_view style);

/// Whether `page` declares the HTML standard's doctype, <!DOCTYPE html>
/// (any case, after a UTF-8 byte order mark and white space): a page of
/// today, which the early tag set reads as little of; --html5 reads it.
/// Older doctypes, with a public identifier, are not it.
bool declares_html5_doctype(std::string_view page);

}  // namespace tagweave
