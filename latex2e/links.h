// Which links of an untrusted page a PDF may carry. A PDF viewer follows a
// link's action when the reader clicks it: "run:" becomes a Launch action
// that starts a program, "file:" and relative links hyperref reads as files
// become GoToR actions that open local documents. Only the kinds a reader
// of a web page expects are written as links; any other href is text.
#pragma once

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

}  // namespace tagweave::latex2e
