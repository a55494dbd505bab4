// Which elements the bounds on elements may leave out (see tree_bounds.cpp
// and tree_builder.h): those that only style or group text.
#pragma once

#include "html5/tree/tree_tags.h"

#include <cstdint>

namespace tagweave::html5 {

enum class text_role : std::uint8_t {
  kept,        ///< never dropped
  styling,     ///< inline: words run on without it
  separating,  ///< without it a space keeps the words apart
};

/// What an element adds to the text inside it, for the bounds.
inline text_role text_role_of(tag t) {
  switch (t) {
    case tag::a:
    case tag::b:
    case tag::big:
    case tag::code:
    case tag::em:
    case tag::font:
    case tag::i:
    case tag::nobr:
    case tag::s:
    case tag::small:
    case tag::span:
    case tag::strike:
    case tag::strong:
    case tag::sub:
    case tag::sup:
    case tag::tt:
    case tag::u:
    case tag::var:
    case tag::wbr: return text_role::styling;
    case tag::address:
    case tag::article:
    case tag::aside:
    case tag::blockquote:
    case tag::br:
    case tag::center:
    case tag::dd:
    case tag::details:
    case tag::dir:
    case tag::div:
    case tag::dl:
    case tag::dt:
    case tag::fieldset:
    case tag::figcaption:
    case tag::figure:
    case tag::footer:
    case tag::h1:
    case tag::h2:
    case tag::h3:
    case tag::h4:
    case tag::h5:
    case tag::h6:
    case tag::header:
    case tag::hgroup:
    case tag::hr:
    case tag::li:
    case tag::main:
    case tag::menu:
    case tag::nav:
    case tag::ol:
    case tag::p:
    case tag::search:
    case tag::section:
    case tag::summary:
    case tag::ul: return text_role::separating;
    default: return text_role::kept;
  }
}

}  // namespace tagweave::html5
