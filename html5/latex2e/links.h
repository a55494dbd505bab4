// Which links of an untrusted page a PDF may carry. A PDF viewer follows a
// link's action when the reader clicks it: "run:" becomes a Launch action
// that starts a program, "file:" and relative links hyperref reads as files
// become GoToR actions that open local documents. Only the kinds a reader
// of a web page expects are written as links; any other href is text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tagweave::latex2e {

enum class link_kind {
  text,      ///< not a link: no href, a scheme not allowed, or scripted
  in_page,   ///< "#id": a jump inside the document
  web,       ///< http, https, ftp or mailto: a URI action through \href
  relative,  ///< no scheme: another page beside this one, a URI action
};

/// What an href becomes. `href` is the attribute's value as the page gave
/// it.
link_kind classify_link(std::string_view href);

/// The href as a browser reads it before resolving it: leading and
/// trailing spaces and control characters removed, and tabs and line
/// breaks removed anywhere.
std::string cleaned_href(std::string_view href);

/// For a relative link to the page's own file with a fragment
/// ("struct.Vec.html#method.push" or "./struct.Vec.html#x" on the page
/// struct.Vec.html), the fragment: a jump inside the document. Else
/// nothing. `clean_href` is cleaned_href's result.
std::optional<std::string_view> own_page_fragment(std::string_view clean_href,
                                                  std::string_view page_file);

/// Whether a link's text already shows its URL to a reader of paper: the
/// URL itself, with or without its scheme, "mailto:" or a final "/".
bool text_shows_url(std::string_view text, std::string_view clean_href);

}  // namespace tagweave::latex2e
